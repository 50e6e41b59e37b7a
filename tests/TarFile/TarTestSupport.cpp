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

namespace
{
// Copies `bytes` bytes at block `position` of the archive; false when the archive ends first.
bool Take(std::string_view archive, std::uint64_t position, void* target, std::size_t bytes)
{
    std::uint64_t offset = position * CTarFile::BlockBytes;
    if (offset > archive.size() || archive.size() - offset < bytes)
        return false;
    std::memcpy(target, archive.data() + offset, bytes);
    return true;
}

CStatus Truncated(std::uint64_t position)
{
    return CStatus(std::make_shared<CErrorRecord>(CErrorRecord{1, 0, "test", 0, {std::to_string(position)}}));
}
} // namespace

std::vector<Member> ReadArchive(std::string_view archive, CStatus& status)
{
    std::vector<Member> members;
    const CVolumeID volume;
    std::uint64_t position = 0;
    status = CStatus::Success();
    for (;;)
    {
        auto tar = std::make_unique<CGenericTarFile>();
        std::uint64_t start = position;
        if (!Take(archive, position++, &tar->Header[0], CTarFile::BlockBytes))
            return members;
        const auto* first = reinterpret_cast<const unsigned char*>(&tar->Header[0]);
        if (std::all_of(first, first + CTarFile::BlockBytes, [](unsigned char b) { return b == 0; }))
            return members;
        status = tar->GetPaxDataLength(volume, start);
        if (status.IsSuccess() && tar->PaxLength == 0 && tar->Header[0].Typeflag == 'L')
        {
            status = tar->AllocateLongName(volume, start);
            if (status.Failed())
                return members;
            if (!Take(archive, position, tar->LongName.get(), tar->LongNameLength))
                return status = Truncated(position), members;
            position += CTarFile::BlocksFor(tar->LongNameLength);
            start = position;
            if (!Take(archive, position++, &tar->Header[0], CTarFile::BlockBytes))
                return status = Truncated(position), members;
            status = tar->GetPaxDataLength(volume, start);
        }
        if (status.IsSuccess() && tar->PaxLength > 0)
        {
            status = tar->AllocatePaxData();
            if (status.Failed())
                return members;
            if (!Take(archive, position, tar->PaxData.get(), tar->PaxLength))
                return status = Truncated(position), members;
            position += CTarFile::BlocksFor(tar->PaxLength);
            if (!Take(archive, position++, &tar->Header[1], CTarFile::BlockBytes))
                return status = Truncated(position), members;
            status = tar->GetPaxDataLength(volume, start);
        }
        if (status.Failed())
            return members;

        Member member;
        CFileName name;
        status = tar->GetName(1, name);
        if (status.IsSuccess())
            status = tar->GetSize(volume, member.Size);
        if (status.IsSuccess())
            status = tar->GetModificationTime(volume, member.Time);
        if (status.IsSuccess())
            status = tar->GetTapeModificationTime(volume, member.TapeTime);
        if (status.Failed())
            return members;
        member.Name = name.ToUtf8();
        member.FirstBlockTimeZero = std::string_view(tar->Header[0].Mtime, 11) == "00000000000";
        members.push_back(member);
        position += CTarFile::BlocksFor(member.Size);
    }
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
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
