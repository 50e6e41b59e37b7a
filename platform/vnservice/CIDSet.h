// A set of counted host objects keyed by identity (the system's volumes, say). Members are held by
// counted handles; Find gives a handle of its own, empty when the identity is not there. All members
// may be called from several threads.
#pragma once

#include "vnservice/CSet.h"

#include <map>
#include <mutex>
#include <type_traits>
#include <utility>
#include <vector>

template <class T, int N, class Key = std::decay_t<decltype(std::declval<T>().GetID())>> class CIDSet
{
public:
    using pointer = typename CSet<T, N>::pointer;

    pointer Find(const Key& id) const
    {
        std::lock_guard lock(Mutex);
        auto found = Members.find(id);
        return found == Members.end() ? pointer() : found->second;
    }
    // Adds the object under its own identity; an object already there under it stays.
    pointer Insert(pointer object)
    {
        std::lock_guard lock(Mutex);
        return Members.emplace(object->GetID(), object).first->second;
    }
    void Remove(const Key& id)
    {
        std::lock_guard lock(Mutex);
        Members.erase(id);
    }
    std::vector<pointer> All() const
    {
        std::lock_guard lock(Mutex);
        std::vector<pointer> all;
        for (const auto& [id, object] : Members)
            all.push_back(object);
        return all;
    }

private:
    mutable std::mutex Mutex;
    std::map<Key, pointer> Members;
};
