#include "mxf/MDTraitsInt.h"

#include "mxf/Diagnostics.h"
#include "mxf/MDObject.h"
#include "mxf/UTF8.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <sstream>

namespace mxf
{

namespace
{

// The messages by integer width.
const char* const ResizeFailures[] = {
    nullptr,
    "Tried to set an MDObject to a 1-byte value, but could not set length to 1\n",
    "Tried to set an MDObject to a 2-byte value, but could not set length to 2\n",
    nullptr,
    "Tried to set an MDObject to a 4-byte value, but could not set length to 4\n",
    nullptr,
    nullptr,
    nullptr,
    "Tried to set an MDObject to a 8-byte value, but could not set length to 8\n",
};

const char* const SizeMismatches[] = {
    nullptr,
    "Tried to read a 1-byte value from an MDObject that has size %d\n",
    "Tried to read a 2-byte value from an MDObject that has size %d\n",
    nullptr,
    "Tried to read a 4-byte value from an MDObject that has size %d\n",
    nullptr,
    nullptr,
    nullptr,
    "Tried to read an 8-byte value from an MDObject that has size %d\n",
};

// Stores the low width bytes of value, most significant first, sizing the value first.
void StoreBigEndian(MDObject& object, std::uint64_t value, std::size_t width)
{
    if (object.Value.Size() != width)
        object.ResizeValue(width);
    if (object.Value.Size() != width)
    {
        DiagnosticError("%s", ResizeFailures[width]);
        return;
    }
    std::uint8_t* bytes = object.Value.Data();
    for (std::size_t i = width; i-- > 0; value >>= 8)
        bytes[i] = static_cast<std::uint8_t>(value);
}

std::uint64_t LoadBigEndian(const std::uint8_t* bytes, std::size_t width)
{
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < width; ++i)
        value = value << 8 | bytes[i];
    return value;
}

std::int64_t SignExtend(std::uint64_t value, std::size_t width)
{
    if (width == 0 || width >= 8)
        return static_cast<std::int64_t>(value);
    const unsigned shift = static_cast<unsigned>(64 - 8 * width);
    return static_cast<std::int64_t>(value << shift) >> shift;
}

// The width bytes of the value zero-extended: 0 for an empty value, 0 reported for any other size.
std::uint64_t LoadValue(const MDObject& object, std::size_t width)
{
    const std::uint64_t size = object.Value.Size();
    if (size == width)
        return LoadBigEndian(object.Value.Data(), width);
    if (size != 0)
        DiagnosticError(SizeMismatches[width], static_cast<int>(size));
    return 0;
}

// As the C run-time's atoi family: blanks, a sign and digits up to the first other character, saturated at
// the limits of the result.
std::int64_t ParseDecimal(const std::string& text, std::int64_t lowest, std::int64_t highest)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    const bool negative = i < text.size() && text[i] == '-';
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        ++i;
    const std::uint64_t limit = negative ? 0 - static_cast<std::uint64_t>(lowest) : highest;
    std::uint64_t magnitude = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
    {
        const std::uint64_t digit = static_cast<std::uint64_t>(text[i] - '0');
        magnitude = magnitude > (limit - digit) / 10 ? limit : magnitude * 10 + digit;
    }
    return negative ? static_cast<std::int64_t>(0 - magnitude) : static_cast<std::int64_t>(magnitude);
}

// Hexadecimal digits as a stream reads them (blanks and a sign allowed, no digits gives 0), kept to their
// low 32 bits so that every 32-bit pattern can be written.
std::int32_t ParseHex(const std::string& digits)
{
    std::istringstream stream(digits);
    long long value = 0;
    stream >> std::hex >> value;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<unsigned long long>(value)));
}

std::string Printed(const char* format, long long value)
{
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string PrintedUnsigned(const char* format, unsigned long long value)
{
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// Reads the widest integer the buffer and the type's fixed size allow and stores it through the object's
// own traits, which cut it to the type's width. Returns the bytes read.
std::uint64_t ReadInteger(MDObject& object, const std::uint8_t* buffer, std::uint64_t size, bool isSigned)
{
    std::uint64_t length = size;
    if (object.ValueType && object.ValueType->Size > 0 &&
        static_cast<std::uint64_t>(object.ValueType->Size) < length)
        length = static_cast<std::uint64_t>(object.ValueType->Size);
    const std::size_t width = length >= 8 ? 8 : length >= 4 ? 4 : length >= 2 ? 2 : length;
    const std::uint64_t bits = LoadBigEndian(buffer, width);
    if (object.Traits && object.ValueHolder)
    {
        if (isSigned)
            object.Traits->SetInt64(*object.ValueHolder, SignExtend(bits, width));
        else
            object.Traits->SetUInt64(*object.ValueHolder, bits);
    }
    return width;
}

} // namespace

void MDTraits_BasicInt::SetInt(MDObject& object, std::int32_t value) const
{
    StoreBigEndian(object, static_cast<std::uint32_t>(value), Width());
}

void MDTraits_BasicInt::SetInt64(MDObject& object, std::int64_t value) const
{
    SetInt(object, static_cast<std::int32_t>(value));
}

void MDTraits_BasicInt::SetUInt(MDObject& object, std::uint32_t value) const
{
    SetInt(object, static_cast<std::int32_t>(value));
}

void MDTraits_BasicInt::SetUInt64(MDObject& object, std::uint64_t value) const
{
    SetInt(object, static_cast<std::int32_t>(static_cast<std::uint32_t>(value)));
}

void MDTraits_BasicInt::SetString(MDObject& object, const std::string& text) const
{
    if (text.size() > 2 && text.starts_with("0x"))
        SetInt(object, ParseHex(text.substr(2)));
    else
        SetInt(object, static_cast<std::int32_t>(ParseDecimal(text, std::numeric_limits<std::int32_t>::min(),
                                                              std::numeric_limits<std::int32_t>::max())));
}

std::int32_t MDTraits_BasicInt::GetInt(const MDObject& object) const
{
    return static_cast<std::int32_t>(SignExtend(LoadValue(object, Width()), Width()));
}

std::int64_t MDTraits_BasicInt::GetInt64(const MDObject& object) const
{
    return GetInt(object);
}

std::uint32_t MDTraits_BasicInt::GetUInt(const MDObject& object) const
{
    return static_cast<std::uint32_t>(LoadValue(object, Width()));
}

std::uint64_t MDTraits_BasicInt::GetUInt64(const MDObject& object) const
{
    return GetUInt(object);
}

std::string MDTraits_BasicInt::GetString(const MDObject& object) const
{
    return ReadsSigned() ? Printed("%lld", GetInt(object)) : PrintedUnsigned("%llu", GetUInt(object));
}

std::uint64_t MDTraits_BasicInt::ReadValue(MDObject& object, const std::uint8_t* buffer, std::uint64_t size,
                                           std::uint32_t) const
{
    return ReadInteger(object, buffer, size, ReadsSigned());
}

std::string MDTraits_UInt8::GetString(const MDObject& object) const
{
    return PrintedUnsigned("%02llx", GetUInt(object));
}

std::string MDTraits_ISO7::GetString(const MDObject& object) const
{
    const char code = static_cast<char>(GetInt(object) & 0xff);
    return code ? std::string(1, code) : std::string();
}

void MDTraits_ISO7::SetString(MDObject& object, const std::string& text) const
{
    SetInt(object, text.empty() ? 0 : static_cast<unsigned char>(text[0]));
}

std::string MDTraits_UTF16::GetString(const MDObject& object) const
{
    const std::uint32_t unit = static_cast<std::uint32_t>(GetInt(object)) & 0xffff;
    std::string text;
    if (unit != 0)
        AppendUTF8(text, unit);
    return text;
}

void MDTraits_UTF16::SetString(MDObject& object, const std::string& text) const
{
    const std::uint32_t code = text.empty() ? 0 : DecodeUTF8(text, 0).Code;
    SetUInt(object, code < 0x10000 ? code : ReplacementCharacter);
}

void MDTraits_Int64::SetInt(MDObject& object, std::int32_t value) const
{
    SetInt64(object, value);
}

void MDTraits_Int64::SetInt64(MDObject& object, std::int64_t value) const
{
    StoreBigEndian(object, static_cast<std::uint64_t>(value), 8);
}

void MDTraits_Int64::SetUInt(MDObject& object, std::uint32_t value) const
{
    SetUInt64(object, value);
}

void MDTraits_Int64::SetUInt64(MDObject& object, std::uint64_t value) const
{
    SetInt64(object, static_cast<std::int64_t>(value));
}

void MDTraits_Int64::SetString(MDObject& object, const std::string& text) const
{
    SetInt64(object, ParseDecimal(text, std::numeric_limits<std::int64_t>::min(),
                                  std::numeric_limits<std::int64_t>::max()));
}

std::int32_t MDTraits_Int64::GetInt(const MDObject& object) const
{
    return static_cast<std::int32_t>(GetInt64(object));
}

std::int64_t MDTraits_Int64::GetInt64(const MDObject& object) const
{
    return static_cast<std::int64_t>(LoadValue(object, 8));
}

std::uint32_t MDTraits_Int64::GetUInt(const MDObject& object) const
{
    return static_cast<std::uint32_t>(GetInt64(object));
}

std::uint64_t MDTraits_Int64::GetUInt64(const MDObject& object) const
{
    return static_cast<std::uint64_t>(GetInt64(object));
}

std::string MDTraits_Int64::GetString(const MDObject& object) const
{
    return Printed("%lld", GetInt64(object));
}

std::string MDTraits_UInt64::GetString(const MDObject& object) const
{
    return PrintedUnsigned("%llu", GetUInt64(object));
}

std::uint64_t MDTraits_UInt64::ReadValue(MDObject& object, const std::uint8_t* buffer, std::uint64_t size,
                                         std::uint32_t) const
{
    return ReadInteger(object, buffer, size, false);
}

} // namespace mxf
