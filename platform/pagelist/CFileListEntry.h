// A stored record read in place on its page: its type byte, its path and its payload. A view into the
// page's bytes, valid while the list's lock is held; the list hands such views to the ordering of its
// list type, so that keeping an index in order needs no record objects.
#pragma once

#include "win/WideString.h"

#include <cstdint>
#include <span>

struct CFileListEntry
{
    std::uint8_t Type;
    WStringView Path;
    std::span<const unsigned char> Payload;
};
