// A file version as the host's users see it: the name it has in the archive, the path it has in the
// volume's catalogue, its three version keys, size, time and tape position. The host makes one for each
// file a scan finds, from the catalogue record the file system built, and hands one to each restore.
#pragma once

#include "vnservice/CFileName.h"
#include "vnservice/CStatus.h"

#include <cstdint>

// The values of a file record of a catalogue, as the host takes them over.
struct CCatalogueFileRecord
{
    CFileName Path;
    std::uint64_t Position = 0;
    std::uint64_t Size = 0;
    std::uint64_t Time = 0; // FILETIME
    std::uint32_t SegmentIndex = 0;
    std::uint32_t OrderKey1 = 0;
    std::uint32_t OrderKey2 = 0;
    std::uint8_t Flags = 0; // the record's flags, which say where it keeps its time
};

class CUserFragment
{
public:
    virtual ~CUserFragment() = default;

    // Takes the file's identity from its catalogue record; `fileSystemName` names the file system.
    CStatus ConstructFromCatalogue(CFileName fileSystemName, CCatalogueFileRecord record);

    // The name in the archive: the catalogue path without its leading "0/" when `stripAnchor` is set.
    CFileName GetArchiveFileName(bool stripAnchor) const;
    const CFileName& GetCatalogueFileName() const { return CatalogueFileName; }
    // Bytes of the fragment: its size.
    std::uint64_t ComputeFragmentFileSize() const { return Size; }

    CFileName FileSystemName;
    CFileName CatalogueFileName;
    std::uint64_t Position = 0;
    std::uint64_t Size = 0;
    std::uint64_t Time = 0;
    std::uint32_t SegmentIndex = 0;
    std::uint32_t OrderKey1 = 0;
    std::uint32_t OrderKey2 = 0;
    std::uint8_t Flags = 0;
};
