// An operation of the generic TAR file system. Recognition keeps its flags and the tape signature here;
// a restore keeps the file's length, time, where its headers are and the extents it still has to read,
// each on the volume that holds it. The operation owns the header object it reads through. Owned by the host;
// one thread.
#pragma once

#include "FileSystems/TapeFS/CTapeOperation.h"
#include "FileSystems/TarFile/CGenericTarFile.h"
#include "FileSystems/TarFile/SparseRestore.h"

#include <cstdint>
#include <memory>
#include <vector>

// An entry of a scan whose data are to be recorded: a member, or the rest of one begun on the previous
// volume (a continuation, which is also the item's archive end).
struct TarDataEntry
{
    CFileName Name;
    std::uint64_t Size = 0;
    std::uint32_t SegmentIndex = 0;
    std::uint32_t OrderKey1 = 0;
    std::uint32_t OrderKey2 = 0;
    bool Continuation = false;
};

// One run of a file's blocks on one volume.
struct TapeExtent
{
    std::uint32_t BlockCount = 0;
    std::uint64_t Start = 0; // 512-byte units
    CVolumePointer Volume;
};

class CGenericTarFileSystemOperation : public CTapeOperation
{
public:
    using CTapeOperation::CTapeOperation;

    // Recognition and restore share one flag byte, as the file system's status hook reads it.
    bool IsAlertFlagSet() const override { return AlertFlag; }
    bool IsFragmentFileOpen() const override { return AlertFlag; }
    bool& FragmentFileOpen() { return AlertFlag; }

    // Recognition (opcode 2).
    bool Recognised = false;
    bool AlertFlag = false;
    // Restore (opcodes 7 and 8): the file's length and time, its first header block and the next block
    // of its headers to read, the bytes of its extents passed so far.
    std::uint64_t ByteCount = 0;
    std::uint64_t FileTime = 0;
    std::uint64_t FileStart = 0;
    std::uint64_t ReadBlock = 0;
    std::uint64_t BytesDone = 0;
    // The restore of a sparse member, once its headers have been read.
    std::unique_ptr<CSparseRestore> Sparse;

    std::unique_ptr<CGenericTarFile> TarFile;
    // Scan: the entry whose data would end in the volume's last physical block, while the drive looks
    // whether the closing mark stands there.
    TarDataEntry PendingEntry;
    std::uint64_t SignatureNumber = 0;
    std::uint8_t LabelId[48] = {};
    // In tape order, one for each volume the file lies on: a few, taken from the front. A vector, as an
    // operation made for each item of a scan should cost no allocation for a restore's list.
    std::vector<TapeExtent> Extents;
};
