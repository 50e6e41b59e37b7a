// MXF files as damage or a hostile writer would make them from a sound one: sets put into its header
// metadata or taken out of it, a second Preface of its own, and the sets of the shapes that cost far more
// memory than their bytes (every item or unit of them an object). The header partition pack counts the
// header metadata anew after each edit. For files whose header partition pack has a 4-byte BER length,
// as ffmpeg writes them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tdtest
{
using Bytes = std::vector<std::uint8_t>;

extern const Bytes PrefaceKey;
extern const Bytes IdentificationKey;

// The whole length of the KLV item that begins at `at`: key, BER length and value.
std::size_t ItemSize(const Bytes& file, std::size_t at);
// The file with the sets put into its header metadata after its primer, and the first set of key `drop`
// taken out.
Bytes WithSets(const Bytes& file, const std::vector<Bytes>& sets, const Bytes& drop = {});
// A second Preface for the file: its own, with an instance UID and references of its own, which lead to
// no set of the file.
Bytes OtherPreface(const Bytes& file);

// A local item of the tag, and `count` Identification sets holding the value.
Bytes LocalItem(std::uint16_t tag, const Bytes& value);
std::vector<Bytes> IdentificationSets(std::size_t count, const Bytes& value);
// Hostile shapes of about `bytes` bytes: batches of one-byte items, UTF-16 strings, sets each with an
// instance UID of its own, and empty sets.
enum class Shape
{
    Batches,
    Strings,
    InstanceUIDs,
    Empty,
};
std::vector<Bytes> HostileSets(Shape shape, std::size_t bytes);
} // namespace tdtest
