// The host's state database: one SQLite file in the host's home folder holding volume sets, volumes,
// file-system settings and every catalogue. One connection serves the process; Lock() hands out the
// connection's recursive lock, which callers hold across a statement's steps or a transaction. Other
// processes share the file: a statement or transaction that finds it locked waits for up to the busy
// timeout, and then fails saying that another command holds it.
#pragma once

#include "vnservice/CStatus.h"
#include "win/CriticalSection.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

class CDatabase
{
public:
    class CStatement
    {
    public:
        CStatement() = default;
        CStatement(CStatement&& other) noexcept;
        CStatement& operator=(CStatement&& other) noexcept;
        ~CStatement();

        CStatement& Bind(int index, std::int64_t value);
        CStatement& Bind(int index, std::string_view text);
        CStatement& BindBlob(int index, const void* data, std::size_t size);
        // Binds the bytes where they are, without a copy: they must stay as they are until the statement
        // is reset or goes.
        CStatement& BindBlobInPlace(int index, const void* data, std::size_t size);
        // True while a row is there; a failure ends the rows and is kept in LastStatus.
        bool Step();
        void Reset();
        std::int64_t ColumnInt(int column) const;
        std::string ColumnText(int column) const;
        // The blob's bytes stay valid until the next Step or Reset.
        const unsigned char* ColumnBlob(int column, std::size_t& size) const;
        bool ColumnIsNull(int column) const;
        const CStatus& LastStatus() const { return Status; }

    private:
        friend class CDatabase;
        CStatement(CDatabase* database, sqlite3_stmt* statement) : Database(database), Statement(statement) {}
        CDatabase* Database = nullptr;
        sqlite3_stmt* Statement = nullptr;
        CStatus Status;
    };

    CDatabase() = default;
    CDatabase(const CDatabase&) = delete;
    CDatabase& operator=(const CDatabase&) = delete;
    ~CDatabase();

    CStatus Open(const std::string& path);
    bool IsOpen() const { return Handle != nullptr; }
    const std::string& GetPath() const { return Path; }

    CStatus Execute(std::string_view sql);
    CStatus Prepare(std::string_view sql, CStatement& out);

    // Nested transactions: the outermost Begin starts one, with the write lock taken at once, and its
    // Commit makes everything durable; inner levels are save points. Rollback undoes the innermost level.
    CStatus Begin();
    CStatus Commit();
    CStatus Rollback();
    int TransactionDepth() const { return Depth; }

    CSyncObject* Lock() { return &Mutex; }
    std::int64_t LastInsertRowId() const;

    // Test seam: the next `skip` commits succeed and the one after fails.
    void FailCommitAfter(int skip) { CommitFault = skip; }
    // Test seam: how long a statement waits for a lock that another process holds.
    void SetBusyTimeout(int milliseconds);

    CStatus Failure(int line, std::string_view what) const;

private:
    CStatus SwitchToWriteAheadLog();

    sqlite3* Handle = nullptr;
    std::string Path;
    int Depth = 0;
    int CommitFault = -1;
    int BusyTimeout = 10000;
    CCriticalSection Mutex;
};
