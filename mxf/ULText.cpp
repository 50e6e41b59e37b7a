// The text constructor of UL: recognises the form of a label text by its pattern, then reads the digit pairs
// at the places that form puts them.
#include "mxf/UL.h"

#include "mxf/TextChars.h"

#include <algorithm>
#include <array>
#include <vector>

namespace mxf
{

namespace
{

enum class TextForm
{
    Label,      // pairs 1-8 give bytes 1-8, pairs 9-16 give bytes 9-16
    BracedUUID, // a UUID held as a UL: pairs 9-16 give bytes 1-8, pairs 1-8 give bytes 9-16
    UUIDUrn,    // pairs in order, as they are
};

// In a pattern 'h' stands for one hexadecimal digit; every other character stands for itself.
struct Pattern
{
    std::string_view Text;
    TextForm Form;
};

constexpr Pattern Patterns[] = {
    {"urn:x-ul:hhhhhhhh.hhhh.hhhh.hhhhhhhh.hhhhhhhh", TextForm::Label},
    {"urn:x-ul:hhhhhhhh.hhhh.hhhh.hhhhhhhh", TextForm::Label},
    {"{hhhhhhhh-hhhh-hhhh-hhhh-hhhhhhhhhhhh}", TextForm::BracedUUID},
    {"hxhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhh", TextForm::Label},
    {"hh.hh.hh.hh.hh.hh.hh.hh.hh.hh.hh.hh.hh.hh.hh.hh", TextForm::Label},
    {"urn:uuih:hhhhhhhh-hhhh-hhhh-hhhh-hhhhhhhhhhhh", TextForm::UUIDUrn}, // the 'd' of "uuid" is a digit
    {"[hhhhhhhh.hhhh.hhhh.hhhhhhhh.hhhhhhhh]", TextForm::Label},
};

bool IsWhiteSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// The text begins with the pattern when spaces before each pattern character are skipped.
bool BeginsWith(std::string_view text, std::string_view pattern)
{
    std::size_t i = 0;
    for (char p : pattern)
    {
        while (i < text.size() && text[i] == ' ')
            ++i;
        if (i == text.size())
            return false;
        const char c = text[i++];
        if (p == 'h' ? HexDigitValue(c) < 0 : c != p)
            return false;
    }
    return true;
}

// Where each digit pair of the pattern starts: every two digits of each run of 'h' (a lone 'h' is none).
std::vector<std::size_t> PairPositions(std::string_view pattern)
{
    std::vector<std::size_t> positions;
    std::size_t run = 0;
    for (std::size_t i = 0; i <= pattern.size(); ++i)
    {
        if (i < pattern.size() && pattern[i] == 'h')
        {
            if (++run % 2 == 0)
                positions.push_back(i - 1);
        }
        else
            run = 0;
    }
    return positions;
}

// Characters that are not digits, and places past the token's end, read as 0.
std::uint8_t PairAt(std::string_view token, std::size_t position)
{
    auto digit = [&](std::size_t i) { return i < token.size() ? std::max(HexDigitValue(token[i]), 0) : 0; };
    return static_cast<std::uint8_t>(digit(position) * 16 + digit(position + 1));
}

// Bytes 9-16 of an SMPTE label (06 0E) are read as base-128 sub-identifiers, those of 06 0A only as far as
// byte 12; other labels take the pairs as they are.
void SetSecondHalf(std::uint8_t* bytes, const std::uint8_t* pairs)
{
    int count = 0;
    if (bytes[0] == 0x06 && bytes[1] == 0x0e)
        count = 8;
    else if (bytes[0] == 0x06 && bytes[1] == 0x0a)
        count = 4;
    else
    {
        std::copy(pairs, pairs + 8, bytes + 8);
        return;
    }
    int out = 8;
    unsigned value = 0;
    for (int i = 0; i < count; ++i)
    {
        value = (value * 128 + (pairs[i] & 0x7fu)) & 0xffu;
        bytes[out] = static_cast<std::uint8_t>(value);
        if (pairs[i] < 0x80)
        {
            ++out;
            value = 0;
        }
    }
}

} // namespace

UL::UL(std::string_view text)
{
    const Pattern* match = nullptr;
    for (const Pattern& pattern : Patterns)
        if (BeginsWith(text, pattern.Text))
        {
            match = &pattern;
            break;
        }
    if (!match)
        return;

    std::size_t start = 0;
    while (start < text.size() && IsWhiteSpace(text[start]))
        ++start;
    std::size_t end = start;
    while (end < text.size() && !IsWhiteSpace(text[end]))
        ++end;
    const std::string_view token = text.substr(start, end - start);

    std::array<std::uint8_t, 16> pairs{};
    const std::vector<std::size_t> positions = PairPositions(match->Text);
    for (std::size_t i = 0; i < positions.size(); ++i)
        pairs[i] = PairAt(token, positions[i]);

    std::uint8_t* bytes = GetValue();
    switch (match->Form)
    {
    case TextForm::Label:
        std::copy(pairs.begin(), pairs.begin() + 8, bytes);
        SetSecondHalf(bytes, pairs.data() + 8);
        break;
    case TextForm::BracedUUID:
        std::copy(pairs.begin() + 8, pairs.end(), bytes);
        SetSecondHalf(bytes, pairs.data());
        break;
    case TextForm::UUIDUrn:
        std::copy(pairs.begin(), pairs.end(), bytes);
        break;
    }
}

} // namespace mxf
