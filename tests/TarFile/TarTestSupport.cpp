#include "TarTestSupport.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>

namespace tartest
{
TarHeaderBlock UstarBlock(std::string_view name, std::string_view size, std::string_view mtime, char typeflag)
{
    TarHeaderBlock block{};
    Put(block.Name, name);
    Put(block.Mode, "0000644");
    Put(block.Uid, "0000000");
    Put(block.Gid, "0000000");
    Put(block.Size, size);
    Put(block.Mtime, mtime);
    block.Typeflag = typeflag;
    Put(block.Magic, std::string_view("ustar\0", 6));
    Put(block.Version, "00");
    Seal(block);
    return block;
}

void Seal(TarHeaderBlock& block, bool signedSum)
{
    std::memset(block.Chksum, ' ', sizeof block.Chksum);
    const auto* bytes = reinterpret_cast<const unsigned char*>(&block);
    int sum = 0;
    for (std::size_t i = 0; i < sizeof block; ++i)
        sum += signedSum ? static_cast<signed char>(bytes[i]) : bytes[i];
    char text[16];
    std::snprintf(text, sizeof text, "%06o", static_cast<unsigned>(sum) & 0777777u);
    std::memcpy(block.Chksum, text, 6);
    block.Chksum[6] = '\0';
    block.Chksum[7] = ' ';
}

std::string PaxRecord(std::string_view key, std::string_view value)
{
    const std::string body = " " + std::string(key) + "=" + std::string(value) + "\n";
    std::size_t length = body.size() + 1;
    while (std::to_string(length).size() + body.size() != length)
        ++length;
    return std::to_string(length) + body;
}

std::string Entry(const TarHeaderBlock& header, std::string_view data)
{
    std::string entry(reinterpret_cast<const char*>(&header), sizeof header);
    entry += data;
    entry.resize((entry.size() + CTarFile::BlockBytes - 1) / CTarFile::BlockBytes * CTarFile::BlockBytes,
                 '\0');
    return entry;
}

std::string PaxEntry(std::string_view records, const TarHeaderBlock& header, std::string_view data)
{
    char size[16];
    std::snprintf(size, sizeof size, "%011o", static_cast<unsigned>(records.size()));
    return Entry(UstarBlock("PaxHeader/member", size, "14036030710", 'x'), records) + Entry(header, data);
}

std::string ArchiveEnd()
{
    return std::string(2 * CTarFile::BlockBytes, '\0');
}

namespace
{
bool Fits(std::string_view archive, std::uint64_t position, std::size_t bytes)
{
    if (position > archive.size() / CTarFile::BlockBytes)
        return false;
    return archive.size() - position * CTarFile::BlockBytes >= bytes;
}

// Copies `bytes` bytes at block `position` of the archive; a failure when the archive ends first.
CStatus Take(std::string_view archive, std::uint64_t position, void* target, std::size_t bytes)
{
    if (!Fits(archive, position, bytes))
        return CStatus(
            std::make_shared<CErrorRecord>(CErrorRecord{1, 0, "test", 0, {std::to_string(position)}}));
    std::memcpy(target, archive.data() + position * CTarFile::BlockBytes, bytes);
    return CStatus::Success();
}

// Reads the extension that the header in Header[0] announces, a GNU long name or pax records, with the
// header that follows it; `position` is the block after the header.
CStatus ReadExtensions(std::string_view archive, std::uint64_t start, std::uint64_t& position,
                       CGenericTarFile& tar)
{
    const CVolumeID volume;
    CStatus status = tar.GetPaxDataLength(volume, start);
    // A long link target ('K', passed over) and a long name ('L') come before the member they describe.
    while (status.IsSuccess() && tar.PaxLength == 0 &&
           (tar.Header[0].Typeflag == 'L' || tar.Header[0].Typeflag == 'K'))
    {
        std::uint32_t length = 0;
        if (tar.Header[0].Typeflag == 'L')
        {
            status = tar.AllocateLongName(volume, start);
            length = tar.LongNameLength;
            if (status.IsSuccess())
                status = Take(archive, position, tar.LongName.get(), length);
        }
        else
            status = tar.GetExtensionLength(volume, start, length);
        position += CTarFile::BlocksFor(length);
        start = position;
        if (status.IsSuccess())
            status = Take(archive, position++, &tar.Header[0], CTarFile::BlockBytes);
        if (status.IsSuccess())
            status = tar.GetPaxDataLength(volume, start);
    }
    if (status.IsSuccess() && tar.PaxLength > 0)
    {
        status = tar.AllocatePaxData();
        if (status.IsSuccess())
            status = Take(archive, position, tar.PaxData.get(), tar.PaxLength);
        position += CTarFile::BlocksFor(tar.PaxLength);
        if (status.IsSuccess())
            status = Take(archive, position++, &tar.Header[1], CTarFile::BlockBytes);
        if (status.IsSuccess())
            status = tar.GetPaxDataLength(volume, start);
    }
    return status;
}
} // namespace

std::vector<Member> ReadArchive(std::string_view archive, CStatus& status)
{
    std::vector<Member> members;
    const CVolumeID volume;
    status = CStatus::Success();
    for (std::uint64_t position = 0; Fits(archive, position, CTarFile::BlockBytes);)
    {
        auto tar = std::make_unique<CGenericTarFile>();
        const std::uint64_t start = position;
        status = Take(archive, position++, &tar->Header[0], CTarFile::BlockBytes);
        const auto* first = reinterpret_cast<const unsigned char*>(&tar->Header[0]);
        if (std::all_of(first, first + CTarFile::BlockBytes, [](unsigned char b) { return b == 0; }))
            break;
        status = ReadExtensions(archive, start, position, *tar);

        Member member;
        CFileName name;
        if (status.IsSuccess())
            status = tar->GetName(1, name);
        if (status.IsSuccess())
            status = tar->GetSize(volume, member.Size);
        if (status.IsSuccess())
            status = tar->GetModificationTime(volume, member.Time);
        if (status.IsSuccess())
            status = tar->GetTapeModificationTime(volume, member.TapeTime);
        if (status.IsSuccess())
            status = tar->GetCatalogueTime(volume, member.CatalogueTime);
        if (status.Failed())
            break;
        member.Name = name.ToUtf8();
        member.FirstBlockTimeZero = std::string_view(tar->Header[0].Mtime, 11) == "00000000000";
        member.HoldsPax = tar->HoldsPaxData();
        members.push_back(member);
        position += CTarFile::BlocksFor(member.Size);
    }
    return members;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<Listed> ReadListing(const std::string& path)
{
    std::vector<Listed> entries;
    std::istringstream text(ReadFile(path));
    for (std::string line; std::getline(text, line);)
    {
        auto tab1 = line.find('\t');
        auto tab2 = line.find('\t', tab1 + 1);
        entries.push_back({std::stoull(line.substr(0, tab1)),
                           std::stoll(line.substr(tab1 + 1, tab2 - tab1 - 1)), line.substr(tab2 + 1)});
    }
    return entries;
}

std::string FixturePath(const std::string& relative)
{
    const char* root = std::getenv("REELFS_FIXTURES");
    return std::string(root ? root : "tests/fixtures") + "/" + relative;
}

std::string RunCommand(const std::string& command, int& exitStatus)
{
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
    {
        exitStatus = -1;
        return output;
    }
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        output.append(buffer, n);
    exitStatus = pclose(pipe);
    return output;
}
} // namespace tartest
