// UTF-8 text of UTF-16 code units, as the text forms of character values write it, and characters read
// back from UTF-8 text. Pure, thread-safe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace mxf
{

// What stands in text for what is no character: a surrogate without its partner, bytes that are no UTF-8.
constexpr std::uint32_t ReplacementCharacter = 0xfffd;

inline bool IsHighSurrogate(std::uint32_t unit)
{
    return (unit & 0xfc00) == 0xd800;
}

inline bool IsLowSurrogate(std::uint32_t unit)
{
    return (unit & 0xfc00) == 0xdc00;
}

// One unit of the basic plane in one to three bytes; a surrogate by itself is half of no character and
// gives U+FFFD.
inline void AppendUTF8(std::string& text, std::uint32_t unit)
{
    if ((unit & 0xf800) == 0xd800)
        unit = ReplacementCharacter;
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

struct DecodedCharacter
{
    std::uint32_t Code;
    std::size_t Width; // bytes taken, at least 1
};

// The character of UTF-8 text that starts at `at` (< the text's size). A byte that starts no character,
// and a sequence that is cut short, overlong, a surrogate's or past U+10FFFF, give U+FFFD for the bytes up
// to the one that does not fit, so that the byte after them is read afresh.
inline DecodedCharacter DecodeUTF8(std::string_view text, std::size_t at)
{
    const auto byte = [&](std::size_t i)
    { return static_cast<std::uint32_t>(static_cast<unsigned char>(text[i])); };
    const std::uint32_t first = byte(at);
    if (first < 0x80)
        return {first, 1};
    std::size_t width = 0;
    std::uint32_t code = 0;
    // The range of the second byte; the later ones are any continuation byte.
    std::uint32_t low = 0x80, high = 0xbf;
    if (first >= 0xc2 && first <= 0xdf)
    {
        width = 2;
        code = first & 0x1f;
    }
    else if (first >= 0xe0 && first <= 0xef)
    {
        width = 3;
        code = first & 0x0f;
        low = first == 0xe0 ? 0xa0 : 0x80;
        high = first == 0xed ? 0x9f : 0xbf;
    }
    else if (first >= 0xf0 && first <= 0xf4)
    {
        width = 4;
        code = first & 0x07;
        low = first == 0xf0 ? 0x90 : 0x80;
        high = first == 0xf4 ? 0x8f : 0xbf;
    }
    else
        return {ReplacementCharacter, 1};
    for (std::size_t i = 1; i < width; ++i)
    {
        if (at + i >= text.size() || byte(at + i) < low || byte(at + i) > high)
            return {ReplacementCharacter, i};
        code = code << 6 | (byte(at + i) & 0x3f);
        low = 0x80;
        high = 0xbf;
    }
    return {code, width};
}

} // namespace mxf
