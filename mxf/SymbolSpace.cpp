#include "mxf/SymbolSpace.h"

#include "mxf/Diagnostics.h"

namespace mxf
{

const char* const DefaultSymbolSpaceName = "urn:x-reelfs:mxf:default-symbol-space";

// Never destroyed, so spaces can be looked up from other objects' destructors at exit. Made together with the
// default space, so that no other space can take its name first.
struct SymbolSpaceRegistry
{
    std::mutex Lock; // guards Spaces; taken before any space's own lock
    std::map<std::string, SymbolSpacePtr> Spaces;
    SymbolSpacePtr Default;

    SymbolSpaceRegistry() : Default(new SymbolSpace(DefaultSymbolSpaceName, SymbolSpace::Unregistered{}))
    {
        Spaces.emplace(DefaultSymbolSpaceName, Default);
    }

    static SymbolSpaceRegistry& Get()
    {
        static auto* registry = new SymbolSpaceRegistry;
        return *registry;
    }
};

SymbolSpace::SymbolSpace(std::string name) : Name(std::move(name))
{
    SymbolSpaceRegistry& registry = SymbolSpaceRegistry::Get();
    bool registered;
    {
        std::lock_guard guard(registry.Lock);
        registered = registry.Spaces.try_emplace(Name, this).second;
    }
    if (!registered)
        DiagnosticError("Duplicate symbol space name \"%s\"\n", Name.c_str());
}

bool SymbolSpace::AddSymbol(const std::string& name, const ULPtr& label)
{
    std::lock_guard guard(Lock);
    return Symbols.try_emplace(name, label).second;
}

ULPtr SymbolSpace::FindLocal(const std::string& name)
{
    std::lock_guard guard(Lock);
    auto symbol = Symbols.find(name);
    return symbol == Symbols.end() ? ULPtr() : symbol->second;
}

ULPtr SymbolSpace::FindSymbol(const std::string& name, bool searchAll)
{
    if (ULPtr label = FindLocal(name))
        return label;
    if (!searchAll)
        return ULPtr();
    SymbolSpaceRegistry& registry = SymbolSpaceRegistry::Get();
    std::lock_guard guard(registry.Lock);
    for (auto& [spaceName, space] : registry.Spaces)
        if (ULPtr label = space->FindLocal(name))
            return label;
    return ULPtr();
}

SymbolSpacePtr SymbolSpace::FindSymbolSpace(const std::string& name)
{
    SymbolSpaceRegistry& registry = SymbolSpaceRegistry::Get();
    std::lock_guard guard(registry.Lock);
    auto space = registry.Spaces.find(name);
    return space == registry.Spaces.end() ? SymbolSpacePtr() : space->second;
}

const SymbolSpacePtr& DefaultSymbolSpace()
{
    return SymbolSpaceRegistry::Get().Default;
}

ULPtr FindNamedLabel(const std::string& name, const SymbolSpacePtr& space, bool searchAll)
{
    if (const std::size_t colons = name.find("::"); name.size() > 1 && colons != std::string::npos)
    {
        const std::string spaceName = name.substr(0, colons);
        const SymbolSpacePtr named =
            spaceName.empty() ? DefaultSymbolSpace() : SymbolSpace::FindSymbolSpace(spaceName);
        return named ? named->FindSymbol(name.substr(colons + 2), false) : ULPtr();
    }
    const SymbolSpacePtr& start = space ? space : DefaultSymbolSpace();
    return start->FindSymbol(name, searchAll);
}

} // namespace mxf
