// Turning identifiers into text and text into identifiers: the bracketed label form, the braced UUID form,
// and the lenient parser that the dictionary loaders use for label texts. Pure functions, thread-safe.
#pragma once

#include "mxf/UL.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace mxf
{

// "[0123abcd.0123.0123.0123abcd.0123abcd]" of 16 bytes in the order given.
std::string LabelText(const std::uint8_t* bytes);
// "{0123abcd-0123-0123-0123-0123456789ab}" of 16 bytes in the order given.
std::string UUIDText(const std::uint8_t* bytes);
// The two 8-byte halves exchanged: how a UUID is held where a UL is expected, and back.
std::array<std::uint8_t, 16> SwapHalves(const std::uint8_t* bytes);

// Parses hexadecimal pairs (with any separators), braces and "urn:uuid:" (halves swapped), "urn:x-ul:",
// "urn:smpte:ul:" and "urn:oid:" decimal arcs into out. True when the text supplied 16 values; bytes that no
// value reached keep what the caller left there.
bool ParseIdentifierText(std::string_view text, std::uint8_t* out);
// A new UL from ParseIdentifierText, or an empty pointer when the text did not give 16 values.
ULPtr ULFromText(std::string_view text);

} // namespace mxf
