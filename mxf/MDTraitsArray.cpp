#include "mxf/MDTraitsArray.h"

#include "mxf/Diagnostics.h"
#include "mxf/Hex.h"
#include "mxf/Kinds.h"
#include "mxf/MDObject.h"
#include "mxf/MemoryBudget.h"
#include "mxf/TextChars.h"

#include <algorithm>

namespace mxf
{

namespace
{

// An element's own value is used only when it holds one and has traits.
const MDTraits* ElementTraits(const MDObject& element, MDTraitsPtr& held)
{
    if (!element.ValueHolder)
        return nullptr;
    held = element.FindTraits();
    return held.GetPtr();
}

template <class Number>
void SetEach(MDObject& object, void (MDTraits::*set)(MDObject&, Number) const, Number value)
{
    for (const auto& [label, element] : object)
    {
        MDTraitsPtr held;
        if (const MDTraits* traits = ElementTraits(*element, held))
            (traits->*set)(*element->ValueHolder, value);
    }
}

template <class Number>
Number GetFirst(const MDObject& object, Number (MDTraits::*get)(const MDObject&) const)
{
    if (object.empty())
        return 0;
    const MDObject& element = *object.begin()->second;
    MDTraitsPtr held;
    const MDTraits* traits = ElementTraits(element, held);
    return traits ? (traits->*get)(*element.ValueHolder) : 0;
}

std::uint32_t BigEndian32(const std::uint8_t* bytes)
{
    return static_cast<std::uint32_t>(bytes[0]) << 24 | static_cast<std::uint32_t>(bytes[1]) << 16 |
           static_cast<std::uint32_t>(bytes[2]) << 8 | bytes[3];
}

} // namespace

void MDTraits_BasicArray::SetInt(MDObject& object, std::int32_t value) const
{
    SetEach(object, &MDTraits::SetInt, value);
}

void MDTraits_BasicArray::SetInt64(MDObject& object, std::int64_t value) const
{
    SetEach(object, &MDTraits::SetInt64, value);
}

void MDTraits_BasicArray::SetUInt(MDObject& object, std::uint32_t value) const
{
    SetEach(object, &MDTraits::SetUInt, value);
}

void MDTraits_BasicArray::SetUInt64(MDObject& object, std::uint64_t value) const
{
    SetEach(object, &MDTraits::SetUInt64, value);
}

std::int32_t MDTraits_BasicArray::GetInt(const MDObject& object) const
{
    return GetFirst(object, &MDTraits::GetInt);
}

std::int64_t MDTraits_BasicArray::GetInt64(const MDObject& object) const
{
    return GetFirst(object, &MDTraits::GetInt64);
}

std::uint32_t MDTraits_BasicArray::GetUInt(const MDObject& object) const
{
    return GetFirst(object, &MDTraits::GetUInt);
}

std::uint64_t MDTraits_BasicArray::GetUInt64(const MDObject& object) const
{
    return GetFirst(object, &MDTraits::GetUInt64);
}

std::string MDTraits_BasicArray::GetString(const MDObject& object) const
{
    std::string text;
    for (const auto& [label, element] : object)
    {
        if (!text.empty())
            text += ", ";
        text += element->GetString(std::string());
    }
    return text;
}

void MDTraits_BasicArray::SetString(MDObject& object, const std::string& text) const
{
    std::size_t index = 0;
    std::size_t start = 0;
    for (;;)
    {
        const std::size_t comma = text.find(',', start);
        const std::string piece =
            text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (index >= object.size())
            object.SetItemCount(static_cast<int>(object.size() + 1));
        // An array of fixed size does not grow: its surplus pieces have no element.
        if (index >= object.size())
            return;
        object.Children()[index].second->SetString(piece);
        ++index;
        if (comma == std::string::npos)
            return;
        start = comma + 1;
    }
}

std::uint64_t MDTraits_BasicArray::ReadValue(MDObject& object, const std::uint8_t* buffer, std::uint64_t size,
                                             std::uint32_t count) const
{
    if (!object.ValueType)
        return 0;
    object.ClearChildren();
    bool open = count == 0;
    std::uint64_t items = count;
    std::uint64_t itemSize = size;
    if (count)
    {
        itemSize = size / count;
        if (size % count)
            DiagnosticError(
                "MDTraits_BasicArray::ReadValue() requested to read %d items from %d bytes, not an "
                "integer number of items\n",
                static_cast<int>(count), static_cast<int>(size));
    }
    std::uint64_t used = 0;
    if (object.ContainerKind() == MDObject::KindBatch || object.ValueType->ArrayClass == ArrayKinds::Batch)
    {
        if (size < 8)
        {
            DiagnosticError("Tried to read a batch of type %s but less than 8 bytes available\n",
                            object.Name.c_str());
            return 0;
        }
        const std::uint32_t headerCount = BigEndian32(buffer);
        itemSize = BigEndian32(buffer + 4);
        used = 8;
        if (open)
        {
            items = headerCount;
            open = false;
        }
        else if (headerCount < count)
            DiagnosticError("Tried to read more items from batch of type %s than available - requested = %u, "
                            "available = %u\n",
                            object.Name.c_str(), count, headerCount);
        // In 64 bits, so that no header can claim its way past the bytes present.
        const std::uint64_t left = size - used;
        const std::uint64_t required = static_cast<std::uint64_t>(headerCount) * itemSize;
        if (required > left)
        {
            DiagnosticError(
                "Invalid batch of type %s - count = %u, item size = %u so 0x%08llx bytes required but "
                "only 0x%08llx available\n",
                object.Name.c_str(), headerCount, static_cast<unsigned>(itemSize),
                static_cast<unsigned long long>(required), static_cast<unsigned long long>(left));
            items = std::min<std::uint64_t>(items, left / itemSize);
        }
    }
    const std::uint64_t fixed =
        object.ValueType->Size > 0 ? static_cast<std::uint64_t>(object.ValueType->Size) : 0;
    const MDTypePtr elementType = object.ValueType->EffectiveBase();
    // Room for every element at once, as many as the bytes present can hold and no more than a count
    // asks for: each element takes at least one byte, else the reading stops.
    const std::uint32_t elementSize = elementType ? elementType->EffectiveSize() : 0;
    std::uint64_t room = (size - used) / std::max<std::uint64_t>(elementSize, 1) + 1;
    if (!open)
        room = std::min(room, items);
    if (fixed)
        room = std::min(room, fixed);
    object.ReserveChildren(static_cast<std::size_t>(room));
    std::uint64_t read = 0;
    // Past the thread's memory budget the rest is not read: the reader refuses the metadata.
    while ((open || items > 0) && !MemoryBudget::CurrentSpent())
    {
        MDObjectPtr element(new MDObject(elementType.GetPtr()));
        object.AppendChild(element);
        const std::uint64_t left = size - used;
        const std::uint64_t offered = open ? left : std::min(itemSize, left);
        const std::uint64_t consumed = element->ReadValue(buffer + used, offered, PrimerPtr());
        used += std::min(consumed, left);
        ++read;
        // An element that takes nothing would be followed by the same element again and again.
        if (consumed == 0 || (open && consumed >= left))
            break;
        if (!open)
            --items;
        if (fixed && read == fixed)
            break;
    }
    if (fixed)
        object.SetItemCount(static_cast<int>(fixed));
    return used;
}

std::string MDTraits_BasicStringArray::GetString(const MDObject& object) const
{
    std::string text;
    for (const auto& [label, element] : object)
    {
        const std::string character = element->GetString(std::string());
        if (character.empty())
            break;
        text += character;
    }
    return text;
}

void MDTraits_BasicStringArray::SetString(MDObject& object, const std::string& text) const
{
    object.SetItemCount(static_cast<int>(text.size()));
    const std::size_t stored = std::min(text.size(), object.size());
    for (std::size_t i = 0; i < stored; ++i)
        object.Children()[i].second->SetString(std::string(1, text[i]));
    object.SetItemCount(static_cast<int>(stored));
}

std::string MDTraits_RawArray::GetString(const MDObject& object) const
{
    if (object.size() > 10240)
        return "RAW[0x" + HexText64(object.size(), 8) + "]";
    std::string text;
    for (const auto& [label, element] : object)
    {
        if (!text.empty())
            text += ' ';
        MDTraitsPtr held;
        const MDTraits* traits = ElementTraits(*element, held);
        const MDObject& value = element->ValueHolder ? *element->ValueHolder : *element;
        switch (value.Value.Size())
        {
        case 1:
        case 2:
        case 4:
            text += HexText64(traits ? traits->GetUInt(value) : 0, static_cast<int>(value.Value.Size() * 2));
            break;
        case 8:
            text += HexText64(traits ? traits->GetUInt64(value) : 0, 8);
            break;
        default:
            text += '{' + GetString(*element) + '}';
            break;
        }
    }
    return text;
}

void MDTraits_RawArray::SetString(MDObject& object, const std::string& text) const
{
    std::size_t index = 0;
    std::uint32_t number = 0;
    bool inNumber = false;
    for (std::size_t at = 0; at <= text.size(); ++at)
    {
        const int digit = at < text.size() ? HexDigitValue(text[at]) : -1;
        if (digit >= 0)
        {
            number = number * 16 + static_cast<std::uint32_t>(digit);
            inNumber = true;
            continue;
        }
        if (!inNumber)
            continue;
        if (index >= object.size())
            object.SetItemCount(static_cast<int>(object.size() + 1));
        if (index >= object.size())
            return;
        MDObject& element = *object.Children()[index++].second;
        MDTraitsPtr held;
        if (const MDTraits* traits = ElementTraits(element, held))
            traits->SetInt(*element.ValueHolder, static_cast<std::int32_t>(number));
        number = 0;
        inNumber = false;
    }
}

} // namespace mxf
