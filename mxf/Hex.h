// Hexadecimal text in both directions: numbers for messages, and the byte strings that dictionary and
// register documents write for keys, masks and codings. Pure functions, thread-safe.
#pragma once

#include "mxf/DataChunk.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace mxf
{

// value in lower-case hexadecimal, zero-padded to at least width digits (0: no padding).
std::string HexText64(std::uint64_t value, int width);

// One byte for each run of hexadecimal digits, its low 8 bits ("06.0e.2b.34" gives 06 0E 2B 34).
DataChunkPtr DataChunkFromHex(std::string_view text);

// Reads byte values from text (digit pairs, or single digits ended by any other character), after leading
// blanks and an optional URN prefix up to its last ':'. Stores at most count bytes in out and returns how
// many it stored; text is left empty.
std::size_t HexBytesFromText(std::string_view& text, std::size_t count, std::uint8_t* out);

} // namespace mxf
