// The Tedial tape file system: tapes that open with a six-line text label block and a file mark,
// followed by MXF files, one between each pair of file marks. Positions on these tapes are tape blocks of
// the medium's block size, file marks included; the block size is the one setting it keeps. Made by the
// plug-in's factory instance, owned and driven by the host's operation thread; it takes no lock.
#pragma once

#include "FileSystems/TapeFS/CLabelledTapeFileSystem.h"
#include "FileSystems/TapeFS/TapeFileSystemKinds.h"
#include "frame/PluginTexts.h"

#include <cstdint>

class CTedialFileSystemOperation;
class CTedialGetOperationContext;
class CTedialReplicationContext;

class CTedialFileSystem;
using CTedialFileSystemKinds =
    CTapeFileSystemKinds<CTedialFileSystem, CLabelledTapeFileSystem, CTedialFileSystemOperation,
                         CTedialGetOperationContext, CTedialReplicationContext>;

class CTedialFileSystem : public CTedialFileSystemKinds
{
public:
    static constexpr CPluginTexts Texts = {u"Tedial", u"Tedial", "LegacyFS", u"0"};

    // Reads "Scan File Sizes" of the host configuration's section "MXFREELFS"; a value that cannot be
    // read is logged and leaves exact sizes off.
    CTedialFileSystem(CSystem* system, CSet<CTraceLoggable, 0>::pointer traceSource);

    // Tape the operation would take, in tape blocks of BlockSize: a file's blocks and its mark (opcode
    // 4, `bytes` its size), the label block and its mark (3), nothing (0, 12, 13, 16, 17, 18, 20). Any
    // other opcode fails with ErrorRefused, and a file before the block size is known with
    // ErrorBlockSizeUnknown. `flag` is 0.
    CStatus EstimateBlocks(CMedium* medium, CArchiveFileSystemOperation* operation, std::uint64_t& blocks,
                           std::uint64_t& bytes, std::uint8_t& flag) override;

    // A block buffer whose positions and unit are tape blocks of BlockSize.
    CBlockBuffer* CreateBlockBuffer(std::uint32_t opcode, CMedium* medium) override;

    CStatus RecogniseVolume(CArchiveFileSystemOperation* operation) override;
    CStatus ReadUserFile(CArchiveFileSystemOperation* operation) override;
    CStatus ReadFragment(CArchiveFileSystemOperation* operation) override;
    // One MXF file a call, named and dated from its header metadata.
    CStatus GetNextItem(CArchiveFileSystemOperation* operation) override;

    // Nonzero: the scan measures each MXF file's exact size from its footer.
    std::uint32_t ScanFileSizes = 0;
};

extern template class CTapeFileSystemKinds<CTedialFileSystem, CLabelledTapeFileSystem,
                                           CTedialFileSystemOperation, CTedialGetOperationContext,
                                           CTedialReplicationContext>;
