#include "FileSystems/TapeFS/RestoreDestination.h"

#include "FileSystems/TapeFS/CTapeFileSystem.h"
#include "FileSystems/TapeFS/CTapeOperation.h"
#include "vnservice/CEventLog.h"
#include "vnservice/CFragmentFile.h"
#include "vnservice/CVolume.h"
#include "vnservice/ErrorGenerators.h"

#include <algorithm>

CStatus CreateRestoreBuffer(CTapeFileSystem& fileSystem, CTapeOperation& operation, const char* source)
{
    auto& volume = *static_cast<CVolume*>(operation.TargetResource);
    CMediumPointer medium = volume.GetReplica(operation.ReplicaIndex);
    if (!medium)
        return CTapeFileSystem::NoMedium(source, __LINE__, volume, operation.ReplicaIndex);
    operation.BlockBuffer = fileSystem.CreateBlockBuffer(operation.Opcode, medium.get());
    if (!operation.BlockBuffer)
        return CErrorGenMemory(source, __LINE__, sizeof(CBlockBuffer));
    return CStatus::Success();
}

CStatus PrepareDestination(CTapeOperation& operation, CFragmentFile& file, std::uint64_t size,
                           std::uint64_t fileTime, bool& fileOpen)
{
    CStatus status;
    const bool early = operation.EarlyResult();
    if (early)
    {
        status = file.SetStatus(status.GetOSStatus(), 0, nullptr, 0, true);
        fileOpen = status.IsSuccess();
    }
    if (status.IsSuccess())
        status = file.Prepare(true, 0, 0);
    if (status.IsSuccess())
        status = file.SetSize(size);
    if (status.IsSuccess())
        status = file.SetTime(fileTime);
    if (status.IsSuccess())
    {
        operation.SetUserFragment(nullptr);
        if (early)
            operation.ResultStatus.SendResultToCaller(status, true, 0, nullptr);
    }
    else if (fileOpen)
    {
        CEventLog::LogStatus(file.SetStatus(status.GetOSStatus(), 0, nullptr, 0, false));
        fileOpen = false;
    }
    return status;
}

void StartWholeFileRead(CTapeOperation& operation, std::uint64_t position, std::uint32_t next)
{
    auto& volume = *static_cast<CVolume*>(operation.TargetResource);
    operation.NextState(volume.ReadBlocksOperation(&operation, 0, operation.ReplicaIndex, 1, position, 0, 0,
                                                   operation.BlockBuffer, operation.EarlyResult() ? 2 : 0,
                                                   false, nullptr),
                        next);
}

CStatus EndWholeFileRead(CTapeOperation& operation)
{
    operation.BlockBuffer->Clear();
    operation.Complete(CStatus::Success(), 0, nullptr);
    return CStatus::Success();
}

RangeRead ReadOfRange(std::uint64_t extentStart, std::uint64_t extentOffset, std::uint64_t extentBytes,
                      std::uint64_t first, std::uint64_t last)
{
    const std::uint64_t from = std::max(first, extentOffset);
    const std::uint64_t to = std::min(last, extentOffset + extentBytes);
    if (from >= to)
        return {};
    const std::uint64_t within = from - extentOffset;
    return {extentStart + within / 512, within % 512, to - from, from};
}

std::uint64_t StreamRangeEnd(CBlockBuffer::CStream& stream, std::uint64_t first, std::uint64_t size)
{
    const std::uint64_t available = size - std::min(first, size);
    const std::uint64_t taken = stream.Length != 0 ? std::min(stream.Length, available) : available;
    stream.Length = taken;
    return first + taken;
}
