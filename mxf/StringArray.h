// Splitting a string-array value (UTF-16 strings, each ended by a 0x0000 unit) into its texts. Pure,
// thread-safe.
#pragma once

#include <cstdint>
#include <list>
#include <string>
#include <utility>
#include <vector>

namespace mxf
{

class MDObjectPtr;

// Where each string of the value lies (offset, length): every piece runs up to and including the next
// 0x0000 unit, the last one to the last whole 2-byte unit; a trailing odd byte belongs to none.
std::vector<std::pair<std::uint64_t, std::uint64_t>> UTF16StringPieces(const std::uint8_t* bytes,
                                                                       std::uint64_t size);

// The texts of a string-array value object, each piece read as a "UTF16String" value. Defined with the
// encoding and decoding of object values, through which it gets the bytes and reads the pieces.
std::list<std::string> SplitStringArray(const MDObjectPtr& value);

} // namespace mxf
