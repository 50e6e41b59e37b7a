#include "mxf/Hex.h"

#include "mxf/TextChars.h"

#include <cinttypes>
#include <cstdio>

namespace mxf
{

std::string HexText64(std::uint64_t value, int width)
{
    char text[40];
    std::snprintf(text, sizeof text, "%0*" PRIx64, width, value);
    return text;
}

DataChunkPtr DataChunkFromHex(std::string_view text)
{
    DataChunkPtr chunk = new DataChunk;
    chunk->SetGranularity(32);
    unsigned value = 0;
    bool pending = false;
    auto append = [&]
    {
        const std::uint64_t at = chunk->Size();
        chunk->Resize(at + 1);
        chunk->Data()[at] = static_cast<std::uint8_t>(value);
    };
    for (char c : text)
    {
        const int digit = HexDigitValue(c);
        if (digit >= 0)
        {
            value = ((value << 4) | static_cast<unsigned>(digit)) & 0xffu;
            pending = true;
        }
        else if (pending)
        {
            append();
            value = 0;
            pending = false;
        }
    }
    if (pending)
        append();
    return chunk;
}

std::size_t HexBytesFromText(std::string_view& text, std::size_t count, std::uint8_t* out)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    if (StartsWithNoCase(text, "urn:"))
        text.remove_prefix(text.rfind(':') + 1);

    std::size_t stored = 0;
    unsigned value = 0;
    int digits = 0;
    auto emit = [&]
    {
        if (stored < count)
            out[stored++] = static_cast<std::uint8_t>(value);
        value = 0;
        digits = 0;
    };
    for (char c : text)
    {
        const int digit = HexDigitValue(c);
        if (digit >= 0)
        {
            value = value * 16 + static_cast<unsigned>(digit);
            if (++digits == 2)
                emit();
        }
        else if (digits)
            emit();
    }
    if (digits)
        emit();
    text.remove_prefix(text.size());
    return stored;
}

} // namespace mxf
