// The context that every tape file system's scan carries from item to item: the position reached and
// where the current item starts, in the medium's logical blocks. Each plug-in's scan context derives
// from it. Owned by the host; used by the scan's operation thread.
#pragma once

#include "vnservice/CGetOperationContext.h"

#include <cstdint>

class CTapeGetOperationContext : public CGetOperationContext
{
public:
    using CGetOperationContext::CGetOperationContext;

    std::uint64_t GetItemStart() override { return ItemStart; }
    void SetItemStart(std::uint64_t start) override { ItemStart = start; }
    std::uint64_t GetLastWrittenBlock() override { return Medium->LastWrittenBlock; }
    std::uint64_t GetItemStartBytes() override { return GetItemStart() * Medium->GetLogicalBlockSize(); }
    std::uint64_t GetLastWrittenBytes() override
    {
        return GetLastWrittenBlock() * Medium->GetLogicalBlockSize();
    }
    std::uint64_t GetItemSizeHint() override { return 0x100000; }
    bool IsEndOfData() override { return ScanPosition >= Medium->LastWrittenBlock; }

    std::uint64_t ScanPosition = 0;
    std::uint64_t ItemStart = 0;
};
