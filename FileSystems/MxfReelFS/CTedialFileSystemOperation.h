// An operation of the Tedial file system. Recognition keeps here the tape block it has reached, its flags
// and what the label gave: the label's time and the tape's label identifier; recognition and the scan
// hold the tape view of the MXF file they read. A restore keeps the file's
// first block, its size and time, and whether the destination file was opened. The alert flag of
// recognition and the open-fragment flag of a restore are each read by the file system's status hook for
// its own opcode. Owned by the host; driven by one thread at a time.
#pragma once

#include "FileSystems/TapeFS/CTapeOperation.h"
#include "mxf/MXFFile.h"

#include <cstdint>

class CTedialFileSystemOperation : public CTapeOperation
{
public:
    using CTapeOperation::CTapeOperation;

    bool IsAlertFlagSet() const override { return AlertFlag; }
    bool IsFragmentFileOpen() const override { return FragmentFileOpen; }

    // Recognition (opcode 2): an identity has been settled; the tape block reached; a failure of the
    // pending drive operation puts the volume and the medium in alert.
    bool Recognised = false;
    std::uint64_t BlockCounter = 0;
    bool AlertFlag = false;
    // Recognition and scan (opcode 11): the tape view of the MXF file whose first block the pending read
    // fills, held until the step that reads the file takes it over.
    mxf::MXFFilePtr RecognitionFile;
    mxf::MXFFilePtr ScanFile;
    // Restore (opcodes 7 and 8): the file's first tape block, its size and time (FILETIME); the user
    // fragment's file has been opened (opcode 7).
    std::uint64_t StartBlock = 0;
    std::uint64_t ByteCount = 0;
    std::uint64_t FileTime = 0;
    bool FragmentFileOpen = false;

    // From the label: its date in seconds since 1970 and the tape's label identifier, zero-padded.
    std::int64_t LabelTime = 0;
    std::uint8_t LabelId[48] = {};
};
