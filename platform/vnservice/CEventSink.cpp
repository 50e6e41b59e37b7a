#include "vnservice/CEventSink.h"

std::uint32_t CEventSink::Post(const std::string& source, std::uint32_t code, std::uint64_t value)
{
    return Deliver(CEvent{source, code, value});
}

std::uint32_t CEventSink::Post(const std::string& source, std::uint32_t code, WStringView text)
{
    return Deliver(CEvent{source, code, WString(text)});
}

std::uint32_t CEventSink::Deliver(CEvent event)
{
    std::lock_guard lock(Mutex);
    if (OnEvent)
        OnEvent(event);
    // Kept only while nobody listens, so a long scan does not pile up progress events.
    else
        Posted.push_back(std::move(event));
    return 0;
}

CEventSink::Listener CEventSink::SetListener(Listener listener)
{
    std::lock_guard lock(Mutex);
    return std::exchange(OnEvent, std::move(listener));
}

std::vector<CEvent> CEventSink::Take()
{
    std::lock_guard lock(Mutex);
    return std::exchange(Posted, {});
}
