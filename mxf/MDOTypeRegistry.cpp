// The registry of class types: entering classes, finding them by name, label and local tag, resolving the
// reference targets they name, and the static primer of their tags.
#include "mxf/MDOTypeRegistry.h"

#include "mxf/Diagnostics.h"
#include "mxf/IdentifierText.h"

namespace mxf
{

namespace
{

// A new primer of every class with a 2-byte tag and a 16-byte global key, in order of definition.
PrimerPtr NewStaticPrimer()
{
    PrimerPtr primer(new Primer);
    for (const MDOTypePtr& type : MDOTypeRegistry::Get().Snapshot())
    {
        if (type->StaticTag == 0 || type->StaticTag >= 0x10000)
            continue;
        if (type->GlobalKey.Size() == 16)
            primer->InsertTag(type->StaticTag, UL(type->GlobalKey.Data()));
        else
            DiagnosticError("Dictionary entry for \"%s\" has a 2-byte tag, but doesn't have a 16-byte UL\n",
                            type->FullName().c_str());
    }
    return primer;
}

} // namespace

void MDOType::Register()
{
    MDOTypeRegistry& registry = MDOTypeRegistry::Get();
    const MDOTypePtr self(this);
    {
        std::unique_lock guard(registry.Lock);
        registry.AllTypes.push_back(self);
    }
    registry.ByLabel.Enter(UL(TypeUL), self);
}

MDOTypePtr MDOType::FindByName(const std::string& name, const SymbolSpacePtr& space, bool searchAll)
{
    const ULPtr label = FindNamedLabel(name, space, searchAll);
    return label ? FindByUL(*label) : MDOTypePtr();
}

MDOTypePtr MDOType::FindByUL(const UL& label)
{
    return MDOTypeRegistry::Get().ByLabel.Find(label);
}

MDOTypePtr MDOType::FindByTag(Tag tag, const PrimerPtr& primer)
{
    if (primer)
    {
        const auto entry = primer->Tags().find(tag);
        return entry == primer->Tags().end() ? MDOTypePtr() : FindByUL(entry->second);
    }
    MDOTypeRegistry& registry = MDOTypeRegistry::Get();
    UL label;
    {
        std::lock_guard guard(registry.StaticLock);
        const Primer::TagMap& tags = registry.StaticLocked().Tags();
        const auto entry = tags.find(tag);
        if (entry == tags.end())
            return MDOTypePtr();
        label = entry->second;
    }
    return FindByUL(label);
}

void MDOType::ResolveRefTargets()
{
    for (const MDOTypePtr& type : MDOTypeRegistry::Get().Snapshot())
    {
        if (type->RefTargetName.empty() || type->GetRefTarget())
            continue;
        MDOTypePtr target = FindByName(type->RefTargetName, DefaultSymbolSpace(), false);
        if (!target)
            if (const ULPtr label = ULFromText(type->RefTargetName))
                target = FindByUL(*label);
        if (target)
            MDOTypeRegistry::SetRefTarget(*type, target.GetPtr());
        else
            DiagnosticError("Type %s specifies an unknown reference target type of %s\n", type->Name.c_str(),
                            type->RefTargetName.c_str());
    }
}

PrimerPtr MDOType::BuildStaticPrimer()
{
    MDOTypeRegistry& registry = MDOTypeRegistry::Get();
    std::lock_guard guard(registry.StaticLock);
    registry.Static = NewStaticPrimer();
    return registry.Static;
}

Primer& MDOTypeRegistry::StaticLocked()
{
    if (!Static)
        Static = NewStaticPrimer();
    return *Static;
}

Tag MDOTypeRegistry::StaticTagFor(const ULPtr& label, Tag preferred)
{
    std::lock_guard guard(StaticLock);
    return StaticLocked().TagFor(label, preferred);
}

PrimerPtr StaticPrimer()
{
    MDOTypeRegistry& registry = MDOTypeRegistry::Get();
    std::lock_guard guard(registry.StaticLock);
    registry.StaticLocked();
    return registry.Static;
}

} // namespace mxf
