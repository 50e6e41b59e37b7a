// The insertion upkeep of a catalogue: when a record enters an index, the directories above its path are
// created and the counters of the catalogue header are kept, including the versions that an inserted file
// version supersedes. Called from the records' PostInsert with the list locked; keeps no state. Header
// updates are read-modify-writes under the list's lock, so appends on several threads keep every count.
#pragma once

#include "frame/CCatArchive.h"
#include "frame/CFileListPointer.h"
#include "pagelist/CFileListInternal.h"

// Creates the missing CCatDirectory records above `path` (above and including it with keepWholePath),
// shallowest first; `at` stands on the inserted record in index 1. A path without '/' has no directory
// above it. Throws a Win32 error number when a directory cannot be appended or a record not loaded.
void AddParentDirectories(CFileListInternal& list, const WString& path, CFileListInternal::iterator at,
                          bool keepWholePath);
// Counts an inserted file version, and the version it supersedes.
void CountArchive(CFileListInternal& list, CCatArchive& record);
// Counts the version that `inserting` supersedes, reached from `found` (the version itself, or records
// of kind 1 that lead to it).
void CountSupersededVersion(CCatalogueItem& inserting, CFileListInternal& list,
                            const CFileListPointer<CCatalogueItem>& found);
