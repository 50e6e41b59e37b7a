#include "FileSystems/TarFile/SparseRestore.h"

#include "FileSystems/TapeFS/CTapeOperation.h"
#include "FileSystems/TapeFS/FileSystemErrors.h"
#include "FileSystems/TapeFS/RestoreDestination.h"
#include "FileSystems/TarFile/CTarFile.h"
#include "vnservice/CFragmentFile.h"
#include "vnservice/CVolume.h"
#include "vnservice/ErrorGenerators.h"
#include "win/Allocation.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace
{
constexpr char Source[] = "TarSparse";

// The zeros of the holes, given out in pieces of this size.
const std::uint8_t Zeros[16 * 1024] = {};
} // namespace

CStatus CSparseRestore::Failure(int line, const char* what) const
{
    return CErrorGenFileSystem(Source, line, ErrorSparseMap, *VolumeID, {Name, what});
}

CStatus CSparseRestore::MapComplete()
{
    if (!Map.Fits(MemberBytes))
        return Failure(__LINE__, "its map runs past the member's data");
    if (Map.FileSize != CataloguedBytes)
        return CErrorGenFileSystem(
            Source, __LINE__, ErrorSparseRecordStale, *VolumeID,
            {Name, FormatParameter("%I64u", CataloguedBytes), FormatParameter("%I64u", Map.FileSize)});
    Now = Phase::Expand;
    return CStatus::Success();
}

CStatus CSparseRestore::Begin(const CVolumeID& volume, const std::string& name, const CTarFile& tar,
                              std::uint64_t memberBytes, std::uint64_t cataloguedBytes,
                              std::uint64_t nextHeaderBlock, std::vector<DataRun> runs, bool runsFollowHeader)
{
    RunsFollowHeader = runsFollowHeader;
    VolumeID = &volume;
    Name = name;
    MemberBytes = memberBytes;
    CataloguedBytes = cataloguedBytes;
    NextHeaderBlock = nextHeaderBlock;
    Runs = std::move(runs);
    if (!AllocationFault::ShouldFail())
        Bounce.reset(new (std::nothrow) std::uint8_t[BounceBytes]);
    if (!Bounce)
        return CErrorGenMemory(Source, __LINE__, BounceBytes);
    const CTarFile::SparseForm form = tar.GetSparseForm();
    if (form == CTarFile::SparseForm::Unknown)
        return Failure(__LINE__, "a sparse form of a version not known");
    if (!tar.ReadHeaderMap(Map))
        return Failure(__LINE__, "its map does not read");
    if (form == CTarFile::SparseForm::GnuHeader && CSparseMap::GnuExtensionFollows(tar.UstarBlock(), false))
        Now = Phase::Extensions;
    else if (form == CTarFile::SparseForm::PaxData)
        Now = Phase::DataMap;
    else
        return MapComplete();
    return CStatus::Success();
}

CStatus CSparseRestore::ReadMap(CTapeOperation& operation, std::uint32_t next)
{
    return MapRead() ? CStatus::Success() : Step(operation, next);
}

CStatus CSparseRestore::RestoreWhole(CTapeOperation& operation, CFragmentFile& file, std::uint32_t next)
{
    File = &file;
    Last = Map.FileSize;
    return Step(operation, next);
}

CStatus CSparseRestore::RestoreRange(CTapeOperation& operation, CBlockBuffer::CStream& stream,
                                     std::uint64_t first, std::uint32_t next)
{
    Stream = &stream;
    Cursor = first;
    Last = StreamRangeEnd(stream, first, Map.FileSize);
    return Step(operation, next);
}

CStatus CSparseRestore::Step(CTapeOperation& operation, std::uint32_t next)
{
    switch (Now)
    {
    case Phase::Extensions:
        // Each block read says whether another follows; the first is read before anything is known.
        if (Pending != 0)
        {
            Pending = 0;
            ++NextHeaderBlock;
            if (!Map.AddGnuEntries(Extension, true))
                return Failure(__LINE__, "its map does not read");
            if (!CSparseMap::GnuExtensionFollows(Extension, true))
            {
                if (RunsFollowHeader && !Runs.empty())
                    Runs.front().Start = NextHeaderBlock;
                return MapComplete();
            }
        }
        return ReadExtensionBlock(operation, next);
    case Phase::DataMap:
        if (Pending != 0)
        {
            MapText.insert(MapText.end(), Bounce.get(), Bounce.get() + Pending);
            Pending = 0;
            const std::string_view text(reinterpret_cast<const char*>(MapText.data()), MapText.size());
            switch (Map.ReadDataMap(text))
            {
            case CSparseMap::TextResult::Done:
                MapText = {};
                return MapComplete();
            case CSparseMap::TextResult::Bad:
                return Failure(__LINE__, "its map does not read");
            case CSparseMap::TextResult::More:
                break;
            }
        }
        if (MapText.size() >= CTarFile::MaxExtensionBytes || MapText.size() >= MemberBytes)
            return Failure(__LINE__, "its map runs past the member's data");
        return ReadData(operation, MapText.size(),
                        std::min<std::uint64_t>(BounceBytes, MemberBytes - MapText.size()), next);
    case Phase::Expand:
        if (Pending != 0)
        {
            if (CStatus status = Write(Bounce.get() + PendingSkip, Pending); status.Failed())
                return status;
            Pending = 0;
        }
        return Expand(operation, next);
    }
    return CStatus::Success();
}

CStatus CSparseRestore::ReadExtensionBlock(CTapeOperation& operation, std::uint32_t next)
{
    operation.BlockBuffer->Clear();
    if (CStatus status = operation.BlockBuffer->Append(&Extension, CTarFile::BlockBytes, nullptr);
        status.Failed())
        return status;
    auto& volume = *static_cast<CVolume*>(operation.TargetResource);
    operation.NextState(volume.ReadBlocksOperation(&operation, CTarFile::BlockBytes, operation.ReplicaIndex,
                                                   1, NextHeaderBlock, 0, 0, operation.BlockBuffer, 0, false,
                                                   nullptr),
                        next);
    Pending = CTarFile::BlockBytes;
    return CStatus::Success();
}

CStatus CSparseRestore::ReadData(CTapeOperation& operation, std::uint64_t offset, std::uint64_t bytes,
                                 std::uint32_t next)
{
    std::uint64_t runOffset = 0;
    for (const DataRun& run : Runs)
    {
        const std::uint64_t runBytes = run.Blocks * CTarFile::BlockBytes;
        if (offset >= runOffset + runBytes)
        {
            runOffset += runBytes;
            continue;
        }
        const std::uint64_t within = offset - runOffset;
        const std::uint64_t skip = within % CTarFile::BlockBytes;
        const std::uint64_t length = std::min({bytes, runBytes - within, BounceBytes - skip});
        const std::uint64_t readBytes = CTarFile::BlocksFor(skip + length) * CTarFile::BlockBytes;
        operation.BlockBuffer->Clear();
        if (CStatus status = operation.BlockBuffer->Append(Bounce.get(), readBytes, nullptr); status.Failed())
            return status;
        operation.NextState(run.Volume->ReadBlocksOperation(&operation, readBytes, operation.ReplicaIndex, 1,
                                                            run.Start + within / CTarFile::BlockBytes, 0, 0,
                                                            operation.BlockBuffer, 0, false, nullptr),
                            next);
        Pending = length;
        PendingSkip = skip;
        return CStatus::Success();
    }
    return Failure(__LINE__, "its data are not all on the volumes found");
}

CStatus CSparseRestore::Write(const std::uint8_t* data, std::size_t bytes)
{
    CStatus status = File ? File->Write(Cursor, data, bytes) : Stream->Write(data, bytes);
    Cursor += bytes;
    return status;
}

CStatus CSparseRestore::Expand(CTapeOperation& operation, std::uint32_t next)
{
    while (Cursor < Last)
    {
        while (Region < Map.Regions.size() &&
               Map.Regions[Region].Offset + Map.Regions[Region].Bytes <= Cursor)
            RegionData += Map.Regions[Region++].Bytes;
        const bool inRegion = Region < Map.Regions.size() && Map.Regions[Region].Offset <= Cursor;
        if (inRegion)
        {
            const SparseRegion& region = Map.Regions[Region];
            const std::uint64_t end = std::min(Last, region.Offset + region.Bytes);
            return ReadData(operation, Map.DataStart + RegionData + (Cursor - region.Offset), end - Cursor,
                            next);
        }
        const std::uint64_t holeEnd =
            Region < Map.Regions.size() ? std::min(Last, Map.Regions[Region].Offset) : Last;
        while (Cursor < holeEnd)
            if (CStatus status = Write(Zeros, std::min<std::uint64_t>(sizeof Zeros, holeEnd - Cursor));
                status.Failed())
                return status;
    }
    operation.BlockBuffer->Clear();
    operation.Complete(CStatus::Success(), 0, nullptr);
    return CStatus::Success();
}
