#include "vnservice/CArchiveFileSystemOperation.h"

#include "vnservice/CBlockBuffer.h"
#include "vnservice/CVolume.h"

CArchiveFileSystemOperation::CArchiveFileSystemOperation(CPriority priority, CResourceAffinity affinity,
                                                         CVolumePointer volume, CRequestPointer request)
    : Volume(std::move(volume)), Priority(priority), Affinity(affinity), Request(std::move(request))
{
}

CArchiveFileSystemOperation::~CArchiveFileSystemOperation()
{
    delete BlockBuffer;
}
