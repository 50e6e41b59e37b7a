// The time zone of a home: the one the host was first run under there, kept in the home's database, under
// which every later command of that home runs. Tedial labels and MXF dates are local times, and a label's
// time is part of its tape's identity, so a tape keeps its identity only while the zone stays the same,
// whoever runs the host (a login shell and a cron job differ in TZ). Runs on the main thread, before any
// plug-in reads a time.
#pragma once

#include "vnservice/CStatus.h"

#include <string>

class CDatabase;

// Reads the home's zone, recording the one the process runs under when the home has none yet, and makes it
// the process's (TZ). Called in the transaction that makes the home, so that commands started at once on
// a new home all run under the zone of the one that made it. `zone` receives it as TZ takes it: a zone name
// such as Europe/Berlin, a rule such as EST5, or empty for UTC.
CStatus SettleHomeTimeZone(CDatabase& database, std::string& zone);
