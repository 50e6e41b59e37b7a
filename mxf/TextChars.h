// Character tests shared by the text readers of the library (ASCII only, independent of any locale).
// Pure, thread-safe.
#pragma once

#include <cstddef>
#include <string_view>

namespace mxf
{

// 0 to 15 for a digit of either case, -1 for any other character.
constexpr int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

constexpr bool IsLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// prefix is lower case; text matches it in any letter case.
constexpr bool StartsWithNoCase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
    {
        const char c = text[i] >= 'A' && text[i] <= 'Z' ? static_cast<char>(text[i] - 'A' + 'a') : text[i];
        if (c != prefix[i])
            return false;
    }
    return true;
}

// lower is lower case; text equals it in any letter case.
constexpr bool EqualsNoCase(std::string_view text, std::string_view lower)
{
    return text.size() == lower.size() && StartsWithNoCase(text, lower);
}

} // namespace mxf
