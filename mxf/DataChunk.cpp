#include "mxf/DataChunk.h"

#include "mxf/MemoryBudget.h"

#include <cstdio>
#include <cstring>
#include <limits>

namespace mxf
{

DataChunk::DataChunk(const SmartPtr<DataChunk>& other)
{
    if (!other)
        return;
    Resize(other->DataSize);
    if (DataSize)
        std::memcpy(Buffer.get(), other->Buffer.get(), DataSize);
}

void DataChunk::Resize(std::uint64_t size)
{
    if (size <= AllocatedSize)
    {
        DataSize = size;
        return;
    }
    std::uint64_t allocation = size;
    if (Granularity && size % Granularity)
    {
        const std::uint64_t padding = Granularity - size % Granularity;
        // Rounding up must not wrap round to a buffer smaller than the size asked for.
        if (size <= std::numeric_limits<std::uint64_t>::max() - padding)
            allocation = size + padding;
    }
    auto buffer = std::make_unique_for_overwrite<std::uint8_t[]>(allocation);
    if (DataSize)
        std::memcpy(buffer.get(), Buffer.get(), DataSize);
    Buffer = std::move(buffer);
    if (MemoryBudget* budget = MemoryBudget::Current())
    {
        budget->Take(allocation + HeapBlockOverhead);
        if (AllocatedSize)
            budget->GiveBack(AllocatedSize + HeapBlockOverhead);
    }
    AllocatedSize = allocation;
    DataSize = size;
}

std::string DataChunk::GetString() const
{
    std::string text;
    text.reserve(DataSize * 3);
    for (std::uint64_t i = 0; i < DataSize; ++i)
    {
        char pair[4];
        std::snprintf(pair, sizeof pair, i ? " %02x" : "%02x", Buffer[i]);
        text += pair;
    }
    return text;
}

void CopyInto(DataChunk& chunk, const DataChunk& other)
{
    if (chunk.Size() < other.Size())
        chunk.Resize(other.Size());
    if (other.Size())
        std::memcpy(chunk.Data(), other.Data(), other.Size());
}

} // namespace mxf
