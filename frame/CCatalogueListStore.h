// The catalogue store of a host that keeps its catalogues in its own database: each volume's catalogue
// is a catalogue list under the volume identity's text. Used by the host's operation thread.
#pragma once

#include "frame/CCatalogueList.h"
#include "vnservice/CCatalogueStore.h"
#include "vnservice/CDatabase.h"
#include "vnservice/CVolume.h"
#include "vnservice/ErrorGenerators.h"

class CCatalogueListStore : public CCatalogueStore
{
public:
    explicit CCatalogueListStore(CDatabase& database) : Database(database) {}

    CStatus Open(CVolume& volume, bool create, CFileListInternal*& catalogue) override
    {
        std::uint32_t error = CCatalogueList::Open(Database, volume.GetID().ToString(), create, catalogue);
        return error ? CErrorNumber::OsError("CatalogueStore", __LINE__, error) : CStatus::Success();
    }

    CStatus Close(CFileListInternal* catalogue) override
    {
        std::uint32_t error = catalogue->Close();
        delete catalogue;
        return error ? CErrorNumber::OsError("CatalogueStore", __LINE__, error) : CStatus::Success();
    }

    CStatus Commit(CFileListInternal* catalogue) override
    {
        std::uint32_t error = catalogue->Commit();
        return error ? CErrorNumber::OsError("CatalogueStore", __LINE__, error) : CStatus::Success();
    }

    CStatus Drop(CVolume& volume) override
    {
        std::uint32_t error = CFileListInternal::Drop(Database, volume.GetID().ToString());
        return error ? CErrorNumber::OsError("CatalogueStore", __LINE__, error) : CStatus::Success();
    }

private:
    CDatabase& Database;
};
