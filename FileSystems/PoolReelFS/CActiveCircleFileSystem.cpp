#include "FileSystems/PoolReelFS/CActiveCircleFileSystem.h"

#include "FileSystems/PoolReelFS/CActiveCircleFileSystemOperation.h"
#include "FileSystems/PoolReelFS/CActiveCircleGetOperationContext.h"
#include "FileSystems/PoolReelFS/CActiveCircleTarFile.h"
#include "FileSystems/TapeFS/FileSystemErrors.h"
#include "FileSystems/TarFile/CTarFile.h"
#include "FileSystems/TarFile/TarEstimate.h"
#include "vnservice/CArchiveFileSystemOperation.h"
#include "vnservice/ErrorGenerators.h"
#include "vnservice/Opcodes.h"
#include "win/Allocation.h"

namespace
{
constexpr char Source[] = "ActiveCircleFileSystem";
} // namespace

template class CTapeFileSystemKinds<CActiveCircleFileSystem, CLabelledTapeFileSystem,
                                    CActiveCircleFileSystemOperation, CActiveCircleGetOperationContext,
                                    CActiveCircleReplicationContext>;

CActiveCircleFileSystem::CActiveCircleFileSystem(CSystem* system,
                                                 CSet<CTraceLoggable, 0>::pointer traceSource)
    : CActiveCircleFileSystemKinds(system, std::move(traceSource), Texts, "ActiveCircleOps")
{
}

CStatus CActiveCircleFileSystem::CountHeaderBlocks(const CFileName& name, std::uint64_t size,
                                                   std::uint64_t& blocks)
{
    CActiveCircleTarFile header;
    return header.CountHeaderBlocks(VolumeID, name, size, blocks);
}

CStatus CActiveCircleFileSystem::EstimateBlocks(CMedium* medium, CArchiveFileSystemOperation* operation,
                                                std::uint64_t& blocks, std::uint64_t& bytes,
                                                std::uint8_t& flag)
{
    CStatus status;
    auto count = [this](const CFileName& name, std::uint64_t size, std::uint64_t& headerBlocks)
    { return CountHeaderBlocks(name, size, headerBlocks); };
    if (!EstimateTarOpcode(*this, *operation, count, blocks, status))
    {
        if (operation->Opcode == OpcodeWriteLabel)
        {
            // The label block and its mark.
            if (medium)
                blocks = 2 * medium->AdjustToPhysicalBlockBoundary(1, true);
            else
                status = CErrorGenFileSystem(Source, __LINE__, ErrorNoMedium, VolumeID,
                                             {FormatParameter("%d", operation->ReplicaIndex)});
        }
        else
        {
            // A file: its header blocks, "0/" cut from its name, and its data.
            const WString& path = operation->AnchoredFileName.GetText();
            const std::uint64_t size = operation->ItemFileSize();
            status = CountHeaderBlocks(CFileName(path.substr(std::min<std::size_t>(2, path.size()))), size,
                                       blocks);
            if (status.IsSuccess())
                blocks += CTarFile::BlocksFor(size);
        }
    }
    bytes = blocks * 512;
    flag = 0;
    return status;
}
