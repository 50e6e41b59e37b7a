// The system's event sink: progress and results that file systems post, each an event code with one
// value (a number or a text) and the name of the source that posted it. The sink keeps what it is given
// for the host to read back and hands each event to a listener (reelfs prints them with -v).
// All members may be called from several threads.
#pragma once

#include "win/WideString.h"

#include <cstdint>
#include <functional>
#include <mutex>
#include <utility>
#include <string>
#include <variant>
#include <vector>

struct CEvent
{
    std::string Source;
    std::uint32_t Code = 0;
    std::variant<std::uint64_t, WString> Value;
};

class CEventSink
{
public:
    // Both return 0: the event was taken.
    std::uint32_t Post(const std::string& source, std::uint32_t code, std::uint64_t value);
    std::uint32_t Post(const std::string& source, std::uint32_t code, WStringView text);

    using Listener = std::function<void(const CEvent&)>;
    void SetListener(Listener listener);
    std::vector<CEvent> Take();

private:
    std::uint32_t Deliver(CEvent event);

    std::mutex Mutex;
    Listener OnEvent;
    std::vector<CEvent> Posted;
};
