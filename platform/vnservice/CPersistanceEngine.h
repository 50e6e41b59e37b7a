// Persistence of settings. A node is the set of named values of one owner (a file system of a volume
// set, say), stored in the host database's "settings" table. Writes go to the database at once; the
// node is used by one thread at a time.
#pragma once

#include "vnservice/CStatus.h"
#include "win/WideString.h"

#include <cstdint>
#include <string>

class CDatabase;

class CPersistanceEngine
{
public:
    class CNode
    {
    public:
        CNode(CDatabase& database, std::string owner) : Database(database), Owner(std::move(owner)) {}

        const std::string& GetOwner() const { return Owner; }

        CStatus WriteText(WStringView key, WStringView text);
        CStatus WriteString(WStringView key, WStringView text) { return WriteText(key, text); }
        CStatus WriteNumber(WStringView key, std::uint32_t value);

        bool HasValue(WStringView key) const;
        // A missing key reads as a failure naming it.
        CStatus ReadString(WStringView key, WString& text) const;
        // A missing key leaves the value as it is; a value that is not a number fails.
        CStatus ReadNumber(WStringView key, std::uint32_t& value) const;

        // Forgets every value of the owner.
        CStatus Clear();

    private:
        bool Read(WStringView key, std::string& value, CStatus& status) const;

        CDatabase& Database;
        std::string Owner;
    };

    // Creates the settings table when the database has none.
    static CStatus Prepare(CDatabase& database);
};
