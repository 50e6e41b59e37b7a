#include "mxf/MDTraits.h"

#include "mxf/Diagnostics.h"
#include "mxf/MDObject.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <shared_mutex>

namespace mxf
{

namespace
{

struct TraitsRegistry
{
    std::shared_mutex Lock;
    std::map<std::string, MDTraitsPtr> Traits;
};

// Never destroyed, so traits can be looked up from other objects' destructors at exit.
TraitsRegistry& Registry()
{
    static auto* registry = new TraitsRegistry;
    return *registry;
}

} // namespace

void MDTraits::NotSupported(const MDObject& object, const char* operation) const
{
    DiagnosticError("Called %s() on %s which has traits of %s and does not support %s()\n", operation,
                    object.Name.c_str(), Name().c_str(), operation);
}

void MDTraits::SetInt(MDObject& object, std::int32_t) const
{
    NotSupported(object, "SetInt");
}

void MDTraits::SetInt64(MDObject& object, std::int64_t) const
{
    NotSupported(object, "SetInt64");
}

void MDTraits::SetUInt(MDObject& object, std::uint32_t) const
{
    NotSupported(object, "SetUInt");
}

void MDTraits::SetUInt64(MDObject& object, std::uint64_t) const
{
    NotSupported(object, "SetUInt64");
}

void MDTraits::SetString(MDObject& object, const std::string&) const
{
    NotSupported(object, "SetString");
}

std::int32_t MDTraits::GetInt(const MDObject& object) const
{
    NotSupported(object, "GetInt");
    return 0;
}

std::int64_t MDTraits::GetInt64(const MDObject& object) const
{
    NotSupported(object, "GetInt64");
    return 0;
}

std::uint32_t MDTraits::GetUInt(const MDObject& object) const
{
    NotSupported(object, "GetUInt");
    return 0;
}

std::uint64_t MDTraits::GetUInt64(const MDObject& object) const
{
    NotSupported(object, "GetUInt64");
    return 0;
}

std::string MDTraits::GetString(const MDObject& object, int) const
{
    return GetString(object);
}

std::string MDTraits::GetString(const MDObject& object) const
{
    NotSupported(object, "GetString");
    return "Base";
}

std::uint64_t MDTraits::ReadValue(MDObject& object, const std::uint8_t* buffer, std::uint64_t size,
                                  std::uint32_t) const
{
    // The buffer holds size bytes whatever the count of items the caller expects, so the count cannot make
    // the value take more; a larger value, as a fixed-size type makes it, is filled up with zero bytes.
    const std::uint64_t held = object.ResizeValue(size);
    const std::uint64_t used = std::min(held, size);
    if (used)
        std::memcpy(object.Value.Data(), buffer, used);
    if (held > used)
        std::memset(object.Value.Data() + used, 0, held - used);
    return used;
}

const MDTraitsPtr& DefaultTraits()
{
    static auto* traits = new MDTraitsPtr(new MDTraits_DefaultTraits);
    return *traits;
}

bool RegisterTraits(const std::string& name, const MDTraitsPtr& traits)
{
    TraitsRegistry& registry = Registry();
    bool added;
    {
        std::unique_lock guard(registry.Lock);
        added = registry.Traits.try_emplace(name, traits).second;
    }
    if (!added)
        DiagnosticError("Internal error - two traits defined with the name \"%s\"\n", name.c_str());
    return added;
}

MDTraitsPtr LookupTraits(const std::string& name)
{
    TraitsRegistry& registry = Registry();
    std::shared_lock guard(registry.Lock);
    auto entry = registry.Traits.find(name);
    return entry == registry.Traits.end() ? MDTraitsPtr() : entry->second;
}

} // namespace mxf
