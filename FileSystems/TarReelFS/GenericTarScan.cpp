// The scan of generic TAR tapes: each GetNextItem operation reads one entry (a pax or GNU long-name
// extension, then the member's header) and hands it back as a file, a directory or the end of an archive.
// Only headers are read; data blocks are passed over by position. For a file the scan records its
// extents in the catalogue, cut where the volume ends, so that a restore can find them and follow the
// file onto the next volume.
#include "FileSystems/TarFile/CGenericTarFile.h"
#include "FileSystems/TarFile/CGenericTarFragment.h"
#include "FileSystems/TarReelFS/CGenericTarFileSystem.h"
#include "FileSystems/TarReelFS/CGenericTarFileSystemOperation.h"
#include "FileSystems/TarReelFS/CGenericTarGetOperationContext.h"
#include "FileSystems/TarReelFS/FileSystemErrors.h"
#include "FileSystems/TarReelFS/GenericTarRecognition.h"
#include "FileSystems/TarReelFS/TimeHelpers.h"
#include "frame/CCatArchive.h"
#include "frame/CCatExtent.h"
#include "frame/CCatSync.h"
#include "frame/CCatalogueHeader.h"
#include "pagelist/CFileListInternal.h"
#include "vnservice/CBlockBuffer.h"
#include "vnservice/CEventLog.h"
#include "vnservice/CFragmentFile.h"
#include "vnservice/CSystem.h"
#include "vnservice/ErrorGenerators.h"
#include "win/Allocation.h"
#include "win/CodePage.h"

#include <algorithm>
#include <cstring>

namespace
{
constexpr char Source[] = "GenericTarOps";
constexpr std::uint32_t SubCodeArchiveEnd = 9;

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
};

bool IsZeroBlock(const TarHeaderBlock& block)
{
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&block);
    return std::all_of(bytes, bytes + sizeof block, [](std::uint8_t byte) { return byte == 0; });
}

// One step of a scan operation, with what every state needs at hand.
class GenericTarScanStep
{
public:
    GenericTarScanStep(CGenericTarFileSystem& fileSystem, CGenericTarFileSystemOperation& operation)
        : FileSystem(fileSystem), Operation(operation),
          Context(*static_cast<CGenericTarGetOperationContext*>(operation.ScanContext())),
          Catalogue(operation.ScanCatalogue()), Volume(*static_cast<CVolume*>(operation.TargetResource)),
          HeldMedium(Volume.GetReplica(operation.ReplicaIndex)), Medium(HeldMedium.get()),
          Item(Context.ItemOperation)
    {
    }

    CStatus Run();

private:
    CStatus StartItem();
    CStatus StoreLabelId();
    CStatus HeaderRead();
    CStatus ReadPaxRecords(std::uint32_t length);
    CStatus ReadLongName();
    CStatus ReadMemberHeader();
    CStatus ZeroBlockRead();
    CStatus ArchiveMarkPassed();
    CStatus VolumeMarkPassed();

    // Handles the entry whose headers are all read; a failure completes the operation with it.
    CStatus HandleEntry();
    CStatus HandleContinuation(const CFileName& name);
    CStatus HandleDirectory(const CFileName& name, std::uint64_t fileTime);
    CStatus HandleFile(const CFileName& name, std::uint64_t fileTime);
    // The data blocks of an entry whose header ends at the scan position that lie on this volume: all
    // of them, or those up to the volume's closing mark when the data runs past the volume.
    struct DataSpan
    {
        std::uint64_t Blocks;
        bool RunsPastVolume;
    };
    DataSpan DataOnVolume(std::uint64_t blocks) const;
    // Records the entry's data on this volume as its extent and moves past it; completes the item, or,
    // when the data runs past the volume, spaces over the closing mark first.
    CStatus RecordData(const CFileName& name, std::uint64_t size, std::uint32_t segmentIndex,
                       std::uint32_t orderKey1, std::uint32_t orderKey2);
    CStatus AddExtent(const CFileName& name, std::uint64_t bytes, std::uint32_t segmentIndex,
                      std::uint32_t orderKey1, std::uint32_t orderKey2);
    CStatus Finish(const CStatus& status);

    void SetStandard(std::int32_t standard);
    void FillArchiveEnd(std::uint64_t itemEnd);
    CStatus ReadInto(std::uint64_t bytes, std::uint64_t advance, std::uint32_t next);
    CStatus SpaceOverMark(std::uint32_t next);
    CStatus NoMedium(int line) const;

    CGenericTarFileSystem& FileSystem;
    CGenericTarFileSystemOperation& Operation;
    CGenericTarGetOperationContext& Context;
    CFileListInternal* Catalogue;
    CVolume& Volume;
    CMediumPointer HeldMedium;
    CMedium* Medium;
    CArchiveFileSystemOperation& Item;
};

CStatus GenericTarScanStep::Run()
{
    if (Operation.State == State::StartItem)
        FileSystem.System->EventSink.Post(FileSystem.EventSource, 0x40080263, Context.ScanPosition);
    if (!Medium)
        return NoMedium(__LINE__);
    switch (Operation.State)
    {
    case State::StartItem:
        return StartItem();
    case State::FirstHeader:
        return StoreLabelId();
    case State::HeaderRead:
        return HeaderRead();
    case State::PaxRead:
        if (CStatus status = Operation.TarFile->GetPaxDataLength(FileSystem.VolumeID, Context.ItemStart);
            status.Failed())
            return Finish(status);
        return HandleEntry();
    case State::LongNameRead:
        return ReadMemberHeader();
    case State::ZeroBlockRead:
        return ZeroBlockRead();
    case State::ArchiveMarkPassed:
        return ArchiveMarkPassed();
    case State::VolumeMarkPassed:
        return VolumeMarkPassed();
    default:
        return FileSystem.UnknownState(Operation.State, __LINE__);
    }
}

CStatus GenericTarScanStep::NoMedium(int line) const
{
    return CErrorGenMessage(Source, line, ErrorNoMedium,
                            {Volume.GetIDAsString(), FormatParameter("%d", Operation.ReplicaIndex)});
}

CStatus GenericTarScanStep::ReadInto(std::uint64_t bytes, std::uint64_t advance, std::uint32_t next)
{
    // The read takes its position now; the scan position moves on for the steps after it.
    Operation.NextState(Volume.ReadBlocksOperation(&Operation, bytes, Operation.ReplicaIndex, 1,
                                                   Context.ScanPosition, 0, 0, Operation.BlockBuffer, 0,
                                                   false, nullptr),
                        next);
    Context.ScanPosition += advance;
    return CStatus::Success();
}

CStatus GenericTarScanStep::SpaceOverMark(std::uint32_t next)
{
    // The drive reports where it stopped when the spacing completes; the next step takes that over.
    Operation.NextState(Volume.SpaceMarksOperation(&Operation, Operation.ReplicaIndex, 1,
                                                   Context.ScanPosition, 1, &Operation.MarkReached),
                        next);
    return CStatus::Success();
}

CStatus GenericTarScanStep::StartItem()
{
    Operation.BlockBuffer = FileSystem.CreateBlockBuffer(11, Medium);
    if (!Operation.BlockBuffer)
        return CErrorGenMemory(Source, __LINE__, sizeof(CBlockBuffer));
    Operation.TarFile = NewNoThrow<CGenericTarFile>();
    if (!Operation.TarFile)
        return CErrorGenMemory(Source, __LINE__, sizeof(CGenericTarFile));
    if (CStatus status = Operation.BlockBuffer->Append(&Operation.TarFile->Header[0], 512, nullptr);
        status.Failed())
        return status;
    Context.ItemStart = Context.ScanPosition;
    return ReadInto(512, 1, Context.ScanPosition == 0 ? State::FirstHeader : State::HeaderRead);
}

CStatus GenericTarScanStep::StoreLabelId()
{
    // The first header of the tape: its signature goes into this replica's slot of the catalogue
    // header, where recognition looks for it. A signature or header that cannot be had leaves the slot.
    CStatus status = MakeTapeSignature(Operation, *Operation.TarFile);
    if (status.IsSuccess() && Catalogue && Operation.ReplicaIndex < CCatalogueHeader::ReplicaSlots)
    {
        CCatalogueHeader header;
        if (Catalogue->GetUserHeader(&header, sizeof header) == 0)
        {
            auto& slot = header.ReplicaSlot[Operation.ReplicaIndex].LabelId;
            if (std::memcmp(slot, Operation.LabelId, sizeof slot) != 0)
            {
                std::memcpy(slot, Operation.LabelId, sizeof slot);
                if (std::uint32_t error = Catalogue->SetUserHeader(&header, sizeof header))
                    return CErrorNumber::OsError(Source, __LINE__, error);
            }
        }
    }
    return HeaderRead();
}

void GenericTarScanStep::SetStandard(std::int32_t standard)
{
    if (FileSystem.Standard != 0)
        return;
    FileSystem.Standard = standard;
    CEventLog::LogStatus(FileSystem.System->SaveState());
}

CStatus GenericTarScanStep::HeaderRead()
{
    CGenericTarFile& tar = *Operation.TarFile;
    if (IsZeroBlock(tar.Header[0]))
        return ReadInto(512, 1, State::ZeroBlockRead);
    if (CStatus status = tar.GetPaxDataLength(FileSystem.VolumeID, Context.ItemStart); status.Failed())
        return status;
    if (tar.PaxLength > 0)
        return ReadPaxRecords(tar.PaxLength);
    if (tar.Header[0].Typeflag == 'L')
        return ReadLongName();
    return HandleEntry();
}

CStatus GenericTarScanStep::ReadPaxRecords(std::uint32_t length)
{
    SetStandard(1);
    CGenericTarFile& tar = *Operation.TarFile;
    Operation.BlockBuffer->Clear();
    if (CStatus status = tar.AllocatePaxData(); status.Failed())
        return status;
    CStatus status = Operation.BlockBuffer->Append(tar.PaxData.get(), length, nullptr);
    if (status.IsSuccess())
        status = Operation.BlockBuffer->Append(&tar.Header[1], 512, nullptr);
    if (status.Failed())
        return status;
    std::uint64_t bytes = Operation.BlockBuffer->GetByteCount();
    return ReadInto(std::uint64_t{length} + 512, CTarFile::BlocksFor(bytes), State::PaxRead);
}

CStatus GenericTarScanStep::ReadLongName()
{
    SetStandard(2);
    CGenericTarFile& tar = *Operation.TarFile;
    Operation.BlockBuffer->Clear();
    if (CStatus status = tar.AllocateLongName(FileSystem.VolumeID, Context.ItemStart); status.Failed())
        return status;
    if (CStatus status = Operation.BlockBuffer->Append(tar.LongName.get(), tar.LongNameLength, nullptr);
        status.Failed())
        return status;
    std::uint64_t bytes = Operation.BlockBuffer->GetByteCount();
    return ReadInto(std::uint64_t{tar.LongNameLength} + 512, CTarFile::BlocksFor(bytes), State::LongNameRead);
}

CStatus GenericTarScanStep::ReadMemberHeader()
{
    Operation.BlockBuffer->Clear();
    if (CStatus status = Operation.BlockBuffer->Append(&Operation.TarFile->Header[0], 512, nullptr);
        status.Failed())
        return status;
    return ReadInto(512, 1, State::HeaderRead);
}

CStatus GenericTarScanStep::ZeroBlockRead()
{
    if (!IsZeroBlock(Operation.TarFile->Header[0]))
        return CErrorGenFileSystem(Source, __LINE__, ErrorArchiveEndNotZero, FileSystem.VolumeID,
                                   {FormatParameter("%I64u", Context.ScanPosition - 1)});
    return SpaceOverMark(State::ArchiveMarkPassed);
}

void GenericTarScanStep::FillArchiveEnd(std::uint64_t itemEnd)
{
    Item.Opcode = 20;
    Item.ClearParameters();
    Item.SetItemSubCode(SubCodeArchiveEnd);
    Item.ItemPosition() = Context.ItemStart;
    Item.ItemSize() = (itemEnd - Context.ItemStart) * 512;
    Item.ItemCounter() = ++Context.ArchiveCounter;
}

CStatus GenericTarScanStep::ArchiveMarkPassed()
{
    Context.ScanPosition = Operation.MarkReached;
    ++Context.ArchiveEnds;
    FillArchiveEnd(Context.ScanPosition);
    return Finish(CStatus::Success());
}

CStatus GenericTarScanStep::VolumeMarkPassed()
{
    Context.ScanPosition = Operation.MarkReached;
    const std::uint64_t physical = Medium->AdjustToPhysicalBlockBoundary(1, true);
    if (Context.ScanPosition != Context.DataEnd + physical)
        return CErrorGenFileSystem(Source, __LINE__, ErrorMarkMisplaced, FileSystem.VolumeID,
                                   {FormatParameter("%I64u", Context.ScanPosition)});
    ++Context.ArchiveCounter;
    if (Catalogue)
    {
        CCatSync sync(Context.DataEnd, physical * 512, Context.ArchiveCounter);
        if (std::uint32_t error = Catalogue->Append(sync))
            return CErrorNumber::OsError(Source, __LINE__, error);
    }
    return Finish(CStatus::Success());
}

CStatus GenericTarScanStep::Finish(const CStatus& status)
{
    Operation.Complete(status, 0, nullptr);
    return CStatus::Success();
}

CStatus GenericTarScanStep::HandleEntry()
{
    CGenericTarFile& tar = *Operation.TarFile;
    CFileName name;
    if (CStatus status = tar.GetName(CP_OEMCP, name); status.Failed())
        return Finish(status);
    if (tar.FirstBlock().Typeflag == 'M')
        return HandleContinuation(name);
    std::uint64_t time = 0;
    if (CStatus status = tar.GetCatalogueTime(FileSystem.VolumeID, time); status.Failed())
        return Finish(status);
    if (tar.UstarBlock().Typeflag == '5')
        return HandleDirectory(name, TimeToFileTime(time));
    return HandleFile(name, TimeToFileTime(time));
}

CStatus GenericTarScanStep::HandleContinuation(const CFileName& name)
{
    // The rest of a file begun on the previous volume; the locator looks for it under these keys.
    SetStandard(2);
    std::uint64_t size = 0;
    if (CStatus status = Operation.TarFile->GetSize(FileSystem.VolumeID, size); status.Failed())
        return Finish(status);
    FillArchiveEnd(Context.ScanPosition + DataOnVolume(CTarFile::BlocksFor(size)).Blocks);
    return RecordData(name, size, 1, AnyKey, AnyKey);
}

CStatus GenericTarScanStep::HandleDirectory(const CFileName& name, std::uint64_t fileTime)
{
    Item.Opcode = 16;
    Item.ClearParameters();
    Item.AnchoredFileName = name;
    Item.SetItemSubCode(0);
    Item.ItemPosition() = Context.ItemStart;
    Item.ItemSize() = fileTime;
    return Finish(CStatus::Success());
}

CStatus GenericTarScanStep::HandleFile(const CFileName& name, std::uint64_t fileTime)
{
    std::uint64_t size = 0;
    if (CStatus status = Operation.TarFile->GetSize(FileSystem.VolumeID, size); status.Failed())
        return Finish(status);

    CGenericTarFragment fragment;
    fragment.Name = name;
    fragment.Size = size;
    fragment.StartPosition = Context.ItemStart;
    fragment.Time = fileTime;
    if (CStatus status =
            FileSystem.AnalyseForeignFile(fragment, Catalogue, FileSystem.BlockSize, 1, 0, nullptr, false);
        status.Failed())
        return Finish(status);

    Item.Opcode = 4;
    Item.ClearParameters();
    const CFileName path = fragment.GetFileName();
    Item.AnchoredFileName = path;
    CFragmentFile* file = size > 0
                              ? static_cast<CFragmentFile*>(NewNoThrow<CLocalFragmentFile>(FileSystem.System))
                              : NewNoThrow<CEmptyFragmentFile>(FileSystem.System, Item.ItemSize());
    if (!file)
        return Finish(CErrorGenMemory(Source, __LINE__,
                                      size > 0 ? sizeof(CLocalFragmentFile) : sizeof(CEmptyFragmentFile)));
    CCatArchive record(Context.ItemStart, path.GetText(), size, fileTime, fragment.SegmentIndex,
                       fragment.OrderKey1, fragment.OrderKey2);
    if (CStatus status =
            file->ConstructFromCatalogue(CFileName(FileSystem.GetFileSystemType()), record.GetFileRecord());
        status.Failed())
    {
        delete file;
        return Finish(status);
    }
    Item.SetItemFragment(file);
    Item.ItemPosition() = 0;
    Item.ItemSize() = fileTime;
    Item.ItemCounter() = size;
    Item.Slot(5) = 0;
    Item.ItemFileSize() = size;
    Item.ItemFileStart() = Context.ItemStart;
    return RecordData(name, size, fragment.SegmentIndex, fragment.OrderKey1, fragment.OrderKey2);
}

GenericTarScanStep::DataSpan GenericTarScanStep::DataOnVolume(std::uint64_t blocks) const
{
    const std::uint64_t physical = Medium->AdjustToPhysicalBlockBoundary(1, true);
    const std::uint64_t lastWritten = Medium->LastWrittenBlock;
    std::uint64_t end = Medium->AdjustToPhysicalBlockBoundary(Context.ScanPosition + blocks, true);
    if (Context.ArchiveEnds != 0)
        end += physical;
    if (end <= lastWritten)
        return {blocks, false};
    // The data stops one physical block before the last written block, where the mark that closes the
    // volume lies. A header that already stands in that last block leaves no data here.
    const std::uint64_t dataEnd =
        std::max(Context.ScanPosition, lastWritten - std::min(lastWritten, physical));
    return {std::min(dataEnd - Context.ScanPosition, blocks), true};
}

CStatus GenericTarScanStep::RecordData(const CFileName& name, std::uint64_t size, std::uint32_t segmentIndex,
                                       std::uint32_t orderKey1, std::uint32_t orderKey2)
{
    const DataSpan span = DataOnVolume(CTarFile::BlocksFor(size));
    if (!span.RunsPastVolume)
    {
        CStatus status = AddExtent(name, size, segmentIndex, orderKey1, orderKey2);
        Context.ScanPosition += span.Blocks;
        return Finish(status);
    }
    if (CStatus status = AddExtent(name, span.Blocks * 512, segmentIndex, orderKey1, orderKey2);
        status.Failed())
        return Finish(status);
    Context.ScanPosition += span.Blocks;
    Context.DataEnd = Context.ScanPosition;
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
