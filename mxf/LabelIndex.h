// LabelIndex<T>: a process-wide index of dictionary entries (value types, class types) by their 16 label
// bytes, with a second index that ignores the registry version byte of SMPTE labels. The index holds strong
// pointers, so an entry once entered lives as long as the index. Thread-safe: entries may be entered and
// looked up from several threads.
#pragma once

#include "mxf/Labels.h"
#include "mxf/RefCount.h"
#include "mxf/UL.h"

#include <map>
#include <mutex>
#include <shared_mutex>

namespace mxf
{

// Labels of the SMPTE register are found whatever their version byte (byte 8).
inline bool IsSMPTELabel(const LabelKey& key)
{
    return HasSMPTEPrefix(key.data());
}

inline LabelKey VersionlessKey(LabelKey key)
{
    key[7] = 1;
    return key;
}

template <class T> class LabelIndex
{
public:
    using Map = std::map<LabelKey, SmartPtr<T>>;

    // A later entry with the same label replaces the earlier one in both indexes.
    void Enter(const UL& label, const SmartPtr<T>& entry)
    {
        std::unique_lock guard(Lock);
        ByLabel[label.GetArray()] = entry;
        if (IsSMPTELabel(label.GetArray()))
            ByVersionlessLabel[VersionlessKey(label.GetArray())] = entry;
    }

    // The entry with exactly these bytes, else for an SMPTE label the entry under any version byte.
    SmartPtr<T> Find(const UL& label) const
    {
        std::shared_lock guard(Lock);
        if (auto entry = ByLabel.find(label.GetArray()); entry != ByLabel.end())
            return entry->second;
        if (!IsSMPTELabel(label.GetArray()))
            return SmartPtr<T>();
        auto entry = ByVersionlessLabel.find(VersionlessKey(label.GetArray()));
        return entry == ByVersionlessLabel.end() ? SmartPtr<T>() : entry->second;
    }

    // Calls visit(byLabel, byVersionlessLabel) with both maps, the index locked against other writers and
    // readers; visit must not call back into the index.
    template <class F> void Visit(F&& visit)
    {
        std::unique_lock guard(Lock);
        visit(ByLabel, ByVersionlessLabel);
    }

private:
    mutable std::shared_mutex Lock;
    Map ByLabel;
    Map ByVersionlessLabel;
};

} // namespace mxf
