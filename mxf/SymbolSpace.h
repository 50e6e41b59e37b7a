// SymbolSpace: a named map from symbol names to labels, so that one symbol may mean different labels in
// different dictionaries, and the library-wide registry of spaces by name with its default space. A
// registered space lives until the process ends. Symbols and spaces may be added and looked up from any
// thread. Allocate spaces with new and hand them to a SymbolSpacePtr: the registry keeps a pointer to them.
#pragma once

#include "mxf/RefCount.h"
#include "mxf/UL.h"

#include <map>
#include <mutex>
#include <string>

namespace mxf
{

class SymbolSpace : public RefCount<SymbolSpace>
{
public:
    // Registers the space under its name, unless a space of that name is registered already: that is
    // reported and the earlier space keeps the name.
    explicit SymbolSpace(std::string name);

    const std::string& GetName() const { return Name; }

    // False, and nothing changes, when the space has the symbol already: the first definition stays.
    bool AddSymbol(const std::string& name, const ULPtr& label);
    // The label of the symbol in this space; with searchAll, else in the first registered space (in name
    // order) that has it.
    ULPtr FindSymbol(const std::string& name, bool searchAll);

    static SmartPtr<SymbolSpace> FindSymbolSpace(const std::string& name);

private:
    struct Unregistered
    {
    };
    SymbolSpace(std::string name, Unregistered) : Name(std::move(name)) {}
    friend struct SymbolSpaceRegistry;

    ULPtr FindLocal(const std::string& name);

    std::mutex Lock; // guards Symbols
    std::map<std::string, ULPtr> Symbols;
    std::string Name;
};

using SymbolSpacePtr = SmartPtr<SymbolSpace>;

// The name under which the default space is registered.
extern const char* const DefaultSymbolSpaceName;

// The space of definitions that name none; it is the first space registered.
const SymbolSpacePtr& DefaultSymbolSpace();

// The label that a dictionary name stands for. A name "space::symbol" looks in that space only (an empty
// space part means the default space; an unknown space gives nothing); any other name looks in the given
// space (the default space when none is given) and, with searchAll, in every space.
ULPtr FindNamedLabel(const std::string& name, const SymbolSpacePtr& space, bool searchAll);

} // namespace mxf
