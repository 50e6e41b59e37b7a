// MDTraits: how the values of a value type are read from bytes, set from numbers and texts, and shown,
// with the default operations (each reported as not supported), the process-wide registry of traits by name
// and the default traits. A traits object holds no data: each operation works on the metadata object it is
// given, so one object serves every value of its types. Traits objects never change, so they may be used
// from several threads at once; the registry may be filled and read from several threads.
#pragma once

#include "mxf/RefCount.h"

#include <cstdint>
#include <string>

namespace mxf
{

class MDObject;

class MDTraits : public RefCount<MDTraits>
{
public:
    // True when an array of these values is one run of bytes rather than element objects.
    virtual bool HandlesArrayAsValue() const { return false; }
    // "mxf::" and the class name.
    virtual std::string Name() const = 0;

    virtual void SetInt(MDObject& object, std::int32_t value) const;
    virtual void SetInt64(MDObject& object, std::int64_t value) const;
    virtual void SetUInt(MDObject& object, std::uint32_t value) const;
    virtual void SetUInt64(MDObject& object, std::uint64_t value) const;
    virtual void SetString(MDObject& object, const std::string& text) const;
    virtual std::int32_t GetInt(const MDObject& object) const;
    virtual std::int64_t GetInt64(const MDObject& object) const;
    virtual std::uint32_t GetUInt(const MDObject& object) const;
    virtual std::uint64_t GetUInt64(const MDObject& object) const;
    // format is an identifier text form; -1 asks for the standard form. Only identifiers use it.
    virtual std::string GetString(const MDObject& object, int format) const;
    virtual std::string GetString(const MDObject& object) const;
    // Sets the value from the size bytes at buffer and returns the bytes used; count is the number of items
    // the caller expects (0: none given). The value never takes more than the buffer holds: a type whose
    // fixed size is larger gets zero bytes after them.
    virtual std::uint64_t ReadValue(MDObject& object, const std::uint8_t* buffer, std::uint64_t size,
                                    std::uint32_t count) const;
    // Lets traits copy a value their own way; none does, so the caller copies bytes or text.
    virtual bool TryCopyValue(MDObject&, const MDObject&) const { return false; }

protected:
    void NotSupported(const MDObject& object, const char* operation) const;
};

using MDTraitsPtr = SmartPtr<MDTraits>;

// Traits with every default operation: what a type has until traits are bound to it.
class MDTraits_DefaultTraits : public MDTraits
{
public:
    std::string Name() const override { return "mxf::MDTraits_DefaultTraits"; }
};

// The one default traits object, made on first use and kept for the life of the process.
const MDTraitsPtr& DefaultTraits();

// False, reported, and the registry unchanged when the name is registered already.
bool RegisterTraits(const std::string& name, const MDTraitsPtr& traits);
// The traits registered under the name, or an empty pointer.
MDTraitsPtr LookupTraits(const std::string& name);

} // namespace mxf
