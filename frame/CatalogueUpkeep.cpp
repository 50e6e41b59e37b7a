#include "frame/CatalogueUpkeep.h"

#include "frame/CCatDirectory.h"
#include "frame/CCatExtent.h"
#include "frame/CCatReference.h"
#include "frame/CCatSearch.h"
#include "frame/CCatSync.h"
#include "frame/CCatalogueHeader.h"
#include "frame/VersionRecords.h"
#include "win/Allocation.h"
#include "win/FileTime.h"

#include <algorithm>
#include <cstddef>
#include <memory>
#include <vector>

namespace
{
// Lets `change` change the counters of the header in place, a read-modify-write that copies none of
// the rest. A header that cannot be read is left alone, silently.
template <class Change> void UpdateHeader(CFileListInternal& list, CCatalogueItem& record, Change change)
{
    constexpr std::size_t CountersStart = offsetof(CCatalogueHeader, RecordCount);
    constexpr std::size_t CountersEnd = offsetof(CCatalogueHeader, Reserved2);
    CSingleLock listLock(list.Lock(), true);
    CSingleLock recordLock(&record.Lock, true);
    list.ChangeUserHeader(CountersStart, CountersEnd - CountersStart,
                          [&](void* header) { change(*static_cast<CCatalogueHeader*>(header)); });
}

// The directory a record lies in: its path before the last '/', or empty at the top level.
WStringView ParentOf(WStringView path)
{
    std::size_t slash = path.rfind(u'/');
    return slash == WStringView::npos ? WStringView() : path.substr(0, slash);
}

// The first record of kind 0 or 1 among the records of `path` whose keys match (AnyKey matches all):
// records of the same version of other kinds, its extents, are passed over. Empty when there is none.
CFileListPointer<CCatalogueItem> FindVersion(CFileListInternal& list, const WString& path,
                                             std::uint32_t segmentIndex, std::uint32_t orderKey1,
                                             std::uint32_t orderKey2)
{
    CFileListPointer<CCatalogueItem> version;
    ForEachVersionRecord(list, path, segmentIndex, orderKey1, orderKey2,
                         [&](CFileListPointer<CCatalogueItem>& handle)
                         {
                             std::uint8_t kind = handle.Get()->GetObjectType(false);
                             if (kind != KindArchive && kind != KindReference)
                                 return true;
                             version = std::move(handle);
                             return false;
                         });
    return version;
}

// After a directory or a file below a directory was added: a directory's flags no longer hold. The
// records are looked at in place; only a directory whose flags are set is loaded, to clear them.
void ClearDirectoryFlags(CFileListInternal& list, WStringView dir)
{
    CFileListInternal::iterator at = list.find(CCatSearch(dir, AnyKey, AnyKey, AnyKey), 1);
    if (at == list.end(1))
        return;
    const CFileListEntry entry = at.GetEntry();
    // The search lands on the first record not less than the key, which need not be this directory.
    if ((entry.Type & 0x0F) != KindDirectory || !SameUnits(entry.Path, dir) ||
        (entry.Type & CCatDirectory::FlagMask) == 0)
        return;
    CFileListPointer<CCatalogueItem> handle = GetPointer<CCatalogueItem>(at);
    CCatalogueItem* record = handle.Get();
    std::uint8_t type = record->GetObjectType(true);
    CSingleLock lock(handle.GetPage().DataLock(), true);
    if (record->SetObjectType(static_cast<std::uint8_t>(type & ~CCatDirectory::FlagMask), handle.GetPage(),
                              handle.GetOffset()))
        handle.GetPage().Written();
}
} // namespace

void AddParentDirectories(CFileListInternal& list, const WString& path, CFileListInternal::iterator at,
                          bool keepWholePath)
{
    const WStringView dir = keepWholePath ? WStringView(path) : ParentOf(path);
    if (dir.empty())
        return;
    CSingleLock lock(list.Lock(), true);
    WStringView prev;
    // The record before this one; stepping back from the first record stays on it.
    CFileListInternal::iterator before = at;
    if (!(--before == at))
    {
        const CFileListEntry record = before.GetEntry();
        std::uint8_t kind = record.Type & 0x0F;
        // A directory's path stays whole; other records lie in the directory above them.
        prev = kind == KindArchive || kind == KindReference || kind == KindExtent ? ParentOf(record.Path)
                                                                                  : record.Path;
    }
    if (SameUnits(dir, prev))
    {
        ClearDirectoryFlags(list, dir);
        return;
    }
    // Index 1 puts a directory right before its contents, so the directories that the record before this
    // one shares with it exist, and the rest are missing.
    std::size_t i = std::mismatch(dir.begin(), dir.end(), prev.begin(), prev.end()).first - dir.begin();
    while (i < dir.size())
    {
        i = std::min(dir.find(u'/', i + 1), dir.size());
        // Made as the list's factory makes record objects, through the allocator, which may run short.
        std::unique_ptr<CCatDirectory> directory(
            NewNoThrow<CCatDirectory>(WString(dir.substr(0, i)), GetSystemTimeAsFileTime()));
        if (!directory)
            ThrowWin32Error(ERROR_NOT_ENOUGH_MEMORY);
        if (std::uint32_t error = list.Append(*directory, true))
            ThrowWin32Error(error);
    }
}

void CountArchive(CFileListInternal& list, CCatArchive& record)
{
    if (record.GetObjectType(false) != KindArchive)
        return;
    if (record.OrderKey2 > 1)
    {
        CFileListPointer<CCatalogueItem> found = FindVersion(list, record.GetKeyPath(), record.SegmentIndex,
                                                             record.OrderKey1, record.OrderKey2 - 1);
        if (!found.IsEmpty())
            CountSupersededVersion(record, list, found);
    }
    UpdateHeader(list, record,
                 [&](CCatalogueHeader& header)
                 {
                     header.RecordCount += 1;
                     header.ArchiveCount += 1;
                     header.TotalBytes += record.GetSegmentLength();
                 });
}

void CountSupersededVersion(CCatalogueItem& inserting, CFileListInternal& list,
                            const CFileListPointer<CCatalogueItem>& found)
{
    CFileListPointer<CCatalogueItem> current = found;
    // Records of kind 1 followed so far: a chain that leads back to one of them ends the search.
    std::vector<CFileListOffset> followed;
    while (current.Get()->GetObjectType(false) == KindReference)
    {
        if (std::find(followed.begin(), followed.end(), current.GetOffset()) != followed.end())
            return;
        followed.push_back(current.GetOffset());
        auto* reference = static_cast<CCatReference*>(current.Get());
        current = FindVersion(list, reference->GetPath(), AnyKey, reference->TargetOrderKey1, AnyKey);
        if (current.IsEmpty())
            return;
    }
    if (current.Get()->GetObjectType(false) != KindArchive)
        return;
    auto* superseded = static_cast<CCatArchive*>(current.Get());
    UpdateHeader(list, inserting,
                 [&](CCatalogueHeader& header)
                 {
                     header.RecordCount += 1;
                     header.SupersededCount += 1;
                     header.SupersededBytes += superseded->GetSegmentLength();
                 });
}

void CCatArchive::PostInsert(CFileListInternal& list, const CFileListOffset& at, int index)
{
    if (index != 1)
        return;
    CountArchive(list, *this);
    AddParentDirectories(list, GetKeyPath(), CFileListInternal::iterator(list, 1, at), false);
}

void CCatExtent::PostInsert(CFileListInternal& list, const CFileListOffset& at, int index)
{
    if (index != 1)
        return;
    UpdateHeader(list, *this, [](CCatalogueHeader& header) { header.RecordCount += 1; });
    AddParentDirectories(list, GetKeyPath(), CFileListInternal::iterator(list, 1, at), false);
}

namespace
{
// Directory and synchronisation records are counted where they enter index 0: a synchronisation record
// is, a directory (index 1 only) is not.
void CountRecordInIndex0(CFileListInternal& list, CCatalogueItem& record, int index)
{
    if (index == 0)
        UpdateHeader(list, record, [](CCatalogueHeader& header) { header.RecordCount += 1; });
}
} // namespace

void CCatDirectory::PostInsert(CFileListInternal& list, const CFileListOffset&, int index)
{
    CountRecordInIndex0(list, *this, index);
}

void CCatSync::PostInsert(CFileListInternal& list, const CFileListOffset&, int index)
{
    CountRecordInIndex0(list, *this, index);
}
