// How much tape an operation would take on a generic TAR tape, in 512-byte blocks: the header blocks a
// member of the name takes in the tape's dialect, plus, for a file version already on tape, the blocks of
// its first catalogued extent.
#include "FileSystems/TapeFS/FileSystemErrors.h"
#include "FileSystems/TarFile/CGenericTarFile.h"
#include "FileSystems/TarFile/TarEstimate.h"
#include "FileSystems/TarReelFS/CGenericTarFileSystem.h"
#include "frame/CCatExtent.h"
#include "frame/CFileListPointer.h"
#include "frame/VersionRecords.h"
#include "vnservice/CArchiveFileSystemOperation.h"
#include "vnservice/CUserFragment.h"
#include "vnservice/ErrorGenerators.h"
#include "vnservice/Opcodes.h"

namespace
{
constexpr char Source[] = "GenericTarOps";
// A record kind of the host's own that stands for a named entry without data; the plug-ins store none.
constexpr std::uint8_t KindNamedEntry = 6;

// A file version in a catalogue: its path and keys.
struct FileVersion
{
    WString Path;
    std::uint32_t SegmentIndex = 0;
    std::uint32_t OrderKey1 = 0;
    std::uint32_t OrderKey2 = 0;
};

// The blocks of the version's first extent in index 1; 0 when it has none. Throws the catalogue's Win32
// error numbers.
std::uint64_t FirstExtentBlocks(CFileListInternal& catalogue, const FileVersion& version)
{
    std::uint64_t blocks = 0;
    ForEachVersionRecord(catalogue, version.Path, version.SegmentIndex, version.OrderKey1, version.OrderKey2,
                         [&](const CFileListPointer<CCatalogueItem>& handle)
                         {
                             const CCatalogueItem& record = *handle.Get();
                             if (record.GetObjectType(false) != KindExtent)
                                 return true;
                             blocks = static_cast<const CCatExtent&>(record).BlockCount;
                             return false;
                         });
    return blocks;
}

// The name a path stands for in a header: the path without its anchor "0/".
CFileName MemberName(const WString& path)
{
    return CFileName(path.size() > 2 ? path.substr(2) : WString());
}
} // namespace

CStatus CGenericTarFileSystem::CountHeaderBlocks(const CFileName& name, std::uint64_t size,
                                                 std::uint64_t& blocks)
{
    blocks = 0;
    if (Standard == 2)
    {
        blocks = CGenericTarFile::CountGnuHeaderBlocks(name.GetText().size());
        return CStatus::Success();
    }
    CGenericTarFile header;
    return header.CountHeaderBlocks(VolumeID, name, size, blocks);
}

namespace
{
// Opcodes 3 and 4: the header blocks of a file version in the volume's catalogue and the blocks of its
// first extent.
CStatus EstimateFileVersion(CGenericTarFileSystem& fileSystem, CArchiveFileSystemOperation& operation,
                            std::uint64_t& blocks)
{
    CStatus status;
    CVolume& volume = *operation.Volume;
    CFileListInternal* catalogue = volume.Catalogue;
    if (!catalogue || !catalogue->IsOpen())
        return CErrorGenMessage(Source, __LINE__, ErrorCatalogueClosed, {volume.GetName()});
    FileVersion version;
    try
    {
        if (operation.Opcode == OpcodeWriteLabel)
        {
            // The first record the list holds decides.
            auto first = catalogue->begin();
            if (first != catalogue->end())
            {
                CFileListPointer<CCatalogueItem> handle = GetPointer<CCatalogueItem>(first);
                const CCatalogueItem& record = *handle.Get();
                std::uint8_t kind = record.GetObjectType(false);
                if (kind == KindArchive || kind == KindExtent)
                    version = {record.GetKeyPath(), 0, 0, 1};
                else if (kind == KindNamedEntry)
                    status = fileSystem.CountHeaderBlocks(MemberName(record.GetKeyPath()),
                                                          operation.ItemFileSize(), blocks);
            }
        }
        else if (operation.ItemFileStart() != 0)
        {
            const CUserFragment& fragment = *operation.ItemFragment();
            version = {fragment.GetCatalogueFileName().GetText(), fragment.SegmentIndex, fragment.OrderKey1,
                       fragment.OrderKey2};
        }
    }
    catch (std::uint32_t error)
    {
        status = CErrorNumber(Source, __LINE__, ErrorCatalogue, error, volume.GetIDAsString());
    }
    if (version.Path.empty() || status.Failed())
        return status;
    status = fileSystem.CountHeaderBlocks(MemberName(version.Path), operation.ItemFileSize(), blocks);
    if (status.Failed())
        return status;
    catalogue->BeginQuery(1);
    try
    {
        blocks += FirstExtentBlocks(*catalogue, version);
    }
    catch (std::uint32_t error)
    {
        status = CErrorNumber(Source, __LINE__, ErrorCatalogue, error, volume.GetIDAsString());
    }
    catalogue->EndQuery(1);
    return status;
}
} // namespace

CStatus CGenericTarFileSystem::EstimateBlocks(CMedium*, CArchiveFileSystemOperation* operation,
                                              std::uint64_t& blocks, std::uint64_t& bytes, std::uint8_t& flag)
{
    blocks = 0;
    CStatus status;
    auto count = [this](const CFileName& name, std::uint64_t size, std::uint64_t& headerBlocks)
    { return CountHeaderBlocks(name, size, headerBlocks); };
    if (!EstimateTarOpcode(*this, *operation, count, blocks, status))
        status = EstimateFileVersion(*this, *operation, blocks);
    bytes = blocks * 512;
    flag = 0;
    return status;
}
