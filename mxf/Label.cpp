#include "mxf/Label.h"

#include <bit>
#include <map>
#include <shared_mutex>

namespace mxf
{

namespace
{

using Key = std::array<std::uint8_t, 16>;

struct LabelRegistry
{
    std::shared_mutex Lock;
    std::map<Key, LabelPtr> Exact;
    std::multimap<Key, LabelPtr> Masked; // equal keys stay in registration order
};

// Never destroyed, so labels can be looked up from other objects' destructors at exit.
LabelRegistry& Registry()
{
    static auto* registry = new LabelRegistry;
    return *registry;
}

} // namespace

Label::Label(std::string name, std::string detail, const std::uint8_t* label, const std::uint8_t* mask)
    : Value(label), Mask(mask), Masked(mask != nullptr), Name(std::move(name)), Detail(std::move(detail))
{
}

bool Label::Register(std::string name, std::string detail, const ULPtr& label, const std::uint8_t* mask)
{
    const UL bytes(label);
    LabelPtr entry = new Label(std::move(name), std::move(detail), bytes.GetValue(), mask);
    LabelRegistry& registry = Registry();
    std::unique_lock guard(registry.Lock);
    if (mask)
    {
        registry.Masked.emplace(bytes.GetArray(), entry);
        return true;
    }
    return registry.Exact.emplace(bytes.GetArray(), entry).second;
}

LabelPtr Label::Find(const UL& label)
{
    LabelRegistry& registry = Registry();
    std::shared_lock guard(registry.Lock);
    if (auto exact = registry.Exact.find(label.GetArray()); exact != registry.Exact.end())
        return exact->second;

    const std::uint8_t* wanted = label.GetValue();
    LabelPtr best;
    int bestWildcards = 255;
    for (const auto& [key, candidate] : registry.Masked)
    {
        const std::uint8_t* mask = candidate->Mask.GetValue();
        int wildcards = 0;
        bool matches = true;
        for (int i = 0; i < 16 && matches; ++i)
        {
            matches = ((key[i] ^ wanted[i]) & ~mask[i] & 0xff) == 0;
            wildcards += std::popcount(mask[i]);
        }
        if (matches && wildcards <= bestWildcards)
        {
            best = candidate;
            bestWildcards = wildcards;
        }
    }
    return best;
}

} // namespace mxf
