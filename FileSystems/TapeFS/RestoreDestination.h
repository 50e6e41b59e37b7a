// What the restores of every tape file system do around their data reads: making the block buffer,
// readying the destination file of a whole-file restore, and cutting a byte range of a file into the
// reads of its extents.
#pragma once

#include "vnservice/CBlockBuffer.h"
#include "vnservice/CStatus.h"

#include <cstdint>

class CFragmentFile;
class CTapeFileSystem;
class CTapeOperation;

// The block buffer of a restore handler (opcode 7 or 8) as the operation's BlockBuffer, once the
// operation's replica has a medium; its failures carry `source`.
CStatus CreateRestoreBuffer(CTapeFileSystem& fileSystem, CTapeOperation& operation, const char* source);

// Readies the user fragment's file for `size` bytes dated `fileTime`: when the caller takes the result
// early, it learns the outcome so far and the file counts as open; then Prepare, SetSize and SetTime.
// On success the operation gives the fragment up (the block buffer holds it now) and an early caller
// gets its result; on a failure an open file is told of it and closed. `fileOpen` is the operation's
// flag that the file was opened for an early result.
CStatus PrepareDestination(CTapeOperation& operation, CFragmentFile& file, std::uint64_t size,
                           std::uint64_t fileTime, bool& fileOpen);

// Starts the drive read of the whole destination file, which the operation's block buffer holds, from
// `position` (in the buffer's unit); the destination's size decides how much is read, and an early
// caller sees the progress. The step continues in `next`, which ends the restore with EndWholeFileRead.
void StartWholeFileRead(CTapeOperation& operation, std::uint64_t position, std::uint32_t next);
// The destination has been written: the block buffer lets it go and the operation completes.
CStatus EndWholeFileRead(CTapeOperation& operation);

// One drive read of a byte range: from `Position` (512-byte units), skip `Skip` bytes, then take `Length`,
// the file's bytes from `FileOffset` on.
struct RangeRead
{
    std::uint64_t Position = 0;
    std::uint64_t Skip = 0;
    std::uint64_t Length = 0;
    std::uint64_t FileOffset = 0;
};

// The end of the bytes of a file of `size` bytes that a stream takes from `first` on: as many as it asks
// for, or the rest of the file when it names no length, never past the file's end. The stream's length
// becomes the count it will receive.
std::uint64_t StreamRangeEnd(CBlockBuffer::CStream& stream, std::uint64_t first, std::uint64_t size);

// The read of the bytes [first, last) of a file out of one of its extents, which holds the file's bytes
// from `extentOffset` on, `extentBytes` of them, starting at `extentStart`. Length 0 when they do not meet.
RangeRead ReadOfRange(std::uint64_t extentStart, std::uint64_t extentOffset, std::uint64_t extentBytes,
                      std::uint64_t first, std::uint64_t last);
