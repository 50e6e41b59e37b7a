// The base of the file systems of tapes that open with a text label block (Active Circle and Tedial
// tapes): besides the common bodies they share their one setting, "BlockSize", and the test whether a
// fragment has reached the tape. Made by a plug-in's factory instance, owned and driven by the host's
// operation thread; it takes no lock.
#pragma once

#include "FileSystems/TapeFS/CTapeFileSystem.h"

class CLabelledTapeFileSystem : public CTapeFileSystem
{
public:
    using CTapeFileSystem::CTapeFileSystem;

    CStatus Save(CSystem* system, CPersistanceEngine::CNode& node) override;
    CStatus Load(CSystem* system, CPersistanceEngine::CNode& node) override;

    // Written when the fragment's blocks, counted from its start position in tape blocks of BlockSize,
    // and three blocks more lie within the medium's last written block. A fragment at position 0, or a
    // file system that has not learnt its block size, is answered "not written".
    bool IsFragmentWritten(CMedium* medium, CUserFragment* fragment,
                           const CFragmentLocation& location) override;
};
