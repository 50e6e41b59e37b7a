// The bytes of one catalogue page as the list keeps them in memory, and the layout of a record entry in
// an object page. A store belongs to its list; page handles share it so that its bytes outlive them.
// Guarded by the list's lock.
#pragma once

#include "pagelist/CFileListEntry.h"

#include <cstddef>
#include <cstdint>
#include <vector>

enum class CPageKind : std::uint8_t
{
    Plain = 0,  // raw bytes; page 0 holds the user header
    Object = 1, // record entries
};

struct CFileListPageStore
{
    static constexpr std::size_t Capacity = 65536;

    CFileListPageStore(std::uint32_t number, CPageKind kind) : Number(number), Kind(kind)
    {
        Bytes.reserve(Capacity);
    }

    std::uint32_t Number;
    CPageKind Kind;
    // Reserved to Capacity up front and never grown past it, so pointers into it stay valid.
    std::vector<unsigned char> Bytes;
    // Byte position of every entry of an object page, in storage order.
    std::vector<std::uint32_t> Starts;
    bool Dirty = false;

    // Index of the entry at `position` in Starts, or -1 when no entry starts there.
    std::ptrdiff_t FindEntry(std::uint32_t position) const;
};

// An entry: type byte, payload length (u8), path length in code units (u16 little-endian), the path's
// UTF-16 code units, the payload, and a zero byte after an odd payload. Entries start at even positions,
// so that paths can be read in place as code units.
namespace PageEntry
{
constexpr std::size_t HeaderBytes = 4;
constexpr std::size_t MaxPayload = 255;
constexpr std::size_t MaxPathUnits = 0xFFFF;

constexpr std::size_t SizeFor(std::size_t pathUnits, std::size_t payload)
{
    return HeaderBytes + 2 * pathUnits + payload + (payload & 1);
}

inline std::uint8_t Type(const unsigned char* entry)
{
    return entry[0];
}
inline std::size_t PayloadSize(const unsigned char* entry)
{
    return entry[1];
}
inline std::size_t PathUnits(const unsigned char* entry)
{
    return static_cast<std::size_t>(entry[2]) | static_cast<std::size_t>(entry[3]) << 8;
}
inline std::size_t Size(const unsigned char* entry)
{
    return SizeFor(PathUnits(entry), PayloadSize(entry));
}
inline const unsigned char* Path(const unsigned char* entry)
{
    return entry + HeaderBytes;
}
inline const unsigned char* Payload(const unsigned char* entry)
{
    return entry + HeaderBytes + 2 * PathUnits(entry);
}
inline CFileListEntry View(const unsigned char* entry)
{
    // Page bytes are allocated aligned and entries start at even positions.
    return {Type(entry), WStringView(reinterpret_cast<const char16_t*>(Path(entry)), PathUnits(entry)),
            std::span<const unsigned char>(Payload(entry), PayloadSize(entry))};
}
} // namespace PageEntry
