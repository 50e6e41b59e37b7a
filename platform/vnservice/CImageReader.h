// CImageReader: reads the bytes of an open image file by system calls, which report an image that has
// shrunk as a short read where mapped pages would fault. The length words that indexing reads lie a
// record apart: those of small records come in many at a time, in one read of a chunk that the reader
// keeps; those of larger records are read each on its own, so that no record data is copied. The reader
// does not own the descriptor. Used by one thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class CImageReader
{
public:
    explicit CImageReader(int fd) : Fd(fd) {}

    // Reads up to `size` bytes at `offset`; fewer only at the end of the file. Returns -1 (errno set) on
    // an error. Safe from several threads on one descriptor.
    static long long ReadUpTo(int fd, std::uint64_t offset, void* dest, std::size_t size);

    // ReadUpTo for a word or two at `offset`, whose neighbours lie `stride` bytes further on: when the
    // stride is short, the chunk from `offset` is read and serves the next words too. Throws
    // std::bad_alloc when the chunk cannot be had.
    long long ReadWords(std::uint64_t offset, unsigned char* dest, std::size_t size, std::uint64_t stride);

private:
    // A chunk pays when copying the bytes between two words costs less than a system call.
    static constexpr std::size_t ChunkBytes = 64 << 10;
    static constexpr std::uint64_t ShortStride = 4 << 10;

    int Fd;
    std::vector<unsigned char> Chunk;
    std::uint64_t ChunkStart = 0;
    std::size_t ChunkSize = 0;
};
