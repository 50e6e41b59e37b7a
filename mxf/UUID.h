// UUID: a 16-byte unique identifier in network byte order, the identity of object instances, and UUIDPtr, its
// strong pointer. A new UUID is random (version 4); the bytes never change afterwards, so concurrent reads
// are safe, and making new UUIDs from several threads is safe.
#pragma once

#include "mxf/Identifier.h"
#include "mxf/RefCount.h"
#include "mxf/UL.h"

#include <cstdint>
#include <string>

namespace mxf
{

class UUID : public RefCount<UUID>, public Identifier<16>
{
public:
    UUID(); // a new random identifier

    static std::string FormatString(const std::uint8_t* bytes, int format);
};

using UUIDPtr = SmartPtr<UUID>;

// A UL made from a new random UUID, held with its halves swapped as UUIDs are where labels are expected.
ULPtr ULFromNewUUID();

} // namespace mxf
