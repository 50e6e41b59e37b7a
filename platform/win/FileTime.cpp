#include "win/FileTime.h"

#include <chrono>

std::uint64_t GetSystemTimeAsFileTime()
{
    auto since = std::chrono::system_clock::now().time_since_epoch();
    auto ticks = std::chrono::duration_cast<std::chrono::duration<std::int64_t, std::ratio<1, 10000000>>>(since);
    return FileTimeUnixEpoch + static_cast<std::uint64_t>(ticks.count());
}

std::uint32_t GetTickCount()
{
    auto since = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}
