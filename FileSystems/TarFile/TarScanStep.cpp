#include "FileSystems/TarFile/TarScanStep.h"

#include "FileSystems/TapeFS/CTapeFileSystem.h"
#include "FileSystems/TapeFS/CTapeOperation.h"
#include "FileSystems/TapeFS/FileSystemErrors.h"
#include "FileSystems/TapeFS/TimeHelpers.h"
#include "FileSystems/TarFile/CGenericTarFragment.h"
#include "FileSystems/TarFile/CTarFile.h"
#include "frame/CCatArchive.h"
#include "vnservice/CBlockBuffer.h"
#include "vnservice/ErrorGenerators.h"
#include "vnservice/Opcodes.h"
#include "win/CodePage.h"

#include <algorithm>

namespace
{

bool IsZeroBlock(const TarHeaderBlock& block)
{
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&block);
    return std::all_of(bytes, bytes + sizeof block, [](std::uint8_t byte) { return byte == 0; });
}
} // namespace

CStatus TargetPaxRecords(CBlockBuffer& buffer, CTarFile& tar, std::uint64_t& bytes)
{
    buffer.Clear();
    CStatus status = tar.AllocatePaxData();
    if (status.IsSuccess())
        status = buffer.Append(tar.PaxData.get(), tar.PaxLength, nullptr);
    if (status.IsSuccess())
        status = buffer.Append(&tar.Header[1], CTarFile::BlockBytes, nullptr);
    bytes = status.IsSuccess() ? buffer.GetByteCount() : 0;
    return status;
}

CTarScanStep::CTarScanStep(CTapeFileSystem& fileSystem, CTapeOperation& operation,
                           CTarGetOperationContext& context, const States& states)
    : CTapeScanStep(fileSystem, operation, context), ArchiveCounter(context.ArchiveCounter), Next(states)
{
}

CStatus CTarScanStep::RunStep(std::uint32_t state)
{
    if (state == Next.HeaderRead)
        return HeaderRead();
    if (state == Next.PaxRead)
        return PaxRead();
    if (state == Next.SparseExtensionRead)
        return SparseExtensionRead();
    if (state == Next.ZeroBlockRead)
        return ZeroBlockRead();
    if (state == Next.ArchiveMarkPassed)
        return ArchiveMarkPassed();
    return RunState(state);
}

CStatus CTarScanStep::ReadHeader(std::uint32_t next)
{
    if (CStatus status = Operation.BlockBuffer->Append(&Tar().Header[0], CTarFile::BlockBytes, nullptr);
        status.Failed())
        return status;
    Context.ItemStart = Context.ScanPosition;
    return ReadInto(CTarFile::BlockBytes, 1, next);
}

CStatus CTarScanStep::ReadFollowingHeader()
{
    Operation.BlockBuffer->Clear();
    if (CStatus status = Operation.BlockBuffer->Append(&Tar().Header[0], CTarFile::BlockBytes, nullptr);
        status.Failed())
        return status;
    return ReadInto(CTarFile::BlockBytes, 1, Next.HeaderRead);
}

CStatus CTarScanStep::ReadInto(std::uint64_t bytes, std::uint64_t advance, std::uint32_t next)
{
    // The read takes its position now; the scan position moves on for the steps after it.
    Operation.NextState(Volume.ReadBlocksOperation(&Operation, bytes, Operation.ReplicaIndex, 1,
                                                   Context.ScanPosition, 0, 0, Operation.BlockBuffer, 0,
                                                   false, nullptr),
                        next);
    Context.ScanPosition += advance;
    return CStatus::Success();
}

CStatus CTarScanStep::SpaceOverMark(std::uint32_t next)
{
    // The drive reports where it stopped when the spacing completes; the next step takes that over.
    Operation.NextState(Volume.SpaceMarksOperation(&Operation, Operation.ReplicaIndex, 1,
                                                   Context.ScanPosition, 1, &Operation.MarkReached),
                        next);
    return CStatus::Success();
}

CStatus CTarScanStep::ReadBlockAfterZero()
{
    // The block buffer still targets the header's first block.
    return ReadInto(CTarFile::BlockBytes, 1, Next.ZeroBlockRead);
}

CStatus CTarScanStep::HeaderRead()
{
    CTarFile& tar = Tar();
    if (IsZeroBlock(tar.Header[0]))
        return ZeroBlockFound();
    if (CStatus status = tar.GetPaxDataLength(FileSystem.VolumeID, Context.ItemStart); status.Failed())
        return status;
    if (tar.PaxLength == 0)
        return HeaderWithoutRecords();
    PaxHeaderSeen();
    return ReadPaxRecords();
}

CStatus CTarScanStep::ReadPaxRecords()
{
    CTarFile& tar = Tar();
    std::uint64_t bytes = 0;
    if (CStatus status = TargetPaxRecords(*Operation.BlockBuffer, tar, bytes); status.Failed())
        return status;
    return ReadInto(std::uint64_t{tar.PaxLength} + CTarFile::BlockBytes, CTarFile::BlocksFor(bytes),
                    Next.PaxRead);
}

CStatus CTarScanStep::PaxRead()
{
    // The ustar block has come with the records: verified now.
    CTarFile& tar = Tar();
    if (CStatus status = tar.GetPaxDataLength(FileSystem.VolumeID, Context.ItemStart); status.Failed())
        return EntryUnreadable(status);
    if (tar.Header[1].Typeflag != 'x')
        return MemberHeaderRead();
    // Another pax header: it describes the same member, and its records replace the first one's, as GNU
    // tar and bsdtar read them.
    tar.Header[0] = tar.Header[1];
    tar.PaxData.reset();
    tar.PaxCapacity = 0;
    if (CStatus status = tar.GetPaxDataLength(FileSystem.VolumeID, Context.ItemStart); status.Failed())
        return EntryUnreadable(status);
    if (tar.PaxLength == 0)
        return ReadFollowingHeader();
    return ReadPaxRecords();
}

CStatus CTarScanStep::MemberHeaderRead()
{
    CTarFile& tar = Tar();
    if (tar.UstarBlock().Typeflag != 'S' || !CSparseMap::GnuExtensionFollows(tar.UstarBlock(), false))
        return HandleEntry();
    Operation.BlockBuffer->Clear();
    if (CStatus status = Operation.BlockBuffer->Append(&tar.SparseExtension, CTarFile::BlockBytes, nullptr);
        status.Failed())
        return EntryUnreadable(status);
    return ReadInto(CTarFile::BlockBytes, 1, Next.SparseExtensionRead);
}

CStatus CTarScanStep::SparseExtensionRead()
{
    // The buffer still targets the extension block.
    if (CSparseMap::GnuExtensionFollows(Tar().SparseExtension, true))
        return ReadInto(CTarFile::BlockBytes, 1, Next.SparseExtensionRead);
    return HandleEntry();
}

CStatus CTarScanStep::HandleEntry()
{
    CFileName name;
    if (CStatus status = Tar().GetName(CP_OEMCP, name); status.Failed())
        return EntryUnreadable(status);
    return HandleMember(name);
}

CStatus CTarScanStep::HandleMember(const CFileName& name)
{
    CTarFile& tar = Tar();
    std::int64_t time = 0;
    if (CStatus status = tar.GetCatalogueTime(FileSystem.VolumeID, time); status.Failed())
        return Finish(status);
    const std::uint64_t fileTime = TimeToFileTime(time);
    if (tar.UstarBlock().Typeflag == '5')
    {
        Item.Opcode = ItemDirectory;
        Item.ClearParameters();
        Item.AnchoredFileName = name;
        Item.SetItemSubCode(SubCodeNone);
        Item.ItemPosition() = Context.ItemStart;
        Item.ItemSize() = fileTime;
        return Finish(CStatus::Success());
    }
    std::uint64_t size = 0;
    if (CStatus status = tar.GetSize(FileSystem.VolumeID, size); status.Failed())
        return Finish(status);
    if (CStatus status = CheckData(name, size); status.Failed())
        return Finish(status);
    std::uint64_t fileSize = 0;
    if (CStatus status = tar.GetFileSize(FileSystem.VolumeID, fileSize); status.Failed())
        return Finish(status);
    CGenericTarFragment fragment;
    if (CStatus status = FillMemberFile(name, fileSize, fileTime, fragment); status.Failed())
        return Finish(status);
    return FileFound(name, size, fragment);
}

CStatus CTarScanStep::CheckData(const CFileName&, std::uint64_t size)
{
    // A volume's bytes are numbered in 63 bits, as every writer's file offsets are: a member whose data
    // would end past them cannot have been written, and its size is damage, not a file that continues.
    constexpr std::uint64_t lastPosition = (std::uint64_t{1} << 63) / CTarFile::BlockBytes;
    if (CTarFile::BlocksFor(size) <= lastPosition - std::min(lastPosition, Context.ScanPosition))
        return CStatus::Success();
    return CErrorGenFileSystem(FileSystem.OpsSource, __LINE__, ErrorImpossibleSize, FileSystem.VolumeID,
                               {FormatParameter("%I64u", Context.ItemStart), FormatParameter("%I64u", size)});
}

CStatus CTarScanStep::FillMemberFile(const CFileName& name, std::uint64_t size, std::uint64_t fileTime,
                                     CGenericTarFragment& fragment)
{
    fragment.Name = name;
    fragment.Size = size;
    fragment.StartPosition = Context.ItemStart;
    fragment.Time = fileTime;
    if (CStatus status =
            FileSystem.AnalyseForeignFile(fragment, Catalogue, FileSystem.BlockSize, 1, 0, nullptr, false);
        status.Failed())
        return status;
    const CFileName path = fragment.GetFileName();
    const CCatArchive record(Context.ItemStart, path.GetText(), size, fileTime, fragment.SegmentIndex,
                             fragment.OrderKey1, fragment.OrderKey2);
    return FillFile(path, record, 0, fileTime);
}

CStatus CTarScanStep::FileFound(const CFileName&, std::uint64_t size, const CGenericTarFragment&)
{
    Context.ScanPosition += CTarFile::BlocksFor(size);
    return Finish(CStatus::Success());
}

CStatus CTarScanStep::ZeroBlockRead()
{
    if (!IsZeroBlock(Tar().Header[0]))
        return ArchiveEndNotZero();
    return SpaceOverMark(Next.ArchiveMarkPassed);
}

CStatus CTarScanStep::ArchiveMarkPassed()
{
    Context.ScanPosition = Operation.MarkReached;
    FillArchiveEnd(Context.ScanPosition);
    return Finish(CStatus::Success());
}

void CTarScanStep::FillArchiveEnd(std::uint64_t itemEnd)
{
    Item.Opcode = ItemArchiveEnd;
    Item.ClearParameters();
    Item.SetItemSubCode(SubCodeArchiveEnd);
    Item.ItemPosition() = Context.ItemStart;
    Item.ItemSize() = (itemEnd - Context.ItemStart) * 512;
    Item.ItemCounter() = ++ArchiveCounter;
}
