// The test that tells a partition pack key (header, body or footer, any version) from every other key.
// Pure, thread-safe.
#pragma once

#include <cstdint>

namespace mxf
{

// Bytes 7, 8, 15 and 16 are not looked at; the primer pack (byte 14 = 05) and the random index pack
// (byte 14 = 11) share the rest of the prefix and are no partition packs.
bool IsPartitionPackKey(const std::uint8_t* key);

} // namespace mxf
