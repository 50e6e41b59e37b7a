// A search key for index 1 (kind 10): a path, or a prefix of one, and three keys of which any may be
// AnyKey. Built on the stack for one search and never stored. A value; not locked.
#pragma once

#include "frame/CCatalogueItem.h"

#include <cstddef>

#pragma pack(push, 1)
struct CCatSearchPayload
{
    std::uint64_t Position = 0;
    std::uint32_t SegmentIndex = AnyKey;
    std::uint32_t OrderKey1 = AnyKey;
    std::uint32_t OrderKey2 = AnyKey;
    std::uint32_t Unused = 0;
    std::uint64_t CompareLength = 0; // WholePath, or the number of leading code units compared
    std::uint8_t CaseSensitive = 1;
};
#pragma pack(pop)
static_assert(offsetof(CCatSearchPayload, SegmentIndex) == 8);
static_assert(offsetof(CCatSearchPayload, OrderKey1) == 12);
static_assert(offsetof(CCatSearchPayload, OrderKey2) == 16);
static_assert(offsetof(CCatSearchPayload, CompareLength) == 24);
static_assert(offsetof(CCatSearchPayload, CaseSensitive) == 32);
static_assert(sizeof(CCatSearchPayload) == 33);

class CCatSearch : public CCatalogueItem, public CCatSearchPayload
{
public:
    // With a path: the keys given and the whole path compared. With a null path: every key AnyKey and
    // nothing compared, a key before every record.
    CCatSearch(const char16_t* path, std::uint32_t orderKey1, std::uint32_t orderKey2,
               std::uint32_t segmentIndex)
        : CCatalogueItem(path ? WString(path) : WString())
    {
        if (path)
        {
            SegmentIndex = segmentIndex;
            OrderKey1 = orderKey1;
            OrderKey2 = orderKey2;
            CompareLength = WholePath;
        }
    }
    // The path up to its first NUL, as its C string would give it.
    CCatSearch(WStringView path, std::uint32_t orderKey1, std::uint32_t orderKey2, std::uint32_t segmentIndex)
        : CCatalogueItem(WString(path.substr(0, path.find(u'\0'))))
    {
        SegmentIndex = segmentIndex;
        OrderKey1 = orderKey1;
        OrderKey2 = orderKey2;
        CompareLength = WholePath;
    }

    std::uint8_t GetObjectType(bool) const override { return KindSearch; }
    const void* GetData() const override { return static_cast<const CCatSearchPayload*>(this); }
    std::size_t GetDataSize() const override { return sizeof(CCatSearchPayload); }

    std::uint64_t GetPosition() const override { return Position; }
    void SetPosition(std::uint64_t position) override { Position = position; }
    std::uint32_t GetSegmentIndex() const override { return SegmentIndex; }
    std::uint32_t GetOrderKey1() const override { return OrderKey1; }
    std::uint32_t GetOrderKey2() const override { return OrderKey2; }
    std::uint64_t GetCompareLength() const override { return CompareLength; }
    bool IsCaseSensitive() const override { return CaseSensitive != 0; }
};
