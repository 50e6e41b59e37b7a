#include "FileSystems/MxfReelFS/CMXFOnTapeFile.h"

#include "mxf/Diagnostics.h"
#include "mxf/Hex.h"
#include "vnservice/CArchiveFileSystemOperation.h"
#include "vnservice/CBlockBuffer.h"
#include "vnservice/COperationStatus.h"
#include "vnservice/CVolume.h"
#include "win/Allocation.h"

#include <algorithm>
#include <cstring>

CMXFOnTapeFile::CMXFOnTapeFile(CArchiveFileSystemOperation* operation, std::uint32_t blockSize,
                               CBlockBuffer* blockBuffer)
    : Operation(operation), Volume(static_cast<CVolume*>(operation->TargetResource)), BlockSize(blockSize),
      BlockBuffer(blockBuffer)
{
}

bool CMXFOnTapeFile::Truncate(std::int64_t)
{
    return false;
}

int CMXFOnTapeFile::Seek(std::uint64_t position)
{
    Position = position;
    return 0;
}

std::int64_t CMXFOnTapeFile::SeekEnd()
{
    Position = FileLength;
    return static_cast<std::int64_t>(FileLength);
}

std::int64_t CMXFOnTapeFile::FileSize()
{
    return FileLength == 0 ? -1 : static_cast<std::int64_t>(FileLength);
}

std::int64_t CMXFOnTapeFile::Write(const mxf::DataChunkPtr&)
{
    return -1;
}

std::int64_t CMXFOnTapeFile::Write(const mxf::DataChunk&)
{
    return -1;
}

std::int64_t CMXFOnTapeFile::Write(const std::uint8_t*, std::uint64_t)
{
    return -1;
}

std::uint64_t CMXFOnTapeFile::CacheLimit() const
{
    return std::max<std::uint64_t>(4, CacheBytes / std::max<std::uint32_t>(BlockSize, 1));
}

void CMXFOnTapeFile::MakeRoom()
{
    while (Cache.size() >= CacheLimit())
    {
        auto oldest = LastUse.end();
        for (auto entry = LastUse.begin(); entry != LastUse.end(); ++entry)
            if (entry->first != 0 && (oldest == LastUse.end() || entry->second < oldest->second))
                oldest = entry;
        if (oldest == LastUse.end())
            return;
        Cache.erase(oldest->first);
        LastUse.erase(oldest);
    }
}

std::uint8_t* CMXFOnTapeFile::CacheBlock(std::uint64_t index)
{
    if (auto found = Cache.find(index); found != Cache.end())
    {
        LastUse[index] = ++Uses;
        return found->second.get();
    }
    MakeRoom();
    if (AllocationFault::ShouldFail())
        return nullptr;
    std::unique_ptr<std::uint8_t[]> buffer(new (std::nothrow) std::uint8_t[BlockSize]);
    if (!buffer)
        return nullptr;
    LastUse[index] = ++Uses;
    return Cache.emplace(index, std::move(buffer)).first->second.get();
}

bool CMXFOnTapeFile::FillBlock(std::uint64_t index)
{
    std::uint8_t* buffer = CacheBlock(index);
    if (!buffer)
        return false;
    BlockBuffer->Clear();
    CStatus status = BlockBuffer->Append(buffer, BlockSize, nullptr);
    if (status.IsSuccess())
        status = Volume
                     ->ReadBlocksOperation(Operation, BlockSize, Operation->ReplicaIndex, 1,
                                           FirstBlock + index, 0, BlockSize, BlockBuffer, 0, false, nullptr)
                     .AwaitCompletion();
    if (status.IsSuccess())
        return true;
    // A later read asks the drive again; the drive's status goes no further than this short read.
    status.NotPropagated();
    Cache.erase(index);
    LastUse.erase(index);
    return false;
}

std::int64_t CMXFOnTapeFile::ReadBytes(std::uint8_t* destination, std::uint64_t size)
{
    std::int64_t total = 0;
    while (size > 0)
    {
        const std::uint64_t index = Position / BlockSize;
        const std::uint64_t offset = Position % BlockSize;
        const std::uint64_t n = std::min<std::uint64_t>(size, BlockSize - offset);
        if (!Cache.contains(index) && !FillBlock(index))
            return -1;
        const std::uint8_t* buffer = CacheBlock(index);
        std::memcpy(destination, buffer + offset, n);
        Position += n;
        destination += n;
        size -= n;
        total += static_cast<std::int64_t>(n);
    }
    return total;
}

std::uint64_t CMXFOnTapeFile::Read(std::uint8_t* buffer, std::uint64_t size)
{
    if (size == 0)
        return 0;
    const std::uint64_t at = Position;
    const std::int64_t got = ReadBytes(buffer, size);
    if (got < 0)
    {
        mxf::DiagnosticError("Error reading file \"%s\" at 0x%s - %s\n", Name.c_str(),
                             mxf::HexText64(at, 8).c_str(), "the tape block could not be read");
        return 0;
    }
    return static_cast<std::uint64_t>(got);
}
