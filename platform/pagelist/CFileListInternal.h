// The paged catalogue list: records stored as entries in numbered pages, a 2096-byte user header, and
// indexes that keep the records in the order of the list type (CFileListOrdering), read in place from
// the entries. Pages and header live in the host database under a catalogue key and are committed there
// in one transaction, so a crash leaves the catalogue as of its last commit. One recursive lock guards
// the whole list (pages, indexes, header); every call takes it, so the list may be shared between
// threads, and a record's PostInsert may append to and search the list.
//
// Entry points for the host's volume code:
//   std::uint32_t CFileList<T, H, N, A>::Open(CDatabase& db, const std::string& key, bool create,
//                                              CFileListInternal*& out)     opens a volume's catalogue
//   static CStatus CFileListInternal::Prepare(CDatabase& db)         makes the catalogues' table
//   static std::uint32_t CFileListInternal::Exists(CDatabase& db, const std::string& key, bool& exists)
//   static std::uint32_t CFileListInternal::Drop(CDatabase& db, const std::string& key)
//   std::uint32_t CFileListInternal::Commit()    at the host's save points (joins an open transaction)
//   std::uint32_t CFileListInternal::Close()     commits and closes; the host then deletes the list
// The key is the volume identity's text (CVolumeID::ToString). Every call returns a Win32 error number,
// 0 when done.
#pragma once

#include "pagelist/CFileListEntry.h"
#include "pagelist/CFileListFile.h"
#include "pagelist/CFileListIndex.h"
#include "pagelist/CFileListOffset.h"
#include "pagelist/CFileListPage.h"
#include "vnservice/CStatus.h"
#include "win/Allocation.h"
#include "win/CriticalSection.h"
#include "win/WinError.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class CDatabase;
struct CFileListPageStore;

// How a list type orders its indexes, on stored entries read in place.
struct CFileListOrdering
{
    // The order of index `index` among stored records: <0, 0 or >0 as `a` sorts before, with or after
    // `b`. It must be a strict weak order; records that compare equal keep append order.
    int (*Compare)(const CFileListEntry& a, const CFileListEntry& b, int index);
    // Whether a stored record sorts before the search key `key` in index `index`. It must hold for a
    // leading run of the index and for nothing after it: find lands on the first record where it fails.
    bool (*PrecedesKey)(const CFileListEntry& entry, const CFileListFile& key, int index);
};

class CFileListInternal
{
public:
    // Makes a record object for a stored type byte: null when memory runs out; throws ERROR_FILE_CORRUPT
    // (as a Win32 number) for a type byte it does not know.
    using ObjectFactory = CFileListFile* (*)(std::uint8_t type);

    static constexpr std::size_t UserHeaderSize = 2096;

    // A position in one index, or in storage order (an index number outside the list's indexes).
    // Stepping past either end stays there. Uses of an iterator take the list's lock.
    class iterator
    {
    public:
        // On the record at `at` in `index`; the end when the record is not in that index.
        iterator(CFileListInternal& list, int index, const CFileListOffset& at);

        bool operator==(const iterator& other) const;
        iterator& operator++();
        iterator& operator--();
        // Where the current record lies; an empty offset at the end.
        CFileListOffset CheckOffset() const;
        // The current record read in place, which spares making a record object to look at it. Valid
        // while the caller holds the list's lock (Lock()); throws ERROR_FILE_CORRUPT at the end.
        CFileListEntry GetEntry() const;
        CFileListInternal* GetList() const { return List; }

    private:
        friend class CFileListInternal;
        iterator(CFileListInternal* list, int index, const CFileListIndex::CCursor& cursor)
            : List(list), Index(index), Cursor(cursor)
        {
        }
        iterator(CFileListInternal* list, std::uint32_t page, std::uint32_t slot)
            : List(list), Index(-1), Page(page), Slot(slot)
        {
        }

        CFileListInternal* List;
        int Index;
        // In an index: the record and its place, found again when the index has changed since.
        CFileListIndex::CCursor Cursor;
        // In storage order.
        std::uint32_t Page = 0;
        std::uint32_t Slot = 0;
    };

    CFileListInternal(int indexCount, ObjectFactory factory, CFileListOrdering ordering);
    CFileListInternal(const CFileListInternal&) = delete;
    CFileListInternal& operator=(const CFileListInternal&) = delete;
    // Commits what is pending (a failure is dropped) and closes.
    virtual ~CFileListInternal();

    // Makes the table the catalogues are kept in, when the database has none. A host makes it with the
    // rest of its home's tables; the calls below make it too, for a database that holds catalogues alone.
    static CStatus Prepare(CDatabase& db);
    static std::uint32_t Exists(CDatabase& db, const std::string& key, bool& exists);
    // Removes the catalogue stored under `key`, header and pages; one that does not exist is no fault. A
    // list open on it must be closed first, or its next commit stores its pages again.
    static std::uint32_t Drop(CDatabase& db, const std::string& key);
    // Reads the catalogue stored under `key` and replays its records in storage order into the indexes.
    // A catalogue that does not exist is created when `create` is set; otherwise the call succeeds and
    // the list stays closed (IsOpen false). ERROR_FILE_CORRUPT when the stored pages do not parse.
    std::uint32_t Open(CDatabase& db, const std::string& key, bool create);
    // Stores the changed pages and the header in one transaction (a save point inside one the caller
    // has begun). Inside an Append or a query the commit waits for its end. Takes the database's lock
    // before the list's: do not call it while holding the list's lock.
    std::uint32_t Commit();
    // Commits and closes; ERROR_ACCESS_DENIED inside an append or a query, which would lose its records.
    std::uint32_t Close();
    bool IsOpen() const;

    std::uint32_t GetUserHeader(void* buffer, std::size_t size);
    std::uint32_t SetUserHeader(const void* buffer, std::size_t size);
    // A read-modify-write of the header in place: `change` gets the whole header's bytes under the
    // list's lock and may change bytes [offset, offset + size) of them. Fails as GetUserHeader does,
    // without calling `change`; ERROR_INVALID_PARAMETER for a range beyond the header.
    template <class Change>
    std::uint32_t ChangeUserHeader(std::size_t offset, std::size_t size, Change change)
    {
        CSingleLock lock(&ListLock, true);
        if (std::uint32_t error = CheckHeaderRead(UserHeaderSize))
            return error;
        if (offset > UserHeaderSize || size > UserHeaderSize - offset)
            return ERROR_INVALID_PARAMETER;
        change(static_cast<void*>(HeaderForChange(offset, size)));
        return ERROR_SUCCESS;
    }

    // Stores a copy of the record, enters it into each index whose QueryInsert answers true and then
    // calls its PostInsert for each of them, unless `fromUpkeep` says that the record is made by the
    // upkeep of another one. When PostInsert throws, everything the append did is undone and the thrown
    // number is returned. ERROR_INVALID_PARAMETER for a record that the list could not store and read
    // back (unknown type, payload other than its type's, entry larger than a page).
    std::uint32_t Append(CFileListFile& record, bool fromUpkeep = false);
    // Whether a record of a path of that many UTF-16 units and a payload of that many bytes fits an
    // entry of a page.
    static bool EntryFits(std::size_t pathUnits, std::size_t payload);

    // The first record of `index` that is not less than `key`, or end(index).
    iterator find(const CFileListFile& key, int index);
    iterator begin(int index);
    iterator end(int index);
    // Storage order.
    iterator begin();
    iterator end();

    // Bracket a search and walk: the list stays locked from BeginQuery to EndQuery, which then commits.
    void BeginQuery(int index);
    void EndQuery(int index);

    CFileListPage GetPage(std::uint32_t number);
    CFileListFile* CreateObject(std::uint8_t type);
    CFileListFile* CreatePointer(std::size_t size);
    CSyncObject* Lock() { return &ListLock; }
    int GetIndexCount() const { return IndexCount; }

    // Test seam: the next `skip` header reads succeed and the one after fails with ERROR_READ_FAULT.
    void FailHeaderReadAfter(int skip) { HeaderReadFault = skip; }

private:
    friend class CFileListPage;

    // Where an append began, to undo it.
    struct CMark
    {
        std::size_t PageCount;
        std::size_t LastPageBytes;
        std::size_t LastPageEntries;
        std::size_t IndexedCount;
        std::size_t HeaderChangeCount;
    };
    // A range of the header that an append in progress changed; its bytes before the change follow
    // those of the changes before it in HeaderBefore.
    struct CHeaderChange
    {
        std::size_t Offset;
        std::size_t Size;
    };
    // How many recent searches of each index find remembers.
    static constexpr std::size_t RememberedSearches = 2;
    // A search remembered: its key as the list would store it, where the search landed and when.
    struct CFoundKey
    {
        // Whether `key` is this one: same type byte, path and payload, so that it orders the same.
        bool Holds(const CFileListFile& key) const;
        void Take(const CFileListFile& key);

        std::uint8_t Type = 0;
        WString Path;
        std::vector<unsigned char> Payload;
        CFileListIndex::CCursor Landing;
        std::uint64_t Used = 0;
    };
    void Reset();
    std::uint32_t LoadPages(CDatabase& db, const std::string& key, bool& found);
    std::uint32_t Replay();
    std::uint32_t WritePages();
    // True when nothing is to be committed now: the list is closed, or the append or query in progress
    // commits at its end.
    bool CommitWaits();
    CFileListPageStore& Header() const;
    // An object of the type's class, made once, that tells what the list may store under a type byte.
    CFileListFile& Prototype(std::uint8_t type);
    CFileListOffset StoreEntry(const CFileListFile& record);
    void AddPage(std::shared_ptr<CFileListPageStore> page);
    void InsertIntoIndex(int index, const CFileListOffset& at);
    CMark MakeMark() const;
    void RollBack(const CMark& mark);
    // As GetUserHeader checks a read: open, whole header, the fault seam.
    std::uint32_t CheckHeaderRead(std::size_t size);
    // The header's bytes, of which [offset, offset + size) are about to change: kept for undoing the
    // appends in progress, and stored by the next commit.
    unsigned char* HeaderForChange(std::size_t offset, std::size_t size);
    // Keeps header bytes [offset, offset + size) as they are now, should the appends in progress be
    // undone; nothing outside an append.
    void KeepHeaderForUndo(std::size_t offset, std::size_t size);
    bool IsIndex(int index) const { return index >= 0 && index < IndexCount; }

    CCriticalSection ListLock;
    const int IndexCount;
    const ObjectFactory Factory;
    const CFileListOrdering Ordering;
    CDatabase* Database = nullptr;
    std::string Key;
    bool Opened = false;
    std::vector<std::shared_ptr<CFileListPageStore>> Pages;
    // The bytes of each page, for the comparisons that read entries in place.
    std::vector<const unsigned char*> PageBytes;
    std::vector<std::unique_ptr<CFileListIndex>> Indexes;
    // The record each index received last: an append's upkeep asks for it at once, and replays and
    // sorted appends insert right after it.
    std::vector<CFileListIndex::CCursor> LastInserted;
    // Each index's last searches and the latest of them: the upkeep of a file's records searches for its
    // directory again and again, and a record is appended where the search for its key landed.
    std::vector<std::array<CFoundKey, RememberedSearches>> LastFound;
    std::vector<CFileListIndex::CCursor> LatestFound;
    std::uint64_t Searches = 0;
    // What the appends in progress changed in the header, in order, and the bytes they changed; both keep
    // their room from one append to the next.
    std::vector<CHeaderChange> HeaderChanges;
    std::vector<unsigned char> HeaderBefore;
    // The records entered into indexes by the appends in progress, to undo them.
    std::vector<std::pair<int, CFileListOffset>> AppendedRecords;
    std::array<std::unique_ptr<CFileListFile>, 256> Prototypes;
    int AppendDepth = 0;
    int QueryDepth = 0;
    bool CommitPending = false;
    int HeaderReadFault = -1;
};

// The list type a catalogue is opened as: records of class T made by A::Create and ordered by
// T::CompareEntries and T::EntryLessThan (see CFileListOrdering), user header H, N indexes.
template <class T, class H, int N, class A> class CFileList : public CFileListInternal
{
    static_assert(sizeof(H) == UserHeaderSize);

public:
    CFileList() : CFileListInternal(N, &A::Create, {&T::CompareEntries, &T::EntryLessThan}) {}

    // A new list for the catalogue under `key` (see CFileListInternal::Open); the caller owns it and
    // deletes it after Close. Fails with ERROR_NOT_ENOUGH_MEMORY when the list cannot be allocated.
    static std::uint32_t Open(CDatabase& db, const std::string& key, bool create, CFileListInternal*& out);
};

template <class T, class H, int N, class A>
std::uint32_t CFileList<T, H, N, A>::Open(CDatabase& db, const std::string& key, bool create,
                                          CFileListInternal*& out)
{
    out = nullptr;
    CFileList* list = NewNoThrow<CFileList>();
    if (!list)
        return ERROR_NOT_ENOUGH_MEMORY;
    if (std::uint32_t error = list->CFileListInternal::Open(db, key, create))
    {
        delete list;
        return error;
    }
    out = list;
    return ERROR_SUCCESS;
}
