// The drive operations of a volume. Each names the work and returns at once; the work runs when the host
// completes the operation (or when a caller awaits it), and only then are its outputs written.
#include "vnservice/CVolume.h"

#include "vnservice/CBlockBuffer.h"
#include "vnservice/CTapeMedium.h"
#include "vnservice/ErrorGenerators.h"
#include "vnservice/HostErrors.h"

CTapeMedium* CVolume::DriveMedium(std::uint32_t replica) const
{
    return replica < Replicas.size() ? dynamic_cast<CTapeMedium*>(Replicas[replica].get()) : nullptr;
}

template <class Work> COperationStatus CVolume::Start(std::uint32_t replica, Work work) const
{
    CTapeMedium* medium = DriveMedium(replica);
    if (!medium)
        return COperationStatus::Finished(
            CErrorGenMessage("TapeDrive", __LINE__, ErrorNoMedium, {FormatParameter("%d", replica)}));
    CSet<CMedium, 1>::pointer held = Replicas[replica];
    return COperationStatus::Pending([held, medium, work = std::move(work)] { return work(*medium); });
}

COperationStatus CVolume::GetBlockSizeOperation(COperation*, std::uint32_t replica, std::uint32_t)
{
    return Start(replica, [](CTapeMedium& medium) { return medium.ReportBlockSize(); });
}

COperationStatus CVolume::ReadBlocksOperation(COperation*, std::uint64_t, std::uint32_t replica,
                                              std::uint32_t, std::uint64_t position, std::uint64_t offset,
                                              std::uint64_t length, CBlockBuffer* buffer, std::uint32_t, bool,
                                              std::uint64_t* count)
{
    return Start(replica,
                 [=](CTapeMedium& medium)
                 {
                     CStatus status = medium.ReadBlocks(*buffer, position, offset, length);
                     if (status.IsSuccess() && count)
                         *count = buffer->GetByteCount();
                     return status;
                 });
}

COperationStatus CVolume::ReadMarkOperation(COperation*, std::uint32_t replica, std::uint32_t,
                                            std::uint64_t position)
{
    return Start(replica, [=](CTapeMedium& medium) { return medium.ReadMark(position); });
}

COperationStatus CVolume::SpaceMarksOperation(COperation*, std::uint32_t replica, std::uint32_t,
                                              std::uint64_t from, std::uint32_t marks, std::uint64_t* reached)
{
    return Start(replica,
                 [=](CTapeMedium& medium)
                 {
                     std::uint64_t position = 0;
                     CStatus status = medium.SpaceMarks(from, marks, position);
                     if (status.IsSuccess() && reached)
                         *reached = position;
                     return status;
                 });
}

COperationStatus CVolume::FindLastWrittenBlockOperation(COperation*, std::uint32_t replica, std::uint32_t)
{
    return Start(replica, [](CTapeMedium& medium) { return medium.FindLastWrittenBlock(); });
}

CStatus CVolume::CheckTapeWhole(std::uint32_t replica) const
{
    CTapeMedium* medium = DriveMedium(replica);
    return medium ? medium->CheckWhole() : CStatus::Success();
}
