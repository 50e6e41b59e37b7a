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

// Adds the text of the unit at index, with its partner when it is a high surrogate followed by a low one,
// and returns the index of the unit after them. A surrogate without its partner gives U+FFFD and the unit
// after it is read for itself.
std::size_t AppendUnit(std::string& text, const MDObject::ChildList& units, std::size_t index)
{
    const std::uint32_t unit = UnitOf(*units[index].second);
    if (IsHighSurrogate(unit) && index + 1 < units.size())
        if (const std::uint32_t low = UnitOf(*units[index + 1].second); IsLowSurrogate(low))
        {
            AppendUTF8Pair(text, unit, low);
            return index + 2;
        }
    AppendUTF8(text, unit);
    return index + 1;
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
    std::size_t stored = 0;
    for (std::size_t at = 0; at < text.size() && stored < units.size();)
    {
        const auto [code, width] = DecodeUTF8(text, at);
        at += width;
        if (code < 0x10000)
        {
            StoreUnit(*units[stored++].second, code);
            continue;
        }
        // A character beyond the basic plane takes two units or, where only one is left, none.
        if (stored + 1 == units.size())
            break;
        StoreUnit(*units[stored++].second, 0xd800 | (code - 0x10000) >> 10);
        StoreUnit(*units[stored++].second, 0xdc00 | (code & 0x3ff));
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
