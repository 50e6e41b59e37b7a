// Label: a named label, or with a wildcard mask a named family of labels, and the two library-wide
// registries of them (exact labels by UL, masked labels in UL order). Registration and lookup are
// thread-safe; a registered label lives until the process ends and never changes.
#pragma once

#include "mxf/Identifier.h"
#include "mxf/RefCount.h"
#include "mxf/UL.h"

#include <cstdint>
#include <string>

namespace mxf
{

class Label : public RefCount<Label>
{
public:
    // mask may be null: the label then names exactly one UL. A set mask bit lets that bit take any value.
    Label(std::string name, std::string detail, const std::uint8_t* label, const std::uint8_t* mask);

    const std::string& GetName() const { return Name; }
    const std::string& GetDetail() const { return Detail; }
    const UL& GetUL() const { return Value; }
    const Identifier<16>& GetMask() const { return Mask; }
    bool HasMask() const { return Masked; }

    std::string Describe() const { return Name + " - " + Detail; }

    // With a mask: always added, after labels of the same UL. Without: false when the UL has a label already,
    // which stays.
    static bool Register(std::string name, std::string detail, const ULPtr& label, const std::uint8_t* mask);
    // The exact label of the UL, else the matching masked label with the fewest wildcard bits (of equal
    // counts, the last in UL order); empty when none matches.
    static SmartPtr<Label> Find(const UL& label);

private:
    UL Value;
    Identifier<16> Mask; // all zero without a mask
    bool Masked;
    std::string Name;
    std::string Detail;
};

using LabelPtr = SmartPtr<Label>;

} // namespace mxf
