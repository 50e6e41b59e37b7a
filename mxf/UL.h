// UL: a 16-byte SMPTE universal label, the name of every key, type and class of the library, and ULPtr, its
// strong pointer. A UL is a counted object whose bytes do not change after construction, so concurrent reads
// are safe; copying a UL copies the bytes only, never the count.
#pragma once

#include "mxf/Identifier.h"
#include "mxf/Labels.h"
#include "mxf/RefCount.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace mxf
{

class UL : public RefCount<UL>, public Identifier<16>
{
public:
    UL() = default;
    explicit UL(const std::uint8_t* bytes) : Identifier<16>(bytes) {} // null gives 16 zero bytes
    explicit UL(const LabelKey& bytes) : Identifier<16>(bytes.data()) {}
    explicit UL(const SmartPtr<UL>& other) : Identifier<16>(other ? other->GetValue() : nullptr) {}
    // Reads the label, UUID and URN text forms; text of no known form gives 16 zero bytes.
    explicit UL(std::string_view text);

    bool operator==(const UL& other) const { return GetArray() == other.GetArray(); }
    // The comparison of dictionary lookups: byte 8 (the registry version) is never compared, nor byte 6 of a
    // group key, which codes the set's tag and length layout.
    bool Matches(const UL& other) const;

    std::string GetString() const { return FormatString(GetValue(), -1); }
    static std::string FormatString(const std::uint8_t* bytes, int format);
};

using ULPtr = SmartPtr<UL>;

} // namespace mxf
