// The enumeration member of the traits family: a value stored and read as its base type and shown by the
// names of the enumeration's values. Like all traits it holds no data and may serve any number of values on
// any threads.
#pragma once

#include "mxf/MDTraits.h"

namespace mxf
{

class MDTraits_BasicEnum : public MDTraits
{
public:
    using MDTraits::GetString;
    std::string Name() const override { return "mxf::MDTraits_BasicEnum"; }
    // The numbers are those of the base type's traits.
    void SetInt(MDObject& object, std::int32_t value) const override;
    void SetInt64(MDObject& object, std::int64_t value) const override;
    void SetUInt(MDObject& object, std::uint32_t value) const override;
    void SetUInt64(MDObject& object, std::uint64_t value) const override;
    std::int32_t GetInt(const MDObject& object) const override;
    std::int64_t GetInt64(const MDObject& object) const override;
    std::uint32_t GetUInt(const MDObject& object) const override;
    std::uint64_t GetUInt64(const MDObject& object) const override;
    // The name of the value, or "[Unknown Value 05]".
    std::string GetString(const MDObject& object) const override;
    // A value's name, or the text of a value's number; any other text leaves the value as it was.
    void SetString(MDObject& object, const std::string& text) const override;
};

} // namespace mxf
