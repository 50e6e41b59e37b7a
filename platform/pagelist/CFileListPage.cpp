#include "pagelist/CFileListPage.h"

#include "pagelist/CFileListInternal.h"
#include "pagelist/CFileListPageStore.h"
#include "pagelist/ListErrors.h"
#include "win/WinError.h"

bool CFileListPage::IsObjectPage() const
{
    return Store && Store->Kind == CPageKind::Object;
}

unsigned char* CFileListPage::Entry(const CFileListOffset& at) const
{
    CSingleLock lock(List->Lock(), true);
    if (!IsObjectPage() || at.Page != Store->Number || Store->FindEntry(at.Position) < 0)
        ThrowWin32Error(ERROR_FILE_CORRUPT);
    return Store->Bytes.data() + at.Position;
}

std::uint8_t CFileListPage::GetObjectType(const CFileListOffset& at) const
{
    return PageEntry::Type(Entry(at));
}

std::span<unsigned char> CFileListPage::GetData(const CFileListOffset& at, bool payloadOnly) const
{
    if (IsObjectPage())
    {
        unsigned char* entry = Entry(at);
        if (payloadOnly)
            return {entry + (PageEntry::Payload(entry) - entry), PageEntry::PayloadSize(entry)};
        return {entry, PageEntry::Size(entry)};
    }
    CSingleLock lock(List->Lock(), true);
    if (!Store || at.Page != Store->Number || at.Position > Store->Bytes.size())
        ThrowWin32Error(ERROR_FILE_CORRUPT);
    // The bytes of the header page may be written through what is handed out here.
    List->KeepHeaderForUndo(0, CFileListInternal::UserHeaderSize);
    return {Store->Bytes.data() + at.Position, Store->Bytes.size() - at.Position};
}

CSyncObject* CFileListPage::DataLock() const
{
    return List->Lock();
}

void CFileListPage::Written()
{
    CSingleLock lock(List->Lock(), true);
    if (Store)
        Store->Dirty = true;
}
