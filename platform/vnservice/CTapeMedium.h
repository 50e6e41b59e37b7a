// A medium whose tape is a tape image. Every entry of the image (a record or a file mark) takes the room
// of one physical block of the tape's block size B; positions are given in a unit U (512 bytes, or B), so
// the block at unit position p starts at byte p * U of the tape. A read that would meet a file mark, run
// past the data or need bytes a short record lacks fails before it delivers anything. Reads fetch only
// the bytes asked for. Owned through counted handles; used by one operation thread at a time.
#pragma once

#include "vnservice/CMedium.h"
#include "vnservice/CTapeImage.h"

#include <cstdint>
#include <memory>
#include <string>

class CBlockBuffer;

class CTapeMedium : public CMedium
{
public:
    static constexpr std::uint32_t Type() { return 1; }

    // Opens the image; the medium is unusable when it fails.
    CStatus Open(const std::string& imagePath);
    const CTapeImage& GetImage() const { return Image; }

    // The drive's answers; each sets the members the file systems read afterwards.
    CStatus ReportBlockSize();
    CStatus ReadBlocks(CBlockBuffer& buffer, std::uint64_t position, std::uint64_t offset,
                       std::uint64_t length);
    CStatus ReadMark(std::uint64_t position);
    CStatus SpaceMarks(std::uint64_t from, std::uint32_t count, std::uint64_t& reached);
    CStatus FindLastWrittenBlock();

    explicit CTapeMedium(std::string name) : CMedium(std::move(name)) {}

private:
    std::uint32_t BlockBytes() const { return Image.GetNaturalBlockSize(); }
    // Copies tape bytes [start, start + size) to `sink`, in pieces, after checking the whole range.
    template <class Sink> CStatus Transfer(std::uint64_t start, std::uint64_t size, Sink sink);
    CStatus CheckRange(std::uint64_t start, std::uint64_t size) const;

    CTapeImage Image;
};
