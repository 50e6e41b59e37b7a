#include "FileSystems/TapeFS/TimeHelpers.h"

#include "win/FileTime.h"

std::uint64_t GetCurrentFileTime()
{
    return GetSystemTimeAsFileTime();
}

std::uint64_t TimeToFileTime(std::int64_t seconds)
{
    // FILETIME counts from 1601 in 64 bits: times it cannot hold are unknown, never wrapped to others.
    constexpr std::int64_t epochSeconds =
        static_cast<std::int64_t>(FileTimeUnixEpoch / FileTimeTicksPerSecond);
    constexpr std::int64_t lastSeconds =
        static_cast<std::int64_t>((UINT64_MAX - FileTimeUnixEpoch) / FileTimeTicksPerSecond);
    if (seconds == 0 || seconds < -epochSeconds || seconds > lastSeconds)
        return 0;
    return static_cast<std::uint64_t>(seconds + epochSeconds) * FileTimeTicksPerSecond;
}
