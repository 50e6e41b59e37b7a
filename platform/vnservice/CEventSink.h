// The system's event sink: progress and results that file systems post, each an event code with one
// value (a number or a text) and the name of the source that posted it. The sink keeps what it is given
// for the host to read back and hands each event to a listener (reelfs prints them with -v). The top two
// bits of a code give its severity, as with host error numbers: 1 information, 2 warning, 3 error.
// All members may be called from several threads.
#pragma once

#include "win/WideString.h"

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <variant>
#include <vector>

struct CEvent
{
    static constexpr std::uint32_t Information = 1;
    static constexpr std::uint32_t Warning = 2;
    static constexpr std::uint32_t Error = 3;
    std::uint32_t Severity() const { return Code >> 30; }

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
    // Returns the listener it replaces.
    Listener SetListener(Listener listener);
    std::vector<CEvent> Take();

private:
    std::uint32_t Deliver(CEvent event);

    std::mutex Mutex;
    Listener OnEvent;
    std::vector<CEvent> Posted;
};
