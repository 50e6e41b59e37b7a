// DataChunk: the growable byte buffer in which the library moves every value, key and length, and
// DataChunkPtr, its strong pointer. The chunk owns its buffer. Not thread-safe: a chunk that several threads
// use needs external synchronisation.
#pragma once

#include "mxf/RefCount.h"

#include <cstdint>
#include <memory>
#include <string>

namespace mxf
{

class DataChunk : public RefCount<DataChunk>
{
public:
    DataChunk() = default;
    explicit DataChunk(std::uint64_t size) { Resize(size); }
    // A copy of the other chunk's bytes in use; an empty pointer gives an empty chunk.
    explicit DataChunk(const SmartPtr<DataChunk>& other);
    DataChunk(const DataChunk&) = delete;
    DataChunk& operator=(const DataChunk&) = delete;

    // Shrinking, and growing within the allocation, keep the buffer and leave its bytes as they were.
    // Growing beyond it allocates a multiple of the granularity (exactly the size with granularity 0) and
    // keeps the bytes in use.
    void Resize(std::uint64_t size);

    std::uint64_t Size() const { return DataSize; }
    std::uint64_t Allocated() const { return AllocatedSize; }
    std::uint64_t GetGranularity() const { return Granularity; }
    void SetGranularity(std::uint64_t granularity) { Granularity = granularity; }
    std::uint8_t* Data() { return Buffer.get(); }
    const std::uint8_t* Data() const { return Buffer.get(); }

    // Each byte as two lower-case hexadecimal digits, separated by single spaces ("06 0e 2b 34").
    std::string GetString() const;

private:
    std::uint64_t AllocatedSize = 0;
    std::uint64_t Granularity = 0;
    std::uint64_t DataSize = 0;
    std::unique_ptr<std::uint8_t[]> Buffer; // null until something is allocated
};

using DataChunkPtr = SmartPtr<DataChunk>;

// Grows the chunk to the other's size when it is smaller, then copies the other's bytes over its first ones.
void CopyInto(DataChunk& chunk, const DataChunk& other);

} // namespace mxf
