// Restores from generic TAR tapes. Neither handler reads a TAR header again: the file locator finds the
// file version's record and extents in the volume's catalogue, follows a file that runs past its volume
// onto the volume each volume names as its continuation, and the handler reads the extents one drive
// operation each: the whole file into the user fragment's file, or a byte range of it into a stream.
#include "FileSystems/TapeFS/FileSystemErrors.h"
#include "FileSystems/TapeFS/RestoreDestination.h"
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
                                          std::uint32_t orderKey2)
{
    // Each volume is searched once, and a volume is followed to the continuation its own file system
    // names; a chain that loops or a round that adds nothing ends the search short.
    CExtentCollector collector(operation, path);
    CVolumePointer volume = operation.Volume;
    std::set<CVolumeID> visited;
    for (bool first = true;; first = false)
    {
        visited.insert(volume->GetID());
        const std::uint64_t before = collector.Found;
        if (CStatus status = collector.Collect(volume, segmentIndex, orderKey1, orderKey2); status.Failed())
            return status;
        if (collector.Found >= operation.ByteCount || (!first && collector.Found == before))
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
    if (collector.Found < operation.ByteCount)
        return CErrorGenFileSystem(
            Source, __LINE__, ErrorShortExtents, VolumeID,
            {path.ToUtf8(), FormatParameter("%I64u", (operation.ByteCount - collector.Found) / 512)});
    return CStatus::Success();
}

CStatus CGenericTarFileSystem::ReadUserFile(CArchiveFileSystemOperation* base)
{
    auto& operation = *static_cast<CGenericTarFileSystemOperation*>(base);
    auto& volume = *static_cast<CVolume*>(operation.TargetResource);
    switch (operation.State)
    {
    case State::Locate:
    {
        auto* file = static_cast<CFragmentFile*>(operation.UserFragment());
        System->EventSink.Post(EventSource, 0x80261, file->GetArchiveFileName(true).GetText());
        CMediumPointer medium = volume.GetReplica(operation.ReplicaIndex);
        if (!medium)
            return NoMedium(Source, __LINE__, volume, operation.ReplicaIndex);
        CStatus status = LocateFile(operation, file->GetCatalogueFileName(), file->SegmentIndex,
                                    file->OrderKey1, file->OrderKey2);
        if (status.IsSuccess())
        {
            operation.BlockBuffer = CreateBlockBuffer(7, medium.get());
            status = operation.BlockBuffer ? operation.BlockBuffer->Append(file, nullptr)
                                           : CErrorGenMemory(Source, __LINE__, sizeof(CBlockBuffer));
        }
        if (status.IsSuccess())
            status = PrepareDestination(operation, *file, operation.ByteCount, operation.FileTime,
                                        operation.FragmentFileOpen());
        if (status.Failed())
            return status;
        return ReadNextExtent(operation, 0, operation.ByteCount);
    }
    case State::NextExtent:
        return ReadNextExtent(operation, 0, operation.ByteCount);
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
    auto& volume = *static_cast<CVolume*>(operation.TargetResource);
    CVantrelFragmentImpl& fragment = *operation.SourceFragment();
    switch (operation.State)
    {
    case State::Locate:
    {
        System->EventSink.Post(EventSource, 0x80268, fragment.GetArchiveFileName().GetText());
        CMediumPointer medium = volume.GetReplica(operation.ReplicaIndex);
        if (!medium)
            return NoMedium(Source, __LINE__, volume, operation.ReplicaIndex);
        operation.BlockBuffer = CreateBlockBuffer(8, medium.get());
        if (!operation.BlockBuffer)
            return CErrorGenMemory(Source, __LINE__, sizeof(CBlockBuffer));
        CStatus status = operation.BlockBuffer->Append(&fragment.Stream);
        if (status.IsSuccess())
            status = LocateFile(operation, fragment.GetFileName(), fragment.SegmentIndex, fragment.OrderKey1,
                                fragment.OrderKey2);
        if (status.Failed())
            return status;
        [[fallthrough]];
    }
    case State::NextExtent:
    {
        const std::uint64_t first = operation.FragmentOffset();
        return ReadNextExtent(operation, first, StreamRangeEnd(fragment.Stream, first, operation.ByteCount));
    }
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
    const bool toFile = operation.Opcode == 7;
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
