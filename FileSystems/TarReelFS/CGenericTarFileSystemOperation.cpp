#include "FileSystems/TarReelFS/CGenericTarFileSystemOperation.h"

#include "FileSystems/TarFile/CGenericTarFile.h"
#include "vnservice/CVolume.h"

CGenericTarFileSystemOperation::CGenericTarFileSystemOperation(CPriority priority, CResourceAffinity affinity,
                                                               CVolumePointer volume, CRequestPointer request)
    : CTapeOperation(priority, affinity, std::move(volume), std::move(request))
{
}

CGenericTarFileSystemOperation::~CGenericTarFileSystemOperation()
{
    delete TarFile;
}
