// A record that stands for another version of a file (kind 1): filed under the path and keys of its own
// version, it names the OrderKey1 of the version it refers to, on the same path. Supersession counting
// follows such records to the version behind them. Enters index 1 only. A value; not locked.
#pragma once

#include "frame/CCatalogueItem.h"

#include <cstddef>

#pragma pack(push, 1)
struct CCatReferencePayload
{
    std::uint64_t Position = 0;
    std::uint32_t SegmentIndex = 0;
    std::uint32_t OrderKey1 = 0;
    std::uint32_t TargetOrderKey1 = 0; // the OrderKey1 of the version referred to
    std::uint32_t OrderKey2 = 0;
};
#pragma pack(pop)
static_assert(offsetof(CCatReferencePayload, SegmentIndex) == 8);
static_assert(offsetof(CCatReferencePayload, OrderKey1) == 12);
static_assert(offsetof(CCatReferencePayload, TargetOrderKey1) == 16);
static_assert(offsetof(CCatReferencePayload, OrderKey2) == 20);
static_assert(sizeof(CCatReferencePayload) == 24);

class CCatReference : public CCatalogueItem, public CCatReferencePayload
{
public:
    CCatReference() = default;
    CCatReference(WString path, std::uint32_t segmentIndex, std::uint32_t orderKey1, std::uint32_t orderKey2,
                  std::uint32_t targetOrderKey1)
        : CCatalogueItem(std::move(path))
    {
        SegmentIndex = segmentIndex;
        OrderKey1 = orderKey1;
        OrderKey2 = orderKey2;
        TargetOrderKey1 = targetOrderKey1;
    }

    std::uint8_t GetObjectType(bool) const override { return KindReference; }
    const void* GetData() const override { return static_cast<const CCatReferencePayload*>(this); }
    std::size_t GetDataSize() const override { return sizeof(CCatReferencePayload); }
    bool QueryInsert(int index) const override { return index != 0; }

    std::uint64_t GetPosition() const override { return Position; }
    void SetPosition(std::uint64_t position) override { Position = position; }
    std::uint32_t GetSegmentIndex() const override { return SegmentIndex; }
    std::uint32_t GetOrderKey1() const override { return OrderKey1; }
    std::uint32_t GetOrderKey2() const override { return OrderKey2; }
};
