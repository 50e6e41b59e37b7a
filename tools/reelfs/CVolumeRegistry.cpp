#include "CVolumeRegistry.h"

#include "vnservice/CDatabase.h"
#include "vnservice/ErrorGenerators.h"
#include "vnservice/HostErrors.h"
#include "win/CriticalSection.h"

#include <cstdio>

CStatus CVolumeRegistry::Prepare()
{
    return Database.Execute(
        "CREATE TABLE IF NOT EXISTS volumes (identity TEXT PRIMARY KEY, type TEXT NOT NULL, "
        "label TEXT NOT NULL, image TEXT NOT NULL)");
}

CStatus CVolumeRegistry::Record(const CKnownVolume& volume)
{
    CSingleLock lock(Database.Lock(), true);
    CDatabase::CStatement statement;
    CStatus status =
        Database.Prepare("INSERT INTO volumes (identity, type, label, image) VALUES (?1, ?2, ?3, ?4) ON "
                         "CONFLICT (identity) DO "
                         "UPDATE SET type = excluded.type, image = excluded.image, "
                         "label = CASE WHEN excluded.label = '' THEN volumes.label ELSE excluded.label END",
                         statement);
    if (status.Failed())
        return status;
    statement.Bind(1, volume.ID.ToString()).Bind(2, volume.Type).Bind(3, volume.Label).Bind(4, volume.Image);
    statement.Step();
    return statement.LastStatus();
}

CStatus CVolumeRegistry::All(std::vector<CKnownVolume>& volumes) const
{
    CSingleLock lock(Database.Lock(), true);
    volumes.clear();
    CDatabase::CStatement statement;
    CStatus status =
        Database.Prepare("SELECT identity, type, label, image FROM volumes ORDER BY identity", statement);
    while (status.IsSuccess() && statement.Step())
    {
        CKnownVolume volume;
        std::string identity = statement.ColumnText(0);
        status = CVolumeID::FromString(WidenAscii(identity), volume.ID);
        if (status.Failed())
            return CErrorGenMessage("VolumeRegistry", __LINE__, HostErrorDatabase,
                                    {"the volume registry holds the identity \"" + identity + "\""});
        volume.Type = statement.ColumnText(1);
        volume.Label = statement.ColumnText(2);
        volume.Image = statement.ColumnText(3);
        volumes.push_back(std::move(volume));
    }
    return status.Failed() ? status : statement.LastStatus();
}

std::string CVolumeRegistry::PrintableLabel(const unsigned char* label, std::size_t size)
{
    while (size > 0 && label[size - 1] == 0)
        --size;
    std::string text;
    for (std::size_t i = 0; i < size; ++i)
    {
        unsigned char byte = label[i];
        if (byte >= 0x20 && byte < 0x7F && byte != '\\')
            text += static_cast<char>(byte);
        else
        {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            text += escaped;
        }
    }
    return text;
}
