#include "FileSystems/TarFile/CGenericTarFile.h"

#include "FileSystems/TapeFS/FileSystemErrors.h"
#include "vnservice/ErrorGenerators.h"
#include "win/CodePage.h"

#include <algorithm>
#include <cstring>

namespace
{
constexpr const char* Module = "GenericTarFile";

// A GNU base-256 field: 0x80, then a big-endian number in the other bytes; or, where negative numbers
// are taken, 0xFF and the whole field a negative number in two's complement. GNU numbers are signed 64-bit:
// one that needs more bits is refused (ErrorNumberTooLarge), never cut to its low bytes. False when the field
// is not base-256.
bool ReadBase256(const CVolumeID& volume, const char* field, std::size_t width, bool negativeTaken,
                 const char* what, std::int64_t& value, CStatus& status)
{
    const auto lead = static_cast<unsigned char>(field[0]);
    if (lead != 0x80 && !(negativeTaken && lead == 0xFF))
        return false;
    const unsigned char fill = lead == 0x80 ? 0x00 : 0xFF;
    std::uint64_t bits = 0;
    for (std::size_t i = width - 8; i < width; ++i)
        bits = bits << 8 | static_cast<unsigned char>(field[i]);
    bool fits = (bits >> 63) == (fill & 1);
    for (std::size_t i = 1; i < width - 8; ++i)
        fits = fits && static_cast<unsigned char>(field[i]) == fill;
    value = fits ? static_cast<std::int64_t>(bits) : 0;
    status = fits ? CStatus::Success()
                  : CErrorGenFileSystem(Module, __LINE__, ErrorNumberTooLarge, volume,
                                        {what, CTarFile::ByteList({field, width})});
    return true;
}
} // namespace

CStatus CGenericTarFile::GetName(unsigned codePage, CFileName& name) const
{
    if (LongName)
    {
        std::string_view text(reinterpret_cast<const char*>(LongName.get()), LongNameLength);
        text = text.substr(0, text.find('\0'));
        // An empty long name names nothing: the member's own header does.
        if (!text.empty())
        {
            if (CStatus status = CheckNameLength("GNU long name", text.size()); status.Failed())
                return status;
            return DecodeName(CP_ACP, text, name);
        }
    }
    return CTarFile::GetName(codePage, name);
}

CStatus CGenericTarFile::GetSize(const CVolumeID& volume, std::uint64_t& size) const
{
    if (!(HoldsPaxData() && !FindPaxRecord("size").empty()))
    {
        const TarHeaderBlock& block = UstarBlock();
        std::int64_t value = 0;
        CStatus status;
        if (ReadBase256(volume, block.Size, sizeof block.Size, false, "size", value, status))
        {
            size = static_cast<std::uint64_t>(value);
            return status;
        }
    }
    return CTarFile::GetSize(volume, size);
}

CStatus CGenericTarFile::ReadTimeField(const CVolumeID& volume, const TarHeaderBlock& block,
                                       std::int64_t& time) const
{
    // GNU writers date times before 1970, and after 2242, in base-256.
    CStatus status;
    if (ReadBase256(volume, block.Mtime, sizeof block.Mtime, true, "mtime", time, status))
        return status;
    return CTarFile::ReadTimeField(volume, block, time);
}

CStatus CGenericTarFile::GetModificationTime(const CVolumeID& volume, std::uint64_t& time) const
{
    if (Header[0].Mtime[0] == '\0')
    {
        time = CurrentTime();
        return CStatus::Success();
    }
    return CTarFile::GetModificationTime(volume, time);
}

bool CGenericTarFile::StoreName(std::string name)
{
    TarHeaderBlock& block = Header[0];
    std::memcpy(block.Name, name.data(), std::min(name.size(), sizeof block.Name));
    return name.size() > sizeof block.Name;
}

CStatus CGenericTarFile::GetExtensionLength(const CVolumeID& volume, std::uint64_t position,
                                            std::uint32_t& length) const
{
    length = 0;
    std::uint64_t size = 0;
    if (CStatus status = GetSize(volume, size); status.Failed())
        return status;
    // The length decides an allocation or a read: a corrupt one is refused before either.
    if (size > MaxExtensionBytes)
        return CErrorGenFileSystem(Module, __LINE__, ErrorNotHeader, volume,
                                   {FormatParameter("%I64u", position)});
    length = static_cast<std::uint32_t>(size);
    return CStatus::Success();
}

CStatus CGenericTarFile::AllocateLongName(const CVolumeID& volume, std::uint64_t position)
{
    std::uint32_t length = 0;
    if (CStatus status = GetExtensionLength(volume, position, length); status.Failed())
        return status;
    std::size_t capacity = RoundToBlocks(length);
    auto buffer = Reallocate(nullptr, 0, capacity);
    if (!buffer)
        return CErrorGenMemory(Module, __LINE__, std::size_t{length} + BlockBytes - 1);
    PaxData.reset();
    PaxLength = 0;
    PaxCapacity = static_cast<std::uint32_t>(capacity);
    LongName = std::move(buffer);
    LongNameLength = length;
    return CStatus::Success();
}

bool CGenericTarFile::ReadContinuationOffset(const TarHeaderBlock& block, std::uint64_t& offset)
{
    return ScanGnuNumber(block.Prefix + 24, 12, offset);
}

bool CGenericTarFile::OpensMember(const TarHeaderBlock& continuation, const TarHeaderBlock& next)
{
    if (VerifyHeader(next) != 0 || next.Typeflag == 'M')
        return false;
    if (next.Typeflag == 'L')
        return std::memchr(continuation.Name, '\0', sizeof continuation.Name) == nullptr;
    std::uint64_t size = 0;
    std::uint64_t nextSize = 0;
    return FieldText(continuation.Name, sizeof continuation.Name) == FieldText(next.Name, sizeof next.Name) &&
           ScanGnuNumber(continuation.Size, sizeof continuation.Size, size) &&
           ScanGnuNumber(next.Size, sizeof next.Size, nextSize) && size == nextSize;
}
