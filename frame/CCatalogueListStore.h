// The catalogue store of a host that keeps its catalogues in its own database: each volume's catalogue
// is a catalogue list under the volume identity's text. Used by the host's operation thread.
#pragma once

#include "frame/CCatArchive.h"
#include "frame/CCatSearch.h"
#include "frame/CCatalogueList.h"
#include "frame/CFileListPointer.h"
#include "vnservice/CCatalogueStore.h"
#include "vnservice/CDatabase.h"
#include "vnservice/CFileName.h"
#include "vnservice/CVolume.h"
#include "vnservice/ErrorGenerators.h"

#include <algorithm>

class CCatalogueListStore : public CCatalogueStore
{
public:
    explicit CCatalogueListStore(CDatabase& database) : Database(database) {}

    // Makes the table the catalogues are kept in, when the database has none.
    CStatus Prepare() { return CFileListInternal::Prepare(Database); }

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

    CStatus GetNewestVersion(CFileListInternal& catalogue, const CFileName& path,
                             std::uint32_t& orderKey2) override
    {
        // A plain search, not a query: a query commits at its end, and a scan asks this for every file.
        orderKey2 = 0;
        // A key whose OrderKey2 matches any value lands on the path's first record of OrderKey1 0. The
        // records are read in place, under the catalogue's lock.
        CCatSearch key(path.GetText(), 0, AnyKey, 0);
        try
        {
            CSingleLock lock(catalogue.Lock(), true);
            for (auto at = catalogue.find(key, 1), end = catalogue.end(1); at != end; ++at)
            {
                const CStoredItem record = CCatalogueItem::ReadEntry(at.GetEntry());
                if (!SameUnits(record.Path, path.GetText()) || record.OrderKey1 != 0)
                    break;
                if (record.Kind == KindArchive && record.SegmentIndex == 0)
                    orderKey2 = std::max(orderKey2, record.OrderKey2);
            }
        }
        catch (std::uint32_t error)
        {
            return CErrorNumber::OsError("CatalogueStore", __LINE__, error);
        }
        return CStatus::Success();
    }

    CStatus Drop(CVolume& volume) override
    {
        std::uint32_t error = CFileListInternal::Drop(Database, volume.GetID().ToString());
        return error ? CErrorNumber::OsError("CatalogueStore", __LINE__, error) : CStatus::Success();
    }

private:
    CDatabase& Database;
};
