// The compound members of the traits family: values held as one child object per member of a compound
// type (any structure of named members, rationals and time stamps), read one member after the other and
// shown as named members, as a fraction or as a date and time. Like all traits they hold no data and may
// serve any number of values on any threads.
#pragma once

#include "mxf/MDTraits.h"

namespace mxf
{

class MDTraits_BasicCompound : public MDTraits
{
public:
    using MDTraits::GetString;
    std::string Name() const override { return "mxf::MDTraits_BasicCompound"; }
    // Name="text" for each member, separated by spaces.
    std::string GetString(const MDObject& object) const override;
    // The quoted pieces of the text go to the members by position.
    void SetString(MDObject& object, const std::string& text) const override;
    std::uint64_t ReadValue(MDObject& object, const std::uint8_t* buffer, std::uint64_t size,
                            std::uint32_t count) const override;
};

// "25/1" from the "Numerator" and "Denominator" members.
class MDTraits_Rational : public MDTraits_BasicCompound
{
public:
    using MDTraits::GetString;
    std::string Name() const override { return "mxf::MDTraits_Rational"; }
    std::string GetString(const MDObject& object) const override;
    // "30000/1001"; ':' or ',' may stand for '/', and a number alone has the denominator 1.
    void SetString(MDObject& object, const std::string& text) const override;
};

// "2009-03-05 14:07:09.120", from the members "Date" and "Time" or from the seven fields directly.
class MDTraits_TimeStamp : public MDTraits_BasicCompound
{
public:
    using MDTraits::GetString;
    std::string Name() const override { return "mxf::MDTraits_TimeStamp"; }
    std::string GetString(const MDObject& object) const override;
    // The date, then the time after a 'T' or else after a space; what is missing is 0.
    void SetString(MDObject& object, const std::string& text) const override;
};

} // namespace mxf
