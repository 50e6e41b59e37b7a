#include "pagelist/CFileListInternal.h"

#include "pagelist/CFileListPageStore.h"
#include "pagelist/CFileListPlainRecord.h"
#include "pagelist/ListErrors.h"

#include <bit>
#include <cstring>
#include <new>

static_assert(std::endian::native == std::endian::little, "page entries are stored little-endian");

bool CFileListInternal::CIndexOrder::operator()(const CFileListOffset& a, const CFileListOffset& b) const
{
    return List->Resolve(a, 0).LessThan(List->Resolve(b, 1), true, Index);
}

bool CFileListInternal::CIndexOrder::operator()(const CFileListOffset& a, CIndexKey b) const
{
    return List->Resolve(a, 0).LessThan(*b.Record, true, Index);
}

bool CFileListInternal::CIndexOrder::operator()(CIndexKey a, const CFileListOffset& b) const
{
    return a.Record->LessThan(List->Resolve(b, 0), true, Index);
}

CFileListInternal::CFileListInternal(int indexCount, ObjectFactory factory)
    : IndexCount(indexCount), Factory(factory)
{
    // An index's end lies inside the index object, so the indexes must not move once made.
    Indexes.reserve(IndexCount);
    for (int i = 0; i < IndexCount; ++i)
        Indexes.emplace_back(CIndexOrder(this, i));
    for (CIndex& index : Indexes)
    {
        LastInserted.push_back(index.end());
        LastFound.push_back(index.end());
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
    for (int i = 0; i < IndexCount; ++i)
    {
        Indexes[i].clear();
        LastInserted[i] = LastFound[i] = Indexes[i].end();
    }
    AppendedNodes.clear();
    CommitPending = false;
}

CFileListPageStore& CFileListInternal::Header() const
{
    return *Pages.front();
}

std::uint32_t CFileListInternal::GetUserHeader(void* buffer, std::size_t size)
{
    CSingleLock lock(&ListLock, true);
    if (!Opened)
        return ERROR_INVALID_HANDLE;
    if (size != UserHeaderSize)
        return ERROR_INVALID_PARAMETER;
    if (HeaderReadFault >= 0 && HeaderReadFault-- == 0)
        return ERROR_READ_FAULT;
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
    std::memcpy(Header().Bytes.data(), buffer, UserHeaderSize);
    Header().Dirty = true;
    return ERROR_SUCCESS;
}

CFileListFile& CFileListInternal::Scratch(int slot, std::uint8_t type)
{
    std::unique_ptr<CFileListFile>& object = ScratchObjects[slot][type];
    if (!object)
    {
        object.reset(Factory(type));
        if (!object)
            ThrowWin32Error(ERROR_NOT_ENOUGH_MEMORY);
    }
    return *object;
}

const CFileListFile& CFileListInternal::Resolve(const CFileListOffset& at, int slot)
{
    if (Inserting && at == InsertingAt)
        return *Inserting;
    const unsigned char* entry = Pages[at.Page]->Bytes.data() + at.Position;
    // Every stored entry was read back into scratch objects of its type when it was appended or opened.
    CFileListFile& object = Scratch(slot, PageEntry::Type(entry));
    object.LoadEntry(entry);
    return object;
}

CFileListOffset CFileListInternal::StoreEntry(const CFileListFile& record)
{
    const WString& path = record.GetPath();
    std::size_t payload = record.GetDataSize();
    std::size_t size = PageEntry::HeaderBytes + 2 * path.size() + payload;
    if (Pages.size() == 1 || Pages.back()->Bytes.size() + size > CFileListPageStore::Capacity)
        Pages.push_back(std::make_shared<CFileListPageStore>(static_cast<std::uint32_t>(Pages.size()),
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

void CFileListInternal::InsertIntoIndex(int index, const CFileListOffset& at, const CFileListFile& record)
{
    CIndex& tree = Indexes[index];
    Inserting = &record;
    InsertingAt = at;
    // The record goes after every record it is not less than (append order among equals). Records that
    // come in order, as replays of index 0 and runs of one file's records do, land right after the last.
    CIndex::iterator before = tree.end();
    CIndex::iterator last = LastInserted[index];
    if (last != tree.end())
    {
        CIndex::iterator next = std::next(last);
        if (!record.LessThan(Resolve(*last, 0), true, index) &&
            (next == tree.end() || record.LessThan(Resolve(*next, 0), true, index)))
            before = next;
        else
            before = tree.upper_bound(CIndexKey{&record});
    }
    else if (!tree.empty())
        before = tree.upper_bound(CIndexKey{&record});
    CIndex::iterator node = tree.emplace_hint(before, at);
    Inserting = nullptr;
    LastInserted[index] = node;
    if (AppendDepth > 0)
        AppendedNodes.emplace_back(index, node);
}

CFileListInternal::CMark CFileListInternal::MakeMark() const
{
    CMark mark{
        Pages.size(), Pages.back()->Bytes.size(), Pages.back()->Starts.size(), AppendedNodes.size(), {}};
    std::memcpy(mark.Header.data(), Header().Bytes.data(), UserHeaderSize);
    return mark;
}

void CFileListInternal::RollBack(const CMark& mark)
{
    Inserting = nullptr;
    while (AppendedNodes.size() > mark.NodeCount)
    {
        auto [index, node] = AppendedNodes.back();
        Indexes[index].erase(node);
        AppendedNodes.pop_back();
    }
    for (int i = 0; i < IndexCount; ++i)
        LastInserted[i] = LastFound[i] = Indexes[i].end();
    Pages.resize(mark.PageCount);
    Pages.back()->Bytes.resize(mark.LastPageBytes);
    Pages.back()->Starts.resize(mark.LastPageEntries);
    std::memcpy(Header().Bytes.data(), mark.Header.data(), UserHeaderSize);
    Header().Dirty = true;
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
        std::size_t size = PageEntry::HeaderBytes + 2 * record.GetPath().size() + record.GetDataSize();
        if (record.GetDataSize() > PageEntry::MaxPayload ||
            record.GetPath().size() > PageEntry::MaxPathUnits || size > CFileListPageStore::Capacity)
            return ERROR_INVALID_PARAMETER;
        try
        {
            // The list must be able to rebuild the record from its entry when it is read back.
            for (int slot = 0; slot < ScratchSlots; ++slot)
                if (Scratch(slot, type).GetDataSize() != record.GetDataSize())
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
                    InsertIntoIndex(i, at, record);
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
            AppendedNodes.clear();
            commit = CommitPending && QueryDepth == 0;
        }
    }
    if (commit)
        Commit();
    return result;
}

CFileListInternal::iterator CFileListInternal::find(const CFileListFile& key, int index)
{
    CSingleLock lock(&ListLock, true);
    if (!IsIndex(index))
        return end(index);
    CIndex& tree = Indexes[index];
    // A search for the key of the last one lands where that one did, unless records came in between.
    CIndex::iterator at = LastFound[index];
    if (at != tree.end() && !Resolve(*at, 0).LessThan(key, true, index) &&
        (at == tree.begin() || Resolve(*std::prev(at), 0).LessThan(key, true, index)))
        return iterator(this, index, at);
    at = tree.lower_bound(CIndexKey{&key});
    LastFound[index] = at;
    return iterator(this, index, at);
}

CFileListInternal::iterator CFileListInternal::begin(int index)
{
    CSingleLock lock(&ListLock, true);
    if (!IsIndex(index))
        return end(index);
    return iterator(this, index, Indexes[index].begin());
}

CFileListInternal::iterator CFileListInternal::end(int index)
{
    CSingleLock lock(&ListLock, true);
    if (!IsIndex(index))
        return end();
    return iterator(this, index, Indexes[index].end());
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
    bool stored =
        at.Page >= 1 && at.Page < list.Pages.size() && list.Pages[at.Page]->FindEntry(at.Position) >= 0;
    if (!list.IsIndex(index))
    {
        Index = -1;
        Page = stored ? at.Page : static_cast<std::uint32_t>(std::max<std::size_t>(list.Pages.size(), 1));
        Slot = stored ? static_cast<std::uint32_t>(list.Pages[at.Page]->FindEntry(at.Position)) : 0;
        return;
    }
    CIndex& tree = list.Indexes[index];
    Node = tree.end();
    if (!stored)
        return;
    if (list.LastInserted[index] != tree.end() && *list.LastInserted[index] == at)
    {
        Node = list.LastInserted[index];
        return;
    }
    const CFileListFile& record = list.Resolve(at, 2);
    for (auto node = tree.lower_bound(CIndexKey{&record}); node != tree.end(); ++node)
    {
        if (*node == at)
        {
            Node = node;
            return;
        }
        if (record.LessThan(list.Resolve(*node, 0), true, index))
            return;
    }
}

bool CFileListInternal::iterator::operator==(const iterator& other) const
{
    if (List != other.List || Index != other.Index)
        return false;
    return Index < 0 ? Page == other.Page && Slot == other.Slot : Node == other.Node;
}

CFileListInternal::iterator& CFileListInternal::iterator::operator++()
{
    CSingleLock lock(&List->ListLock, true);
    if (Index >= 0)
    {
        if (Node != List->Indexes[Index].end())
            ++Node;
    }
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
    {
        if (Node != List->Indexes[Index].begin())
            --Node;
    }
    else if (Slot > 0)
        --Slot;
    else if (Page > 1 && Page - 1 < List->Pages.size())
    {
        --Page;
        Slot = static_cast<std::uint32_t>(List->Pages[Page]->Starts.size() - 1);
    }
    return *this;
}

CFileListOffset CFileListInternal::iterator::CheckOffset() const
{
    CSingleLock lock(&List->ListLock, true);
    if (Index >= 0)
        return Node == List->Indexes[Index].end() ? CFileListOffset{} : *Node;
    if (Page >= List->Pages.size())
        return {};
    return {Page, List->Pages[Page]->Starts[Slot]};
}
