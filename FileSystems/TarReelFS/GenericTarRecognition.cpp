// Recognition of generic TAR tapes: a tape whose block size is a multiple of 512 and whose first block
// is a TAR header that verifies (unless the first file is "VantrelFormat.xml"). The volume's identity is
// derived from the first header's signature and kept stable across readings through the label
// identifiers that scans store in the catalogue header.
#include "FileSystems/TarReelFS/GenericTarRecognition.h"
#include "FileSystems/TapeFS/FileSystemErrors.h"
#include "FileSystems/TapeFS/TapeRecognitionStep.h"
#include "FileSystems/TarFile/CGenericTarFile.h"
#include "FileSystems/TarReelFS/CGenericTarFileSystem.h"
#include "FileSystems/TarReelFS/CGenericTarFileSystemOperation.h"
#include "vnservice/CBlockBuffer.h"
#include "vnservice/CSystem.h"
#include "vnservice/ErrorGenerators.h"
#include "win/Allocation.h"
#include "win/CodePage.h"

#include <chrono>
#include <cstdio>
#include <cstring>

namespace
{
// The kept drive statuses that only mean the tape holds nothing for us.
constexpr std::uint32_t QuietCodes[] = {0, ErrorNoData, ErrorBlank, ErrorArchiveEndNotZero};

constexpr CTapeRecognitionStep::Layout GenericTarLayout = {
    .CheckState = 2,
    .VolumeSetType = 9,
    .BlockSizeUnknown = 0,
    .WholeTarBlocks = true,
    .MarksIdentified = true,
    .QuietCodes = QuietCodes,
};

// The states, each after the drive operation the one before started: 0 asks for the block size, 1 reads
// the first block, 2 checks its header, 3 identifies.
class GenericTarRecognitionStep : public CLayoutRecognitionStep<CGenericTarFileSystemOperation>
{
public:
    using CLayoutRecognitionStep::CLayoutRecognitionStep;

private:
    // The first 512 bytes of the tape's first block land in the header's first block.
    CStatus FirstRead() override
    {
        CStatus status = CreateBlockBuffer();
        if (status.Failed())
            return status;
        LayoutOperation.TarFile.reset(NewNoThrow<CGenericTarFile>());
        if (!LayoutOperation.TarFile)
            return CErrorGenMemory(FileSystem.OpsSource, __LINE__, sizeof(CGenericTarFile));
        status = LayoutOperation.BlockBuffer->Append(&LayoutOperation.TarFile->Header[0], 512, nullptr);
        if (status.IsSuccess())
            ReadBlock(0, 2);
        return status;
    }

    // A header that verifies, of any first file but "VantrelFormat.xml", and the signature made of it.
    CStatus Check() override
    {
        CTarFile& tar = *LayoutOperation.TarFile;
        CStatus status = tar.GetPaxDataLength(FileSystem.VolumeID, 0);
        CFileName name;
        if (status.IsSuccess())
            status = tar.GetName(CP_OEMCP, name);
        if (status.IsSuccess() && name.Compare(u"VantrelFormat.xml") == 0)
        {
            Result = Outcome::NotThisLayout;
            return status;
        }
        if (status.IsSuccess())
            status = MakeTapeSignature(LayoutOperation, tar);
        return status;
    }

    Identity TapeIdentity() const override
    {
        return {static_cast<std::uint32_t>(LayoutOperation.SignatureNumber), LayoutOperation.LabelId};
    }
};
} // namespace

WString FormatGmt(std::int64_t seconds)
{
    using namespace std::chrono;
    // Outside the years 1 to 3000 the text is not made, as the UTC conversion refuses such times.
    constexpr std::int64_t startOf1 = -62135596800LL;
    constexpr std::int64_t endOf3000 = 32535215999LL;
    if (seconds < startOf1 || seconds > endOf3000)
        return WString();
    sys_seconds time{std::chrono::seconds(static_cast<std::int64_t>(seconds))};
    auto day = floor<days>(time);
    year_month_day date{day};
    hh_mm_ss clock{time - day};
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u %02ld:%02ld:%02ld", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                  static_cast<long>(clock.hours().count()), static_cast<long>(clock.minutes().count()),
                  static_cast<long>(clock.seconds().count()));
    return WidenAscii(text);
}

std::uint64_t HashBytes(std::uint64_t hash, const std::uint8_t* bytes, std::size_t size)
{
    for (std::size_t i = 0; i < size; ++i)
        hash = (hash ^ bytes[i]) * 0x100000001B3ULL;
    return hash;
}

std::uint64_t HashName(WStringView name)
{
    std::uint64_t hash = 0xCBF29CE484222325ULL;
    for (char16_t unit : name)
    {
        const std::uint8_t bytes[] = {static_cast<std::uint8_t>(unit & 0xFF),
                                      static_cast<std::uint8_t>(unit >> 8)};
        hash = HashBytes(hash, bytes, sizeof bytes);
    }
    return hash;
}

CStatus MakeTapeSignature(CGenericTarFileSystemOperation& operation, const CTarFile& header)
{
    // The time as written on tape: a header that carries none (GNU and pax extension headers often
    // hold 0) gives 0, so that the signature is the same at every reading.
    std::int64_t time = 0;
    if (header.FirstBlock().Mtime[0] != 0)
        if (CStatus status = header.GetTapeModificationTime(CVolumeID(), time); status.Failed())
            return status;
    operation.SignatureNumber = static_cast<std::uint64_t>(time);
    // Times before 1970 are dated as GNU writes them, in base-256 (first byte 0xFF). An octal field with a
    // minus sign dates nothing any writer meant and keeps the text such tapes have always had: none.
    const bool base256 = static_cast<unsigned char>(header.FirstBlock().Mtime[0]) == 0xFF;
    std::string text;
    if (time >= 0 || base256)
        WideToMultiByte(CP_UTF8, FormatGmt(time), text);

    CFileName name;
    CStatus status = header.GetName(CP_UTF7, name);
    if (status.Failed())
    {
        std::memcpy(operation.LabelId, text.data(), std::min(text.size(), sizeof operation.LabelId));
        return status;
    }
    std::uint64_t hash = HashName(name.GetText());
    // Without a time the name alone would give every volume that begins with the continuation of one
    // file the same identity: the whole header block tells them apart, and stays the same at every reading.
    if (time == 0)
        hash = HashBytes(hash, reinterpret_cast<const std::uint8_t*>(&header.FirstBlock()),
                         sizeof(TarHeaderBlock));
    char digits[24];
    std::snprintf(digits, sizeof digits, ", %016llX", static_cast<unsigned long long>(hash));
    text += digits;
    if (operation.SignatureNumber == 0)
        operation.SignatureNumber = hash;
    std::memcpy(operation.LabelId, text.data(), std::min(text.size(), sizeof operation.LabelId));
    return CStatus::Success();
}

CStatus CGenericTarFileSystem::RecogniseVolume(CArchiveFileSystemOperation* operation)
{
    auto& own = *static_cast<CGenericTarFileSystemOperation*>(operation);
    return GenericTarRecognitionStep(*this, own, GenericTarLayout).Run();
}
