#include "vnservice/CTapeIndexCache.h"

#include "vnservice/CDatabase.h"

#include <cstring>
#include <new>

namespace
{
// What picks the row of an image in a state: the parameters ?1 to ?6 of each statement below.
constexpr char StateMatch[] =
    "path = ?1 AND device = ?2 AND inode = ?3 AND size = ?4 AND modified = ?5 AND changed = ?6";

CDatabase::CStatement& BindState(CDatabase::CStatement& statement, const std::string& path,
                                 const CTapeIndexCache::CFileState& state)
{
    return statement.Bind(1, path)
        .Bind(2, static_cast<std::int64_t>(state.Device))
        .Bind(3, static_cast<std::int64_t>(state.Inode))
        .Bind(4, static_cast<std::int64_t>(state.Size))
        .Bind(5, state.ModifiedNanoseconds)
        .Bind(6, state.ChangedNanoseconds);
}
} // namespace

CStatus CTapeIndexCache::Prepare()
{
    // The indexes kept in tape_index ran on past two consecutive marks, where the recorded data end,
    // and could grow as large as their images; those kept in tape_index_2 served an image rewritten in
    // place with its size and modification time set back. They are dropped rather than read.
    return Database.Execute(
        "DROP TABLE IF EXISTS tape_index; DROP TABLE IF EXISTS tape_index_2; "
        "CREATE TABLE IF NOT EXISTS tape_index_3 (path TEXT PRIMARY KEY, device INTEGER NOT NULL, "
        "inode INTEGER NOT NULL, size INTEGER NOT NULL, modified INTEGER NOT NULL, "
        "changed INTEGER NOT NULL, lengths BLOB NOT NULL, digest TEXT)");
}

bool CTapeIndexCache::Load(const std::string& path, const CFileState& state,
                           std::vector<std::uint32_t>& lengths)
{
    CDatabase::CStatement statement;
    if (Database.Prepare(std::string("SELECT lengths FROM tape_index_3 WHERE ") + StateMatch, statement)
            .Failed())
        return false;
    if (!BindState(statement, path, state).Step())
        return false;
    std::size_t size = 0;
    const unsigned char* bytes = statement.ColumnBlob(0, size);
    if (size % sizeof(std::uint32_t) != 0)
        return false;
    try
    {
        lengths.resize(size / sizeof(std::uint32_t));
    }
    catch (const std::bad_alloc&)
    {
        // Without room for the kept index, the image is indexed afresh, which may find room.
        return false;
    }
    if (size > 0)
        std::memcpy(lengths.data(), bytes, size);
    return true;
}

void CTapeIndexCache::Save(const std::string& path, const CFileState& state,
                           const std::vector<std::uint32_t>& lengths)
{
    CDatabase::CStatement statement;
    if (Database
            .Prepare("INSERT OR REPLACE INTO tape_index_3 (path, device, inode, size, modified, changed, "
                     "lengths) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)",
                     statement)
            .Failed())
        return;
    BindState(statement, path, state).BindBlob(7, lengths.data(), lengths.size() * sizeof(std::uint32_t));
    statement.Step();
}

bool CTapeIndexCache::LoadDigest(const std::string& path, const CFileState& state, std::string& digest)
{
    CDatabase::CStatement statement;
    if (Database
            .Prepare(std::string("SELECT digest FROM tape_index_3 WHERE digest IS NOT NULL AND ") +
                         StateMatch,
                     statement)
            .Failed())
        return false;
    if (!BindState(statement, path, state).Step())
        return false;
    digest = statement.ColumnText(0);
    return true;
}

void CTapeIndexCache::SaveDigest(const std::string& path, const CFileState& state, const std::string& digest)
{
    CDatabase::CStatement statement;
    if (Database.Prepare(std::string("UPDATE tape_index_3 SET digest = ?7 WHERE ") + StateMatch, statement)
            .Failed())
        return;
    BindState(statement, path, state).Bind(7, digest);
    statement.Step();
}
