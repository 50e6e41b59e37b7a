#include "mxf/MDTraitsCompound.h"

#include "mxf/Diagnostics.h"
#include "mxf/Labels.h"
#include "mxf/MDObject.h"
#include "mxf/SetReading.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace mxf
{

namespace
{

MDType* CompoundType(const MDObject& object)
{
    return object.ValueType ? object.ValueType->EffectiveType() : nullptr;
}

// The child for a member: the first whose value type is that very type.
MDObject* MemberChild(const MDObject& object, const MDType* member)
{
    for (const auto& [label, child] : object)
        if (child->ValueType.GetPtr() == member)
            return child.GetPtr();
    return nullptr;
}

void ReportMissing(const MDType& member)
{
    DiagnosticError("Missing sub-item %s in compound\n", member.Name.c_str());
}

// The bytes of a slice offset array: 4 for each slice of the index table segment that holds the entry.
std::uint64_t SliceOffsetBytes(const MDObject& object, bool& found)
{
    for (MDObjectPtr ancestor(object.Parent); ancestor; ancestor = MDObjectPtr(ancestor->Parent))
        if (ancestor->IsKindOf(UL(IndexTableSegmentKey)))
        {
            found = true;
            const MDObjectPtr count = FindChildWhileReading(*ancestor, UL(SliceCountKey));
            const MDTraitsPtr traits = count && count->ValueHolder ? count->FindTraits() : MDTraitsPtr();
            const std::int32_t slices = traits ? traits->GetInt(*count->ValueHolder) : 0;
            return slices > 0 ? 4 * static_cast<std::uint64_t>(slices) : 0;
        }
    found = false;
    return 0;
}

std::uint32_t FieldOf(const MDObject& holder, const char* name)
{
    const MDObjectPtr child = holder.FindChildByName(name);
    if (!child || !child->ValueHolder)
        return 0;
    const MDTraitsPtr traits = child->FindTraits();
    return traits ? traits->GetUInt(*child->ValueHolder) : 0;
}

void SetField(const MDObject& holder, const char* name, std::uint32_t value)
{
    const MDObjectPtr child = holder.FindChildByName(name);
    if (!child || !child->ValueHolder)
        return;
    if (const MDTraitsPtr traits = child->FindTraits())
        traits->SetUInt(*child->ValueHolder, value);
}

std::string Number(std::uint32_t value, int width)
{
    char text[16];
    std::snprintf(text, sizeof text, "%0*u", width, value);
    return text;
}

} // namespace

std::string MDTraits_BasicCompound::GetString(const MDObject& object) const
{
    std::string text;
    const MDType* type = CompoundType(object);
    if (!type)
        return text;
    for (const MDTypePtr& member : type->ChildOrder())
    {
        const MDObject* child = MemberChild(object, member.GetPtr());
        if (!child)
        {
            ReportMissing(*member);
            continue;
        }
        if (!text.empty())
            text += ' ';
        text += child->Name + "=\"" + child->GetString(std::string()) + "\"";
    }
    return text;
}

void MDTraits_BasicCompound::SetString(MDObject& object, const std::string& text) const
{
    const MDType* type = CompoundType(object);
    if (!type)
        return;
    std::size_t at = 0;
    for (const MDTypePtr& member : type->ChildOrder())
    {
        const std::size_t open = text.find('"', at);
        const std::size_t close = open == std::string::npos ? open : text.find('"', open + 1);
        if (close == std::string::npos)
            return;
        at = close + 1;
        if (MDObject* child = MemberChild(object, member.GetPtr()))
            child->SetString(text.substr(open + 1, close - open - 1));
        else
            ReportMissing(*member);
    }
}

std::uint64_t MDTraits_BasicCompound::ReadValue(MDObject& object, const std::uint8_t* buffer,
                                                std::uint64_t size, std::uint32_t) const
{
    const MDType* type = CompoundType(object);
    if (!type)
        return 0;
    const std::list<MDTypePtr>& members = type->ChildOrder();
    auto member = members.begin();
    std::uint64_t used = 0;
    for (; member != members.end() && used < size; ++member)
    {
        MDObject* child = MemberChild(object, member->GetPtr());
        if (!child)
        {
            ReportMissing(**member);
            continue;
        }
        const std::uint64_t left = size - used;
        std::uint64_t offered = left;
        if ((*member)->Name == "SliceOffsetArray")
        {
            bool inSegment = false;
            // No more than the entry holds, whatever the segment's slice count says.
            offered = std::min(SliceOffsetBytes(object, inSegment), left);
            if (!inSegment)
                DiagnosticError(
                    "SliceOffsetArray not in IndexTableSegment in MDTraits_BasicCompound::ReadValue()\n");
        }
        const std::uint64_t consumed = offered ? child->ReadValue(buffer + used, offered, PrimerPtr()) : 0;
        used += std::min(consumed, left);
    }
    // Members the bytes did not reach: only those of variable size may be missing by design.
    for (; member != members.end(); ++member)
    {
        const MDObject* child = MemberChild(object, member->GetPtr());
        if (!child || !child->ValueType)
            continue;
        if (child->ValueType->EffectiveSize() != 0)
            break;
        DiagnosticNote("Compound ended with a variable length item %s\n", (*member)->Name.c_str());
    }
    return used;
}

std::string MDTraits_Rational::GetString(const MDObject& object) const
{
    const MDObjectPtr numerator = object.FindChildByName("Numerator");
    const MDObjectPtr denominator = object.FindChildByName("Denominator");
    const std::uint32_t top = numerator ? FieldOf(object, "Numerator") : 0;
    const std::uint32_t bottom = denominator ? FieldOf(object, "Denominator") : 1;
    return Number(top, 0) + "/" + Number(bottom, 0);
}

void MDTraits_Rational::SetString(MDObject& object, const std::string& text) const
{
    const std::size_t slash = text.find_first_of("/:,");
    SetField(object, "Numerator", static_cast<std::uint32_t>(std::atoi(text.c_str())));
    SetField(object, "Denominator",
             slash == std::string::npos ? 1u
                                        : static_cast<std::uint32_t>(std::atoi(text.c_str() + slash + 1)));
}

namespace
{

// The holders of the date and of the time fields: "Date" and "Time" when both exist, else the object.
std::pair<const MDObject*, const MDObject*> TimeStampParts(const MDObject& object, MDObjectPtr& date,
                                                           MDObjectPtr& time)
{
    date = object.FindChildByName("Date");
    time = object.FindChildByName("Time");
    if (date && time)
        return {date.GetPtr(), time.GetPtr()};
    return {&object, &object};
}

} // namespace

std::string MDTraits_TimeStamp::GetString(const MDObject& object) const
{
    MDObjectPtr date;
    MDObjectPtr time;
    const auto [day, clock] = TimeStampParts(object, date, time);
    return Number(FieldOf(*day, "Year"), 0) + "-" + Number(FieldOf(*day, "Month"), 2) + "-" +
           Number(FieldOf(*day, "Day"), 2) + " " + Number(FieldOf(*clock, "Hours"), 2) + ":" +
           Number(FieldOf(*clock, "Minutes"), 2) + ":" + Number(FieldOf(*clock, "Seconds"), 2) + "." +
           Number(FieldOf(*clock, "msBy4") * 4, 3);
}

void MDTraits_TimeStamp::SetString(MDObject& object, const std::string& text) const
{
    int year = 0, month = 0, day = 0, hours = 0, minutes = 0, seconds = 0, milliseconds = 0;
    std::sscanf(text.c_str(), "%d-%d-%d", &year, &month, &day);
    std::size_t clockAt = text.find('T');
    if (clockAt == std::string::npos)
        clockAt = text.find(' ');
    if (clockAt != std::string::npos)
        std::sscanf(text.c_str() + clockAt + 1, "%d:%d:%d.%d", &hours, &minutes, &seconds, &milliseconds);
    MDObjectPtr date;
    MDObjectPtr time;
    const auto [dayPart, clockPart] = TimeStampParts(object, date, time);
    SetField(*dayPart, "Year", static_cast<std::uint32_t>(year));
    SetField(*dayPart, "Month", static_cast<std::uint32_t>(month));
    SetField(*dayPart, "Day", static_cast<std::uint32_t>(day));
    SetField(*clockPart, "Hours", static_cast<std::uint32_t>(hours));
    SetField(*clockPart, "Minutes", static_cast<std::uint32_t>(minutes));
    SetField(*clockPart, "Seconds", static_cast<std::uint32_t>(seconds));
    SetField(*clockPart, "msBy4", static_cast<std::uint32_t>(milliseconds) >> 2);
}

} // namespace mxf
