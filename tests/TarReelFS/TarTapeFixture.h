// The host of the generic TAR handler tests: volumes read by the generic TAR file system.
#pragma once

#include "TapeFixture.h"

#include "FileSystems/TarReelFS/CGenericTarFileSystem.h"
#include "FileSystems/TarReelFS/CGenericTarFileSystemOperation.h"
#include "frame/CInstance.h"

class TarTape : public TapeFixture
{
protected:
    CTapeFileSystem* CreateFileSystem() override
    {
        return static_cast<CGenericTarFileSystem*>(Instance.Create(&System));
    }

    CGenericTarFileSystem& FileSystemOf(const CVolumePointer& volume)
    {
        return static_cast<CGenericTarFileSystem&>(TapeFileSystemOf(volume));
    }

    CInstance<CArchiveFileSystem, CGenericTarFileSystem> Instance;
};
