#include "FileSystems/TapeFS/CLabelledTapeFileSystem.h"

#include "vnservice/CFragmentLocation.h"
#include "vnservice/CMedium.h"
#include "vnservice/CUserFragment.h"
#include "vnservice/ErrorGenerators.h"

namespace
{
constexpr char16_t KeyBlockSize[] = u"BlockSize";
// Blocks beyond the fragment's own that must be on tape as well before it counts as written.
constexpr std::uint64_t TrailingBlocks = 3;
} // namespace

CStatus CLabelledTapeFileSystem::Save(CSystem* system, CPersistanceEngine::CNode& node)
{
    CStatus status = CTapeFileSystem::Save(system, node);
    if (status.IsSuccess())
        status = node.WriteNumber(KeyBlockSize, BlockSize);
    return status;
}

CStatus CLabelledTapeFileSystem::Load(CSystem* system, CPersistanceEngine::CNode& node)
{
    CStatus status = CTapeFileSystem::Load(system, node);
    if (status.IsSuccess())
        status = node.ReadNumber(KeyBlockSize, BlockSize);
    return status;
}

bool CLabelledTapeFileSystem::IsFragmentWritten(CMedium* medium, CUserFragment* fragment,
                                                const CFragmentLocation& location)
{
    const std::uint64_t start = location.StartPosition;
    // Until recognition or Load has set the block size, no count of blocks can be made.
    if (start == 0 || BlockSize == 0)
        return false;
    const std::uint64_t size = fragment->ComputeFragmentFileSize();
    const std::uint64_t blocks = size / BlockSize + (size % BlockSize != 0 ? 1 : 0);
    // start + blocks + the trailing blocks <= last, without letting the sum wrap.
    const std::uint64_t last = medium->LastWrittenBlock;
    return start <= last && blocks <= last - start && TrailingBlocks <= last - start - blocks;
}
