#include "mxf/MDTraitsRaw.h"

#include "mxf/Labels.h"
#include "mxf/MDObject.h"
#include "mxf/SymbolSpace.h"
#include "mxf/TextChars.h"
#include "mxf/UMID.h"
#include "mxf/UUID.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

namespace mxf
{

namespace
{

std::uint32_t LeadingBytes(const std::uint8_t* bytes, std::size_t count)
{
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < count; ++i)
        value = value << 8 | bytes[i];
    return value;
}

// The value becomes these bytes; its size stays.
void StoreBytes(MDObject& object, const std::vector<std::uint8_t>& bytes)
{
    if (!bytes.empty())
        std::memcpy(object.Value.Data(), bytes.data(),
                    std::min<std::size_t>(bytes.size(), object.Value.Size()));
}

// The identifier texts read digits in pairs (first × 16 + second, or × 10 in decimal mode); any other
// character completes a single waiting digit. The swap mark is set when the mark character is met with
// exactly markAt bytes made. Gives exactly count bytes, the missing ones 0.
std::vector<std::uint8_t> ReadIdentifierDigits(std::string_view text, std::size_t count, bool decimal,
                                               char mark, std::size_t markAt, bool& swap)
{
    std::vector<std::uint8_t> bytes;
    bytes.reserve(count);
    int waiting = -1;
    for (std::size_t i = 0; i < text.size() && bytes.size() < count; ++i)
    {
        const int digit = HexDigitValue(text[i]);
        if (digit >= 0)
        {
            if (waiting < 0)
                waiting = digit;
            else
            {
                bytes.push_back(static_cast<std::uint8_t>(waiting * (decimal ? 10 : 16) + digit));
                waiting = -1;
            }
            continue;
        }
        if (text[i] == mark && bytes.size() == markAt)
            swap = true;
        if (waiting >= 0)
        {
            bytes.push_back(static_cast<std::uint8_t>(waiting));
            waiting = -1;
        }
    }
    if (waiting >= 0 && bytes.size() < count)
        bytes.push_back(static_cast<std::uint8_t>(waiting));
    bytes.resize(count, 0);
    return bytes;
}

// The text after the last ':' of a "urn:" text.
std::string_view AfterLastColon(std::string_view text)
{
    return text.substr(text.rfind(':') + 1);
}

// A reading of the OID arcs 1.3.52... becomes the SMPTE prefix and the arcs after them.
bool ConvertOID(std::vector<std::uint8_t>& bytes)
{
    if (bytes.size() != 16 || !std::equal(SMPTEArcs.begin(), SMPTEArcs.end(), bytes.begin()))
        return false;
    std::vector<std::uint8_t> label(SMPTEPrefix.begin(), SMPTEPrefix.end());
    label.insert(label.end(), bytes.begin() + 3, bytes.begin() + 15);
    bytes = std::move(label);
    return true;
}

void SwapHalvesOf(std::vector<std::uint8_t>& bytes, std::size_t from)
{
    std::swap_ranges(bytes.begin() + static_cast<std::ptrdiff_t>(from),
                     bytes.begin() + static_cast<std::ptrdiff_t>(from + 8),
                     bytes.begin() + static_cast<std::ptrdiff_t>(from + 8));
}

// The texts of an identifier value of full size fullSize: the formatter's text, or what is wrong with it.
template <class Formatter>
std::string IdentifierText(const MDObject& object, std::size_t fullSize, const char* kind, int format,
                           Formatter formatter)
{
    const std::uint64_t size = object.Value.Size();
    if (size >= fullSize)
        return formatter(object.Value.Data(), format);
    if (size == 0)
        return std::string("<Zero-Length ") + kind + ">";
    return std::string("<Invalid-") + kind + " = " + object.Value.GetString() + ">";
}

constexpr std::size_t MaximumTextRead = 255;

} // namespace

std::int32_t MDTraits_Raw::GetInt(const MDObject& object) const
{
    const std::uint64_t size = object.Value.Size();
    const std::uint8_t* bytes = object.Value.Data();
    if (size == 2 || size == 3)
        return static_cast<std::int16_t>(LeadingBytes(bytes, 2));
    return static_cast<std::int32_t>(GetUInt(object));
}

std::uint32_t MDTraits_Raw::GetUInt(const MDObject& object) const
{
    const std::uint64_t size = object.Value.Size();
    const std::uint8_t* bytes = object.Value.Data();
    if (size >= 8)
        return LeadingBytes(bytes + 4, 4);
    if (size >= 4)
        return LeadingBytes(bytes, 4);
    return LeadingBytes(bytes, std::min<std::size_t>(size, 2));
}

std::int64_t MDTraits_Raw::GetInt64(const MDObject& object) const
{
    const std::uint64_t size = object.Value.Size();
    const std::uint8_t* bytes = object.Value.Data();
    if (size >= 8)
        return static_cast<std::int64_t>(GetUInt64(object));
    if (size >= 4)
        return static_cast<std::int32_t>(LeadingBytes(bytes, 4));
    if (size >= 2)
        return static_cast<std::int16_t>(LeadingBytes(bytes, 2));
    return LeadingBytes(bytes, size);
}

std::uint64_t MDTraits_Raw::GetUInt64(const MDObject& object) const
{
    const std::uint64_t size = object.Value.Size();
    const std::uint8_t* bytes = object.Value.Data();
    if (size >= 8)
        return std::uint64_t{LeadingBytes(bytes, 4)} << 32 | LeadingBytes(bytes + 4, 4);
    if (size >= 4)
        return LeadingBytes(bytes, 4);
    return LeadingBytes(bytes, std::min<std::size_t>(size, 2));
}

std::string MDTraits_Raw::GetString(const MDObject& object) const
{
    return object.Value.GetString();
}

void MDTraits_Raw::SetString(MDObject& object, const std::string& text) const
{
    const std::uint64_t count = object.Value.Size();
    std::vector<std::uint8_t> bytes;
    std::uint32_t running = 0;
    bool inNumber = false;
    for (std::size_t i = 0; i < text.size() && bytes.size() < count; ++i)
    {
        const int digit = HexDigitValue(text[i]);
        if (digit >= 0)
        {
            running = running * 16 + static_cast<std::uint32_t>(digit);
            inNumber = true;
        }
        else if (inNumber)
        {
            bytes.push_back(static_cast<std::uint8_t>(running));
            running = 0;
            inNumber = false;
        }
    }
    if (inNumber && bytes.size() < count)
        bytes.push_back(static_cast<std::uint8_t>(running));
    bytes.resize(count, 0);
    StoreBytes(object, bytes);
}

std::string MDTraits_UUID::GetString(const MDObject& object, int format) const
{
    return IdentifierText(object, 16, "UUID", format, UUID::FormatString);
}

void MDTraits_UUID::SetString(MDObject& object, const std::string& fullText) const
{
    std::string_view text = std::string_view(fullText).substr(0, MaximumTextRead);
    bool decimal = false;
    bool swap = false;
    if (StartsWithNoCase(text, "urn:"))
    {
        if (StartsWithNoCase(text, "urn:ul:") || StartsWithNoCase(text, "urn:smpte-ul:") ||
            StartsWithNoCase(text, "urn:smpte:ul:") || StartsWithNoCase(text, "urn:x-ul:"))
            swap = true; // a label written as a UUID
        else if (StartsWithNoCase(text, "urn:oid:"))
            decimal = true;
        text = AfterLastColon(text);
    }
    const std::size_t count = object.Value.Size();
    std::vector<std::uint8_t> bytes = ReadIdentifierDigits(text, count, decimal, '[', 0, swap);
    if (decimal && ConvertOID(bytes))
        SwapHalvesOf(bytes, 0); // the label held as a UUID
    if (swap && count == 16)
        SwapHalvesOf(bytes, 0);
    StoreBytes(object, bytes);
}

std::string MDTraits_Label::GetString(const MDObject& object, int format) const
{
    return IdentifierText(object, 16, "Label", format, UL::FormatString);
}

void MDTraits_Label::SetString(MDObject& object, const std::string& fullText) const
{
    std::string_view text = std::string_view(fullText).substr(0, MaximumTextRead);
    bool decimal = false;
    bool swap = false;
    if (StartsWithNoCase(text, "urn:"))
    {
        if (StartsWithNoCase(text, "urn:uuid:"))
            swap = true; // a UUID written as a label
        else if (StartsWithNoCase(text, "urn:oid:"))
            decimal = true;
        text = AfterLastColon(text);
    }
    else if (ULPtr symbol = DefaultSymbolSpace()->FindSymbol(fullText.substr(0, fullText.find(' ')), true))
    {
        object.Value.Resize(16);
        std::memcpy(object.Value.Data(), symbol->GetValue(), 16);
        return;
    }
    const std::size_t count = object.Value.Size();
    std::vector<std::uint8_t> bytes = ReadIdentifierDigits(text, count, decimal, '{', 0, swap);
    if (decimal)
        ConvertOID(bytes);
    if (swap && count == 16)
        SwapHalvesOf(bytes, 0);
    StoreBytes(object, bytes);
}

std::string MDTraits_UMID::GetString(const MDObject& object, int format) const
{
    return IdentifierText(object, 32, "UMID", format, UMID::FormatString);
}

void MDTraits_UMID::SetString(MDObject& object, const std::string& fullText) const
{
    std::string_view text = std::string_view(fullText).substr(0, MaximumTextRead);
    if (StartsWithNoCase(text, "urn:"))
        text = AfterLastColon(text);
    bool swap = false;
    const std::size_t count = object.Value.Size();
    // A material number in brackets is a label, held with its halves swapped.
    std::vector<std::uint8_t> bytes = ReadIdentifierDigits(text, count, false, '[', 16, swap);
    if (swap && count == 32)
        SwapHalvesOf(bytes, 16);
    StoreBytes(object, bytes);
}

} // namespace mxf
