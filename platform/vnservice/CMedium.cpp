#include "vnservice/CMedium.h"

CStatus CMedium::SetLastWrittenBlock(std::uint32_t, std::uint64_t block)
{
    LastWrittenBlock = block;
    return CStatus::Success();
}

std::uint64_t CMedium::AdjustToPhysicalBlockBoundary(std::uint64_t blocks, bool roundUp) const
{
    if (PhysicalBlockSize == 0 || LogicalBlockSize == 0 || PhysicalBlockSize % LogicalBlockSize != 0)
        return blocks;
    std::uint64_t per = PhysicalBlockSize / LogicalBlockSize;
    std::uint64_t whole = roundUp ? (blocks + per - 1) / per : blocks / per;
    return whole * per;
}

void CMedium::SetPhysicalBlockSize(std::uint32_t bytes)
{
    if (bytes == 0 && ReportedBlockSize != 0)
        LogicalBlockSize = PhysicalBlockSize = ReportedBlockSize;
    else if (bytes == 0)
        PhysicalBlockSize = 0;
    else
        PhysicalBlockSize = bytes;
}
