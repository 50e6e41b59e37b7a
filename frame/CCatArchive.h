// One archived file version in a volume's catalogue (kind 0): where it starts on tape, its size, the
// keys that tell its versions and segments apart, and its times. Enters both indexes. A value built by a
// scan for one call, or owned by a record handle when read back; not locked.
#pragma once

#include "frame/CCatalogueItem.h"
#include "vnservice/CUserFragment.h"

#include <cstddef>

#pragma pack(push, 1)
// Stored payload, little-endian. ModifiedTime is stored when flag 0x80 or 0x40 is set, ArchiveTime only
// when both are: a record flagged 0x40 alone keeps its one time in the place of ModifiedTime.
struct CCatArchivePayload
{
    std::uint64_t Position = 0;    // first header block of the version (index-0 key)
    std::uint64_t FileSize = 0;    // bytes
    std::uint64_t SegmentSize = 0; // bytes of one segment; 0 = one segment
    std::uint32_t SegmentIndex = 0;
    std::uint32_t OrderKey1 = 0;
    std::uint32_t OrderKey2 = 0;    // a version supersedes the one whose OrderKey2 is one less
    std::uint64_t ModifiedTime = 0; // FILETIME
    std::uint64_t ArchiveTime = 0;  // FILETIME
};
#pragma pack(pop)
static_assert(offsetof(CCatArchivePayload, FileSize) == 8);
static_assert(offsetof(CCatArchivePayload, SegmentSize) == 16);
static_assert(offsetof(CCatArchivePayload, SegmentIndex) == 24);
static_assert(offsetof(CCatArchivePayload, OrderKey1) == 28);
static_assert(offsetof(CCatArchivePayload, OrderKey2) == 32);
static_assert(offsetof(CCatArchivePayload, ModifiedTime) == 36);
static_assert(offsetof(CCatArchivePayload, ArchiveTime) == 44);
static_assert(sizeof(CCatArchivePayload) == 52);

class CCatArchive : public CCatalogueItem, public CCatArchivePayload
{
public:
    // Flag 0x80: ModifiedTime is the file's modification time.
    static constexpr std::uint8_t FlagModifiedTime = 0x80;
    static constexpr std::uint8_t FlagArchiveTime = 0x40;

    CCatArchive() = default;
    // SegmentSize 0; flags 0x80 when modifiedTime is not 0.
    CCatArchive(std::uint64_t position, WString path, std::uint64_t fileSize, std::uint64_t modifiedTime,
                std::uint32_t segmentIndex, std::uint32_t orderKey1, std::uint32_t orderKey2);
    // A file of one piece between two tape marks, as the Tedial scan records it: FileSize is fileSize, or
    // alternativeSize when that is 0; keys 0, 0, 1; flags 0x40 with the time at offset 36 when time is not
    // 0, else flags 0.
    CCatArchive(std::uint64_t position, WString path, std::uint64_t fileSize, std::uint64_t alternativeSize,
                std::uint64_t time);

    // The bytes of segment `segmentIndex` of a file of `fileSize` bytes stored in `segmentSize` segments.
    static std::uint64_t GetSegmentLength(std::uint64_t fileSize, std::uint64_t segmentSize,
                                          std::uint32_t segmentIndex);
    std::uint64_t GetSegmentLength() const { return GetSegmentLength(FileSize, SegmentSize, SegmentIndex); }
    // The file's time: the archive time when the record holds one, else the time stored at offset 36.
    std::uint64_t GetFileTime() const
    {
        return (Flags & FlagArchiveTime) && (Flags & FlagModifiedTime) ? ArchiveTime : ModifiedTime;
    }
    // The values the host makes a user fragment from.
    CCatalogueFileRecord GetFileRecord() const
    {
        return {CFileName(Path), Position,  FileSize,  GetFileTime(),
                SegmentIndex,    OrderKey1, OrderKey2, Flags};
    }

    // Any flags of 0x80, 0x40 and one of 0x10 and 0x20, with kind 0.
    bool AcceptObjectType(std::uint8_t type) override;
    std::uint8_t GetObjectType(bool withFlags) const override { return withFlags ? Flags : KindArchive; }
    const void* GetData() const override { return static_cast<const CCatArchivePayload*>(this); }
    std::size_t GetDataSize() const override;
    bool QueryInsert(int) const override { return true; }
    void PostInsert(CFileListInternal& list, const CFileListOffset& at, int index) override;

    std::uint64_t GetPosition() const override { return Position; }
    void SetPosition(std::uint64_t position) override { Position = position; }
    std::uint32_t GetSegmentIndex() const override { return SegmentIndex; }
    std::uint32_t GetOrderKey1() const override { return OrderKey1; }
    std::uint32_t GetOrderKey2() const override { return OrderKey2; }

    std::uint8_t Flags = 0;
};
