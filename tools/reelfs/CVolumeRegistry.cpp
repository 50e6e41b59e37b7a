#include "CVolumeRegistry.h"

#include "vnservice/CDatabase.h"
#include "vnservice/ErrorGenerators.h"
#include "vnservice/HostErrors.h"
#include "win/CriticalSection.h"

#include <cstdio>

CStatus CVolumeRegistry::Prepare()
{
    CSingleLock lock(Database.Lock(), true);
    CStatus status =
        Database.Execute("CREATE TABLE IF NOT EXISTS volumes (identity TEXT PRIMARY KEY, type TEXT NOT NULL, "
                         "label TEXT NOT NULL, image TEXT NOT NULL)");
    CDatabase::CStatement statement;
    if (status.IsSuccess())
        status = Database.Prepare("SELECT 1 FROM pragma_table_info('volumes') WHERE name = 'catalogue_tape'",
                                  statement);
    if (status.Failed() || statement.Step() || statement.LastStatus().Failed())
        return status.Failed() ? status : statement.LastStatus();
    status = Database.Execute("ALTER TABLE volumes ADD COLUMN catalogue_tape TEXT NOT NULL DEFAULT ''");
    if (status.IsSuccess())
        status = Database.Execute("ALTER TABLE volumes ADD COLUMN catalogue_image TEXT NOT NULL DEFAULT ''");
    return status;
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

CStatus CVolumeRegistry::RecordCatalogue(const CVolumeID& id, const std::string& tape,
                                         const std::string& image)
{
    CSingleLock lock(Database.Lock(), true);
    CDatabase::CStatement statement;
    CStatus status = Database.Prepare(
        "UPDATE volumes SET catalogue_tape = ?2, catalogue_image = ?3 WHERE identity = ?1", statement);
    if (status.Failed())
        return status;
    statement.Bind(1, id.ToString()).Bind(2, tape).Bind(3, image);
    statement.Step();
    return statement.LastStatus();
}

CStatus CVolumeRegistry::All(std::vector<CKnownVolume>& volumes) const
{
    return Select("", "", volumes);
}

CStatus CVolumeRegistry::Find(const CVolumeID& id, CKnownVolume& volume, bool& found) const
{
    std::vector<CKnownVolume> volumes;
    CStatus status = Select("WHERE identity = ?1", id.ToString(), volumes);
    found = !volumes.empty();
    if (found)
        volume = volumes.front();
    return status;
}

CStatus CVolumeRegistry::Select(const std::string& where, const std::string& identity,
                                std::vector<CKnownVolume>& volumes) const
{
    CSingleLock lock(Database.Lock(), true);
    volumes.clear();
    CDatabase::CStatement statement;
    CStatus status = Database.Prepare("SELECT identity, type, label, image, catalogue_tape, catalogue_image "
                                      "FROM volumes " +
                                          where + " ORDER BY identity",
                                      statement);
    if (status.IsSuccess() && !identity.empty())
        statement.Bind(1, identity);
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
        volume.CatalogueTape = statement.ColumnText(4);
        volume.CatalogueImage = statement.ColumnText(5);
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
