#include "FileSystems/PoolReelFS/CActiveCircleFileSystem.h"

#include "vnservice/ErrorGenerators.h"
#include "vnservice/HostErrors.h"

// Scans of Active Circle tapes and restores from them come with the generic TAR scan and restore, whose
// header reading and restore plumbing they share; until then they say so instead of pretending to work.
namespace
{
CStatus NotBuilt(int line, const char* what)
{
    return CErrorGenMessage("ActiveCircleOps", line, HostErrorNotOffered, {what});
}
} // namespace

CStatus CActiveCircleFileSystem::ReadUserFile(CArchiveFileSystemOperation*)
{
    return NotBuilt(__LINE__, "restores from Active Circle tapes yet");
}

CStatus CActiveCircleFileSystem::ReadFragment(CArchiveFileSystemOperation*)
{
    return NotBuilt(__LINE__, "restores from Active Circle tapes yet");
}

CStatus CActiveCircleFileSystem::GetNextItem(CArchiveFileSystemOperation*)
{
    return NotBuilt(__LINE__, "scans of Active Circle tapes yet");
}
