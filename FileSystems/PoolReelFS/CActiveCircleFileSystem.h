// The Active Circle tape file system: tapes that open with a three-line text label block and a file
// mark, followed by ustar archives, each closed by two zero blocks and a file mark. It keeps only the
// tape's block size as a setting and offers no properties. Made by the plug-in's factory instance, owned
// and driven by the host's operation thread; it takes no lock.
#pragma once

#include "FileSystems/TapeFS/CLabelledTapeFileSystem.h"
#include "FileSystems/TapeFS/TapeFileSystemKinds.h"
#include "frame/PluginTexts.h"

#include <cstdint>

class CActiveCircleFileSystemOperation;
class CActiveCircleGetOperationContext;
class CActiveCircleReplicationContext;

class CActiveCircleFileSystem;
using CActiveCircleFileSystemKinds =
    CTapeFileSystemKinds<CActiveCircleFileSystem, CLabelledTapeFileSystem, CActiveCircleFileSystemOperation,
                         CActiveCircleGetOperationContext, CActiveCircleReplicationContext>;

class CActiveCircleFileSystem : public CActiveCircleFileSystemKinds
{
public:
    static constexpr CPluginTexts Texts = {u"ActiveCircle", u"Active Circle", "LegacyFS", u"0"};

    CActiveCircleFileSystem(CSystem* system, CSet<CTraceLoggable, 0>::pointer traceSource);

    // Tape the operation would take, in 512-byte blocks: the header blocks and data of a file (opcode 4),
    // the header of a directory (16), the bytes of an archive's end (20), two tape blocks (3), nothing
    // (0, 12, 13, 17, 18). Any other opcode fails with ErrorRefused and leaves `blocks` as it was. In every
    // case `bytes` is blocks × 512 and `flag` 0.
    CStatus EstimateBlocks(CMedium* medium, CArchiveFileSystemOperation* operation, std::uint64_t& blocks,
                           std::uint64_t& bytes, std::uint8_t& flag) override;
    // Header blocks of a member of this name and size: the ustar block, and a pax header with its record
    // blocks when the name or the size needs records. 0 blocks on failure.
    CStatus CountHeaderBlocks(const CFileName& name, std::uint64_t size, std::uint64_t& blocks);

    CStatus RecogniseVolume(CArchiveFileSystemOperation* operation) override;
    CStatus ReadUserFile(CArchiveFileSystemOperation* operation) override;
    CStatus ReadFragment(CArchiveFileSystemOperation* operation) override;
    CStatus GetNextItem(CArchiveFileSystemOperation* operation) override;
};

extern template class CTapeFileSystemKinds<CActiveCircleFileSystem, CLabelledTapeFileSystem,
                                           CActiveCircleFileSystemOperation, CActiveCircleGetOperationContext,
                                           CActiveCircleReplicationContext>;
