#include "pagelist/CFileListFile.h"

#include "pagelist/CFileListPage.h"
#include "pagelist/CFileListPageStore.h"
#include "pagelist/ListErrors.h"
#include "win/CriticalSection.h"
#include "win/WinError.h"

#include <cstring>

bool CFileListFile::Save(const CFileListPage& page, const CFileListOffset& at) const
{
    std::span<unsigned char> stored = page.GetData(at, page.IsObjectPage());
    std::size_t size = GetDataSize();
    if (page.IsObjectPage() ? stored.size() != size : stored.size() < size)
        return false;
    std::memcpy(stored.data(), GetData(), size);
    return true;
}

void CFileListFile::Load(CFileListPage& page, const CFileListOffset& at)
{
    CSingleLock lock(page.DataLock(), true);
    std::span<unsigned char> stored = page.GetData(at, false);
    if (page.IsObjectPage())
    {
        if (!LoadEntry(stored.data()))
            ThrowWin32Error(ERROR_FILE_CORRUPT);
        return;
    }
    if (stored.size() < GetDataSize())
        ThrowWin32Error(ERROR_FILE_CORRUPT);
    std::memcpy(GetData(), stored.data(), GetDataSize());
}

bool CFileListFile::LoadEntry(const unsigned char* entry)
{
    std::size_t size = PageEntry::PayloadSize(entry);
    if (size != GetDataSize())
        return false;
    Path.resize(PageEntry::PathUnits(entry));
    std::memcpy(Path.data(), PageEntry::Path(entry), 2 * Path.size());
    std::memcpy(GetData(), PageEntry::Payload(entry), size);
    return true;
}

bool CFileListFile::SetObjectType(std::uint8_t type, const CFileListPage& page,
                                  const CFileListOffset& at) const
{
    if (!page.IsObjectPage())
        return false;
    std::span<unsigned char> entry = page.GetData(at, false);
    if (entry[0] == type)
        return false;
    entry[0] = type;
    return true;
}
