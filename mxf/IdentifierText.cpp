#include "mxf/IdentifierText.h"

#include "mxf/Labels.h"
#include "mxf/TextChars.h"

#include <cstdio>
#include <cstring>

namespace mxf
{

namespace
{

// Sixteen bytes through a format that has sixteen "%02x".
std::string Text16(const char* format, const std::uint8_t* b)
{
    char text[40];
    std::snprintf(text, sizeof text, format, b[0], b[1], b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9],
                  b[10], b[11], b[12], b[13], b[14], b[15]);
    return text;
}

} // namespace

std::string LabelText(const std::uint8_t* bytes)
{
    return Text16("[%02x%02x%02x%02x.%02x%02x.%02x%02x.%02x%02x%02x%02x.%02x%02x%02x%02x]", bytes);
}

std::string UUIDText(const std::uint8_t* bytes)
{
    return Text16("{%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x}", bytes);
}

std::array<std::uint8_t, 16> SwapHalves(const std::uint8_t* bytes)
{
    std::array<std::uint8_t, 16> swapped;
    std::memcpy(swapped.data(), bytes + 8, 8);
    std::memcpy(swapped.data() + 8, bytes, 8);
    return swapped;
}

bool ParseIdentifierText(std::string_view text, std::uint8_t* out)
{
    text = text.substr(0, 255);
    bool swap = false;
    bool decimal = false;
    if (StartsWithNoCase(text, "urn:"))
    {
        if (StartsWithNoCase(text, "urn:uuid:"))
            swap = true;
        else if (StartsWithNoCase(text, "urn:oid:"))
            decimal = true;
        text.remove_prefix(text.rfind(':') + 1);
    }

    int produced = 0;
    unsigned pending = 0;
    int digits = 0;
    for (std::size_t i = 0; produced < 16; ++i)
    {
        const bool end = i >= text.size();
        const char c = end ? '\0' : text[i];
        const int digit = HexDigitValue(c);
        if (digit >= 0)
        {
            pending = pending * (decimal ? 10 : 16) + static_cast<unsigned>(digit);
            if (++digits == 2)
            {
                out[produced++] = static_cast<std::uint8_t>(pending);
                pending = 0;
                digits = 0;
            }
        }
        else if (c == '{' && produced == 0 && digits == 0)
            swap = true;
        else if (IsLetter(c))
            return false;
        else
        {
            if (digits != 0)
            {
                out[produced++] = static_cast<std::uint8_t>(pending);
                pending = 0;
                digits = 0;
            }
            if (end)
            {
                // The end counts as one more (zero) value; the room check keeps a 16th value from a
                // trailing single digit from being followed by a 17th.
                if (produced < 16)
                    out[produced++] = 0;
                break;
            }
        }
    }

    // Decimal arcs 1.3.52 are the ISO prefix of SMPTE labels, which a label codes as its SMPTE prefix.
    if (decimal && std::memcmp(out, SMPTEArcs.data(), SMPTEArcs.size()) == 0)
    {
        std::memmove(out + 4, out + 3, 12);
        std::memcpy(out, SMPTEPrefix.data(), SMPTEPrefix.size());
    }
    if (swap)
    {
        const auto swapped = SwapHalves(out);
        std::memcpy(out, swapped.data(), 16);
    }
    return produced == 16;
}

ULPtr ULFromText(std::string_view text)
{
    std::uint8_t bytes[16] = {};
    if (!ParseIdentifierText(text, bytes))
        return ULPtr();
    return new UL(bytes);
}

} // namespace mxf
