#include "vnservice/CSystem.h"

#include "vnservice/CPersistanceEngine.h"
#include "vnservice/ErrorGenerators.h"
#include "vnservice/HostErrors.h"

#include <cstdlib>
#include <filesystem>
#include <random>

std::string CSystem::DefaultHomeFolder()
{
    if (const char* home = std::getenv("REELFS_HOME"); home && *home)
        return home;
    const char* user = std::getenv("HOME");
    return std::string(user && *user ? user : ".") + "/.local/share/reelfs";
}

CStatus CSystem::Open(const std::string& homeFolder, const std::function<CStatus()>& prepareHome)
{
    HomeFolder = homeFolder;
    std::error_code error;
    std::filesystem::create_directories(homeFolder, error);
    if (error)
        return CErrorGenMessage("System", __LINE__, HostErrorDatabase,
                                {"cannot make the home folder " + homeFolder + ": " + error.message()});
    CStatus status = Database.Open(homeFolder + "/reelfs.db");
    if (status.IsSuccess())
        status = Database.Begin();
    if (status.Failed())
        return status;
    status = PrepareTables();
    if (status.IsSuccess() && prepareHome)
        status = prepareHome();
    if (status.IsSuccess())
        status = Database.Commit();
    if (status.Failed())
    {
        Database.Rollback();
        return status;
    }
    CSystemID::SetLocal(ID.GetValue());
    Configuration.LoadFile(homeFolder + "/reelfs.ini");
    return CStatus::Success();
}

CStatus CSystem::PrepareTables()
{
    CStatus status =
        Database.Execute("CREATE TABLE IF NOT EXISTS host (key TEXT PRIMARY KEY, value INTEGER NOT NULL)");
    if (status.IsSuccess())
        status = CPersistanceEngine::Prepare(Database);
    if (status.IsSuccess())
        status = TapeIndexes.Prepare();
    CDatabase::CStatement statement;
    if (status.IsSuccess())
        status = Database.Prepare("SELECT value FROM host WHERE key = 'system'", statement);
    if (status.Failed())
        return status;
    if (statement.Step())
    {
        ID = CSystemID(static_cast<std::uint32_t>(statement.ColumnInt(0)));
        return CStatus::Success();
    }
    if (statement.LastStatus().Failed())
        return statement.LastStatus();
    std::random_device random;
    std::uint32_t value = 0;
    while (value == 0)
        value = random();
    ID = CSystemID(value);
    return Database.Execute("INSERT INTO host (key, value) VALUES ('system', " + std::to_string(value) + ")");
}

CStatus CSystem::SaveState()
{
    return StateSaver ? StateSaver() : CStatus::Success();
}
