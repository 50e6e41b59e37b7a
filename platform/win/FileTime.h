// FILETIME values: 100-nanosecond intervals since 1601-01-01 UTC, carried as unsigned 64-bit numbers.
#pragma once

#include <cstdint>

// FILETIME of 1970-01-01 00:00:00 UTC.
constexpr std::uint64_t FileTimeUnixEpoch = 116444736000000000ULL;
constexpr std::uint64_t FileTimeTicksPerSecond = 10000000ULL;

// The current time as a FILETIME, from the system clock.
std::uint64_t GetSystemTimeAsFileTime();

// Seconds since 1970 to FILETIME (no special case for 0).
constexpr std::uint64_t UnixSecondsToFileTime(std::uint64_t seconds)
{
    return seconds * FileTimeTicksPerSecond + FileTimeUnixEpoch;
}

// FILETIME to whole seconds since 1970, rounded down; times before 1970 give negative numbers.
constexpr std::int64_t FileTimeToUnixSeconds(std::uint64_t fileTime)
{
    auto ticks = static_cast<std::int64_t>(fileTime) - static_cast<std::int64_t>(FileTimeUnixEpoch);
    auto seconds = ticks / static_cast<std::int64_t>(FileTimeTicksPerSecond);
    if (ticks < 0 && ticks % static_cast<std::int64_t>(FileTimeTicksPerSecond) != 0)
        --seconds;
    return seconds;
}

// Milliseconds since an unspecified start, monotonic (the tick count).
std::uint32_t GetTickCount();
