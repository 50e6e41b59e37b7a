// The host of the generic TAR handler tests: volumes read by the generic TAR file system.
#pragma once

#include "TapeFixture.h"

#include "FileSystems/TarReelFS/CGenericTarFileSystem.h"
#include "FileSystems/TarReelFS/CGenericTarFileSystemOperation.h"

#include <cstdio>
#include <string>

class TarTape : public PluginTape<CGenericTarFileSystem>
{
protected:
    // An archive of `entry` between two sound members; the first is dated by `tape`, so that the tapes
    // made for one test are not taken for copies of one volume.
    static Bytes BetweenTwoMembers(const std::string& entry, unsigned tape)
    {
        using namespace tartest;
        char mtime[16];
        std::snprintf(mtime, sizeof mtime, "%011o", 1618489800 + tape);
        const std::string archive = Entry(UstarBlock("first.txt", "00000000005", mtime), "first") + entry +
                                    Entry(UstarBlock("after.txt"), "after") + ArchiveEnd();
        return Bytes(archive.begin(), archive.end());
    }
};
