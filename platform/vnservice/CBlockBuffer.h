// The buffer a drive read fills. It is a list of segments, each starting at a unit boundary of the tape:
// memory given by the caller, memory of its own, a fragment file that receives a restored file, or a
// stream that receives part of one. The unit is the size of the positions the reads are given in (512
// bytes for the TAR file systems, the tape block for others). Owned by the operation; one thread at a time.
#pragma once

#include "vnservice/CStatus.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class CSystem;
class CMedium;
class CFragmentFile;

class CBlockBuffer
{
public:
    // Receives part of a file: the bytes from `Offset` of the file, `Length` of them.
    class CStream
    {
    public:
        virtual ~CStream() = default;
        virtual CStatus Write(const std::uint8_t* data, std::size_t size) = 0;
        std::uint64_t Offset = 0;
        std::uint64_t Length = 0;
    };

    enum class SegmentKind
    {
        Memory,
        OwnMemory,
        FragmentFile,
        Stream
    };

    struct Segment
    {
        SegmentKind Kind;
        std::uint8_t* Address = nullptr;
        std::size_t Size = 0;
        CFragmentFile* File = nullptr;
        CStream* Stream = nullptr;
    };

    using Callback = void (*)(void*);

    CBlockBuffer(CSystem* system, std::uint32_t unit, std::uint32_t physicalBlockSize,
                 std::uint32_t blockSize, Callback callback = nullptr);
    CBlockBuffer(const CBlockBuffer&) = delete;
    CBlockBuffer& operator=(const CBlockBuffer&) = delete;
    virtual ~CBlockBuffer();

    CStatus Append(void* address, std::size_t size, CMedium* medium);
    CStatus Append(CFragmentFile* file, CMedium* medium);
    CStatus Append(CStream* stream);
    CStatus AppendMemory(std::size_t size, CMedium* medium);

    // The bytes of the buffer's memory segments from `offset`, at most `maximum` of them, when they lie
    // in one segment. The bytes are lent: each successful call is followed by one ReleaseData.
    CStatus GetData(std::size_t offset, bool, std::size_t maximum, const std::uint8_t*& data,
                    std::size_t& length);
    void ReleaseData(std::size_t, std::size_t)
    {
        if (DataLent > 0)
            --DataLent;
    }
    // How many GetData results have not been released yet.
    std::uint32_t GetDataLent() const { return DataLent; }

    // Bytes the memory segments hold, each counted from its unit boundary.
    std::uint64_t GetByteCount() const;
    void Clear();
    CFragmentFile* GetFragmentFile() const;

    std::uint32_t GetUnit() const { return Unit; }
    std::uint32_t GetBlockSize() const { return BlockSize; }
    const std::vector<Segment>& GetSegments() const { return Segments; }

private:
    CSystem* System;
    std::uint32_t Unit;
    std::uint32_t PhysicalBlockSize;
    std::uint32_t BlockSize;
    std::vector<Segment> Segments;
    std::vector<std::unique_ptr<std::uint8_t[]>> OwnMemory;
    std::uint32_t DataLent = 0;
};
