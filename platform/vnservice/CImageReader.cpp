#include "vnservice/CImageReader.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

long long CImageReader::ReadUpTo(int fd, std::uint64_t offset, void* dest, std::size_t size)
{
    auto* out = static_cast<unsigned char*>(dest);
    std::size_t done = 0;
    while (done < size)
    {
        ssize_t got = ::pread(fd, out + done, size - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return -1;
        if (got == 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    return static_cast<long long>(done);
}

long long CImageReader::ReadWords(std::uint64_t offset, unsigned char* dest, std::size_t size,
                                  std::uint64_t stride)
{
    if (offset < ChunkStart || offset + size > ChunkStart + ChunkSize)
    {
        if (stride > ShortStride)
            return ReadUpTo(Fd, offset, dest, size);
        Chunk.resize(ChunkBytes);
        ChunkSize = 0;
        long long got = ReadUpTo(Fd, offset, Chunk.data(), ChunkBytes);
        if (got < 0)
            return got;
        ChunkStart = offset;
        ChunkSize = static_cast<std::size_t>(got);
    }
    const std::size_t available = static_cast<std::size_t>(ChunkStart + ChunkSize - offset);
    const std::size_t copied = size < available ? size : available;
    std::memcpy(dest, Chunk.data() + (offset - ChunkStart), copied);
    return static_cast<long long>(copied);
}
