// The context of one scan of a generic TAR volume, on what every scan of TAR archives carries. Owned by
// the host; used by the scan's operation thread.
#pragma once

#include "FileSystems/TarFile/CTarGetOperationContext.h"

#include <cstdint>

class CGenericTarFileSystem;

class CGenericTarGetOperationContext : public CTarGetOperationContext
{
public:
    CGenericTarGetOperationContext(CGenericTarFileSystem* fileSystem, CVolumePointer volume,
                                   CMediumPointer medium)
        : CTarGetOperationContext(std::move(volume), std::move(medium)), FileSystem(fileSystem)
    {
    }

    CGenericTarFileSystem* FileSystem;
    std::uint64_t DataEnd = 0;
};

class CGenericTarReplicationContext : public CReplicationContext
{
};
