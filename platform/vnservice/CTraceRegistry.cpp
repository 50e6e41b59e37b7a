#include "vnservice/CTraceRegistry.h"

#include "vnservice/ErrorGenerators.h"
#include "vnservice/HostErrors.h"

CStatus CTraceRegistry::Register(CSet<CTraceLoggable, 0>::pointer source, const char* file, int line)
{
    std::lock_guard lock(Mutex);
    if (FailNext)
    {
        FailNext = false;
        return CErrorGenMessage(file, line, HostErrorNotOffered, {"trace registration"});
    }
    if (!source)
        return CErrorGenMessage(file, line, HostErrorNotOffered, {"an empty trace source"});
    Sources.push_back(source);
    return CStatus::Success();
}

std::vector<std::string> CTraceRegistry::Names() const
{
    std::lock_guard lock(Mutex);
    std::vector<std::string> names;
    for (const auto& source : Sources)
        names.push_back(source->GetTraceName());
    return names;
}
