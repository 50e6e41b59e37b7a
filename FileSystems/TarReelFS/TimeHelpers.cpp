#include "FileSystems/TarReelFS/TimeHelpers.h"

#include "win/FileTime.h"

std::uint64_t GetCurrentFileTime()
{
    return GetSystemTimeAsFileTime();
}

std::uint64_t TimeToFileTime(std::uint64_t seconds)
{
    return seconds == 0 ? 0 : UnixSecondsToFileTime(seconds);
}
