#include "vnservice/CBlockBuffer.h"

#include "vnservice/ErrorGenerators.h"
#include "vnservice/HostErrors.h"

#include <algorithm>

#include <new>

CBlockBuffer::CBlockBuffer(CSystem* system, std::uint32_t unit, std::uint32_t physicalBlockSize,
                           std::uint32_t blockSize, Callback)
    : System(system), Unit(unit ? unit : 512), PhysicalBlockSize(physicalBlockSize), BlockSize(blockSize)
{
}

CBlockBuffer::~CBlockBuffer() = default;

CStatus CBlockBuffer::Append(void* address, std::size_t size, CMedium*)
{
    Segments.push_back({SegmentKind::Memory, static_cast<std::uint8_t*>(address), size, nullptr, nullptr});
    return CStatus::Success();
}

CStatus CBlockBuffer::Append(CFragmentFile* file, CMedium*)
{
    Segments.push_back({SegmentKind::FragmentFile, nullptr, 0, file, nullptr});
    return CStatus::Success();
}

CStatus CBlockBuffer::Append(CStream* stream)
{
    Segments.push_back({SegmentKind::Stream, nullptr, 0, nullptr, stream});
    return CStatus::Success();
}

CStatus CBlockBuffer::AppendMemory(std::size_t size, CMedium*)
{
    std::unique_ptr<std::uint8_t[]> memory(new (std::nothrow) std::uint8_t[size]());
    if (!memory)
        return CErrorGenMemory("BlockBuffer", __LINE__, size);
    Segments.push_back({SegmentKind::OwnMemory, memory.get(), size, nullptr, nullptr});
    OwnMemory.push_back(std::move(memory));
    return CStatus::Success();
}

CStatus CBlockBuffer::GetData(std::size_t offset, bool, std::size_t maximum, const std::uint8_t*& data,
                              std::size_t& length)
{
    std::size_t start = 0;
    for (const auto& segment : Segments)
    {
        if (segment.Kind != SegmentKind::Memory && segment.Kind != SegmentKind::OwnMemory)
            continue;
        if (offset >= start && offset < start + segment.Size)
        {
            data = segment.Address + (offset - start);
            length = std::min(maximum, segment.Size - (offset - start));
            ++DataLent;
            return CStatus::Success();
        }
        start += (segment.Size + Unit - 1) / Unit * Unit;
    }
    data = nullptr;
    length = 0;
    return CErrorGenMessage("BlockBuffer", __LINE__, HostErrorDrive,
                            {"the block buffer holds no data there"});
}

std::uint64_t CBlockBuffer::GetByteCount() const
{
    std::uint64_t total = 0;
    for (const auto& segment : Segments)
        if (segment.Kind == SegmentKind::Memory || segment.Kind == SegmentKind::OwnMemory)
            total += (segment.Size + Unit - 1) / Unit * Unit;
    return total;
}

void CBlockBuffer::Clear()
{
    Segments.clear();
    OwnMemory.clear();
}

CFragmentFile* CBlockBuffer::GetFragmentFile() const
{
    for (const auto& segment : Segments)
        if (segment.Kind == SegmentKind::FragmentFile)
            return segment.File;
    return nullptr;
}
