// The host's event log, where statuses that no caller returns are written. The log passes each entry to
// the sink that the host program installs (reelfs prints them with -v), and keeps it while there is none.
// All members may be called from several threads.
#pragma once

#include "vnservice/CStatus.h"

#include <functional>
#include <string>
#include <vector>

class CEventLog
{
public:
    // Logs a failure; success, and failures marked ignored or not propagated, are not logged.
    static void LogStatus(const CStatus& status);

    using Sink = std::function<void(const CStatus&)>;
    static void SetSink(Sink sink);
    // What was logged, while no sink was installed, since the last call.
    static std::vector<CStatus> TakeLogged();
};
