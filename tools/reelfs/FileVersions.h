// The file versions of a volume's catalogue as the host shows and restores them: the kind-0 records,
// read through record handles in the order of index 1 (by path, then by keys). Used by the thread that
// holds the catalogue.
#pragma once

#include "vnservice/CStatus.h"
#include "win/WideString.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class CFileListInternal;

struct CFileVersion
{
    WString Path;
    std::uint64_t Position = 0; // where the version starts on tape
    std::uint64_t Size = 0;     // bytes of the version
    std::uint64_t Time =
        0; // FILETIME: the archive time when the record holds one, else the modification time
    std::uint32_t SegmentIndex = 0;
    std::uint32_t OrderKey1 = 0;
    std::uint32_t OrderKey2 = 0;
};

// Hands every file version of the catalogue to `visit`, in index 1 order.
CStatus ForEachFileVersion(CFileListInternal& catalogue,
                           const std::function<void(const CFileVersion&)>& visit);

// Every version of the path, in index 1 order (by keys); none when the catalogue does not hold it.
CStatus FindVersions(CFileListInternal& catalogue, const WString& path, std::vector<CFileVersion>& versions);

// A FILETIME as UTC "YYYY-MM-DDTHH:MM:SSZ"; "-" for 0, the unknown time.
std::string FormatFileTime(std::uint64_t fileTime);
