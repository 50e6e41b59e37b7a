// The restore of one file version from a mounted volume: the newest version of a catalogued path or the
// one that starts at a given position, whole or a byte range of it, written to a file or to standard output
// by the volume's file system. A file is written under a temporary name beside it and takes its name only
// when the restore has succeeded, so a failed restore leaves no partial file and an older file of that name
// as it was. Runs on the calling thread.
#pragma once

#include "CHost.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

struct CRestoreRequest
{
    // The forms of the catalogued path ("0/...") the file may go by, tried in turn: the name that the
    // path gives as `reelfs ls` quotes names, then the path as given, last.
    std::vector<WString> Paths;
    // The position on tape (as `reelfs ls -l` shows it) where the version to restore starts; without one,
    // the newest version.
    std::optional<std::uint64_t> At;
    std::string Output; // the file to write; empty for standard output
    bool Range = false; // only the bytes [Offset, Offset + Length) of the file
    std::uint64_t Offset = 0;
    std::uint64_t Length = 0;
    // Told the bytes written of the file's size as a whole file is restored; nothing when empty.
    std::function<void(std::uint64_t done, std::uint64_t size)> Progress;
};

class CRestoreDriver
{
public:
    // The volume's catalogue must hold the path; one given without its "0/" fails with a message that
    // names the catalogued one, and so does one whose newest versions have the same keys and no position
    // was given (HostErrorVersionsAlike) or none of whose versions starts at the position given
    // (HostErrorNoVersionAt). Continuation volumes are mounted before. A range that
    // runs past the end of the file fails with HostErrorRangePastEnd before anything is written.
    static CStatus Run(CHost& host, const CSet<CVolume, 1>::pointer& volume, const CRestoreRequest& request);
};
