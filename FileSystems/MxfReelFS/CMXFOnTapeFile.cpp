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
#include <new>

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
    while (Cache.size() >= CacheLimit() && !UseOrder.empty())
    {
        Cache.erase(UseOrder.front());
        UseOrder.pop_front();
    }
}

void CMXFOnTapeFile::Forget(std::uint64_t index)
{
    const auto found = Cache.find(index);
    if (found == Cache.end())
        return;
    if (index != 0)
        UseOrder.erase(found->second.Use);
    Cache.erase(found);
}

std::uint8_t* CMXFOnTapeFile::Cached(std::uint64_t index)
{
    const auto found = Cache.find(index);
    if (found == Cache.end())
        return nullptr;
    if (index != 0)
        UseOrder.splice(UseOrder.end(), UseOrder, found->second.Use);
    return found->second.Buffer.get();
}

std::uint8_t* CMXFOnTapeFile::NewBlock(std::uint64_t index)
{
    MakeRoom();
    if (AllocationFault::ShouldFail())
        return nullptr;
    std::unique_ptr<std::uint8_t[]> buffer(new (std::nothrow) std::uint8_t[BlockSize]);
    if (!buffer)
        return nullptr;
    // The block's place in the order is made first and moved in once the entry stands, so that memory
    // running out on the way leaves no half-made entry.
    try
    {
        std::list<std::uint64_t> use;
        if (index != 0)
            use.push_back(index);
        const auto entry =
            Cache.emplace(index, CachedBlock{std::move(buffer), index != 0 ? use.begin() : UseOrder.end()})
                .first;
        UseOrder.splice(UseOrder.end(), use);
        return entry->second.Buffer.get();
    }
    catch (const std::bad_alloc&)
    {
        return nullptr;
    }
}

std::uint8_t* CMXFOnTapeFile::CacheBlock(std::uint64_t index)
{
    std::uint8_t* buffer = Cached(index);
    return buffer ? buffer : NewBlock(index);
}

std::uint8_t* CMXFOnTapeFile::FillBlock(std::uint64_t index)
{
    std::uint8_t* buffer = NewBlock(index);
    if (!buffer)
        return nullptr;
    BlockBuffer->Clear();
    CStatus status = BlockBuffer->Append(buffer, BlockSize, nullptr);
    if (status.IsSuccess())
        status = Volume
                     ->ReadBlocksOperation(Operation, BlockSize, Operation->ReplicaIndex, 1,
                                           FirstBlock + index, 0, BlockSize, BlockBuffer, 0, false, nullptr)
                     .AwaitCompletion();
    if (status.IsSuccess())
        return buffer;
    // A later read asks the drive again; the drive's status goes no further than this short read.
    status.NotPropagated();
    Forget(index);
    return nullptr;
}

std::int64_t CMXFOnTapeFile::ReadBytes(std::uint8_t* destination, std::uint64_t size)
{
    std::int64_t total = 0;
    while (size > 0)
    {
        const std::uint64_t index = Position / BlockSize;
        const std::uint64_t offset = Position % BlockSize;
        const std::uint64_t n = std::min<std::uint64_t>(size, BlockSize - offset);
        const std::uint8_t* buffer = Cached(index);
        if (!buffer)
            buffer = FillBlock(index);
        if (!buffer)
            return -1;
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
