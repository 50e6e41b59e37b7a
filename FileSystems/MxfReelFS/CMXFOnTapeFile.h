// CMXFOnTapeFile: one MXF file on a Tedial tape, between two file marks, seen by the MXF library as an
// MXF file. Reads are served from a cache of whole tape blocks; a block not yet cached is read from the
// drive at once, for the operation the view was made for, and waited for. The cache holds block 0 and the
// blocks used last, up to a few mebibytes, so that a length a damaged file claims costs no memory beyond
// that; the block to let go is found at once, whatever the number of blocks cached. Nothing is ever
// written to tape.
// The view owns its cache; the operation, its volume and its block buffer are the host's. Used by the one
// thread that runs its operation's step; it takes no lock.
#pragma once

#include "mxf/MXFFile.h"
#include "vnservice/CFileName.h"

#include <cstdint>
#include <list>
#include <map>
#include <memory>

class CArchiveFileSystemOperation;
class CBlockBuffer;
class CVolume;

class CMXFOnTapeFile : public mxf::MXFFile
{
public:
    CMXFOnTapeFile(CArchiveFileSystemOperation* operation, std::uint32_t blockSize,
                   CBlockBuffer* blockBuffer);

    bool Truncate(std::int64_t position) override;
    std::uint64_t Tell() override { return Position; }
    int Seek(std::uint64_t position) override;
    std::int64_t SeekEnd() override;
    bool Eof() override { return Position >= FileLength; }
    // -1 while the size is not known yet (0), so that reads before it is set are not cut short.
    std::int64_t FileSize() override;
    std::uint64_t Read(std::uint8_t* buffer, std::uint64_t size) override;
    using MXFFile::Read;
    std::int64_t Write(const mxf::DataChunkPtr& data) override;
    std::int64_t Write(const mxf::DataChunk& data) override;
    std::int64_t Write(const std::uint8_t* buffer, std::uint64_t size) override;
    int Flush() override { return 0; }

    // The cache's buffer of block `index` (relative to the first block), made when there is none; null
    // when memory runs out. Counts as a use of the block. The owner points its first drive read at
    // block 0.
    std::uint8_t* CacheBlock(std::uint64_t index);
    // Copies size bytes from the position on; the bytes copied, or -1 when a block could not be read.
    std::int64_t ReadBytes(std::uint8_t* destination, std::uint64_t size);
    // Whether block `index` is in the cache, and how many blocks the cache holds.
    bool IsCached(std::uint64_t index) const { return Cache.contains(index); }
    std::size_t CachedBlocks() const { return Cache.size(); }

    // The tape block that cache block 0 holds; to be set before anything beyond block 0 is read.
    void SetFirstBlock(std::uint64_t block) { FirstBlock = block; }
    std::uint32_t GetBlockSize() const { return BlockSize; }
    // The volume the view reads.
    const CVolume& GetVolume() const { return *Volume; }

    // Name, size in bytes and time (FILETIME, 0 when unknown) under which the file is catalogued; the
    // size is FileLength, as FileSize is the library's call. All unset at construction.
    const CFileName& GetFileName() const { return FileName; }
    void SetFileName(const CFileName& name) { FileName = name; }
    std::uint64_t GetFileLength() const { return FileLength; }
    void SetFileLength(std::uint64_t length) { FileLength = length; }
    std::uint64_t GetLastModified() const { return LastModified; }
    void SetLastModified(std::uint64_t time) { LastModified = time; }

    static constexpr std::uint64_t NoBlock = ~std::uint64_t{0};
    // Blocks the cache keeps at most: block 0 and the last used, CacheBytes worth and never fewer than 4.
    static constexpr std::uint64_t CacheBytes = 8 << 20;

private:
    // A cached block and its place in UseOrder (none for block 0, which is never let go).
    struct CachedBlock
    {
        std::unique_ptr<std::uint8_t[]> Buffer;
        std::list<std::uint64_t>::iterator Use;
    };

    std::uint64_t CacheLimit() const;
    // The buffer of block `index` when it is cached, which then counts as used; else null.
    std::uint8_t* Cached(std::uint64_t index);
    // A new entry for block `index`, the most recently used, after making room; null, with no entry
    // made, when memory runs out.
    std::uint8_t* NewBlock(std::uint64_t index);
    // Reads block `index` from the drive into a new cache entry and gives its buffer; null, with no
    // entry left, on failure.
    std::uint8_t* FillBlock(std::uint64_t index);
    // Frees the least recently used blocks but block 0 while the cache is full.
    void MakeRoom();
    // Frees the entry of block `index`.
    void Forget(std::uint64_t index);

    CArchiveFileSystemOperation* Operation;
    CVolume* Volume;
    std::uint64_t FirstBlock = NoBlock;
    std::uint32_t BlockSize;
    CBlockBuffer* BlockBuffer;
    std::map<std::uint64_t, CachedBlock> Cache;
    CFileName FileName;
    std::uint64_t FileLength = 0;
    std::uint64_t LastModified = 0;
    std::uint64_t Position = 0;
    // The cached blocks but block 0, the least recently used first.
    std::list<std::uint64_t> UseOrder;
};
