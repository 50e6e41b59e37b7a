#include "FileSystems/MxfReelFS/CTedialFileSystem.h"

#include "FileSystems/MxfReelFS/CTedialFileSystemOperation.h"
#include "FileSystems/MxfReelFS/CTedialGetOperationContext.h"
#include "FileSystems/TapeFS/FileSystemErrors.h"
#include "vnservice/CArchiveFileSystemOperation.h"
#include "vnservice/CBlockBuffer.h"
#include "vnservice/CEventLog.h"
#include "vnservice/CSystem.h"
#include "vnservice/ErrorGenerators.h"
#include "vnservice/HostErrors.h"
#include "vnservice/Opcodes.h"
#include "win/Allocation.h"

namespace
{
constexpr char Source[] = "TedialFileSystem";
} // namespace

template class CTapeFileSystemKinds<CTedialFileSystem, CLabelledTapeFileSystem, CTedialFileSystemOperation,
                                    CTedialGetOperationContext, CTedialReplicationContext>;

CTedialFileSystem::CTedialFileSystem(CSystem* system, CSet<CTraceLoggable, 0>::pointer traceSource)
    : CTedialFileSystemKinds(system, std::move(traceSource), Texts, "TedialOps")
{
    CEventLog::LogStatus(system->Configuration.GetValue(u"MXFREELFS", u"Scan File Sizes", ScanFileSizes, 0));
}

CBlockBuffer* CTedialFileSystem::CreateBlockBuffer(std::uint32_t opcode, CMedium*)
{
    return NewNoThrow<CBlockBuffer>(System, BlockSize, 0, GetBlockSize(opcode));
}

CStatus CTedialFileSystem::EstimateBlocks(CMedium*, CArchiveFileSystemOperation* operation,
                                          std::uint64_t& blocks, std::uint64_t& bytes, std::uint8_t& flag)
{
    flag = 0;
    switch (operation->Opcode)
    {
    case OpcodeLabel:
    case OpcodeHandleOpcode12:
    case OpcodeHandleOpcode13:
    case OpcodeWriteDirectory:
    case OpcodeHandleOpcode17:
    case OpcodeHandleOpcode18:
    case OpcodeHandleOpcode20:
        blocks = 0;
        bytes = 0;
        return CStatus::Success();
    case OpcodeWriteLabel:
        // The label block and its mark.
        blocks = 2;
        bytes = 0;
        return CStatus::Success();
    case OpcodeWriteUserFile:
    {
        if (BlockSize == 0)
            return CErrorGenFileSystem(Source, __LINE__, ErrorBlockSizeUnknown, VolumeID);
        // The file's blocks and the mark that closes it.
        const std::uint64_t size = operation->ItemFileSize();
        blocks = size / BlockSize + (size % BlockSize != 0 ? 1 : 0) + 1;
        bytes = size;
        return CStatus::Success();
    }
    default:
        return CErrorGenMessage(Source, __LINE__, ErrorRefused);
    }
}
