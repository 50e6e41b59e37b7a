#include "pagelist/CFileListInternal.h"

#include "pagelist/CFileListPageStore.h"
#include "pagelist/CFileListPlainRecord.h"
#include "pagelist/ListErrors.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>

static_assert(std::endian::native == std::endian::little, "page entries are stored little-endian");

CFileListInternal::CFileListInternal(int indexCount, ObjectFactory factory, CFileListOrdering ordering)
    : IndexCount(indexCount), Factory(factory), Ordering(ordering)
{
    for (int i = 0; i < IndexCount; ++i)
    {
        Indexes.push_back(std::make_unique<CFileListIndex>(PageBytes, Ordering, i));
        LastInserted.push_back(Indexes.back()->End());
        LastFound.emplace_back();
        for (CFoundKey& found : LastFound.back())
            found.Landing = Indexes.back()->End();
        LatestFound.push_back(Indexes.back()->End());
    }
}

CFileListInternal::~CFileListInternal()
{
    if (Opened)
        Commit();
}

bool CFileListInternal::IsOpen() const
{
    return Opened;
}

void CFileListInternal::Reset()
{
    Opened = false;
    Database = nullptr;
    Pages.clear();
    PageBytes.clear();
    for (int i = 0; i < IndexCount; ++i)
    {
        Indexes[i]->Clear();
        LastInserted[i] = Indexes[i]->End();
        for (CFoundKey& found : LastFound[i])
            found.Landing = Indexes[i]->End();
        LatestFound[i] = Indexes[i]->End();
    }
    AppendedRecords.clear();
    CommitPending = false;
}

CFileListPageStore& CFileListInternal::Header() const
{
    return *Pages.front();
}

std::uint32_t CFileListInternal::CheckHeaderRead(std::size_t size)
{
    if (!Opened)
        return ERROR_INVALID_HANDLE;
    if (size != UserHeaderSize)
        return ERROR_INVALID_PARAMETER;
    if (HeaderReadFault >= 0 && HeaderReadFault-- == 0)
        return ERROR_READ_FAULT;
    return ERROR_SUCCESS;
}

std::uint32_t CFileListInternal::GetUserHeader(void* buffer, std::size_t size)
{
    CSingleLock lock(&ListLock, true);
    if (std::uint32_t error = CheckHeaderRead(size))
        return error;
    std::memcpy(buffer, Header().Bytes.data(), UserHeaderSize);
    return ERROR_SUCCESS;
}

std::uint32_t CFileListInternal::SetUserHeader(const void* buffer, std::size_t size)
{
    CSingleLock lock(&ListLock, true);
    if (!Opened)
        return ERROR_INVALID_HANDLE;
    if (size != UserHeaderSize)
        return ERROR_INVALID_PARAMETER;
    std::memcpy(HeaderForChange(0, UserHeaderSize), buffer, UserHeaderSize);
    return ERROR_SUCCESS;
}

void CFileListInternal::KeepHeaderForUndo(std::size_t offset, std::size_t size)
{
    if (AppendDepth == 0)
        return;
    const unsigned char* bytes = Header().Bytes.data() + offset;
    HeaderChanges.push_back({offset, size});
    HeaderBefore.insert(HeaderBefore.end(), bytes, bytes + size);
}

unsigned char* CFileListInternal::HeaderForChange(std::size_t offset, std::size_t size)
{
    KeepHeaderForUndo(offset, size);
    Header().Dirty = true;
    return Header().Bytes.data();
}

CFileListFile& CFileListInternal::Prototype(std::uint8_t type)
{
    std::unique_ptr<CFileListFile>& object = Prototypes[type];
    if (!object)
    {
        object.reset(Factory(type));
        if (!object)
            ThrowWin32Error(ERROR_NOT_ENOUGH_MEMORY);
    }
    return *object;
}

void CFileListInternal::AddPage(std::shared_ptr<CFileListPageStore> page)
{
    // Should the second fail, the append rolls both back to its mark, or the failed open resets both.
    Pages.push_back(std::move(page));
    PageBytes.push_back(Pages.back()->Bytes.data());
}

CFileListOffset CFileListInternal::StoreEntry(const CFileListFile& record)
{
    const WString& path = record.GetPath();
    std::size_t payload = record.GetDataSize();
    std::size_t size = PageEntry::SizeFor(path.size(), payload);
    if (Pages.size() == 1 || Pages.back()->Bytes.size() + size > CFileListPageStore::Capacity)
        AddPage(std::make_shared<CFileListPageStore>(static_cast<std::uint32_t>(Pages.size()),
                                                     CPageKind::Object));
    CFileListPageStore& page = *Pages.back();
    auto position = static_cast<std::uint32_t>(page.Bytes.size());
    page.Bytes.resize(position + size);
    unsigned char* entry = page.Bytes.data() + position;
    entry[0] = record.GetObjectType(true);
    entry[1] = static_cast<unsigned char>(payload);
    entry[2] = static_cast<unsigned char>(path.size());
    entry[3] = static_cast<unsigned char>(path.size() >> 8);
    std::memcpy(entry + PageEntry::HeaderBytes, path.data(), 2 * path.size());
    std::memcpy(entry + PageEntry::HeaderBytes + 2 * path.size(), record.GetData(), payload);
    page.Starts.push_back(position);
    page.Dirty = true;
    return {page.Number, position};
}

void CFileListInternal::InsertIntoIndex(int index, const CFileListOffset& at)
{
    // Records that come in order, as replays of index 0 and runs of one file's records do, land right
    // after the last one without a search; a record whose key was just searched for, where that landed.
    LastInserted[index] = Indexes[index]->Insert(at, LastInserted[index], LatestFound[index]);
    if (AppendDepth > 0)
        AppendedRecords.emplace_back(index, at);
}

CFileListInternal::CMark CFileListInternal::MakeMark() const
{
    return {Pages.size(), Pages.back()->Bytes.size(), Pages.back()->Starts.size(), AppendedRecords.size(),
            HeaderChanges.size()};
}

void CFileListInternal::RollBack(const CMark& mark)
{
    while (AppendedRecords.size() > mark.IndexedCount)
    {
        auto [index, at] = AppendedRecords.back();
        Indexes[index]->Erase(at);
        AppendedRecords.pop_back();
    }
    for (int i = 0; i < IndexCount; ++i)
    {
        LastInserted[i] = Indexes[i]->End();
        for (CFoundKey& found : LastFound[i])
            found.Landing = Indexes[i]->End();
        LatestFound[i] = Indexes[i]->End();
    }
    Pages.resize(mark.PageCount);
    PageBytes.resize(mark.PageCount);
    Pages.back()->Bytes.resize(mark.LastPageBytes);
    Pages.back()->Starts.resize(mark.LastPageEntries);
    // The header's changes, newest first.
    while (HeaderChanges.size() > mark.HeaderChangeCount)
    {
        const CHeaderChange change = HeaderChanges.back();
        HeaderChanges.pop_back();
        std::memcpy(Header().Bytes.data() + change.Offset,
                    HeaderBefore.data() + HeaderBefore.size() - change.Size, change.Size);
        HeaderBefore.resize(HeaderBefore.size() - change.Size);
    }
    Header().Dirty = true;
}

bool CFileListInternal::EntryFits(std::size_t pathUnits, std::size_t payload)
{
    return payload <= PageEntry::MaxPayload && pathUnits <= PageEntry::MaxPathUnits &&
           PageEntry::SizeFor(pathUnits, payload) <= CFileListPageStore::Capacity;
}

std::uint32_t CFileListInternal::Append(CFileListFile& record, bool fromUpkeep)
{
    std::uint32_t result = ERROR_SUCCESS;
    bool commit = false;
    {
        CSingleLock lock(&ListLock, true);
        if (!Opened)
            return ERROR_INVALID_HANDLE;
        std::uint8_t type = record.GetObjectType(true);
        if (!EntryFits(record.GetPath().size(), record.GetDataSize()))
            return ERROR_INVALID_PARAMETER;
        try
        {
            // The list must be able to rebuild the record from its entry when it is read back.
            if (Prototype(type).GetDataSize() != record.GetDataSize())
                return ERROR_INVALID_PARAMETER;
        }
        catch (std::uint32_t error)
        {
            return error == ERROR_FILE_CORRUPT ? ERROR_INVALID_PARAMETER : error;
        }

        CMark mark = MakeMark();
        ++AppendDepth;
        try
        {
            CFileListOffset at = StoreEntry(record);
            // Into every index first, so that the records the upkeep appends enter each index after this
            // one, in storage order, as a replay enters them.
            for (int i = 0; i < IndexCount; ++i)
                if (record.QueryInsert(i))
                    InsertIntoIndex(i, at);
            if (!fromUpkeep)
                for (int i = 0; i < IndexCount; ++i)
                    if (record.QueryInsert(i))
                        record.PostInsert(*this, at, i);
        }
        catch (std::uint32_t error)
        {
            result = error;
        }
        catch (const std::bad_alloc&)
        {
            result = ERROR_NOT_ENOUGH_MEMORY;
        }
        catch (...)
        {
            RollBack(mark);
            --AppendDepth;
            throw;
        }
        if (result != ERROR_SUCCESS)
            RollBack(mark);
        if (--AppendDepth == 0)
        {
            AppendedRecords.clear();
            HeaderChanges.clear();
            HeaderBefore.clear();
            commit = CommitPending && QueryDepth == 0;
        }
    }
    if (commit)
        Commit();
    return result;
}

bool CFileListInternal::CFoundKey::Holds(const CFileListFile& key) const
{
    const WString& path = key.GetPath();
    return key.GetObjectType(true) == Type && path.size() == Path.size() &&
           key.GetDataSize() == Payload.size() &&
           std::memcmp(path.data(), Path.data(), path.size() * sizeof(char16_t)) == 0 &&
           std::memcmp(key.GetData(), Payload.data(), Payload.size()) == 0;
}

void CFileListInternal::CFoundKey::Take(const CFileListFile& key)
{
    const auto* payload = static_cast<const unsigned char*>(key.GetData());
    Type = key.GetObjectType(true);
    Path = key.GetPath();
    Payload.assign(payload, payload + key.GetDataSize());
}

CFileListInternal::iterator CFileListInternal::find(const CFileListFile& key, int index)
{
    CSingleLock lock(&ListLock, true);
    if (!IsIndex(index))
        return end(index);
    const CFileListIndex& tree = *Indexes[index];
    auto& remembered = LastFound[index];
    auto found = std::find_if(remembered.begin(), remembered.end(),
                              [&](const CFoundKey& search) { return search.Holds(key); });
    bool lands = false;
    if (found != remembered.end())
    {
        // A record does not come to precede a key, nor leave the index but when an append is undone,
        // which forgets the searches: the search lands where it did while the record before that one
        // still precedes the key.
        CFileListIndex::CCursor& last = found->Landing;
        if (tree.Refresh(last))
        {
            CFileListIndex::CCursor before = tree.Previous(last);
            lands =
                before.Offset == last.Offset || Ordering.PrecedesKey(tree.EntryAt(before.Offset), key, index);
        }
    }
    else
    {
        // In place of the search used longest ago.
        found = std::min_element(remembered.begin(), remembered.end(),
                                 [](const CFoundKey& a, const CFoundKey& b) { return a.Used < b.Used; });
        found->Take(key);
    }
    if (!lands)
        found->Landing = tree.LowerBound(key, LastInserted[index]);
    found->Used = ++Searches;
    LatestFound[index] = found->Landing;
    return iterator(this, index, found->Landing);
}

CFileListInternal::iterator CFileListInternal::begin(int index)
{
    CSingleLock lock(&ListLock, true);
    if (!IsIndex(index))
        return end(index);
    return iterator(this, index, Indexes[index]->Begin());
}

CFileListInternal::iterator CFileListInternal::end(int index)
{
    CSingleLock lock(&ListLock, true);
    if (!IsIndex(index))
        return end();
    return iterator(this, index, Indexes[index]->End());
}

CFileListInternal::iterator CFileListInternal::begin()
{
    return iterator(this, std::uint32_t{1}, std::uint32_t{0});
}

CFileListInternal::iterator CFileListInternal::end()
{
    CSingleLock lock(&ListLock, true);
    auto pages = static_cast<std::uint32_t>(std::max<std::size_t>(Pages.size(), 1));
    return iterator(this, pages, std::uint32_t{0});
}

void CFileListInternal::BeginQuery(int)
{
    ListLock.Lock();
    ++QueryDepth;
}

void CFileListInternal::EndQuery(int)
{
    bool outermost = --QueryDepth == 0;
    ListLock.Unlock();
    if (outermost)
        Commit();
}

CFileListPage CFileListInternal::GetPage(std::uint32_t number)
{
    CSingleLock lock(&ListLock, true);
    if (number >= Pages.size())
        return CFileListPage(*this);
    return CFileListPage(*this, Pages[number]);
}

CFileListFile* CFileListInternal::CreateObject(std::uint8_t type)
{
    return Factory(type);
}

CFileListFile* CFileListInternal::CreatePointer(std::size_t size)
{
    return NewNoThrow<CFileListPlainRecord>(size);
}

CFileListInternal::iterator::iterator(CFileListInternal& list, int index, const CFileListOffset& at)
    : List(&list), Index(index)
{
    CSingleLock lock(&list.ListLock, true);
    // The record just entered into the index, as an append's upkeep asks for it, is known to be there.
    if (list.IsIndex(index) && at.Page >= 1 && list.LastInserted[index].Offset == at &&
        list.Indexes[index]->Refresh(list.LastInserted[index]))
    {
        Cursor = list.LastInserted[index];
        return;
    }
    bool stored =
        at.Page >= 1 && at.Page < list.Pages.size() && list.Pages[at.Page]->FindEntry(at.Position) >= 0;
    if (!list.IsIndex(index))
    {
        Index = -1;
        Page = stored ? at.Page : static_cast<std::uint32_t>(std::max<std::size_t>(list.Pages.size(), 1));
        Slot = stored ? static_cast<std::uint32_t>(list.Pages[at.Page]->FindEntry(at.Position)) : 0;
        return;
    }
    const CFileListIndex& tree = *list.Indexes[index];
    Cursor = stored ? tree.Find(at) : tree.End();
}

bool CFileListInternal::iterator::operator==(const iterator& other) const
{
    if (List != other.List || Index != other.Index)
        return false;
    // A record enters an index once, so its offset names its place there; the end has none.
    return Index < 0 ? Page == other.Page && Slot == other.Slot : Cursor.Offset == other.Cursor.Offset;
}

CFileListInternal::iterator& CFileListInternal::iterator::operator++()
{
    CSingleLock lock(&List->ListLock, true);
    if (Index >= 0)
        Cursor = List->Indexes[Index]->Next(Cursor);
    else if (Page < List->Pages.size() && ++Slot == List->Pages[Page]->Starts.size())
    {
        ++Page;
        Slot = 0;
    }
    return *this;
}

CFileListInternal::iterator& CFileListInternal::iterator::operator--()
{
    CSingleLock lock(&List->ListLock, true);
    if (Index >= 0)
        Cursor = List->Indexes[Index]->Previous(Cursor);
    else if (Slot > 0)
        --Slot;
    else if (Page > 1 && Page - 1 < List->Pages.size())
    {
        --Page;
        Slot = static_cast<std::uint32_t>(List->Pages[Page]->Starts.size() - 1);
    }
    return *this;
}

CFileListEntry CFileListInternal::iterator::GetEntry() const
{
    CFileListOffset at = CheckOffset();
    if (at.Page == 0)
        ThrowWin32Error(ERROR_FILE_CORRUPT);
    return PageEntry::View(List->PageBytes[at.Page] + at.Position);
}

CFileListOffset CFileListInternal::iterator::CheckOffset() const
{
    CSingleLock lock(&List->ListLock, true);
    if (Index >= 0)
        return Cursor.Offset;
    if (Page >= List->Pages.size())
        return {};
    return {Page, List->Pages[Page]->Starts[Slot]};
}
