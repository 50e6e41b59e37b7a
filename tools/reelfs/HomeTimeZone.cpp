#include "HomeTimeZone.h"

#include "vnservice/CDatabase.h"
#include "win/CriticalSection.h"

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>

namespace
{
// The zone the process runs under, in a form that names it again later: TZ when it is set; else the
// system's zone by name (the zone file /etc/localtime links to, or /etc/timezone); else that file itself.
std::string CurrentZone()
{
    if (const char* tz = std::getenv("TZ"))
        return tz;
    std::error_code error;
    const std::filesystem::path link = std::filesystem::read_symlink("/etc/localtime", error);
    if (!error)
    {
        const std::string target = link.lexically_normal().string();
        const std::size_t at = target.find("zoneinfo/");
        if (at != std::string::npos)
            return target.substr(at + 9);
    }
    std::ifstream named("/etc/timezone");
    std::string name;
    if (std::getline(named, name) && !name.empty())
        return name;
    // No /etc/localtime is UTC to the C library; the file that is there is the zone.
    return std::filesystem::exists("/etc/localtime", error) ? ":/etc/localtime" : "UTC";
}
} // namespace

CStatus SettleHomeTimeZone(CDatabase& database, std::string& zone)
{
    CSingleLock lock(database.Lock(), true);
    CStatus status =
        database.Execute("CREATE TABLE IF NOT EXISTS host_text (key TEXT PRIMARY KEY, value TEXT NOT NULL)");
    CDatabase::CStatement statement;
    if (status.IsSuccess())
        status = database.Prepare("SELECT value FROM host_text WHERE key = 'time zone'", statement);
    if (status.Failed())
        return status;
    if (statement.Step())
        zone = statement.ColumnText(0);
    else if (statement.LastStatus().Failed())
        return statement.LastStatus();
    else
    {
        zone = CurrentZone();
        CDatabase::CStatement insert;
        status = database.Prepare("INSERT INTO host_text (key, value) VALUES ('time zone', ?1)", insert);
        if (status.Failed())
            return status;
        insert.Bind(1, zone);
        insert.Step();
        if (insert.LastStatus().Failed())
            return insert.LastStatus();
    }
    ::setenv("TZ", zone.c_str(), 1);
    ::tzset();
    return CStatus::Success();
}
