// Binding traits to value types by type name or label, and finding the traits a binding gives.
#include "mxf/MDType.h"
#include "mxf/MDTypeRegistry.h"

namespace mxf
{

namespace
{

MDTraitsPtr TraitsNamed(const std::string& traitsName)
{
    MDTraitsPtr traits = traitsName.empty() ? MDTraitsPtr() : LookupTraits(traitsName);
    return traits ? traits : DefaultTraits();
}

LabelKey KeyOf(const MDType& type)
{
    return UL(type.TypeUL).GetArray();
}

// An interpretation follows the binding of the type it interprets unless it has a binding of its own.
// Needs the registry's lock.
bool FollowsUnderlyingBinding(MDType& type, const MDTypeRegistry& registry)
{
    return type.Class == MDType::INTERPRETATION && !registry.TypeTraitsByUL.contains(KeyOf(type)) &&
           !registry.TypeTraitsByName.contains(type.Name);
}

// Step 2 to 4 of a lookup: the binding of the fallback type name, else the traits of the fallback name.
// Needs the registry's lock.
MDTraitsPtr FallbackTraits(const MDTypeRegistry& registry, const std::string& fallbackName)
{
    if (fallbackName.empty())
        return MDTraitsPtr();
    if (auto bound = registry.TypeTraitsByName.find(fallbackName); bound != registry.TypeTraitsByName.end())
        return bound->second;
    return LookupTraits(fallbackName);
}

} // namespace

bool MDType::BindTraitsByName(const std::string& typeName, const std::string& traitsName)
{
    const MDTraitsPtr traits = TraitsNamed(traitsName);
    MDTypeRegistry& registry = MDTypeRegistry::Get();
    std::unique_lock guard(registry.Lock);
    registry.TypeTraitsByName[typeName] = traits;
    for (auto& [name, type] : registry.ByName)
        if (name == typeName ||
            (FollowsUnderlyingBinding(*type, registry) && type->EffectiveType()->Name == typeName))
            type->Traits = traits;
    return true;
}

bool MDType::BindTraitsByUL(const UL& label, const std::string& traitsName)
{
    const MDTraitsPtr traits = TraitsNamed(traitsName);
    MDTypeRegistry& registry = MDTypeRegistry::Get();
    std::unique_lock guard(registry.Lock);
    registry.TypeTraitsByUL[label.GetArray()] = traits;
    const auto interpretsLabel = [&](MDType& type)
    { return FollowsUnderlyingBinding(type, registry) && KeyOf(*type.EffectiveType()) == label.GetArray(); };
    registry.ByLabel.Visit(
        [&](auto& byLabel, auto& byVersionlessLabel)
        {
            for (auto& [key, type] : byLabel)
                if (key == label.GetArray() || interpretsLabel(*type))
                    type->Traits = traits;
            const LabelKey versionless = VersionlessKey(label.GetArray());
            for (auto& [key, type] : byVersionlessLabel)
                if (key == versionless || interpretsLabel(*type))
                    type->Traits = traits;
        });
    return true;
}

MDTraitsPtr MDType::TraitsByName(const std::string& typeName, const std::string& fallbackName)
{
    MDTypeRegistry& registry = MDTypeRegistry::Get();
    std::shared_lock guard(registry.Lock);
    if (auto bound = registry.TypeTraitsByName.find(typeName); bound != registry.TypeTraitsByName.end())
        return bound->second;
    return FallbackTraits(registry, fallbackName);
}

MDTraitsPtr MDType::TraitsByUL(const UL& label, const std::string& fallbackName)
{
    MDTypeRegistry& registry = MDTypeRegistry::Get();
    std::shared_lock guard(registry.Lock);
    if (auto bound = registry.TypeTraitsByUL.find(label.GetArray()); bound != registry.TypeTraitsByUL.end())
        return bound->second;
    return FallbackTraits(registry, fallbackName);
}

} // namespace mxf
