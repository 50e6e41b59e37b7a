// A handle on one page of a catalogue list: its kind, the type byte and bytes of the entry at an offset,
// the lock to hold while changing them and the mark that they changed. Copies share the page's bytes,
// which stay valid while any handle holds them. Each call takes the list's lock; the data lock is the
// list's lock too, so page bytes never change under a thread that is comparing or loading records.
#pragma once

#include "pagelist/CFileListOffset.h"

#include <cstdint>
#include <memory>
#include <span>

class CFileListInternal;
class CSyncObject;
struct CFileListPageStore;

class CFileListPage
{
public:
    // A handle on no page of `list`.
    explicit CFileListPage(CFileListInternal& list) : List(&list) {}
    CFileListPage(CFileListInternal& list, std::shared_ptr<CFileListPageStore> store)
        : List(&list), Store(std::move(store))
    {
    }

    bool IsObjectPage() const;
    // The stored type byte of the entry at `at`; throws ERROR_FILE_CORRUPT when no entry starts there.
    std::uint8_t GetObjectType(const CFileListOffset& at) const;
    // The bytes at `at`: on an object page the whole entry, or its payload alone when payloadOnly; on a
    // plain page everything from `at` to the page's end. Throws ERROR_FILE_CORRUPT when `at` does not
    // lie in this page.
    std::span<unsigned char> GetData(const CFileListOffset& at, bool payloadOnly) const;
    CSyncObject* DataLock() const;
    // Marks the page changed, so that the next commit stores it.
    void Written();

private:
    unsigned char* Entry(const CFileListOffset& at) const;

    CFileListInternal* List;
    std::shared_ptr<CFileListPageStore> Store;
};
