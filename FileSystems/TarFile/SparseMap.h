// CSparseMap: where the data of a sparse TAR member lie in the file it stands for. GNU writers store a
// file with holes condensed: only its data regions, back to back, and a map of where each belongs in the
// file; every byte outside the regions is zero. The map comes from the member's headers (the old GNU 'S'
// header and its extension blocks, the pax records of forms 0.0 and 0.1) or from the start of the
// member's data (pax form 1.0, then DataStart counts its blocks). Plain data with its readers; one user.
#pragma once

#include "FileSystems/TarFile/TarHeaderBlock.h"

#include <cstdint>
#include <string_view>
#include <vector>

struct SparseRegion
{
    std::uint64_t Offset = 0; // in the file
    std::uint64_t Bytes = 0;
};

class CSparseMap
{
public:
    // Regions past this many are taken for a corrupt map: as many as a map of 64 MiB of extension
    // blocks holds, far past what any writer makes of a file.
    static constexpr std::size_t MaxRegions = (64u << 20) / 24;

    // Appends a region; false when it begins before the end of the one before, ends past 64 bits, or the
    // map already holds MaxRegions.
    bool Add(std::uint64_t offset, std::uint64_t bytes);
    // Whether the regions lie within the file of FileSize bytes and their data, after DataStart bytes,
    // within the `memberBytes` bytes of data the member has on tape.
    bool Fits(std::uint64_t memberBytes) const;

    // The regions of an old GNU sparse header (`extension` false: its four entries) or of one of its
    // extension blocks (21 entries). An empty entry ends the list; false when an entry is no number or
    // out of order.
    bool AddGnuEntries(const TarHeaderBlock& block, bool extension);
    // Whether an extension block follows the old GNU sparse header or extension block `block`.
    static bool GnuExtensionFollows(const TarHeaderBlock& block, bool extension);
    // The file size of an old GNU sparse header; false when the field holds no number.
    static bool ReadGnuRealSize(const TarHeaderBlock& block, std::uint64_t& size);

    // The regions of a pax "GNU.sparse.map" record: offset and size pairs, comma-separated decimals.
    bool AddPaxMap(std::string_view text);
    // The regions of the map that opens a 1.0 member's data: the region count, then each region's offset
    // and size, one decimal number a line, the whole padded to 512-byte blocks. More when `text` ends
    // inside the map; on Done, DataStart is the map's bytes with their padding.
    enum class TextResult
    {
        Done,
        More,
        Bad
    };
    TextResult ReadDataMap(std::string_view text);

    std::vector<SparseRegion> Regions;
    std::uint64_t FileSize = 0;
    std::uint64_t DataStart = 0; // bytes of the member's data before the first region's
    std::uint64_t DataBytes = 0; // the regions' bytes together
};
