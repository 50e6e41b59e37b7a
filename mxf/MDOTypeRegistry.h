// The process-wide registry of class types and the static primer, shared by the class operations of the
// library. Made on first use and never destroyed, so classes can be looked up from other objects'
// destructors at exit. Lock guards AllTypes; ByLabel has a lock of its own; StaticLock guards StaticPrimer
// and is taken before the other two.
#pragma once

#include "mxf/LabelIndex.h"
#include "mxf/MDOType.h"

#include <mutex>
#include <shared_mutex>
#include <vector>

namespace mxf
{

struct MDOTypeRegistry
{
    std::shared_mutex Lock;
    std::vector<MDOTypePtr> AllTypes; // in order of definition
    LabelIndex<MDOType> ByLabel;
    std::mutex StaticLock;
    PrimerPtr Static;

    static MDOTypeRegistry& Get()
    {
        static auto* registry = new MDOTypeRegistry;
        return *registry;
    }

    std::vector<MDOTypePtr> Snapshot()
    {
        std::shared_lock guard(Lock);
        return AllTypes;
    }

    static void SetRefTarget(MDOType& type, MDOType* target) { type.RefTarget = MDOTypePtr(target); }

    // The static primer, built first when it has not been yet; needs StaticLock held.
    Primer& StaticLocked();
    // The static primer's TagFor, under StaticLock: encodings without a primer enter new dynamic tags in
    // it while other threads look tags up.
    Tag StaticTagFor(const ULPtr& label, Tag preferred);
};

} // namespace mxf
