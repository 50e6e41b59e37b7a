// The scan of a mounted volume: its catalogue is built afresh from the tape, item by item, through the
// file system's GetNextItem. The file system stores its own records (extents, say) and hands back each
// item; the host catalogues the files and the directories. Runs on the calling thread.
#pragma once

#include "CHost.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct CScanSummary
{
    std::string FileSystemType;
    CVolumeID Volume;
    std::uint64_t Files = 0;
    std::uint64_t Directories = 0;
    std::uint64_t Archives = 0;
    std::uint64_t Bytes = 0; // the files' sizes
    // The image of another tape of the volume's identity whose catalogue the scan replaced; empty when
    // the catalogue it replaced was made from this tape, or there was none.
    std::string ReplacedImage;
    // The catalogued path of the file whose data run on past the end of the tape, onto the next volume;
    // empty when none does.
    WString ContinuingFile;
    // What the file system said of single files while it catalogued them: the files it could not read
    // whole, catalogued all the same (an error each, which fails the scan once it has gone to the end),
    // and warnings.
    std::vector<std::string> FileErrors;
    std::vector<std::string> FileWarnings;
};

// Where the scan stands after an item: the position it began at against the tape's last written block,
// in the medium's logical blocks, and the files found so far.
struct CScanProgress
{
    std::uint64_t Position = 0;
    std::uint64_t LastWrittenBlock = 0;
    std::uint64_t Files = 0;
};

class CScanDriver
{
public:
    using ProgressFunction = std::function<void(const CScanProgress&)>;

    // Drops the volume's stored catalogue and catalogues the tape again, so that every scan of a tape
    // leaves the same catalogue. A failed operation ends the scan: what was catalogued before it is kept,
    // and when it was the first, the catalogue stays as it was before the scan. The catalogue, the
    // settings and the registry are committed together, so a scan cut short by the end of the process
    // leaves the catalogue as it was too. The registry notes which tape the catalogue was made from. A
    // tape image cut short ends the scan with that failure, and a scan in which the file system reported
    // errors of single files ends with a failure that counts them. `summary` tells what was found either
    // way.
    static CStatus Run(CHost& host, const CSet<CVolume, 1>::pointer& volume, CScanSummary& summary,
                       const ProgressFunction& progress = {});
};
