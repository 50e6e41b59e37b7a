#include "vnservice/CPersistanceEngine.h"

#include "vnservice/CDatabase.h"
#include "vnservice/ErrorGenerators.h"
#include "vnservice/HostErrors.h"
#include "win/CodePage.h"

#include <charconv>

CStatus CPersistanceEngine::Prepare(CDatabase& database)
{
    return database.Execute("CREATE TABLE IF NOT EXISTS settings (owner TEXT NOT NULL, key TEXT NOT NULL, "
                            "value TEXT NOT NULL, PRIMARY KEY (owner, key))");
}

namespace
{
std::string KeyText(WStringView key)
{
    return WideParameter(key);
}
} // namespace

CStatus CPersistanceEngine::CNode::WriteText(WStringView key, WStringView text)
{
    CSingleLock lock(Database.Lock(), true);
    CDatabase::CStatement statement;
    CStatus status =
        Database.Prepare("INSERT INTO settings (owner, key, value) VALUES (?1, ?2, ?3) "
                         "ON CONFLICT (owner, key) DO UPDATE SET value = excluded.value",
                         statement);
    if (status.Failed())
        return status;
    statement.Bind(1, Owner).Bind(2, KeyText(key)).Bind(3, WideParameter(text));
    statement.Step();
    return statement.LastStatus();
}

CStatus CPersistanceEngine::CNode::WriteNumber(WStringView key, std::uint32_t value)
{
    return WriteText(key, WidenAscii(std::to_string(value)));
}

bool CPersistanceEngine::CNode::Read(WStringView key, std::string& value, CStatus& status) const
{
    CSingleLock lock(Database.Lock(), true);
    CDatabase::CStatement statement;
    status = Database.Prepare("SELECT value FROM settings WHERE owner = ?1 AND key = ?2", statement);
    if (status.Failed())
        return false;
    statement.Bind(1, Owner).Bind(2, KeyText(key));
    bool found = statement.Step();
    if (found)
        value = statement.ColumnText(0);
    status = statement.LastStatus();
    return found;
}

bool CPersistanceEngine::CNode::HasValue(WStringView key) const
{
    std::string value;
    CStatus status;
    return Read(key, value, status);
}

CStatus CPersistanceEngine::CNode::ReadString(WStringView key, WString& text) const
{
    std::string value;
    CStatus status;
    if (!Read(key, value, status))
        return status.Failed() ? status
                               : CErrorGenMessage("Persistence", __LINE__, HostErrorNoSetting, {KeyText(key)});
    MultiByteToWide(CP_UTF8, value, text);
    return CStatus::Success();
}

CStatus CPersistanceEngine::CNode::ReadNumber(WStringView key, std::uint32_t& value) const
{
    std::string text;
    CStatus status;
    if (!Read(key, text, status))
        return status;
    std::uint32_t number = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (ec != std::errc() || end != text.data() + text.size())
        return CErrorGenMessage("Persistence", __LINE__, HostErrorBadSetting, {KeyText(key), text});
    value = number;
    return CStatus::Success();
}

CStatus CPersistanceEngine::CNode::Clear()
{
    CSingleLock lock(Database.Lock(), true);
    CDatabase::CStatement statement;
    CStatus status = Database.Prepare("DELETE FROM settings WHERE owner = ?1", statement);
    if (status.Failed())
        return status;
    statement.Bind(1, Owner);
    statement.Step();
    return statement.LastStatus();
}
