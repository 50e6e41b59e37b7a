#include "FileSystems/TarFile/SparseMap.h"

#include "FileSystems/TarFile/CTarFile.h"

#include <cstring>

namespace
{
// The old GNU sparse header keeps, where POSIX headers have their name prefix, four map entries (offset,
// 386), the flag that an extension block follows (482) and the file's size (483); an extension block
// holds 21 entries and its own flag (504). Each entry is an offset and a size of 12 bytes each.
constexpr std::size_t EntryBytes = 24;
constexpr std::size_t HeaderEntries = 386;
constexpr std::size_t HeaderEntryCount = 4;
constexpr std::size_t HeaderExtended = 482;
constexpr std::size_t HeaderRealSize = 483;
constexpr std::size_t ExtensionEntryCount = 21;
constexpr std::size_t ExtensionExtended = 504;

const char* BlockBytes(const TarHeaderBlock& block)
{
    return reinterpret_cast<const char*>(&block);
}
} // namespace

bool CSparseMap::Add(std::uint64_t offset, std::uint64_t bytes)
{
    const std::uint64_t previousEnd = Regions.empty() ? 0 : Regions.back().Offset + Regions.back().Bytes;
    if (offset < previousEnd || bytes > UINT64_MAX - offset || Regions.size() >= MaxRegions)
        return false;
    Regions.push_back({offset, bytes});
    DataBytes += bytes;
    return true;
}

bool CSparseMap::Fits(std::uint64_t memberBytes) const
{
    const std::uint64_t end = Regions.empty() ? 0 : Regions.back().Offset + Regions.back().Bytes;
    return end <= FileSize && DataStart <= memberBytes && DataBytes <= memberBytes - DataStart;
}

bool CSparseMap::AddGnuEntries(const TarHeaderBlock& block, bool extension)
{
    const char* entry = BlockBytes(block) + (extension ? 0 : HeaderEntries);
    const std::size_t count = extension ? ExtensionEntryCount : HeaderEntryCount;
    for (std::size_t i = 0; i < count && entry[0] != '\0'; ++i, entry += EntryBytes)
    {
        std::uint64_t offset = 0;
        std::uint64_t bytes = 0;
        if (!CTarFile::ScanGnuNumber(entry, 12, offset) || !CTarFile::ScanGnuNumber(entry + 12, 12, bytes) ||
            !Add(offset, bytes))
            return false;
    }
    return true;
}

bool CSparseMap::GnuExtensionFollows(const TarHeaderBlock& block, bool extension)
{
    return BlockBytes(block)[extension ? ExtensionExtended : HeaderExtended] != '\0';
}

bool CSparseMap::ReadGnuRealSize(const TarHeaderBlock& block, std::uint64_t& size)
{
    return CTarFile::ScanGnuNumber(BlockBytes(block) + HeaderRealSize, 12, size);
}

bool CSparseMap::AddPaxMap(std::string_view text)
{
    // "offset,size,offset,size"; an empty map is a file of holes only.
    if (text.empty())
        return true;
    std::uint64_t numbers[2] = {};
    std::size_t count = 0;
    for (;;)
    {
        const std::size_t comma = text.find(',');
        if (!CTarFile::ScanDecimal(text.substr(0, comma), numbers[count % 2]))
            return false;
        if (++count % 2 == 0 && !Add(numbers[0], numbers[1]))
            return false;
        if (comma == std::string_view::npos)
            return count % 2 == 0;
        text.remove_prefix(comma + 1);
    }
}

CSparseMap::TextResult CSparseMap::ReadDataMap(std::string_view text)
{
    std::size_t at = 0;
    // The next line's number; More when the text ends before its line feed.
    auto next = [&](std::uint64_t& value)
    {
        const std::size_t lineFeed = text.find('\n', at);
        if (lineFeed == std::string_view::npos)
            return text.size() - at > 20 ? TextResult::Bad : TextResult::More;
        const std::string_view line = text.substr(at, lineFeed - at);
        at = lineFeed + 1;
        return !line.empty() && line.front() >= '0' && line.front() <= '9' &&
                       CTarFile::ScanDecimal(line, value)
                   ? TextResult::Done
                   : TextResult::Bad;
    };
    Regions.clear();
    DataBytes = 0;
    std::uint64_t count = 0;
    if (TextResult result = next(count); result != TextResult::Done)
        return result;
    if (count > MaxRegions)
        return TextResult::Bad;
    for (std::uint64_t i = 0; i < count; ++i)
    {
        std::uint64_t offset = 0;
        std::uint64_t bytes = 0;
        if (TextResult result = next(offset); result != TextResult::Done)
            return result;
        if (TextResult result = next(bytes); result != TextResult::Done)
            return result;
        if (!Add(offset, bytes))
            return TextResult::Bad;
    }
    DataStart = CTarFile::BlocksFor(at) * CTarFile::BlockBytes;
    return TextResult::Done;
}
