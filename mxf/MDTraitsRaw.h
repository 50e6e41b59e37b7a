// The byte members of the traits family: raw bytes of any length, shown and written as hexadecimal bytes,
// and the three identifiers (UUID, label, UMID) with their own text forms. Like all traits they hold no data
// and may serve any number of values on any threads.
#pragma once

#include "mxf/MDTraits.h"

namespace mxf
{

// Bytes stored as they come. The integer getters read the leading bytes; the integer setters are not
// supported.
class MDTraits_Raw : public MDTraits
{
public:
    using MDTraits::GetString;
    std::string Name() const override { return "mxf::MDTraits_Raw"; }
    std::int32_t GetInt(const MDObject& object) const override;
    std::int64_t GetInt64(const MDObject& object) const override;
    std::uint32_t GetUInt(const MDObject& object) const override;
    std::uint64_t GetUInt64(const MDObject& object) const override;
    // "06 0e 2b 34"
    std::string GetString(const MDObject& object) const override;
    // One byte for each run of hexadecimal digits (its low 8 bits), as many as the value holds; the rest 0.
    void SetString(MDObject& object, const std::string& text) const override;
};

class MDTraits_UUID : public MDTraits_Raw
{
public:
    bool HandlesArrayAsValue() const override { return true; }
    std::string Name() const override { return "mxf::MDTraits_UUID"; }
    std::string GetString(const MDObject& object, int format) const override;
    std::string GetString(const MDObject& object) const override { return GetString(object, -1); }
    // Digit pairs, "urn:" forms (labels and OIDs among them) and labels in brackets (halves swapped).
    void SetString(MDObject& object, const std::string& text) const override;
};

class MDTraits_Label : public MDTraits_Raw
{
public:
    bool HandlesArrayAsValue() const override { return true; }
    std::string Name() const override { return "mxf::MDTraits_Label"; }
    std::string GetString(const MDObject& object, int format) const override;
    std::string GetString(const MDObject& object) const override { return GetString(object, -1); }
    // A registered symbol (up to the first blank), else digit pairs, "urn:" forms and UUIDs in braces.
    void SetString(MDObject& object, const std::string& text) const override;
};

class MDTraits_UMID : public MDTraits_Raw
{
public:
    bool HandlesArrayAsValue() const override { return true; }
    std::string Name() const override { return "mxf::MDTraits_UMID"; }
    std::string GetString(const MDObject& object, int format) const override;
    std::string GetString(const MDObject& object) const override { return GetString(object, -1); }
    // Digit pairs after an optional "urn:" prefix; a material number in brackets is a swapped label.
    void SetString(MDObject& object, const std::string& text) const override;
};

} // namespace mxf
