// Where a record lies in a catalogue list: its page number and the byte position of its entry in that
// page. A plain value of 8 bytes, copied freely between threads.
#pragma once

#include <cstdint>

struct CFileListOffset
{
    std::uint32_t Page = 0;
    std::uint32_t Position = 0;

    bool operator==(const CFileListOffset&) const = default;
};
static_assert(sizeof(CFileListOffset) == 8);
