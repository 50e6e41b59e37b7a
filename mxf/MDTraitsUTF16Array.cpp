// The UTF-16 members of the array traits: one text, and a list of texts each closed by a 0 unit.
#include "mxf/Diagnostics.h"
#include "mxf/MDObject.h"
#include "mxf/MDTraitsArray.h"
#include "mxf/UTF8.h"

#include <algorithm>

namespace mxf
{

namespace
{

// An element without a value or traits counts as the unit 0.
std::uint32_t UnitOf(const MDObject& element)
{
    if (!element.ValueHolder)
        return 0;
    const MDTraitsPtr traits = element.FindTraits();
    return traits ? static_cast<std::uint32_t>(traits->GetInt(*element.ValueHolder)) & 0xffff : 0;
}

void StoreUnit(MDObject& element, std::uint32_t unit)
{
    if (!element.ValueHolder)
        return;
    if (const MDTraitsPtr traits = element.FindTraits())
        traits->SetUInt(*element.ValueHolder, unit);
}

// Adds the text of the unit at index (and of its partner after a high surrogate) and returns the index of
// the unit after them.
std::size_t AppendUnit(std::string& text, const MDObject::ChildList& units, std::size_t index)
{
    const std::uint32_t unit = UnitOf(*units[index].second);
    if (!IsHighSurrogate(unit))
    {
        AppendUTF8(text, unit);
        return index + 1;
    }
    // A high surrogate at the end stands for nothing.
    if (index + 1 < units.size())
        AppendUTF8Pair(text, unit, UnitOf(*units[index + 1].second));
    return index + 2;
}

} // namespace

std::string MDTraits_UTF16String::GetString(const MDObject& object) const
{
    std::string text;
    const MDObject::ChildList& units = object.Children();
    for (std::size_t i = 0; i < units.size() && UnitOf(*units[i].second) != 0;)
        i = AppendUnit(text, units, i);
    return text;
}

void MDTraits_UTF16String::SetString(MDObject& object, const std::string& text) const
{
    object.SetItemCount(static_cast<int>(text.size()));
    const MDObject::ChildList& units = object.Children();
    const auto byte = [&](std::size_t at)
    { return static_cast<std::uint32_t>(static_cast<unsigned char>(text[at])); };
    std::size_t at = 0;
    std::size_t stored = 0;
    while (at < text.size() && stored < units.size())
    {
        const std::uint32_t b1 = byte(at);
        const std::size_t left = text.size() - at;
        std::uint32_t unit = 0xfffd;
        std::size_t width = 1;
        if (b1 < 0x80)
            unit = b1;
        else if ((b1 & 0xe0) == 0xc0 && left >= 2)
        {
            unit = (b1 & 0x1f) << 6 | (byte(at + 1) & 0x3f);
            width = 2;
        }
        else if ((b1 & 0xf0) == 0xe0 && left >= 3)
        {
            unit = (b1 & 0x0f) << 12 | (byte(at + 1) & 0x3f) << 6 | (byte(at + 2) & 0x3f);
            width = 3;
        }
        else if ((b1 & 0xf0) == 0xf0 && left >= 4)
        {
            const std::uint32_t b2 = byte(at + 1);
            const std::uint32_t b3 = byte(at + 2);
            const std::uint32_t plane = (b1 & 0x07) << 2 | ((b2 >> 4) & 3);
            unit = 0xd800 | ((plane - 1) & 0x0f) << 6 | (b2 & 0x0f) << 2 | ((b3 >> 4) & 3);
            width = 4;
            if (stored + 1 < units.size())
            {
                StoreUnit(*units[stored].second, unit);
                unit = 0xdc00 | (b3 & 0x0f) << 6 | (byte(at + 3) & 0x3f);
                ++stored;
            }
        }
        StoreUnit(*units[stored++].second, unit);
        at += width;
    }
    object.SetItemCount(static_cast<int>(stored));
}

std::string MDTraits_StringArray::GetString(const MDObject& object) const
{
    std::string text = "\"";
    const MDObject::ChildList& units = object.Children();
    for (std::size_t i = 0; i < units.size();)
    {
        if (UnitOf(*units[i].second) != 0)
        {
            i = AppendUnit(text, units, i);
            continue;
        }
        text += i + 1 == units.size() ? "\"" : "\", \"";
        ++i;
    }
    return text;
}

void MDTraits_StringArray::SetString(MDObject&, const std::string&) const
{
    DiagnosticError("MDTraits_StringArray::SetString() not supported!\n");
}

} // namespace mxf
