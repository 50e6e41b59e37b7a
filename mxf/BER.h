// BER coding of KLV lengths, as the library writes them. Pure functions, thread-safe.
#pragma once

#include "mxf/DataChunk.h"

#include <cstdint>

namespace mxf
{

// Writes the BER coding of length in size bytes (0 chooses: 4, 8 or 9 bytes, never the short form) into out,
// which holds at least 9 bytes, and returns the number written. A size above 9, or one that cannot hold the
// length, is reported and replaced (by 9, or by the chosen size).
std::uint32_t MakeBER(std::uint8_t* out, std::uint64_t length, std::uint32_t size);
// A new chunk holding the MakeBER bytes.
DataChunkPtr MakeBERChunk(std::uint64_t length, std::uint32_t size);

} // namespace mxf
