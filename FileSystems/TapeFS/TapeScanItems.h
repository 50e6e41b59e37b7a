// What the scans of all tape file systems do alike with the catalogue: keep the tape's label identifier
// in the catalogue header, and make the host's fragment file of a file item from its catalogue record.
// Called on the host's operation thread.
#pragma once

#include "vnservice/CStatus.h"

#include <cstdint>

class CCatArchive;
class CFileListInternal;
class CFragmentFile;
class CTapeFileSystem;

// Writes the label identifier into the replica's slot of the catalogue header when it differs there. A
// header that cannot be read fails when `unreadableFails`, else leaves the slot; no catalogue, nothing.
CStatus StoreLabelId(CFileListInternal* catalogue, std::uint32_t replica, const std::uint8_t (&labelId)[48],
                     bool unreadableFails, const char* source);

// The host's fragment file of a file item, made from the file's catalogue record: a file that receives a
// restore, or an empty one for an empty file. On failure nothing is left to free.
CStatus MakeFileFragment(CTapeFileSystem& fileSystem, const CCatArchive& record, const char* source,
                         CFragmentFile*& file);
