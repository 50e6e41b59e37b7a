#include "FileSystems/TapeFS/TapeScanItems.h"

#include "FileSystems/TapeFS/CTapeFileSystem.h"
#include "frame/CCatArchive.h"
#include "frame/CCatalogueHeader.h"
#include "pagelist/CFileListInternal.h"
#include "vnservice/CFragmentFile.h"
#include "vnservice/CSystem.h"
#include "vnservice/ErrorGenerators.h"
#include "win/Allocation.h"

#include <cstring>

CStatus StoreLabelId(CFileListInternal* catalogue, std::uint32_t replica, const std::uint8_t (&labelId)[48],
                     bool unreadableFails, const char* source)
{
    if (!catalogue || replica >= CCatalogueHeader::ReplicaSlots)
        return CStatus::Success();
    CCatalogueHeader header;
    if (std::uint32_t error = catalogue->GetUserHeader(&header, sizeof header))
        return unreadableFails ? CErrorNumber::OsError(source, __LINE__, error) : CStatus::Success();
    auto& slot = header.ReplicaSlot[replica].LabelId;
    if (std::memcmp(slot, labelId, sizeof slot) == 0)
        return CStatus::Success();
    std::memcpy(slot, labelId, sizeof slot);
    if (std::uint32_t error = catalogue->SetUserHeader(&header, sizeof header))
        return CErrorNumber::OsError(source, __LINE__, error);
    return CStatus::Success();
}

CStatus MakeFileFragment(CTapeFileSystem& fileSystem, const CCatArchive& record, const char* source,
                         CFragmentFile*& file)
{
    // An empty file has no data to restore; any other is restored into a file of the host's.
    file = record.FileSize > 0
               ? static_cast<CFragmentFile*>(NewNoThrow<CLocalFragmentFile>(fileSystem.System))
               : NewNoThrow<CEmptyFragmentFile>(fileSystem.System, 0);
    if (!file)
        return CErrorGenMemory(source, __LINE__,
                               record.FileSize > 0 ? sizeof(CLocalFragmentFile) : sizeof(CEmptyFragmentFile));
    CStatus status =
        file->ConstructFromCatalogue(CFileName(fileSystem.GetFileSystemType()), record.GetFileRecord());
    if (status.Failed())
    {
        delete file;
        file = nullptr;
    }
    return status;
}
