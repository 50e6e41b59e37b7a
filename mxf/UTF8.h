// UTF-8 text of UTF-16 code units, as the text forms of character values write it. Pure, thread-safe.
#pragma once

#include <cstdint>
#include <string>

namespace mxf
{

// One unit of the basic plane in one to three bytes; a surrogate by itself takes three bytes like any other.
inline void AppendUTF8(std::string& text, std::uint32_t unit)
{
    if (unit < 0x80)
        text += static_cast<char>(unit);
    else if (unit < 0x800)
    {
        text += static_cast<char>(0xc0 | unit >> 6);
        text += static_cast<char>(0x80 | (unit & 0x3f));
    }
    else
    {
        text += static_cast<char>(0xe0 | unit >> 12);
        text += static_cast<char>(0x80 | ((unit >> 6) & 0x3f));
        text += static_cast<char>(0x80 | (unit & 0x3f));
    }
}

// A character outside the basic plane, from its high and low surrogates, in four bytes.
inline void AppendUTF8Pair(std::string& text, std::uint32_t high, std::uint32_t low)
{
    const std::uint32_t plane = ((high >> 6) & 0x0f) + 1;
    text += static_cast<char>(0xf0 | (plane >> 2));
    text += static_cast<char>(0x80 | ((plane & 3) << 4) | ((high >> 2) & 0x0f));
    text += static_cast<char>(0x80 | ((high & 3) << 4) | ((low >> 6) & 0x0f));
    text += static_cast<char>(0x80 | (low & 0x3f));
}

inline bool IsHighSurrogate(std::uint32_t unit)
{
    return (unit & 0xfc00) == 0xd800;
}

} // namespace mxf
