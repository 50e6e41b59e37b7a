// The array members of the traits family: values held as element objects, one child of the metadata
// object per element (arrays and batches), shown as lists, as text one character per element, as UTF-16
// text, as a list of UTF-16 texts or as hexadecimal numbers. Like all traits they hold no data and may serve
// any number of values on any threads.
#pragma once

#include "mxf/MDTraits.h"

namespace mxf
{

// Numbers go to every element and come from the first; text is the elements' texts joined by ", ".
class MDTraits_BasicArray : public MDTraits
{
public:
    using MDTraits::GetString;
    std::string Name() const override { return "mxf::MDTraits_BasicArray"; }
    void SetInt(MDObject& object, std::int32_t value) const override;
    void SetInt64(MDObject& object, std::int64_t value) const override;
    void SetUInt(MDObject& object, std::uint32_t value) const override;
    void SetUInt64(MDObject& object, std::uint64_t value) const override;
    std::int32_t GetInt(const MDObject& object) const override;
    std::int64_t GetInt64(const MDObject& object) const override;
    std::uint32_t GetUInt(const MDObject& object) const override;
    std::uint64_t GetUInt64(const MDObject& object) const override;
    std::string GetString(const MDObject& object) const override;
    // One piece of the text between commas for each element, in order; an array of no fixed size grows by
    // the pieces that have no element.
    void SetString(MDObject& object, const std::string& text) const override;
    // Elements (after the header of a batch) read one after the other, each from where the one before
    // ended. Never more elements than the bytes can hold, and never past the bytes given.
    std::uint64_t ReadValue(MDObject& object, const std::uint8_t* buffer, std::uint64_t size,
                            std::uint32_t count) const override;
};

// Text held one character per element, up to the first empty element.
class MDTraits_BasicStringArray : public MDTraits_BasicArray
{
public:
    using MDTraits::GetString;
    std::string Name() const override { return "mxf::MDTraits_BasicStringArray"; }
    std::string GetString(const MDObject& object) const override;
    void SetString(MDObject& object, const std::string& text) const override;
};

// UTF-16 text, one code unit per element, shown as UTF-8 up to the first 0 unit; a surrogate without its
// partner shows as U+FFFD. Set from UTF-8, whose bytes that are no character are stored as U+FFFD.
class MDTraits_UTF16String : public MDTraits_BasicStringArray
{
public:
    using MDTraits::GetString;
    std::string Name() const override { return "mxf::MDTraits_UTF16String"; }
    std::string GetString(const MDObject& object) const override;
    void SetString(MDObject& object, const std::string& text) const override;
};

// UTF-16 texts each closed by a 0 unit, shown quoted and separated by ", ". Cannot be set from text.
class MDTraits_StringArray : public MDTraits_UTF16String
{
public:
    using MDTraits::GetString;
    std::string Name() const override { return "mxf::MDTraits_StringArray"; }
    std::string GetString(const MDObject& object) const override;
    void SetString(MDObject& object, const std::string& text) const override;
};

// Integers shown as hexadecimal numbers separated by spaces.
class MDTraits_RawArray : public MDTraits_BasicArray
{
public:
    using MDTraits::GetString;
    std::string Name() const override { return "mxf::MDTraits_RawArray"; }
    std::string GetString(const MDObject& object) const override;
    void SetString(MDObject& object, const std::string& text) const override;
};

} // namespace mxf
