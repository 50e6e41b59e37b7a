// The scan of generic TAR tapes: each GetNextItem operation reads one entry (a pax or GNU long-name
// extension, then the member's header) and hands it back as a file, a directory or the end of an archive.
// Only headers are read (and whether a file mark stands where the volume's closing mark may, or after a
// zero block); data blocks are passed over by position. For a file the scan records its
// extents in the catalogue, cut where the volume ends, so that a restore can find them and follow the
// file onto the next volume.
#include "FileSystems/TapeFS/FileSystemErrors.h"
#include "FileSystems/TarFile/CGenericTarFile.h"
#include "FileSystems/TarFile/CGenericTarFragment.h"
#include "FileSystems/TarFile/TarScanStep.h"
#include "FileSystems/TarReelFS/CGenericTarFileSystem.h"
#include "FileSystems/TarReelFS/CGenericTarFileSystemOperation.h"
#include "FileSystems/TarReelFS/CGenericTarGetOperationContext.h"
#include "FileSystems/TarReelFS/GenericTarRecognition.h"
#include "frame/CCatExtent.h"
#include "frame/CCatSync.h"
#include "pagelist/CFileListInternal.h"
#include "vnservice/CBlockBuffer.h"
#include "vnservice/CEventLog.h"
#include "vnservice/CSystem.h"
#include "vnservice/ErrorGenerators.h"
#include "win/Allocation.h"
#include "win/CodePage.h"

#include <algorithm>
#include <string>

namespace
{
constexpr char Source[] = "GenericTarOps";

enum State : std::uint32_t
{
    StartItem = 0,
    FirstHeader = 1,
    HeaderRead = 2,
    PaxRead = 3,
    LongNameRead = 4,
    ZeroBlockRead = 5,
    ArchiveMarkPassed = 6,
    VolumeMarkPassed = 7,
    SparseExtensionRead = 8,
    LastBlockRead = 9,
    ClosingBlockRead = 10,
    BlockAfterZeroRead = 11,
    ContinuationFollowerRead = 12,
};

// Posted, with the text below, when a zero block and then a file mark end an archive.
constexpr std::uint32_t EventLoneZeroBlock = 0x40080267;

// The states in which the shared TAR steps go on.
constexpr CTarScanStep::States SharedStates = {State::HeaderRead, State::PaxRead, State::ZeroBlockRead,
                                               State::ArchiveMarkPassed, State::SparseExtensionRead};

// One step of a scan operation: the shared TAR steps, and GNU long names, continuation entries, the
// extents of each file and the mark that closes a volume.
class GenericTarScanStep : public CTarLayoutScanStep<CGenericTarFileSystem, CGenericTarFileSystemOperation,
                                                     CGenericTarGetOperationContext>
{
public:
    GenericTarScanStep(CGenericTarFileSystem& fileSystem, CGenericTarFileSystemOperation& operation)
        : CTarLayoutScanStep(fileSystem, operation, SharedStates)
    {
    }

private:
    CStatus RunState(std::uint32_t state) override;
    CStatus HeaderWithoutRecords() override;
    void PaxHeaderSeen() override { SetStandard(1); }
    CStatus HandleEntry() override;
    CStatus EntryUnreadable(const CStatus& failure) override { return Finish(failure); }
    CStatus FileFound(const CFileName& name, std::uint64_t size,
                      const CGenericTarFragment& fragment) override;
    CStatus ZeroBlockFound() override;
    CStatus ArchiveEndNotZero() const override;

    CStatus StartItem();
    // Where the mark that closes the volume stands when a member's data run on onto the next volume, or
    // when the volume ends right after a member: one physical block before the last written block.
    std::uint64_t ClosingMarkBlock() const;
    // A header was due where the closing mark may stand: the mark ends the volume's archive (a
    // multi-volume writer goes on on the next volume); data there (an image cut short) are read as the
    // header.
    CStatus ClosingBlockRead();
    // A mark after a zero block ends the archive, as GNU tar takes it (a multi-volume writer leaves the
    // second zero block to the next volume, or none at all); a block there is read as the second one.
    CStatus BlockAfterZeroRead();
    CStatus StoreSignature();
    CStatus ReadLongName();
    CStatus PassLongLink();
    CStatus VolumeMarkPassed();
    CStatus HandleContinuation(const CFileName& name);
    // The block after a continuation of offset 0 has been read: the header of the member it names, which
    // begins on this volume and is read from that header on, or the member's first data.
    CStatus ContinuationFollowerRead();
    // Records the data of the continuation whose header is the first block, of the member `name`.
    CStatus RecordContinuation(const CFileName& name);

    // The data blocks of an entry whose header ends at the scan position that lie on this volume: all
    // of them, or those up to the volume's closing mark when the data run past the volume. `closingMark`:
    // the mark that closes the volume takes its last physical block (false only where the drive found
    // data there: an image cut short, or one that ends at its end-of-medium word with no mark).
    struct DataSpan
    {
        std::uint64_t Blocks;
        bool RunsPastVolume;
    };
    DataSpan DataOnVolume(std::uint64_t blocks, bool closingMark = true) const;
    // Records the entry's data on this volume; first, where they would end in the volume's last physical
    // block, reads what stands there: the closing mark, and they run on onto the next volume, or data.
    CStatus RecordData(const TarDataEntry& entry);
    CStatus LastBlockRead();
    // Records the entry's data on this volume as its extent and moves past them; completes the item, or,
    // when the data run past the volume, spaces over the closing mark first.
    CStatus RecordSpan(const TarDataEntry& entry, const DataSpan& span);
    CStatus AddExtent(const CFileName& name, std::uint64_t bytes, std::uint32_t segmentIndex,
                      std::uint32_t orderKey1, std::uint32_t orderKey2);
    void SetStandard(std::int32_t standard);
};

CStatus GenericTarScanStep::RunState(std::uint32_t state)
{
    switch (state)
    {
    case State::StartItem:
        return StartItem();
    case State::FirstHeader:
        return StoreSignature();
    case State::LongNameRead:
        return ReadFollowingHeader();
    case State::VolumeMarkPassed:
        return VolumeMarkPassed();
    case State::LastBlockRead:
        return LastBlockRead();
    case State::ClosingBlockRead:
        return ClosingBlockRead();
    case State::BlockAfterZeroRead:
        return BlockAfterZeroRead();
    case State::ContinuationFollowerRead:
        return ContinuationFollowerRead();
    default:
        return FileSystem.UnknownState(state, __LINE__);
    }
}

CStatus GenericTarScanStep::StartItem()
{
    if (CStatus status = CreateBlockBuffer(); status.Failed())
        return status;
    LayoutOperation.TarFile.reset(NewNoThrow<CGenericTarFile>());
    if (!LayoutOperation.TarFile)
        return CErrorGenMemory(Source, __LINE__, sizeof(CGenericTarFile));
    if (Context.ScanPosition == 0)
        return ReadHeader(State::FirstHeader);
    if (Context.ScanPosition == ClosingMarkBlock())
    {
        Context.ItemStart = Context.ScanPosition;
        ReadMark(Context.ScanPosition, State::ClosingBlockRead);
        return CStatus::Success();
    }
    return ReadHeader(State::HeaderRead);
}

std::uint64_t GenericTarScanStep::ClosingMarkBlock() const
{
    const std::uint64_t lastWritten = Medium->LastWrittenBlock;
    return lastWritten - std::min(lastWritten, Medium->AdjustToPhysicalBlockBoundary(1, true));
}

CStatus GenericTarScanStep::ClosingBlockRead()
{
    if (Medium->AtFileMark == 1)
        return SpaceOverMark(State::ArchiveMarkPassed);
    return ReadHeader(State::HeaderRead);
}

CStatus GenericTarScanStep::ZeroBlockFound()
{
    ReadMark(Context.ScanPosition, State::BlockAfterZeroRead);
    return CStatus::Success();
}

CStatus GenericTarScanStep::BlockAfterZeroRead()
{
    if (Medium->AtFileMark != 1)
        return ReadBlockAfterZero();
    WString text;
    MultiByteToWide(CP_UTF8,
                    "the archive ends in a lone zero block at " + std::to_string(Context.ScanPosition - 1) +
                        ", followed by the file mark",
                    text);
    FileSystem.System->EventSink.Post(FileSystem.EventSource, EventLoneZeroBlock, text);
    return SpaceOverMark(State::ArchiveMarkPassed);
}

CStatus GenericTarScanStep::StoreSignature()
{
    // The first header of the tape: its signature goes into this replica's slot of the catalogue
    // header, where recognition looks for it. A signature or header that cannot be had leaves the slot.
    if (MakeTapeSignature(LayoutOperation, *LayoutOperation.TarFile).IsSuccess())
        if (CStatus status = StoreLabelId(LayoutOperation.LabelId, false); status.Failed())
            return status;
    return HeaderRead();
}

void GenericTarScanStep::SetStandard(std::int32_t standard)
{
    if (LayoutFileSystem.Standard != 0)
        return;
    LayoutFileSystem.Standard = standard;
    CEventLog::LogStatus(FileSystem.System->SaveState());
}

CStatus GenericTarScanStep::HeaderWithoutRecords()
{
    switch (LayoutOperation.TarFile->Header[0].Typeflag)
    {
    case 'L':
        return ReadLongName();
    case 'K':
        return PassLongLink();
    default:
        return MemberHeaderRead();
    }
}

CStatus GenericTarScanStep::ReadLongName()
{
    SetStandard(2);
    CGenericTarFile& tar = *LayoutOperation.TarFile;
    Operation.BlockBuffer->Clear();
    if (CStatus status = tar.AllocateLongName(FileSystem.VolumeID, Context.ItemStart); status.Failed())
        return status;
    if (CStatus status = Operation.BlockBuffer->Append(tar.LongName.get(), tar.LongNameLength, nullptr);
        status.Failed())
        return status;
    std::uint64_t bytes = Operation.BlockBuffer->GetByteCount();
    return ReadInto(std::uint64_t{tar.LongNameLength} + 512, CTarFile::BlocksFor(bytes), State::LongNameRead);
}

CStatus GenericTarScanStep::PassLongLink()
{
    // A GNU long link target describes the link that follows, whose target this host does not keep: its
    // blocks are passed over, and a long name read before it stays with the member.
    SetStandard(2);
    std::uint32_t length = 0;
    if (CStatus status =
            LayoutOperation.TarFile->GetExtensionLength(FileSystem.VolumeID, Context.ItemStart, length);
        status.Failed())
        return status;
    Context.ScanPosition += CTarFile::BlocksFor(length);
    return ReadFollowingHeader();
}

CStatus GenericTarScanStep::ArchiveEndNotZero() const
{
    return CErrorGenFileSystem(Source, __LINE__, ErrorArchiveEndNotZero, FileSystem.VolumeID,
                               {FormatParameter("%I64u", Context.ScanPosition - 1)});
}

CStatus GenericTarScanStep::VolumeMarkPassed()
{
    Context.ScanPosition = Operation.MarkReached;
    const std::uint64_t physical = Medium->AdjustToPhysicalBlockBoundary(1, true);
    if (Context.ScanPosition != LayoutContext.DataEnd + physical)
        return CErrorGenFileSystem(Source, __LINE__, ErrorMarkMisplaced, FileSystem.VolumeID,
                                   {FormatParameter("%I64u", Context.ScanPosition)});
    ++ArchiveCounter;
    if (Catalogue)
    {
        CCatSync sync(LayoutContext.DataEnd, physical * 512, ArchiveCounter);
        if (std::uint32_t error = Catalogue->Append(sync))
            return CErrorNumber::OsError(Source, __LINE__, error);
    }
    return Finish(CStatus::Success());
}

CStatus GenericTarScanStep::HandleEntry()
{
    CFileName name;
    if (CStatus status = LayoutOperation.TarFile->GetName(CP_OEMCP, name); status.Failed())
        return Finish(status);
    if (LayoutOperation.TarFile->FirstBlock().Typeflag == 'M')
        return HandleContinuation(name);
    return HandleMember(name);
}

CStatus GenericTarScanStep::HandleContinuation(const CFileName& name)
{
    // The rest of a file begun on the previous volume; the locator looks for it under these keys. One that
    // starts at the file's first byte may stand before the member's own header: the block after it tells,
    // unless the volume's closing mark may stand there.
    SetStandard(2);
    CGenericTarFile& tar = *LayoutOperation.TarFile;
    std::uint64_t offset = 0;
    if (!CGenericTarFile::ReadContinuationOffset(tar.Header[0], offset) || offset != 0 ||
        Context.ScanPosition >= ClosingMarkBlock())
        return RecordContinuation(name);
    Operation.BlockBuffer->Clear();
    if (CStatus status = Operation.BlockBuffer->Append(&tar.Header[1], CTarFile::BlockBytes, nullptr);
        status.Failed())
        return Finish(status);
    return ReadInto(CTarFile::BlockBytes, 0, State::ContinuationFollowerRead);
}

CStatus GenericTarScanStep::ContinuationFollowerRead()
{
    CGenericTarFile& tar = *LayoutOperation.TarFile;
    if (!CGenericTarFile::OpensMember(tar.Header[0], tar.Header[1]))
    {
        tar.Header[1] = {};
        CFileName name;
        if (CStatus status = tar.GetName(CP_OEMCP, name); status.Failed())
            return Finish(status);
        return RecordContinuation(name);
    }
    // The continuation is passed over: the item is the member, from its own header on.
    tar.Header[0] = tar.Header[1];
    tar.Header[1] = {};
    Context.ItemStart = Context.ScanPosition++;
    return HeaderRead();
}

CStatus GenericTarScanStep::RecordContinuation(const CFileName& name)
{
    std::uint64_t size = 0;
    if (CStatus status = LayoutOperation.TarFile->GetSize(FileSystem.VolumeID, size); status.Failed())
        return Finish(status);
    if (CStatus status = CheckData(name, size); status.Failed())
        return Finish(status);
    return RecordData({name, size, 1, AnyKey, AnyKey, true});
}

CStatus GenericTarScanStep::FileFound(const CFileName& name, std::uint64_t size,
                                      const CGenericTarFragment& fragment)
{
    return RecordData({name, size, fragment.SegmentIndex, fragment.OrderKey1, fragment.OrderKey2, false});
}

GenericTarScanStep::DataSpan GenericTarScanStep::DataOnVolume(std::uint64_t blocks, bool closingMark) const
{
    const std::uint64_t physical = Medium->AdjustToPhysicalBlockBoundary(1, true);
    const std::uint64_t lastWritten = Medium->LastWrittenBlock;
    const std::uint64_t end = Medium->AdjustToPhysicalBlockBoundary(Context.ScanPosition + blocks, true) +
                              (closingMark ? physical : 0);
    if (end <= lastWritten)
        return {blocks, false};
    // The data stops one physical block before the last written block, where the mark that closes the
    // volume lies. A header that already stands in that last block leaves no data here.
    const std::uint64_t dataEnd = std::max(Context.ScanPosition, ClosingMarkBlock());
    return {std::min(dataEnd - Context.ScanPosition, blocks), true};
}

CStatus GenericTarScanStep::RecordData(const TarDataEntry& entry)
{
    const std::uint64_t blocks = CTarFile::BlocksFor(entry.Size);
    const DataSpan span = DataOnVolume(blocks);
    if (span.RunsPastVolume && !DataOnVolume(blocks, false).RunsPastVolume)
    {
        LayoutOperation.PendingEntry = entry;
        ReadMark(ClosingMarkBlock(), State::LastBlockRead);
        return CStatus::Success();
    }
    return RecordSpan(entry, span);
}

CStatus GenericTarScanStep::LastBlockRead()
{
    const TarDataEntry& entry = LayoutOperation.PendingEntry;
    return RecordSpan(entry, DataOnVolume(CTarFile::BlocksFor(entry.Size), Medium->AtFileMark == 1));
}

CStatus GenericTarScanStep::RecordSpan(const TarDataEntry& entry, const DataSpan& span)
{
    if (entry.Continuation)
        FillArchiveEnd(Context.ScanPosition + span.Blocks);
    if (!span.RunsPastVolume)
    {
        CStatus status =
            AddExtent(entry.Name, entry.Size, entry.SegmentIndex, entry.OrderKey1, entry.OrderKey2);
        Context.ScanPosition += span.Blocks;
        return Finish(status);
    }
    if (CStatus status =
            AddExtent(entry.Name, span.Blocks * 512, entry.SegmentIndex, entry.OrderKey1, entry.OrderKey2);
        status.Failed())
        return Finish(status);
    Context.ScanPosition += span.Blocks;
    LayoutContext.DataEnd = Context.ScanPosition;
    return SpaceOverMark(State::VolumeMarkPassed);
}

CStatus GenericTarScanStep::AddExtent(const CFileName& name, std::uint64_t bytes, std::uint32_t segmentIndex,
                                      std::uint32_t orderKey1, std::uint32_t orderKey2)
{
    const std::uint64_t blocks = CTarFile::BlocksFor(bytes);
    if (blocks > 0xFFFFFFFFull)
        return CErrorGenFileSystem(Source, __LINE__, ErrorExtentTooLong, FileSystem.VolumeID,
                                   {FormatParameter("%I64u", 2048)});
    if (!Catalogue)
        return CStatus::Success();
    CCatExtent extent(Context.ScanPosition, u"0/" + name.GetText(), static_cast<std::uint32_t>(blocks),
                      segmentIndex, orderKey1, orderKey2);
    if (std::uint32_t error = Catalogue->Append(extent))
        return CErrorNumber::OsError(Source, __LINE__, error);
    return CStatus::Success();
}
} // namespace

CStatus CGenericTarFileSystem::GetNextItem(CArchiveFileSystemOperation* operation)
{
    return GenericTarScanStep(*this, *static_cast<CGenericTarFileSystemOperation*>(operation)).Run();
}
