// An operation of the Active Circle file system. Recognition keeps here the tape position it has
// reached, its flags and what the label gave: the label's time and the tape's label identifier. A
// restore keeps the next tape position to read and whether the destination file was opened. The alert
// flag of recognition and the open-fragment flag of a restore are separate bytes, each read by the file
// system's status hook for its own opcode. The operation owns the header object that scans and restores
// read through. Owned by the host; driven by one thread at a time.
#pragma once

#include "FileSystems/PoolReelFS/CActiveCircleTarFile.h"
#include "FileSystems/TapeFS/CTapeOperation.h"
#include "FileSystems/TarFile/SparseRestore.h"

#include <cstdint>
#include <memory>

class CActiveCircleFileSystemOperation : public CTapeOperation
{
public:
    using CTapeOperation::CTapeOperation;

    bool IsAlertFlagSet() const override { return AlertFlag; }
    bool IsFragmentFileOpen() const override { return FragmentFileOpen; }

    // Recognition (opcode 2): an identity has been settled; the position reached, in 512-byte units; a
    // failure of the pending drive operation puts the volume and the medium in alert.
    bool Recognised = false;
    std::uint64_t CurrentBlock = 0;
    bool AlertFlag = false;
    // Restore (opcodes 7 and 8): the next tape position to read, in 512-byte units; the user fragment's
    // file has been opened (opcode 7).
    std::uint64_t ReadBlock = 0;
    bool FragmentFileOpen = false;

    std::unique_ptr<CActiveCircleTarFile> TarFile;
    // The restore of a sparse member, once its headers have been read.
    std::unique_ptr<CSparseRestore> Sparse;
    // From the label: its date in seconds since 1970 and the tape's label identifier, zero-padded.
    std::uint64_t LabelTime = 0;
    std::uint8_t LabelId[48] = {};
};
