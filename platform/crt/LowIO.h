// The C run-time's low-level file calls that the MXF library reads and writes disk files with: handles are
// the operating system's file descriptors. Reads of a handle opened here go through a read-ahead buffer of
// its own, so that many small reads (keys, lengths) cost one system call per buffer; writes, seeks and
// truncation keep the buffer consistent. One handle is used by one thread at a time; different handles may
// be used on different threads.
#pragma once

#include <cstdint>

namespace crt
{

enum class OpenMode
{
    ReadOnly,  // existing file, input only
    ReadWrite, // existing file, input and output
    CreateNew, // created or truncated, input and output, owner read and write permission
};

// A handle, or -1 with the error number kept for ErrorText.
int Open(const char* path, OpenMode mode);
// 0, or -1. Handles not opened here are closed too.
int Close(int handle);

// Bytes read (0 at the end of the file), or -1.
std::int64_t Read(int handle, void* buffer, std::uint64_t size);
// Bytes written, or -1.
std::int64_t Write(int handle, const void* buffer, std::uint64_t size);

enum class Origin
{
    Start,
    End,
};
// The new position, or -1.
std::int64_t Seek(int handle, std::int64_t offset, Origin origin);
// The current position as reads and writes see it, or -1.
std::int64_t Tell(int handle);
// 1 at or past the end of the file, 0 before it, -1 when the handle is bad.
int Eof(int handle);
// The file's size, or -1.
std::int64_t FileLength(int handle);
// Cuts or extends the file to size bytes; 0, or -1.
int ChangeSize(int handle, std::int64_t size);
// Commits the file's data to its device; 0, or -1.
int Commit(int handle);

// The text of the error number that the last failed call on this thread left.
const char* ErrorText();

} // namespace crt
