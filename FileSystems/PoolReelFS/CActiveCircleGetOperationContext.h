// The contexts the Active Circle file system makes for the host: the context of one scan of a volume,
// which carries the position reached and the archive counter from item to item, and the replication
// context, which holds nothing. Owned by the host; used by the scan's operation thread.
#pragma once

#include "FileSystems/TarFile/CTarGetOperationContext.h"

class CActiveCircleFileSystem;

class CActiveCircleGetOperationContext : public CTarGetOperationContext
{
public:
    CActiveCircleGetOperationContext(CActiveCircleFileSystem* fileSystem, CVolumePointer volume,
                                     CMediumPointer medium)
        : CTarGetOperationContext(std::move(volume), std::move(medium)), FileSystem(fileSystem)
    {
    }

    CActiveCircleFileSystem* FileSystem;
};

class CActiveCircleReplicationContext : public CReplicationContext
{
};
