// CSparseRestore: the restore of a sparse TAR member, which the TAR restores hand over to once they have
// read the member's headers back and know its data on tape. It reads what the map still needs (the
// extension blocks of an old GNU header, the map that opens a 1.0 member's data), then gives the file's
// bytes in order: the zeros of the holes written straight to the destination, the data read from tape
// through a buffer of its own of BounceBytes and copied out. Memory stays that buffer and the map,
// whatever the file's size and number of holes. The map is read from the tape at every restore, so that
// the catalogue records stay as every reader of a catalogue knows them. Owned by the operation; one
// thread at a time.
#pragma once

#include "FileSystems/TarFile/SparseMap.h"
#include "vnservice/CArchiveFileSystem.h"
#include "vnservice/CBlockBuffer.h"
#include "vnservice/CStatus.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CFragmentFile;
class CTapeOperation;
class CTarFile;
class CVolumeID;

class CSparseRestore
{
public:
    static constexpr std::size_t BounceBytes = 64 * 1024;

    // A run of the member's data on tape, in the order of the data: `Blocks` 512-byte blocks from
    // `Start` on `Volume`.
    struct DataRun
    {
        std::uint64_t Start = 0;
        std::uint64_t Blocks = 0;
        CVolumePointer Volume;
    };

    // Takes over the map of a sparse member whose headers `tar` holds, `memberBytes` of data on tape in
    // `runs`, catalogued as a file of `cataloguedBytes`; `nextHeaderBlock` is the block after the member's
    // header, where old GNU extension blocks lie. When `runsFollowHeader`, the first run was taken to
    // start there and starts after the extension blocks once they are read. Fails with ErrorSparseMap,
    // naming `name`, for a form or map that cannot be expanded.
    CStatus Begin(const CVolumeID& volume, const std::string& name, const CTarFile& tar,
                  std::uint64_t memberBytes, std::uint64_t cataloguedBytes, std::uint64_t nextHeaderBlock,
                  std::vector<DataRun> runs, bool runsFollowHeader);
    // Reads what the map still needs from tape: each call after the read the call before started, in
    // state `next`, until MapRead. The destination is readied only then, so that a map that cannot be
    // expanded fails the restore before the destination or an early caller hears of it, and so does a
    // map that expands the file to another size than its catalogue record gives (ErrorSparseRecordStale):
    // a record made by a reader that took the member for a plain file of its condensed data.
    CStatus ReadMap(CTapeOperation& operation, std::uint32_t next);
    bool MapRead() const { return Now == Phase::Expand; }
    // With the map read: gives the whole file to `file`, each byte at its offset, or the bytes that `stream`
    // takes from `first` on, in order: the first step of the expansion, which goes on in state `next`.
    CStatus RestoreWhole(CTapeOperation& operation, CFragmentFile& file, std::uint32_t next);
    CStatus RestoreRange(CTapeOperation& operation, CBlockBuffer::CStream& stream, std::uint64_t first,
                         std::uint32_t next);
    // The size of the file the map expands to.
    std::uint64_t FileSize() const { return Map.FileSize; }

    // One step of the expansion, after the read the step before started: starts the next read, in state
    // `next`, or completes the operation when all bytes are out.
    CStatus Step(CTapeOperation& operation, std::uint32_t next);

private:
    // Reading the extension blocks or the data map, then giving the file's bytes.
    enum class Phase
    {
        Extensions,
        DataMap,
        Expand
    };

    CStatus Failure(int line, const char* what) const;
    // The map is whole: it must fit the member's data and expand to the catalogued size.
    CStatus MapComplete();
    CStatus ReadExtensionBlock(CTapeOperation& operation, std::uint32_t next);
    // Starts a read of the member's data from `offset` on, up to `bytes` of them within one run and the
    // bounce buffer; Pending counts the bytes it brings.
    CStatus ReadData(CTapeOperation& operation, std::uint64_t offset, std::uint64_t bytes,
                     std::uint32_t next);
    CStatus Write(const std::uint8_t* data, std::size_t bytes);
    CStatus Expand(CTapeOperation& operation, std::uint32_t next);

    const CVolumeID* VolumeID = nullptr;
    std::string Name;
    Phase Now = Phase::Expand;
    CSparseMap Map;
    std::uint64_t MemberBytes = 0;
    std::uint64_t CataloguedBytes = 0;
    std::vector<DataRun> Runs;
    std::uint64_t NextHeaderBlock = 0;
    bool RunsFollowHeader = false;
    TarHeaderBlock Extension = {};
    std::vector<std::uint8_t> MapText;
    std::unique_ptr<std::uint8_t[]> Bounce;
    // The read in flight: the bytes it brings, and where in the bounce buffer the wanted ones begin.
    std::uint64_t Pending = 0;
    std::uint64_t PendingSkip = 0;

    CFragmentFile* File = nullptr;
    CBlockBuffer::CStream* Stream = nullptr;
    std::uint64_t Cursor = 0; // the file's next byte to give
    std::uint64_t Last = 0;
    std::size_t Region = 0;       // the first region that ends after Cursor
    std::uint64_t RegionData = 0; // the data bytes of the regions before it
};
