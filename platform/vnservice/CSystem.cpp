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

CStatus CSystem::Open(const std::string& homeFolder)
{
    HomeFolder = homeFolder;
    std::error_code error;
    std::filesystem::create_directories(homeFolder, error);
    if (error)
        return CErrorGenMessage("System", __LINE__, HostErrorDatabase,
                                {"cannot make the home folder " + homeFolder + ": " + error.message()});
    CStatus status = Database.Open(homeFolder + "/reelfs.db");
    if (status.IsSuccess())
        status = Database.Execute(
            "CREATE TABLE IF NOT EXISTS host (key TEXT PRIMARY KEY, value INTEGER NOT NULL)");
    if (status.IsSuccess())
        status = CPersistanceEngine::Prepare(Database);
    if (status.IsSuccess())
        status = TapeIndexes.Prepare();
    if (status.Failed())
        return status;

    CDatabase::CStatement statement;
    status = Database.Prepare("SELECT value FROM host WHERE key = 'system'", statement);
    if (status.Failed())
        return status;
    if (statement.Step())
        ID = CSystemID(static_cast<std::uint32_t>(statement.ColumnInt(0)));
    else
    {
        std::random_device random;
        std::uint32_t value = 0;
        while (value == 0)
            value = random();
        ID = CSystemID(value);
        status = Database.Execute("INSERT INTO host (key, value) VALUES ('system', " + std::to_string(value) +
                                  ")");
        if (status.Failed())
            return status;
    }
    CSystemID::SetLocal(ID.GetValue());
    Configuration.LoadFile(homeFolder + "/reelfs.ini");
    return CStatus::Success();
}

CStatus CSystem::SaveState()
{
    return StateSaver ? StateSaver() : CStatus::Success();
}
