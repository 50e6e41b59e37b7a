// The process-wide registry of value types and the traits bindings, shared by the type operations of the
// library. Made on first use and never destroyed, so types can be looked up from other objects' destructors
// at exit. Lock guards everything but ByLabel, which has a lock of its own and is taken after Lock.
#pragma once

#include "mxf/LabelIndex.h"
#include "mxf/MDTraits.h"
#include "mxf/MDType.h"

#include <map>
#include <shared_mutex>
#include <string>
#include <vector>

namespace mxf
{

struct MDTypeRegistry
{
    std::shared_mutex Lock;
    std::vector<MDTypePtr> AllTypes; // in order of definition
    std::map<std::string, MDTypePtr> ByName;
    std::map<std::string, MDTraitsPtr> TypeTraitsByName;
    std::map<LabelKey, MDTraitsPtr> TypeTraitsByUL;
    LabelIndex<MDType> ByLabel;

    static MDTypeRegistry& Get()
    {
        static auto* registry = new MDTypeRegistry;
        return *registry;
    }
};

} // namespace mxf
