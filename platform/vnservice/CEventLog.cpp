#include "vnservice/CEventLog.h"

#include <mutex>
#include <utility>

namespace
{
struct LogState
{
    std::mutex Mutex;
    CEventLog::Sink Sink;
    std::vector<CStatus> Logged;
};

LogState& State()
{
    static LogState state;
    return state;
}
} // namespace

void CEventLog::LogStatus(const CStatus& status)
{
    if (status.IsSuccess() || status.IsIgnored() || status.IsNotPropagated())
        return;
    auto& state = State();
    std::lock_guard lock(state.Mutex);
    // Kept for TakeLogged only while no sink takes them, so a long run does not pile them up.
    if (state.Sink)
        state.Sink(status);
    else
        state.Logged.push_back(status);
}

void CEventLog::SetSink(Sink sink)
{
    auto& state = State();
    std::lock_guard lock(state.Mutex);
    state.Sink = std::move(sink);
}

std::vector<CStatus> CEventLog::TakeLogged()
{
    auto& state = State();
    std::lock_guard lock(state.Mutex);
    return std::exchange(state.Logged, {});
}
