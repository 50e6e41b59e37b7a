// One run of a file version's data on tape (kind 9): where it starts and how many units it covers,
// filed under the version's path and keys. Enters index 1 only. A value; not locked.
#pragma once

#include "frame/CCatalogueItem.h"

#include <cstddef>

#pragma pack(push, 1)
// The extent covers BlockCount x UnitBlocks x 512 bytes.
struct CCatExtentPayload
{
    std::uint64_t Position = 0; // first data block
    std::uint32_t BlockCount = 0;
    std::uint32_t Reserved = 0;
    std::uint32_t UnitBlocks = 1; // 512-byte blocks per unit
    std::uint32_t SegmentIndex = 0;
    std::uint32_t OrderKey1 = 0;
    std::uint32_t OrderKey2 = 0;
};
#pragma pack(pop)
static_assert(offsetof(CCatExtentPayload, BlockCount) == 8);
static_assert(offsetof(CCatExtentPayload, Reserved) == 12);
static_assert(offsetof(CCatExtentPayload, UnitBlocks) == 16);
static_assert(offsetof(CCatExtentPayload, SegmentIndex) == 20);
static_assert(offsetof(CCatExtentPayload, OrderKey1) == 24);
static_assert(offsetof(CCatExtentPayload, OrderKey2) == 28);
static_assert(sizeof(CCatExtentPayload) == 32);

class CCatExtent : public CCatalogueItem, public CCatExtentPayload
{
public:
    CCatExtent() = default;
    CCatExtent(std::uint64_t position, WString path, std::uint32_t blockCount, std::uint32_t segmentIndex,
               std::uint32_t orderKey1, std::uint32_t orderKey2)
        : CCatalogueItem(std::move(path))
    {
        Position = position;
        BlockCount = blockCount;
        SegmentIndex = segmentIndex;
        OrderKey1 = orderKey1;
        OrderKey2 = orderKey2;
    }

    std::uint8_t GetObjectType(bool) const override { return KindExtent; }
    const void* GetData() const override { return static_cast<const CCatExtentPayload*>(this); }
    std::size_t GetDataSize() const override { return sizeof(CCatExtentPayload); }
    bool QueryInsert(int index) const override { return index != 0; }
    void PostInsert(CFileListInternal& list, const CFileListOffset& at, int index) override;

    std::uint64_t GetPosition() const override { return Position; }
    void SetPosition(std::uint64_t position) override { Position = position; }
    std::uint32_t GetSegmentIndex() const override { return SegmentIndex; }
    std::uint32_t GetOrderKey1() const override { return OrderKey1; }
    std::uint32_t GetOrderKey2() const override { return OrderKey2; }
};
