#include "vnservice/CTapeMedium.h"

#include "vnservice/CBlockBuffer.h"
#include "vnservice/CFragmentFile.h"
#include "vnservice/ErrorGenerators.h"
#include "vnservice/HostErrors.h"
#include "win/WinError.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace
{

CStatus DriveFailure(int line, std::uint32_t osError, const std::string& what)
{
    return MakeFailure("TapeDrive", line, HostErrorDrive, osError, {what});
}

std::uint64_t RoundUp(std::uint64_t value, std::uint64_t unit)
{
    return (value + unit - 1) / unit * unit;
}
} // namespace

CStatus CTapeMedium::Open(const std::string& imagePath, CTapeIndexCache* cache)
{
    AheadSize = 0;
    ShortStart = ShortEnd = 0;
    CStatus status = Image.Open(imagePath, cache);
    if (status.IsSuccess() && BlockBytes() > LargestBlock)
        return CErrorGenMessage("TapeDrive", __LINE__, HostErrorTapeImage,
                                {imagePath, "holds blocks of " + std::to_string(BlockBytes()) +
                                                " bytes, longer than the " + std::to_string(LargestBlock) +
                                                " a drive reads"});
    return status;
}

CStatus CTapeMedium::CheckWhole() const
{
    if (!Image.IsCutShort())
        return CStatus::Success();
    return MakeFailure("TapeDrive", __LINE__, HostErrorTapeCutShort, ERROR_NO_DATA_DETECTED,
                       {Image.GetPath(), std::to_string(Image.GetEntryCount()),
                        std::to_string(Image.GetDataEnd()), Image.GetCutShortText()});
}

CStatus CTapeMedium::PastDataEnd(int line) const
{
    if (Image.IsCutShort())
        return CheckWhole();
    return MakeFailure("TapeDrive", line, ErrorNoData, ERROR_NO_DATA_DETECTED, {});
}

CStatus CTapeMedium::ReadImage(std::uint64_t offset, std::size_t size, const std::uint8_t*& bytes)
{
    if (size <= ShortReadBytes)
    {
        const bool following = offset > ShortStart && offset <= ShortEnd + FollowingBytes;
        ShortStart = offset;
        ShortEnd = offset + size;
        if ((offset < AheadStart || offset + size > AheadStart + AheadSize) && following)
        {
            AheadSize = 0;
            if (!Ahead)
                Ahead.reset(new (std::nothrow) std::uint8_t[ReadAheadBytes]);
            const std::uint64_t end = std::min(Image.GetDataEnd(), offset + ReadAheadBytes);
            // Without room, or with a read-ahead the image no longer gives, the read goes alone.
            if (Ahead && end >= offset + size &&
                Image.ReadImage(offset, Ahead.get(), static_cast<std::size_t>(end - offset)).IsSuccess())
            {
                AheadStart = offset;
                AheadSize = static_cast<std::size_t>(end - offset);
            }
        }
        if (offset >= AheadStart && offset + size <= AheadStart + AheadSize)
        {
            bytes = Ahead.get() + (offset - AheadStart);
            return CStatus::Success();
        }
    }
    Chunk.resize(size);
    if (CStatus status = Image.ReadImage(offset, Chunk.data(), size); status.Failed())
        return status;
    bytes = Chunk.data();
    return CStatus::Success();
}

CStatus CTapeMedium::ReportBlockSize()
{
    ReportedBlockSize = BlockBytes();
    BlockSizeKnown = Image.HasNoRecords() ? 0 : 1;
    PhysicalBlockSize = BlockBytes();
    return CStatus::Success();
}

CStatus CTapeMedium::CheckRange(std::uint64_t start, std::uint64_t size) const
{
    if (Image.HasNoRecords())
        return MakeFailure("TapeDrive", __LINE__, ErrorBlank, ERROR_NO_DATA_DETECTED, {});
    std::uint64_t block = BlockBytes();
    if (size == 0)
        return CStatus::Success();
    std::uint64_t first = start / block;
    std::uint64_t last = (start + size - 1) / block;
    for (std::uint64_t entry = first; entry <= last; ++entry)
    {
        if (entry >= Image.GetEntryCount())
            return PastDataEnd(__LINE__);
        if (Image.GetEntryKind(entry) == CTapeImage::EntryKind::Mark)
            return DriveFailure(__LINE__, ERROR_FILEMARK_DETECTED,
                                "file mark at block " + std::to_string(entry) + " of " + Image.GetPath());
        std::uint64_t length = Image.GetEntryLength(entry);
        std::uint64_t needed = entry == last ? (start + size - 1) % block + 1 : block;
        if (length > block || length < needed)
            return DriveFailure(__LINE__, ERROR_INVALID_BLOCK_LENGTH,
                                "record " + std::to_string(entry) + " holds " + std::to_string(length) +
                                    " bytes on a tape of " + std::to_string(block) + "-byte blocks");
    }
    return CStatus::Success();
}

template <class Sink> CStatus CTapeMedium::Transfer(std::uint64_t start, std::uint64_t size, Sink sink)
{
    // Consecutive records are read from the image in one piece of up to a mebibyte, framing words and
    // all, and their data closed up, so a large restore costs a few system calls a mebibyte and memory
    // stays flat in the file's size.
    constexpr std::uint64_t BatchBytes = 1 << 20;
    const std::uint64_t block = BlockBytes();
    while (size > 0)
    {
        std::uint64_t entry = start / block;
        std::uint64_t within = start % block;
        const std::uint64_t imageStart = Image.GetEntryOffset(entry) + within;
        std::uint64_t imageEnd = imageStart;
        std::uint64_t taken = 0;
        Pieces.clear();
        while (taken < size)
        {
            const std::uint64_t rest = std::min(size - taken, block - within);
            std::uint64_t at = Pieces.empty() ? imageStart : Image.GetEntryOffset(entry);
            if (!Pieces.empty() && at + rest - imageStart > BatchBytes)
                break;
            // A record longer than a batch is read a batch at a time.
            const std::size_t piece = static_cast<std::size_t>(std::min(rest, BatchBytes));
            Pieces.push_back({at, piece});
            imageEnd = at + piece;
            taken += piece;
            if (piece < rest)
                break;
            ++entry;
            within = 0;
        }
        const std::uint8_t* bytes = nullptr;
        if (CStatus status = ReadImage(imageStart, static_cast<std::size_t>(imageEnd - imageStart), bytes);
            status.Failed())
            return status;
        if (Pieces.size() > 1)
        {
            // The records' data closed up in Chunk: in place when the bytes were read into it.
            if (bytes != Chunk.data())
                Chunk.resize(static_cast<std::size_t>(taken));
            std::uint8_t* out = Chunk.data();
            for (const Piece& piece : Pieces)
            {
                std::memmove(out, bytes + (piece.ImageOffset - imageStart), piece.Size);
                out += piece.Size;
            }
            bytes = Chunk.data();
        }
        if (CStatus status = sink(bytes, static_cast<std::size_t>(taken)); status.Failed())
            return status;
        start += taken;
        size -= taken;
    }
    return CStatus::Success();
}

CStatus CTapeMedium::ReadBlocks(CBlockBuffer& buffer, std::uint64_t position, std::uint64_t offset,
                                std::uint64_t length)
{
    const std::uint64_t unit = buffer.GetUnit();
    const std::uint64_t start = position * unit;
    const auto& segments = buffer.GetSegments();

    // Where each segment's bytes lie on the tape and how many it takes; checked before anything moves.
    Plans.clear();
    std::uint64_t at = start;
    for (std::size_t i = 0; i < segments.size(); ++i)
    {
        const auto& segment = segments[i];
        switch (segment.Kind)
        {
        case CBlockBuffer::SegmentKind::Memory:
        case CBlockBuffer::SegmentKind::OwnMemory:
            Plans.push_back({i, at, segment.Size, 0});
            at += RoundUp(segment.Size, unit);
            break;
        case CBlockBuffer::SegmentKind::FragmentFile:
        {
            // With a length the read is one piece of the file, written at `offset` of it.
            std::uint64_t size = length ? length : segment.File->GetPreparedSize();
            Plans.push_back({i, at, size, length ? offset : 0});
            at += RoundUp(size, unit);
            break;
        }
        case CBlockBuffer::SegmentKind::Stream:
        {
            // The stream wants `Length` bytes from `Offset` of the file that starts at `position`,
            // unless the read names the part itself.
            std::uint64_t skip = length ? offset : segment.Stream->Offset % unit;
            std::uint64_t size = length ? length : segment.Stream->Length;
            Plans.push_back({i, at + skip, size, 0});
            at += RoundUp(skip + size, unit);
            break;
        }
        }
    }
    for (const auto& plan : Plans)
        if (CStatus status = CheckRange(plan.TapeStart, plan.Size); status.Failed())
            return status;

    for (const Plan& plan : Plans)
    {
        const auto& segment = segments[plan.Segment];
        std::uint64_t written = 0;
        CStatus status = Transfer(plan.TapeStart, plan.Size,
                                  [&](const std::uint8_t* data, std::size_t size)
                                  {
                                      CStatus result;
                                      switch (segment.Kind)
                                      {
                                      case CBlockBuffer::SegmentKind::Memory:
                                      case CBlockBuffer::SegmentKind::OwnMemory:
                                          std::copy(data, data + size, segment.Address + written);
                                          break;
                                      case CBlockBuffer::SegmentKind::FragmentFile:
                                          result =
                                              segment.File->Write(plan.TargetOffset + written, data, size);
                                          break;
                                      case CBlockBuffer::SegmentKind::Stream:
                                          result = segment.Stream->Write(data, size);
                                          break;
                                      }
                                      written += size;
                                      return result;
                                  });
        if (status.Failed())
            return status;
    }
    return CStatus::Success();
}

CStatus CTapeMedium::ReadMark(std::uint64_t position)
{
    if (Image.HasNoRecords())
        return MakeFailure("TapeDrive", __LINE__, ErrorBlank, ERROR_NO_DATA_DETECTED, {});
    std::uint64_t entry = position * LogicalBlockSize / BlockBytes();
    if (entry >= Image.GetEntryCount())
        return PastDataEnd(__LINE__);
    AtFileMark = Image.GetEntryKind(entry) == CTapeImage::EntryKind::Mark ? 1 : 0;
    return CStatus::Success();
}

CStatus CTapeMedium::SpaceMarks(std::uint64_t from, std::uint32_t count, std::uint64_t& reached)
{
    if (Image.HasNoRecords())
        return MakeFailure("TapeDrive", __LINE__, ErrorBlank, ERROR_NO_DATA_DETECTED, {});
    std::uint64_t block = BlockBytes();
    std::uint64_t entry = from * LogicalBlockSize / block;
    for (std::uint32_t passed = 0; passed < count; ++entry)
    {
        if (entry >= Image.GetEntryCount())
            return PastDataEnd(__LINE__);
        if (Image.GetEntryKind(entry) == CTapeImage::EntryKind::Mark)
            ++passed;
    }
    // The position right after the last mark passed.
    reached = RoundUp(entry * block, LogicalBlockSize) / LogicalBlockSize;
    return CStatus::Success();
}

CStatus CTapeMedium::FindLastWrittenBlock()
{
    std::uint64_t bytes = static_cast<std::uint64_t>(Image.GetEntryCount()) * BlockBytes();
    LastWrittenBlock = RoundUp(bytes, LogicalBlockSize) / LogicalBlockSize;
    return CStatus::Success();
}
