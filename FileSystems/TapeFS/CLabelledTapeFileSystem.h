// The base of the file systems of tapes that open with a text label block (Active Circle and Tedial
// tapes): besides the common bodies they share their one setting, "BlockSize", and the test whether a
// fragment has reached the tape. Made by a plug-in's factory instance, owned and driven by the host's
// operation thread; it takes no lock.
#pragma once

#include "FileSystems/TapeFS/CTapeFileSystem.h"
#include "FileSystems/TapeFS/TapeRecognition.h"

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

    // What recognition makes of the block size the drive reported (its state 1): a size the drive does
    // not know fails with `notLabelled` and the medium's name; otherwise it is the file system's
    // BlockSize. A medium of type 3 is not of the layout; types other than 1 and 2 fail with 0xC00007D7.
    // True when the tape is to be read on.
    bool TakeMediumBlockSize(CMedium& medium, std::uint32_t notLabelled, RecognitionOutcome& outcome,
                             CStatus& status);
};
