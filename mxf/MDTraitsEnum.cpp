#include "mxf/MDTraitsEnum.h"

#include "mxf/Diagnostics.h"
#include "mxf/MDObject.h"

namespace mxf
{

namespace
{

// The traits of the type that carries the enumerated values, reported by operation when there are none.
const MDTraits* BaseTraits(const MDObject& object, const char* operation, MDTypePtr& base)
{
    base = object.ValueType ? object.ValueType->EffectiveBase() : MDTypePtr();
    if (base && base->Traits)
        return base->Traits.GetPtr();
    DiagnosticError("Unable to %s() on base of enumerated type %s\n", operation, object.FullName().c_str());
    return nullptr;
}

template <class Number>
void SetThroughBase(MDObject& object, const char* operation, void (MDTraits::*set)(MDObject&, Number) const,
                    Number value)
{
    MDTypePtr base;
    if (const MDTraits* traits = BaseTraits(object, operation, base))
        (traits->*set)(object, value);
}

template <class Number>
Number GetThroughBase(const MDObject& object, const char* operation,
                      Number (MDTraits::*get)(const MDObject&) const)
{
    MDTypePtr base;
    const MDTraits* traits = BaseTraits(object, operation, base);
    return traits ? (traits->*get)(object) : 0;
}

// The enumeration that the value type is, or is derived from; null when there is none.
MDType* EnumerationOf(const MDObject& object)
{
    for (MDType* type = object.ValueType.GetPtr(); type; type = type->GetBase())
        if (type->Class == MDType::ENUM)
            return type;
    return nullptr;
}

} // namespace

void MDTraits_BasicEnum::SetInt(MDObject& object, std::int32_t value) const
{
    SetThroughBase(object, "SetInt", &MDTraits::SetInt, value);
}

void MDTraits_BasicEnum::SetInt64(MDObject& object, std::int64_t value) const
{
    SetThroughBase(object, "SetInt64", &MDTraits::SetInt64, value);
}

void MDTraits_BasicEnum::SetUInt(MDObject& object, std::uint32_t value) const
{
    SetThroughBase(object, "SetUInt", &MDTraits::SetUInt, value);
}

void MDTraits_BasicEnum::SetUInt64(MDObject& object, std::uint64_t value) const
{
    SetThroughBase(object, "SetUInt64", &MDTraits::SetUInt64, value);
}

std::int32_t MDTraits_BasicEnum::GetInt(const MDObject& object) const
{
    return GetThroughBase(object, "GetInt", &MDTraits::GetInt);
}

std::int64_t MDTraits_BasicEnum::GetInt64(const MDObject& object) const
{
    return GetThroughBase(object, "GetInt64", &MDTraits::GetInt64);
}

std::uint32_t MDTraits_BasicEnum::GetUInt(const MDObject& object) const
{
    return GetThroughBase(object, "GetUInt", &MDTraits::GetUInt);
}

std::uint64_t MDTraits_BasicEnum::GetUInt64(const MDObject& object) const
{
    return GetThroughBase(object, "GetUInt64", &MDTraits::GetUInt64);
}

std::string MDTraits_BasicEnum::GetString(const MDObject& object) const
{
    if (MDType* enumeration = EnumerationOf(object))
        for (const auto& [name, value] : enumeration->EnumValues())
            if (value->ValueEquals(object))
                return name;
    return "[Unknown Value " + object.EncodeValue(PrimerPtr())->GetString() + "]";
}

void MDTraits_BasicEnum::SetString(MDObject& object, const std::string& text) const
{
    MDType* enumeration = EnumerationOf(object);
    if (!enumeration)
        return;
    const MDType::EnumValueList& values = enumeration->EnumValues();
    for (const auto& [name, value] : values)
        if (name == text)
        {
            object.SetValueFrom(*value);
            return;
        }
    // Else the text of a number, read as the type that holds the values.
    const MDObjectPtr number(new MDObject(enumeration->EffectiveType()));
    number->SetString(text);
    for (const auto& [name, value] : values)
        if (value->ValueEquals(*number))
        {
            object.SetValueFrom(*value);
            return;
        }
    DiagnosticError("Attempted to set unknown value %s for enumerated value of type %s\n", text.c_str(),
                    object.ClassType ? object.ClassType->Name.c_str() : "");
}

} // namespace mxf
