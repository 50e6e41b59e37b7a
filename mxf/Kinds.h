// Kinds: the numbers that dictionary records, value types and classes store for how a value refers to an
// object, how a set or pack codes its items' keys and lengths, and how a multiple lays out its elements.
// The fields stay plain integers, as records and tables give these numbers; compile-time constants only.
#pragma once

#include <cstdint>

namespace mxf
{

// Reference kinds, as types and classes keep them and MDObject::RefKind reports them.
namespace RefKinds
{
constexpr std::int32_t NotGiven = -1; // the base decides
constexpr std::int32_t None = 0;
constexpr std::int32_t Strong = 1; // a source that owns its target
constexpr std::int32_t Weak = 2;
constexpr std::int32_t Meta = 3;   // linked as weak
constexpr std::int32_t Dict = 4;   // linked as weak
constexpr std::int32_t Global = 5; // its value may also be a label; a missing value is no error
constexpr std::int32_t Target = 6; // the object's own instance UUID, by which sources refer to it
// Dictionary records only: a strong reference whose target is held in the value; types and classes keep
// it as Strong with their nested flag.
constexpr std::int32_t Nested = 7;

// Strong to Global: a source that refers to another object by its instance UUID.
constexpr bool IsSource(int kind)
{
    return kind >= Strong && kind <= Global;
}
} // namespace RefKinds

// How a set's items are keyed. A local tag's code is its byte count.
namespace KeyFormats
{
constexpr int None = 0;      // the members of a pack, which carry no keys
constexpr int Tag1 = 1;      // a 1-byte local tag
constexpr int Tag2 = 2;      // a 2-byte local tag, big-endian
constexpr int Label = 3;     // a 16-byte label
constexpr int Tag4 = 4;      // a 4-byte local tag, big-endian
constexpr int GlobalSet = 5; // a global set's, which no set is read with
constexpr int OIDTag = 6;    // an OID-style BER tag: 7 bits a byte, bit 7 set on all but the last
constexpr int FromBase = 7;  // a derived class takes its base's
} // namespace KeyFormats

// How the lengths of a set's or pack's items are coded. A fixed width's code is its byte count.
namespace LengthFormats
{
constexpr int None = 0; // a fixed pack's members, which carry no lengths
constexpr int Bytes1 = 1;
constexpr int Bytes2 = 2; // big-endian
constexpr int BER = 3;
constexpr int Bytes4 = 4;   // big-endian
constexpr int FromBase = 5; // a derived class takes its base's
} // namespace LengthFormats

// How a multiple type lays out its elements.
namespace ArrayKinds
{
constexpr int Plain = 0;
constexpr int Batch = 1; // an item count and an item size in front
constexpr int String = 2;
} // namespace ArrayKinds

} // namespace mxf
