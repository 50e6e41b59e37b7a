// UMID: text of a 32-byte unique material identifier, which the library meets only as a value.
// Pure, thread-safe.
#pragma once

#include <cstdint>
#include <string>

namespace mxf
{

class UMID
{
public:
    // The label part, length and instance number, then the material number as a UUID or a swapped label.
    static std::string FormatString(const std::uint8_t* bytes, int format);
};

} // namespace mxf
