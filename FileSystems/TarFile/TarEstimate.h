// The block estimates that the TAR tape file systems give alike, in 512-byte blocks: nothing for the
// opcodes that write nothing (0, 12, 13, 17, 18), a directory's header blocks (16), an archive end's bytes
// (20), and a refusal for an opcode that no TAR file system estimates. Opcodes 3 and 4 each file system
// estimates itself. Runs on the host's operation thread.
#pragma once

#include "FileSystems/TapeFS/CTapeFileSystem.h"
#include "FileSystems/TapeFS/FileSystemErrors.h"
#include "vnservice/CArchiveFileSystemOperation.h"
#include "vnservice/ErrorGenerators.h"
#include "vnservice/Opcodes.h"

#include <cstdint>

// Estimates the opcode into `blocks` and `status` and returns true, or returns false for opcodes 3 and 4.
// A refusal leaves `blocks` as it was. `countHeaderBlocks`(name, size, blocks) counts in the tape's dialect.
template <class CountHeaderBlocks>
bool EstimateTarOpcode(const CTapeFileSystem& fileSystem, CArchiveFileSystemOperation& operation,
                       CountHeaderBlocks countHeaderBlocks, std::uint64_t& blocks, CStatus& status)
{
    switch (operation.Opcode)
    {
    case OpcodeLabel:
    case OpcodeHandleOpcode12:
    case OpcodeHandleOpcode13:
    case OpcodeHandleOpcode17:
    case OpcodeHandleOpcode18:
        blocks = 0;
        return true;
    case OpcodeWriteLabel:
    case OpcodeWriteUserFile:
        return false;
    case OpcodeWriteDirectory:
        status = countHeaderBlocks(operation.AnchoredFileName, 0, blocks);
        return true;
    case OpcodeHandleOpcode20:
        blocks = operation.ItemSize() / 512;
        return true;
    default:
        status = CErrorGenMessage(fileSystem.OpsSource, __LINE__, ErrorRefused);
        return true;
    }
}
