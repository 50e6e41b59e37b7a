// The host system: its identity, its state database in the home folder, its configuration, the event
// sink, the trace registry and the volumes it knows. One per host process; the file systems keep a plain
// pointer to it. Members are thread-safe where their own headers say so.
#pragma once

#include "vnservice/CConfiguration.h"
#include "vnservice/CDatabase.h"
#include "vnservice/CEventSink.h"
#include "vnservice/CIDSet.h"
#include "vnservice/CStatus.h"
#include "vnservice/CTapeIndexCache.h"
#include "vnservice/CTraceRegistry.h"
#include "vnservice/CVolume.h"
#include "vnservice/Identities.h"

#include <functional>
#include <string>

class CCatalogueStore;

class CSystem
{
public:
    // Opens (creating when needed) the home folder, its database and its configuration. The system's
    // identity is made once, at the first start, and kept in the database. The database's tables, their
    // upgrades, the identity and what `prepareHome` makes or reads (the host program's own tables and
    // first settings) are settled in one transaction that holds the write lock from its start: commands
    // started at once on a new home wait for the first, and then find the home it made, whole.
    CStatus Open(const std::string& homeFolder, const std::function<CStatus()>& prepareHome = {});

    // The folder named by REELFS_HOME, else ~/.local/share/reelfs.
    static std::string DefaultHomeFolder();

    CSystemID GetID() const { return ID; }
    const std::string& GetHomeFolder() const { return HomeFolder; }

    // Stores the state of the host's objects; the host program says how (SetStateSaver).
    CStatus SaveState();
    void SetStateSaver(std::function<CStatus()> saver) { StateSaver = std::move(saver); }

    CDatabase Database;
    // The indexes of the tape images mounted before, kept in the database.
    CTapeIndexCache TapeIndexes{Database};
    CConfiguration Configuration;
    CEventSink EventSink;
    CTraceRegistry TraceRegistry;
    CIDSet<CVolume, 1> Volumes;
    // Supplied by the host program; volumes open their catalogues through it.
    CCatalogueStore* Catalogues = nullptr;

private:
    // The system's tables and its identity, made or read inside the home's first transaction.
    CStatus PrepareTables();

    CSystemID ID;
    std::string HomeFolder;
    std::function<CStatus()> StateSaver;
};
