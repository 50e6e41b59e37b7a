#include "vnservice/CDatabase.h"

#include "vnservice/ErrorGenerators.h"
#include "vnservice/HostErrors.h"

#include <chrono>
#include <sqlite3.h>
#include <utility>

CDatabase::CStatement::CStatement(CStatement&& other) noexcept
    : Database(std::exchange(other.Database, nullptr)), Statement(std::exchange(other.Statement, nullptr)),
      Status(std::move(other.Status))
{
}

CDatabase::CStatement& CDatabase::CStatement::operator=(CStatement&& other) noexcept
{
    if (this != &other)
    {
        if (Statement)
            sqlite3_finalize(Statement);
        Database = std::exchange(other.Database, nullptr);
        Statement = std::exchange(other.Statement, nullptr);
        Status = std::move(other.Status);
    }
    return *this;
}

CDatabase::CStatement::~CStatement()
{
    if (Statement)
        sqlite3_finalize(Statement);
}

CDatabase::CStatement& CDatabase::CStatement::Bind(int index, std::int64_t value)
{
    sqlite3_bind_int64(Statement, index, value);
    return *this;
}

CDatabase::CStatement& CDatabase::CStatement::Bind(int index, std::string_view text)
{
    sqlite3_bind_text(Statement, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    return *this;
}

CDatabase::CStatement& CDatabase::CStatement::BindBlob(int index, const void* data, std::size_t size)
{
    sqlite3_bind_blob64(Statement, index, data ? data : "", size, SQLITE_TRANSIENT);
    return *this;
}

CDatabase::CStatement& CDatabase::CStatement::BindBlobInPlace(int index, const void* data, std::size_t size)
{
    sqlite3_bind_blob64(Statement, index, data ? data : "", size, SQLITE_STATIC);
    return *this;
}

bool CDatabase::CStatement::Step()
{
    int rc = sqlite3_step(Statement);
    if (rc == SQLITE_ROW)
        return true;
    if (rc != SQLITE_DONE)
        Status = Database->Failure(__LINE__, "step");
    return false;
}

void CDatabase::CStatement::Reset()
{
    sqlite3_reset(Statement);
    sqlite3_clear_bindings(Statement);
    Status = CStatus();
}

std::int64_t CDatabase::CStatement::ColumnInt(int column) const
{
    return sqlite3_column_int64(Statement, column);
}

std::string CDatabase::CStatement::ColumnText(int column) const
{
    auto text = reinterpret_cast<const char*>(sqlite3_column_text(Statement, column));
    return text ? std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(Statement, column)))
                : std::string();
}

const unsigned char* CDatabase::CStatement::ColumnBlob(int column, std::size_t& size) const
{
    auto data = static_cast<const unsigned char*>(sqlite3_column_blob(Statement, column));
    size = static_cast<std::size_t>(sqlite3_column_bytes(Statement, column));
    return data;
}

bool CDatabase::CStatement::ColumnIsNull(int column) const
{
    return sqlite3_column_type(Statement, column) == SQLITE_NULL;
}

CDatabase::~CDatabase()
{
    if (Handle)
    {
        if (Depth > 0)
            sqlite3_exec(Handle, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close_v2(Handle);
    }
}

CStatus CDatabase::Failure(int line, std::string_view what) const
{
    std::string text(what);
    if (Handle)
        text += (text.empty() ? "" : ": ") + std::string(sqlite3_errmsg(Handle));
    text += " (" + Path + ")";
    // Busy after the whole timeout: another process kept its write lock all that time.
    if (Handle && (sqlite3_errcode(Handle) & 0xFF) == SQLITE_BUSY)
        text += ": another command holds it";
    return CErrorGenMessage("Database", line, HostErrorDatabase, {text});
}

CStatus CDatabase::Open(const std::string& path)
{
    CSingleLock lock(&Mutex, true);
    Path = path;
    int rc = sqlite3_open_v2(path.c_str(), &Handle,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX, nullptr);
    if (rc != SQLITE_OK)
    {
        CStatus failure = Failure(__LINE__, "open");
        sqlite3_close_v2(Handle);
        Handle = nullptr;
        return failure;
    }
    sqlite3_busy_timeout(Handle, BusyTimeout);
    // Catalogue pages are rows of up to 64 KiB: a new database gets pages of 32 KiB, which take such a
    // row in two overflow pages instead of a chain of sixteen and waste little room (a database keeps the
    // page size it was made with). Write-ahead logging keeps a committed state whole when a process dies
    // in the middle of a write.
    CStatus status = Execute("PRAGMA page_size=32768");
    if (status.IsSuccess())
        status = SwitchToWriteAheadLog();
    if (status.IsSuccess())
        status = Execute("PRAGMA synchronous=NORMAL; PRAGMA foreign_keys=ON");
    return status;
}

CStatus CDatabase::SwitchToWriteAheadLog()
{
    // The switch reads the file's header and then writes it, outside any transaction. Where another
    // process makes the same new file, the write finds it locked and fails at once instead of waiting, so
    // it is tried again for as long as the busy timeout lasts.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(BusyTimeout);
    for (;;)
    {
        const int rc = sqlite3_exec(Handle, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
        if (rc == SQLITE_OK)
            return CStatus::Success();
        if ((rc & 0xFF) != SQLITE_BUSY || std::chrono::steady_clock::now() >= deadline)
            return Failure(__LINE__, "");
        sqlite3_sleep(5);
    }
}

void CDatabase::SetBusyTimeout(int milliseconds)
{
    CSingleLock lock(&Mutex, true);
    BusyTimeout = milliseconds;
    if (Handle)
        sqlite3_busy_timeout(Handle, BusyTimeout);
}

CStatus CDatabase::Execute(std::string_view sql)
{
    CSingleLock lock(&Mutex, true);
    std::string text(sql);
    if (sqlite3_exec(Handle, text.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
        return Failure(__LINE__, "");
    return CStatus::Success();
}

CStatus CDatabase::Prepare(std::string_view sql, CStatement& out)
{
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(Handle, sql.data(), static_cast<int>(sql.size()), &statement, nullptr) !=
        SQLITE_OK)
        return Failure(__LINE__, "prepare");
    out = CStatement(this, statement);
    return CStatus::Success();
}

CStatus CDatabase::Begin()
{
    CSingleLock lock(&Mutex, true);
    CStatus status = Execute(Depth == 0 ? "BEGIN IMMEDIATE" : "SAVEPOINT level" + std::to_string(Depth));
    if (status.IsSuccess())
        ++Depth;
    return status;
}

CStatus CDatabase::Commit()
{
    CSingleLock lock(&Mutex, true);
    if (Depth == 0)
        return CStatus::Success();
    if (Depth == 1 && CommitFault >= 0 && CommitFault-- == 0)
        return CErrorGenMessage("Database", __LINE__, HostErrorDatabase,
                                {"commit failed (test) (" + Path + ")"});
    CStatus status = Execute(Depth == 1 ? "COMMIT" : "RELEASE level" + std::to_string(Depth - 1));
    if (status.IsSuccess())
        --Depth;
    return status;
}

CStatus CDatabase::Rollback()
{
    CSingleLock lock(&Mutex, true);
    if (Depth == 0)
        return CStatus::Success();
    CStatus status = Depth == 1 ? Execute("ROLLBACK")
                                : Execute("ROLLBACK TO level" + std::to_string(Depth - 1) +
                                          "; RELEASE level" + std::to_string(Depth - 1));
    --Depth;
    return status;
}

std::int64_t CDatabase::LastInsertRowId() const
{
    return sqlite3_last_insert_rowid(Handle);
}
