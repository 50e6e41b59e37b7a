// Restores from generic TAR tapes. The file locator finds the file version's record and extents in the
// volume's catalogue and follows a file that runs past its volume onto the volume each volume names as
// its continuation. The handler reads the member's headers at the record's position again, since only
// they tell whether the member is sparse, then reads the extents one drive operation each: the whole
// file into the user fragment's file, or a byte range of it into a stream; a sparse member is expanded.
#include "FileSystems/TapeFS/FileSystemErrors.h"
#include "FileSystems/TapeFS/RestoreDestination.h"
#include "FileSystems/TarFile/CGenericTarFile.h"
#include "FileSystems/TarFile/TarScanStep.h"
#include "FileSystems/TarReelFS/CGenericTarFileSystem.h"
#include "FileSystems/TarReelFS/CGenericTarFileSystemOperation.h"
#include "frame/CCatArchive.h"
#include "frame/CCatExtent.h"
#include "frame/CFileListPointer.h"
#include "frame/VersionRecords.h"
#include "vnservice/CBlockBuffer.h"
#include "vnservice/CFragmentFile.h"
#include "vnservice/CSystem.h"
#include "vnservice/CVantrelFragmentImpl.h"
#include "vnservice/ErrorGenerators.h"
#include "vnservice/Opcodes.h"
#include "win/Allocation.h"

#include <algorithm>
#include <set>

namespace
{
constexpr char Source[] = "GenericTarReadWrite";

enum State : std::uint32_t
{
    Locate = 0,
    NextExtent = 1,
    Done = 2,
    HeaderRead = 3,
    PaxRead = 4,
    SparseRead = 5,
    SparseMapRead = 6,
};

// The keys under which the scan records the part of a file that continues a file of the volume before.
constexpr std::uint32_t ContinuationSegment = 1;

// Adds the records of one file version in one volume's catalogue: the file's length and time from its
// file record, and its extents on that volume.
class CExtentCollector
{
public:
    CExtentCollector(CGenericTarFileSystemOperation& operation, const CFileName& path)
        : Operation(operation), Path(path)
    {
    }

    CStatus Collect(const CVolumePointer& volume, std::uint32_t segmentIndex, std::uint32_t orderKey1,
                    std::uint32_t orderKey2);

    std::uint64_t Found = 0; // bytes the extents collected so far cover

private:
    void Walk(CFileListInternal& catalogue, const CVolumePointer& volume, std::uint32_t segmentIndex,
              std::uint32_t orderKey1, std::uint32_t orderKey2);

    CGenericTarFileSystemOperation& Operation;
    const CFileName& Path;
};

CStatus CExtentCollector::Collect(const CVolumePointer& volume, std::uint32_t segmentIndex,
                                  std::uint32_t orderKey1, std::uint32_t orderKey2)
{
    CFileListInternal* catalogue = volume->Catalogue;
    if (!catalogue || !catalogue->IsOpen())
        return CErrorGenMessage(Source, __LINE__, ErrorCatalogueClosed, {volume->GetName()});
    CStatus status;
    catalogue->BeginQuery(1);
    try
    {
        Walk(*catalogue, volume, segmentIndex, orderKey1, orderKey2);
    }
    catch (std::uint32_t error)
    {
        if (error != 0)
            status = CErrorNumber(Source, __LINE__, ErrorCatalogue, error, volume->GetIDAsString());
    }
    catalogue->EndQuery(1);
    return status;
}

void CExtentCollector::Walk(CFileListInternal& catalogue, const CVolumePointer& volume,
                            std::uint32_t segmentIndex, std::uint32_t orderKey1, std::uint32_t orderKey2)
{
    ForEachVersionRecord(catalogue, Path.GetText(), segmentIndex, orderKey1, orderKey2,
                         [&](const CFileListPointer<CCatalogueItem>& handle)
                         {
                             const CCatalogueItem& record = *handle.Get();
                             switch (record.GetObjectType(false))
                             {
                             case KindArchive:
                             {
                                 const auto& archive = static_cast<const CCatArchive&>(record);
                                 Operation.FileTime = archive.GetFileTime();
                                 Operation.ByteCount = archive.GetSegmentLength();
                                 Operation.FileStart = archive.Position;
                                 return true;
                             }
                             case KindExtent:
                             {
                                 const auto& extent = static_cast<const CCatExtent&>(record);
                                 Found += std::uint64_t{extent.BlockCount} * extent.UnitBlocks * 512;
                                 Operation.Extents.push_back({extent.BlockCount, extent.Position, volume});
                                 return true;
                             }
                             default:
                                 return false;
                             }
                         });
}

// The volume a volume's data continues on, as its file system names it; empty when it names none.
const CVolumeID* ContinuationOf(const CVolume& volume, const CGenericTarFileSystem& first, bool isFirst)
{
    const auto* fileSystem =
        isFirst ? &first : dynamic_cast<const CGenericTarFileSystem*>(volume.GetFileSystem());
    return fileSystem && fileSystem->IsNextVolumeSet() ? &fileSystem->NextVolume : nullptr;
}
} // namespace

CStatus CGenericTarFileSystem::LocateFile(CGenericTarFileSystemOperation& operation, const CFileName& path,
                                          std::uint32_t segmentIndex, std::uint32_t orderKey1,
                                          std::uint32_t orderKey2, const std::uint64_t* dataBytes)
{
    // Each volume is searched once, and a volume is followed to the continuation its own file system
    // names; a chain that loops or a round that adds nothing ends the search short.
    operation.Extents.clear();
    CExtentCollector collector(operation, path);
    auto needed = [&] { return dataBytes ? *dataBytes : operation.ByteCount; };
    CVolumePointer volume = operation.Volume;
    std::set<CVolumeID> visited;
    for (bool first = true;; first = false)
    {
        visited.insert(volume->GetID());
        const std::uint64_t before = collector.Found;
        if (CStatus status = collector.Collect(volume, segmentIndex, orderKey1, orderKey2); status.Failed())
            return status;
        if (collector.Found >= needed() || (!first && collector.Found == before))
            break;
        const CVolumeID* next = ContinuationOf(*volume, *this, first);
        if (!next || visited.count(*next))
            break;
        volume = System->Volumes.Find(*next);
        if (!volume)
            return CErrorGenFileSystem(Source, __LINE__, ErrorNoNextVolume, VolumeID,
                                       {path.ToUtf8(), next->ToString()});
        if (!volume->IsAccessible())
            return CErrorGenFileSystem(Source, __LINE__, ErrorNextVolumeAway, VolumeID,
                                       {path.ToUtf8(), next->ToString()});
        segmentIndex = ContinuationSegment;
        orderKey1 = orderKey2 = AnyKey;
    }
    if (operation.ByteCount == 0)
        return CErrorGenFileSystem(Source, __LINE__, ErrorNoFile, VolumeID, {path.ToUtf8()});
    if (collector.Found < needed())
        return CErrorGenFileSystem(
            Source, __LINE__, ErrorShortExtents, VolumeID,
            {path.ToUtf8(), FormatParameter("%I64u", (needed() - collector.Found) / 512)});
    return CStatus::Success();
}

CStatus CGenericTarFileSystem::LocateAndReadHeaders(CGenericTarFileSystemOperation& operation,
                                                    const CFileName& path, std::uint32_t segmentIndex,
                                                    std::uint32_t orderKey1, std::uint32_t orderKey2,
                                                    const CFileName& archiveName, bool& pending, bool& sparse)
{
    pending = sparse = false;
    auto& volume = *static_cast<CVolume*>(operation.TargetResource);
    // Reads `bytes` at the next header block into the block buffer, in the state `next`.
    auto read = [&](std::uint64_t bytes, std::uint32_t next)
    {
        operation.NextState(volume.ReadBlocksOperation(&operation, bytes, operation.ReplicaIndex, 1,
                                                       operation.ReadBlock, 0, 0, operation.BlockBuffer, 0,
                                                       false, nullptr),
                            next);
        operation.ReadBlock += CTarFile::BlocksFor(bytes);
        pending = true;
        return CStatus::Success();
    };
    auto readHeaderBlock = [&]
    {
        operation.BlockBuffer->Clear();
        CStatus status =
            operation.BlockBuffer->Append(&operation.TarFile->Header[0], CTarFile::BlockBytes, nullptr);
        return status.Failed() ? status : read(CTarFile::BlockBytes, State::HeaderRead);
    };
    switch (operation.State)
    {
    case State::Locate:
    {
        // The file record on the first volume says where the member's headers are. Whether the member is
        // sparse, and so how much data its extents hold, only its headers tell.
        const std::uint64_t none = 0;
        if (CStatus status = LocateFile(operation, path, segmentIndex, orderKey1, orderKey2, &none);
            status.Failed())
            return status;
        operation.TarFile.reset(NewNoThrow<CGenericTarFile>());
        if (!operation.TarFile)
            return CErrorGenMemory(Source, __LINE__, sizeof(CGenericTarFile));
        operation.ReadBlock = operation.FileStart;
        return readHeaderBlock();
    }
    case State::HeaderRead:
    {
        CGenericTarFile& tar = *operation.TarFile;
        if (CStatus status = tar.GetPaxDataLength(VolumeID, operation.FileStart); status.Failed())
            return status;
        if (tar.PaxLength > 0)
        {
            std::uint64_t bytes = 0;
            if (CStatus status = TargetPaxRecords(*operation.BlockBuffer, tar, bytes); status.Failed())
                return status;
            return read(bytes, State::PaxRead);
        }
        // A GNU long name or link target describes the member whose header follows it.
        if (tar.Header[0].Typeflag == 'L' || tar.Header[0].Typeflag == 'K')
        {
            std::uint32_t length = 0;
            if (CStatus status = tar.GetExtensionLength(VolumeID, operation.FileStart, length);
                status.Failed())
                return status;
            operation.ReadBlock += CTarFile::BlocksFor(length);
            return readHeaderBlock();
        }
        break;
    }
    case State::PaxRead:
        if (CStatus status = operation.TarFile->GetPaxDataLength(VolumeID, operation.FileStart);
            status.Failed())
            return status;
        break;
    default:
        return UnknownState(operation.State, __LINE__);
    }

    const CGenericTarFile& tar = *operation.TarFile;
    sparse = tar.GetSparseForm() != CTarFile::SparseForm::None;
    if (!sparse)
        return LocateFile(operation, path, segmentIndex, orderKey1, orderKey2);
    std::uint64_t dataBytes = 0;
    if (CStatus status = tar.GetSize(VolumeID, dataBytes); status.Failed())
        return status;
    if (CStatus status = LocateFile(operation, path, segmentIndex, orderKey1, orderKey2, &dataBytes);
        status.Failed())
        return status;
    std::vector<CSparseRestore::DataRun> runs;
    for (const TapeExtent& extent : operation.Extents)
        runs.push_back({extent.Start, extent.BlockCount, extent.Volume});
    operation.Sparse = std::make_unique<CSparseRestore>();
    return operation.Sparse->Begin(VolumeID, archiveName.ToUtf8(), tar, dataBytes, operation.ByteCount,
                                   operation.ReadBlock, std::move(runs), false);
}

CStatus CGenericTarFileSystem::ReadUserFile(CArchiveFileSystemOperation* base)
{
    auto& operation = *static_cast<CGenericTarFileSystemOperation*>(base);
    switch (operation.State)
    {
    case State::Locate:
    {
        auto* file = static_cast<CFragmentFile*>(operation.UserFragment());
        System->EventSink.Post(EventSource, 0x80261, file->GetArchiveFileName(true).GetText());
        if (CStatus status = CreateRestoreBuffer(*this, operation, Source); status.Failed())
            return status;
        [[fallthrough]];
    }
    case State::HeaderRead:
    case State::PaxRead:
    {
        auto* file = static_cast<CFragmentFile*>(operation.UserFragment());
        bool pending = false;
        bool sparse = false;
        CStatus status =
            LocateAndReadHeaders(operation, file->GetCatalogueFileName(), file->SegmentIndex, file->OrderKey1,
                                 file->OrderKey2, file->GetArchiveFileName(true), pending, sparse);
        if (status.Failed() || pending)
            return status;
        if (!sparse)
        {
            operation.BlockBuffer->Clear();
            if (status = operation.BlockBuffer->Append(file, nullptr); status.IsSuccess())
                status = PrepareDestination(operation, *file, operation.ByteCount, operation.FileTime,
                                            operation.FragmentFileOpen());
            return status.Failed() ? status : ReadNextExtent(operation, 0, operation.ByteCount);
        }
        [[fallthrough]];
    }
    case State::SparseMapRead:
    {
        // The destination is readied once the whole map has been read.
        auto* file = static_cast<CFragmentFile*>(operation.UserFragment());
        if (CStatus status = operation.Sparse->ReadMap(operation, State::SparseMapRead);
            status.Failed() || !operation.Sparse->MapRead())
            return status;
        if (CStatus status = PrepareDestination(operation, *file, operation.Sparse->FileSize(),
                                                operation.FileTime, operation.FragmentFileOpen());
            status.Failed())
            return status;
        return operation.Sparse->RestoreWhole(operation, *file, State::SparseRead);
    }
    case State::NextExtent:
        return ReadNextExtent(operation, 0, operation.ByteCount);
    case State::SparseRead:
        return operation.Sparse->Step(operation, State::SparseRead);
    case State::Done:
        operation.BlockBuffer->Clear();
        operation.Complete(CStatus::Success(), 0, nullptr);
        return CStatus::Success();
    default:
        return UnknownState(operation.State, __LINE__);
    }
}

CStatus CGenericTarFileSystem::ReadFragment(CArchiveFileSystemOperation* base)
{
    auto& operation = *static_cast<CGenericTarFileSystemOperation*>(base);
    CVantrelFragmentImpl& fragment = *operation.SourceFragment();
    const std::uint64_t first = operation.FragmentOffset();
    switch (operation.State)
    {
    case State::Locate:
    {
        System->EventSink.Post(EventSource, 0x80268, fragment.GetArchiveFileName().GetText());
        if (CStatus status = CreateRestoreBuffer(*this, operation, Source); status.Failed())
            return status;
        [[fallthrough]];
    }
    case State::HeaderRead:
    case State::PaxRead:
    {
        bool pending = false;
        bool sparse = false;
        CStatus status =
            LocateAndReadHeaders(operation, fragment.GetFileName(), fragment.SegmentIndex, fragment.OrderKey1,
                                 fragment.OrderKey2, fragment.GetArchiveFileName(), pending, sparse);
        if (status.Failed() || pending)
            return status;
        if (!sparse)
        {
            operation.BlockBuffer->Clear();
            if (status = operation.BlockBuffer->Append(&fragment.Stream); status.Failed())
                return status;
            return ReadNextExtent(operation, first,
                                  StreamRangeEnd(fragment.Stream, first, operation.ByteCount));
        }
        [[fallthrough]];
    }
    case State::SparseMapRead:
        if (CStatus status = operation.Sparse->ReadMap(operation, State::SparseMapRead);
            status.Failed() || !operation.Sparse->MapRead())
            return status;
        return operation.Sparse->RestoreRange(operation, fragment.Stream, first, State::SparseRead);
    case State::NextExtent:
        return ReadNextExtent(operation, first, StreamRangeEnd(fragment.Stream, first, operation.ByteCount));
    case State::SparseRead:
        return operation.Sparse->Step(operation, State::SparseRead);
    case State::Done:
        operation.Complete(CStatus::Success(), 0, nullptr);
        return CStatus::Success();
    default:
        return UnknownState(operation.State, __LINE__);
    }
}

CStatus CGenericTarFileSystem::ReadNextExtent(CGenericTarFileSystemOperation& operation, std::uint64_t first,
                                              std::uint64_t last)
{
    // BytesDone counts the file's bytes that the extents passed so far hold. Extents that hold none of
    // the wanted bytes are passed over without a read.
    last = std::min(last, operation.ByteCount);
    const bool toFile = operation.Opcode == OpcodeReadUserFile;
    while (!operation.Extents.empty())
    {
        TapeExtent extent = std::move(operation.Extents.front());
        operation.Extents.erase(operation.Extents.begin());
        const std::uint64_t extentOffset = operation.BytesDone;
        const std::uint64_t extentBytes =
            std::min(operation.ByteCount - std::min(operation.ByteCount, extentOffset),
                     std::uint64_t{extent.BlockCount} * 512);
        operation.BytesDone += extentBytes;
        const RangeRead read = ReadOfRange(extent.Start, extentOffset, extentBytes, first, last);
        if (read.Length == 0)
            continue;
        const bool more = !operation.Extents.empty() && operation.BytesDone < last;
        // A file is written at the offset the bytes have in it; a stream takes them in order, from the
        // wanted byte of the first block read.
        const std::uint64_t offset = toFile ? read.FileOffset : read.Skip;
        const std::uint32_t progress = !toFile || !operation.EarlyResult() ? 0 : more ? 1 : 2;
        operation.NextState(extent.Volume->ReadBlocksOperation(
                                &operation, 0, operation.ReplicaIndex, 1, read.Position, offset, read.Length,
                                operation.BlockBuffer, progress, true, nullptr),
                            more ? State::NextExtent : State::Done);
        return CStatus::Success();
    }
    operation.GotoState(State::Done);
    return CStatus::Success();
}
