// Fuzzes the readers of the MXF library foundation: the input is read as the value of a primer pack (after
// the primer pack's own key and length, when it starts with them, as the committed fixture does) and as label
// text for every text reader.
#include "mxf/DataChunk.h"
#include "mxf/Hex.h"
#include "mxf/IdentifierText.h"
#include "mxf/Primer.h"
#include "mxf/UL.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace
{

// Formats every message, so that wrong arguments show, and keeps none.
void Discard(const char* format, va_list arguments)
{
    char text[512];
    std::vsnprintf(text, sizeof text, format, arguments);
}

} // namespace

namespace mxf
{

void DiagnosticNote(const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    Discard(format, arguments);
    va_end(arguments);
}

void DiagnosticError(const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    Discard(format, arguments);
    va_end(arguments);
}

} // namespace mxf

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::uint8_t primerKey[16] = {0x06, 0x0e, 0x2b, 0x34, 0x02, 0x05, 0x01, 0x01,
                                               0x0d, 0x01, 0x02, 0x01, 0x01, 0x05, 0x01, 0x00};
    const std::uint8_t* value = data;
    std::size_t valueSize = size;
    if (size >= 19 && std::memcmp(data, primerKey, 16) == 0 && data[16] == 0x82)
    {
        value += 19;
        valueSize -= 19;
    }
    mxf::Primer primer;
    const std::uint64_t used = primer.ReadPack(value, valueSize);
    if (used > valueSize)
        __builtin_trap();

    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::uint8_t bytes[16];
    mxf::ParseIdentifierText(text, bytes);
    const mxf::UL label(text);
    (void)label.GetString();
    std::string_view cursor = text;
    mxf::HexBytesFromText(cursor, sizeof bytes, bytes);
    (void)mxf::DataChunkFromHex(text)->GetString();
    return 0;
}
