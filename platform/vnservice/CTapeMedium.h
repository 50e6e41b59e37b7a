// A medium whose tape is a tape image. Every entry of the image (a record or a file mark) takes the room
// of one physical block of the tape's block size B; positions are given in a unit U (512 bytes, or B), so
// the block at unit position p starts at byte p * U of the tape. A read that would meet a file mark, run
// past the data or need bytes a short record lacks fails before it delivers anything; past the data of
// an image cut short, it fails saying where the image was cut. Records are read in pieces of at most a
// mebibyte, and tapes of blocks longer than a drive reads are refused, so no read needs more memory. Reads
// fetch only what the tape holds: a short read that closely follows the one before it (a scan reading the
// headers of small members) brings the next records along, which the reads after it take; other reads come
// straight from the image. Owned through counted handles; used by one operation thread at a time.
#pragma once

#include "vnservice/CMedium.h"
#include "vnservice/CTapeImage.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CBlockBuffer;

class CTapeMedium : public CMedium
{
public:
    static constexpr std::uint32_t Type() { return 1; }
    // The longest block a drive reads, as tape drives of our day do.
    static constexpr std::uint32_t LargestBlock = 16 << 20;

    // Opens the image; the medium is unusable when it fails.
    CStatus Open(const std::string& imagePath, CTapeIndexCache* cache = nullptr);
    const CTapeImage& GetImage() const { return Image; }
    // Success when the tape's data end with whole entries; for an image cut short, the failure that reads
    // past its data meet, which names the image and where it ends.
    CStatus CheckWhole() const;

    // The drive's answers; each sets the members the file systems read afterwards.
    CStatus ReportBlockSize();
    CStatus ReadBlocks(CBlockBuffer& buffer, std::uint64_t position, std::uint64_t offset,
                       std::uint64_t length);
    CStatus ReadMark(std::uint64_t position);
    CStatus SpaceMarks(std::uint64_t from, std::uint32_t count, std::uint64_t& reached);
    CStatus FindLastWrittenBlock();

    explicit CTapeMedium(std::string name) : CMedium(std::move(name)) {}

private:
    // The bytes of the read-ahead, the longest read it serves, and how far past the end of the short read
    // before it a short read may begin to bring one along. A read-ahead also copies the bytes between
    // the reads it serves: it pays while they lie closer than the cost of a system call in copying.
    static constexpr std::size_t ReadAheadBytes = 64 << 10;
    static constexpr std::size_t ShortReadBytes = ReadAheadBytes / 4;
    static constexpr std::size_t FollowingBytes = 2 << 10;

    // Where one segment's bytes lie on the tape and how many of them it takes.
    struct Plan
    {
        std::size_t Segment;
        std::uint64_t TapeStart;
        std::uint64_t Size;
        std::uint64_t TargetOffset;
    };
    // One record's part of a batch of image bytes.
    struct Piece
    {
        std::uint64_t ImageOffset;
        std::size_t Size;
    };

    std::uint32_t BlockBytes() const { return Image.GetNaturalBlockSize(); }
    // Copies tape bytes [start, start + size) to `sink`, in pieces, after checking the whole range.
    template <class Sink> CStatus Transfer(std::uint64_t start, std::uint64_t size, Sink sink);
    CStatus CheckRange(std::uint64_t start, std::uint64_t size) const;
    // The failure of a read at or past the end of the data.
    CStatus PastDataEnd(int line) const;
    // Image bytes [offset, offset + size), lent until the next read: a short read's in the read-ahead,
    // filled afresh from `offset` when the read follows the short read before it; others in Chunk.
    CStatus ReadImage(std::uint64_t offset, std::size_t size, const std::uint8_t*& bytes);

    CTapeImage Image;
    std::unique_ptr<std::uint8_t[]> Ahead;
    std::uint64_t AheadStart = 0;
    std::size_t AheadSize = 0;
    // The image bytes of the last short read.
    std::uint64_t ShortStart = 0;
    std::uint64_t ShortEnd = 0;
    // Kept from one read to the next, so that reads allocate nothing once these have grown.
    std::vector<Plan> Plans;
    std::vector<Piece> Pieces;
    std::vector<std::uint8_t> Chunk;
};
