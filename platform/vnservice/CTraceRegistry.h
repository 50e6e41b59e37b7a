// The system's registry of trace sources. Registration records the source with the place in the host
// code that registered it; the same name may be registered again. Thread-safe.
#pragma once

#include "vnservice/CSet.h"
#include "vnservice/CStatus.h"
#include "vnservice/CTraceLoggable.h"

#include <mutex>
#include <string>
#include <vector>

class CTraceRegistry
{
public:
    CStatus Register(CSet<CTraceLoggable, 0>::pointer source, const char* file, int line);
    std::vector<std::string> Names() const;

    // Test seam: the next registration fails.
    void FailNextRegistration() { FailNext = true; }

private:
    mutable std::mutex Mutex;
    std::vector<CSet<CTraceLoggable, 0>::pointer> Sources;
    bool FailNext = false;
};
