// Low-level file calls on Linux descriptors. A handle opened here keeps its own position and a read-ahead
// buffer and reads with pread, so the kernel's file offset is never relied on; other handles go straight to
// the system calls.
#include "crt/LowIO.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace crt
{

namespace
{

constexpr std::size_t ReadAhead = 64 * 1024;

struct BufferedHandle
{
    std::int64_t Position = 0;
    std::int64_t BufferStart = 0; // file position of Bytes[0]
    std::size_t BufferFill = 0;   // valid bytes in Bytes
    std::vector<unsigned char> Bytes;
};

std::mutex TableLock;
std::map<int, std::unique_ptr<BufferedHandle>>& Table()
{
    static auto* table = new std::map<int, std::unique_ptr<BufferedHandle>>;
    return *table;
}

BufferedHandle* Find(int handle)
{
    std::lock_guard guard(TableLock);
    auto entry = Table().find(handle);
    return entry == Table().end() ? nullptr : entry->second.get();
}

// Initial-exec, as every thread-local of code that goes into the plug-ins: the host loads them with dlopen,
// and this keeps the variable in the static TLS block that the C library reserves for such modules, so that
// no thread gets a dynamic TLS block for a plug-in (which the leak checker's scan of threads at exit
// cannot always follow).
[[gnu::tls_model("initial-exec")]] thread_local int LastError = 0;

std::int64_t Failed()
{
    LastError = errno;
    return -1;
}

// Repeats call(done) until size bytes have moved, the call moves none (the end of the file) or it fails
// other than by a signal; the bytes moved, or -1.
template <class Call> std::int64_t Transfer(std::uint64_t size, Call call)
{
    std::uint64_t done = 0;
    while (done < size)
    {
        const ssize_t moved = call(done);
        if (moved < 0)
        {
            if (errno == EINTR)
                continue;
            return Failed();
        }
        if (moved == 0)
            break;
        done += static_cast<std::uint64_t>(moved);
    }
    return static_cast<std::int64_t>(done);
}

std::int64_t PRead(int handle, unsigned char* out, std::size_t size, std::int64_t at)
{
    return Transfer(size,
                    [&](std::uint64_t done) {
                        return ::pread(handle, out + done, size - done, at + static_cast<std::int64_t>(done));
                    });
}

std::int64_t BufferedRead(BufferedHandle& file, int handle, unsigned char* out, std::uint64_t size)
{
    std::uint64_t done = 0;
    while (done < size)
    {
        const std::int64_t offset = file.Position - file.BufferStart;
        if (offset >= 0 && static_cast<std::uint64_t>(offset) < file.BufferFill)
        {
            const std::uint64_t take =
                std::min<std::uint64_t>(size - done, file.BufferFill - static_cast<std::size_t>(offset));
            std::memcpy(out + done, file.Bytes.data() + offset, take);
            done += take;
            file.Position += static_cast<std::int64_t>(take);
            continue;
        }
        // Large reads bypass the buffer; small ones refill it at the position.
        if (size - done >= ReadAhead)
        {
            const std::int64_t got = PRead(handle, out + done, size - done, file.Position);
            if (got < 0)
                return -1;
            done += static_cast<std::uint64_t>(got);
            file.Position += got;
            break;
        }
        file.Bytes.resize(ReadAhead);
        const std::int64_t got = PRead(handle, file.Bytes.data(), ReadAhead, file.Position);
        if (got < 0)
            return -1;
        file.BufferStart = file.Position;
        file.BufferFill = static_cast<std::size_t>(got);
        if (got == 0)
            break;
    }
    return static_cast<std::int64_t>(done);
}

std::int64_t SizeOf(int handle)
{
    struct stat status;
    if (::fstat(handle, &status) != 0)
        return Failed();
    return status.st_size;
}

} // namespace

int Open(const char* path, OpenMode mode)
{
    int flags = O_CLOEXEC;
    switch (mode)
    {
    case OpenMode::ReadOnly:
        flags |= O_RDONLY;
        break;
    case OpenMode::ReadWrite:
        flags |= O_RDWR;
        break;
    case OpenMode::CreateNew:
        flags |= O_RDWR | O_CREAT | O_TRUNC;
        break;
    }
    const int handle = ::open(path, flags, 0600);
    if (handle < 0)
        return static_cast<int>(Failed());
    std::lock_guard guard(TableLock);
    Table()[handle] = std::make_unique<BufferedHandle>();
    return handle;
}

int Close(int handle)
{
    {
        std::lock_guard guard(TableLock);
        Table().erase(handle);
    }
    return ::close(handle) == 0 ? 0 : static_cast<int>(Failed());
}

std::int64_t Read(int handle, void* buffer, std::uint64_t size)
{
    auto* out = static_cast<unsigned char*>(buffer);
    if (BufferedHandle* file = Find(handle))
        return BufferedRead(*file, handle, out, size);
    return Transfer(size, [&](std::uint64_t done) { return ::read(handle, out + done, size - done); });
}

std::int64_t Write(int handle, const void* buffer, std::uint64_t size)
{
    BufferedHandle* file = Find(handle);
    const auto* in = static_cast<const unsigned char*>(buffer);
    const std::int64_t done =
        Transfer(size,
                 [&](std::uint64_t done)
                 {
                     return file ? ::pwrite(handle, in + done, size - done,
                                            file->Position + static_cast<std::int64_t>(done))
                                 : ::write(handle, in + done, size - done);
                 });
    if (done < 0)
        return -1;
    if (file)
    {
        file->Position += done;
        file->BufferFill = 0;
    }
    return done;
}

std::int64_t Seek(int handle, std::int64_t offset, Origin origin)
{
    BufferedHandle* file = Find(handle);
    if (!file)
    {
        const off_t at = ::lseek(handle, offset, origin == Origin::Start ? SEEK_SET : SEEK_END);
        return at < 0 ? Failed() : at;
    }
    std::int64_t base = 0;
    if (origin == Origin::End && (base = SizeOf(handle)) < 0)
        return -1;
    if (offset < 0 && -offset > base)
    {
        LastError = EINVAL;
        return -1;
    }
    file->Position = base + offset;
    return file->Position;
}

std::int64_t Tell(int handle)
{
    if (BufferedHandle* file = Find(handle))
        return file->Position;
    const off_t at = ::lseek(handle, 0, SEEK_CUR);
    return at < 0 ? Failed() : at;
}

int Eof(int handle)
{
    const std::int64_t size = SizeOf(handle);
    const std::int64_t at = Tell(handle);
    if (size < 0 || at < 0)
        return -1;
    return at >= size ? 1 : 0;
}

std::int64_t FileLength(int handle)
{
    return SizeOf(handle);
}

int ChangeSize(int handle, std::int64_t size)
{
    if (::ftruncate(handle, size) != 0)
        return static_cast<int>(Failed());
    if (BufferedHandle* file = Find(handle))
        file->BufferFill = 0;
    return 0;
}

int Commit(int handle)
{
    return ::fsync(handle) == 0 ? 0 : static_cast<int>(Failed());
}

const char* ErrorText()
{
    return std::strerror(LastError);
}

} // namespace crt
