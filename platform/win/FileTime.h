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

// FILETIME to whole seconds since 1970, rounded down; times before 1970 give negative numbers. Counted
// in unsigned numbers, since FILETIME runs on past the largest signed 64-bit number (in the year 30828).
constexpr std::int64_t FileTimeToUnixSeconds(std::uint64_t fileTime)
{
    if (fileTime >= FileTimeUnixEpoch)
        return static_cast<std::int64_t>((fileTime - FileTimeUnixEpoch) / FileTimeTicksPerSecond);
    const std::uint64_t before = FileTimeUnixEpoch - fileTime;
    return -static_cast<std::int64_t>((before + FileTimeTicksPerSecond - 1) / FileTimeTicksPerSecond);
}

// Milliseconds since an unspecified start, monotonic (the tick count).
std::uint32_t GetTickCount();
