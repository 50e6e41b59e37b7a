#include "mxf/PartitionKey.h"

#include "mxf/Labels.h"

#include <algorithm>

namespace mxf
{

// The prefix that every partition pack key shares, but for its version bytes 7 and 8.
bool IsPartitionPackKey(const std::uint8_t* k)
{
    const auto& prefix = PartitionPackKeyPrefix;
    return std::equal(prefix.begin(), prefix.begin() + 6, k) &&
           std::equal(prefix.begin() + 8, prefix.end(), k + 8) && k[11] == 0x01 && k[12] == 0x01 &&
           k[13] != 0x05 && k[13] != 0x11;
}

} // namespace mxf
