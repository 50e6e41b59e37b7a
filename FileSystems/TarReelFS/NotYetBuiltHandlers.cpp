#include "FileSystems/TarReelFS/CGenericTarFileSystem.h"

#include "vnservice/ErrorGenerators.h"
#include "vnservice/HostErrors.h"

// Recognition, scan, restore and the block estimate of generic TAR tapes come with the tape drive; until
// then they say so instead of pretending to work.
namespace
{
CStatus NotBuilt(int line, const char* what)
{
    return CErrorGenMessage("GenericTarOps", line, HostErrorNotOffered, {what});
}
} // namespace

CStatus CGenericTarFileSystem::ReadUserFile(CArchiveFileSystemOperation*)
{
    return NotBuilt(__LINE__, "restores from generic TAR tapes yet");
}

CStatus CGenericTarFileSystem::ReadFragment(CArchiveFileSystemOperation*)
{
    return NotBuilt(__LINE__, "restores from generic TAR tapes yet");
}

CStatus CGenericTarFileSystem::GetNextItem(CArchiveFileSystemOperation*)
{
    return NotBuilt(__LINE__, "scans of generic TAR tapes yet");
}

CStatus CGenericTarFileSystem::EstimateBlocks(std::uint32_t, CArchiveFileSystemOperation*,
                                              std::uint64_t& blocks, std::uint64_t& bytes, std::uint8_t& flag)
{
    blocks = bytes = 0;
    flag = 0;
    return NotBuilt(__LINE__, "block estimates for generic TAR tapes yet");
}
