// How a catalogue list is kept in the host database: one row per page, keyed by the catalogue's key and
// the page number; page 0 is a plain page holding the user header.
#include "pagelist/CFileListInternal.h"

#include "pagelist/CFileListPageStore.h"
#include "vnservice/CDatabase.h"

#include <algorithm>
#include <cstring>

namespace
{
constexpr const char* Schema = "CREATE TABLE IF NOT EXISTS catalogue_pages("
                               "catalogue TEXT NOT NULL, page INTEGER NOT NULL, kind INTEGER NOT NULL, "
                               "data BLOB NOT NULL, PRIMARY KEY(catalogue, page))";
} // namespace

CStatus CFileListInternal::Prepare(CDatabase& db)
{
    return db.Execute(Schema);
}

std::uint32_t CFileListInternal::Exists(CDatabase& db, const std::string& key, bool& exists)
{
    CSingleLock dbLock(db.Lock(), true);
    exists = false;
    CDatabase::CStatement query;
    if (Prepare(db).Failed() ||
        db.Prepare("SELECT 1 FROM catalogue_pages WHERE catalogue = ? AND page = 0", query).Failed())
        return ERROR_READ_FAULT;
    query.Bind(1, key);
    exists = query.Step();
    return query.LastStatus().Failed() ? ERROR_READ_FAULT : ERROR_SUCCESS;
}

std::uint32_t CFileListInternal::Drop(CDatabase& db, const std::string& key)
{
    CSingleLock dbLock(db.Lock(), true);
    CDatabase::CStatement remove;
    if (Prepare(db).Failed() ||
        db.Prepare("DELETE FROM catalogue_pages WHERE catalogue = ?", remove).Failed())
        return ERROR_WRITE_FAULT;
    remove.Bind(1, key);
    remove.Step();
    return remove.LastStatus().Failed() ? ERROR_WRITE_FAULT : ERROR_SUCCESS;
}

std::uint32_t CFileListInternal::Open(CDatabase& db, const std::string& key, bool create)
{
    {
        CSingleLock dbLock(db.Lock(), true);
        CSingleLock lock(&ListLock, true);
        if (Opened)
            return ERROR_ALREADY_EXISTS;
        if (Prepare(db).Failed())
            return ERROR_READ_FAULT;
        bool found = false;
        if (std::uint32_t error = LoadPages(db, key, found))
        {
            Reset();
            return error;
        }
        Database = &db;
        Key = key;
        if (found)
        {
            Opened = true;
            if (std::uint32_t error = Replay())
            {
                Reset();
                return error;
            }
            return ERROR_SUCCESS;
        }
        if (!create)
            return ERROR_SUCCESS;
        AddPage(std::make_shared<CFileListPageStore>(0, CPageKind::Plain));
        Header().Bytes.resize(UserHeaderSize);
        Header().Dirty = true;
        Opened = true;
    }
    // A new catalogue exists from the moment it is opened.
    if (std::uint32_t error = Commit())
    {
        Reset();
        return error;
    }
    return ERROR_SUCCESS;
}

std::uint32_t CFileListInternal::LoadPages(CDatabase& db, const std::string& key, bool& found)
{
    CDatabase::CStatement query;
    if (db.Prepare("SELECT page, kind, data FROM catalogue_pages WHERE catalogue = ? ORDER BY page", query)
            .Failed())
        return ERROR_READ_FAULT;
    query.Bind(1, key);
    while (query.Step())
    {
        std::size_t size = 0;
        const unsigned char* data = query.ColumnBlob(2, size);
        std::int64_t number = query.ColumnInt(0);
        std::int64_t kind = query.ColumnInt(1);
        bool header = Pages.empty();
        if (number != static_cast<std::int64_t>(Pages.size()) || size > CFileListPageStore::Capacity ||
            kind != static_cast<std::int64_t>(header ? CPageKind::Plain : CPageKind::Object) ||
            (header && size != UserHeaderSize))
            return ERROR_FILE_CORRUPT;
        auto page = std::make_shared<CFileListPageStore>(static_cast<std::uint32_t>(number),
                                                         static_cast<CPageKind>(kind));
        page->Bytes.resize(size);
        if (size > 0)
            std::memcpy(page->Bytes.data(), data, size);
        AddPage(std::move(page));
    }
    if (query.LastStatus().Failed())
        return ERROR_READ_FAULT;
    found = !Pages.empty();
    return ERROR_SUCCESS;
}

std::uint32_t CFileListInternal::Replay()
{
    try
    {
        for (std::size_t p = 1; p < Pages.size(); ++p)
        {
            CFileListPageStore& page = *Pages[p];
            for (std::size_t position = 0; position < page.Bytes.size();)
            {
                const unsigned char* entry = page.Bytes.data() + position;
                if (page.Bytes.size() - position < PageEntry::HeaderBytes ||
                    page.Bytes.size() - position < PageEntry::Size(entry))
                    return ERROR_FILE_CORRUPT;
                const CFileListFile& prototype = Prototype(PageEntry::Type(entry));
                if (prototype.GetDataSize() != PageEntry::PayloadSize(entry))
                    return ERROR_FILE_CORRUPT;
                page.Starts.push_back(static_cast<std::uint32_t>(position));
                CFileListOffset at{page.Number, static_cast<std::uint32_t>(position)};
                for (int i = 0; i < IndexCount; ++i)
                    if (prototype.QueryInsert(i))
                        InsertIntoIndex(i, at);
                position += PageEntry::Size(entry);
            }
            if (page.Starts.empty())
                return ERROR_FILE_CORRUPT;
        }
    }
    catch (std::uint32_t error)
    {
        return error;
    }
    catch (const std::bad_alloc&)
    {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    return ERROR_SUCCESS;
}

bool CFileListInternal::CommitWaits()
{
    if (!Opened)
        return true;
    if (AppendDepth > 0 || QueryDepth > 0)
    {
        CommitPending = true;
        return true;
    }
    return false;
}

std::uint32_t CFileListInternal::Commit()
{
    CDatabase* database = nullptr;
    {
        CSingleLock lock(&ListLock, true);
        if (CommitWaits())
            return ERROR_SUCCESS;
        database = Database;
    }
    CDatabase& db = *database;
    CSingleLock dbLock(db.Lock(), true);
    CSingleLock lock(&ListLock, true);
    if (CommitWaits())
        return ERROR_SUCCESS;
    if (std::none_of(Pages.begin(), Pages.end(), [](const auto& page) { return page->Dirty; }))
        return ERROR_SUCCESS;
    if (db.Begin().Failed())
        return ERROR_WRITE_FAULT;
    std::uint32_t error = WritePages();
    if (error == ERROR_SUCCESS && db.Commit().Failed())
        error = ERROR_WRITE_FAULT;
    if (error != ERROR_SUCCESS)
    {
        db.Rollback();
        return error;
    }
    for (auto& page : Pages)
        page->Dirty = false;
    CommitPending = false;
    return ERROR_SUCCESS;
}

std::uint32_t CFileListInternal::WritePages()
{
    CDatabase::CStatement write;
    if (Database
            ->Prepare(
                "INSERT OR REPLACE INTO catalogue_pages(catalogue, page, kind, data) VALUES(?, ?, ?, ?)",
                write)
            .Failed())
        return ERROR_WRITE_FAULT;
    for (auto& page : Pages)
    {
        if (!page->Dirty)
            continue;
        write.Reset();
        write.Bind(1, Key)
            .Bind(2, static_cast<std::int64_t>(page->Number))
            .Bind(3, static_cast<std::int64_t>(page->Kind))
            .BindBlobInPlace(4, page->Bytes.data(), page->Bytes.size());
        write.Step();
        if (write.LastStatus().Failed())
            return ERROR_WRITE_FAULT;
    }
    return ERROR_SUCCESS;
}

std::uint32_t CFileListInternal::Close()
{
    {
        CSingleLock lock(&ListLock, true);
        if (AppendDepth > 0 || QueryDepth > 0)
            return ERROR_ACCESS_DENIED;
    }
    if (std::uint32_t error = Commit())
        return error;
    CSingleLock lock(&ListLock, true);
    Reset();
    return ERROR_SUCCESS;
}
