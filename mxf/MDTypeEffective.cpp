// The queries of a value type that look through interpretations (and enumerations) to the type that holds
// the values.
#include "mxf/MDType.h"

#include "mxf/Kinds.h"

namespace mxf
{

namespace
{

bool FollowsBase(int typeClass)
{
    return typeClass == MDType::INTERPRETATION || typeClass == MDType::ENUM;
}

bool InheritsFromBase(int typeClass)
{
    return typeClass == MDType::INTERPRETATION || typeClass == MDType::TYPEARRAY || typeClass == MDType::ENUM;
}

} // namespace

MDType* MDType::EffectiveType()
{
    MDType* type = this;
    while (FollowsBase(type->Class) && type->GetBase())
        type = type->GetBase();
    return type;
}

int MDType::EffectiveClass()
{
    return EffectiveType()->Class;
}

MDTypePtr MDType::EffectiveBase()
{
    MDType* base = GetBase();
    if (!FollowsBase(Class) || !base || !base->GetBase())
        return MDTypePtr(base);
    return base->EffectiveBase();
}

std::uint32_t MDType::EffectiveSize()
{
    MDType* type = this;
    std::int32_t outerSize = 0;
    bool interpreted = false;
    while (type->Class == INTERPRETATION && type->GetBase())
    {
        if (!interpreted)
            outerSize = type->Size;
        interpreted = true;
        type = type->GetBase();
    }
    if (type->Class == TYPEARRAY)
    {
        MDType* element = type->GetBase();
        if (interpreted && element && element->EffectiveSize() != 0)
            return static_cast<std::uint32_t>(outerSize);
        return static_cast<std::uint32_t>(type->Size);
    }
    if (type->Class == COMPOUND)
    {
        std::uint32_t total = 0;
        for (const auto& [name, member] : type->Members())
        {
            const std::uint32_t size = member->EffectiveSize();
            if (size == 0)
                return 0;
            total += size;
        }
        return total;
    }
    return static_cast<std::uint32_t>(type->Size);
}

std::int32_t MDType::EffectiveRefKind()
{
    for (MDType* type = this; type; type = type->GetBase())
    {
        if (type->RefType != RefKinds::NotGiven)
            return type->RefType;
        if (!InheritsFromBase(type->Class))
            return RefKinds::None;
    }
    return RefKinds::None;
}

bool MDType::IsNestedRef()
{
    for (MDType* type = this; type; type = type->GetBase())
    {
        if (type->IsNested)
            return true;
        if (!InheritsFromBase(type->Class))
            return false;
    }
    return false;
}

std::string MDType::EffectiveRefTargetName()
{
    for (MDType* type = this; type; type = type->GetBase())
    {
        if (!type->RefTargetName.empty())
            return type->RefTargetName;
        if (!InheritsFromBase(type->Class))
            return std::string();
    }
    return std::string();
}

const MDType::EnumValueList& MDType::EnumValues()
{
    MDType* type = this;
    while (type->Class == INTERPRETATION && type->GetBase())
        type = type->GetBase();
    return type->EnumList;
}

} // namespace mxf
