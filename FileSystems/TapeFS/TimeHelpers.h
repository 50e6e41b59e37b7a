// Time conversions the tape file systems share.
#pragma once

#include <cstdint>

// The current time as a FILETIME (100-nanosecond units since 1601-01-01 UTC).
std::uint64_t GetCurrentFileTime();
// Seconds since 1970-01-01 UTC (negative before) as a FILETIME; 0 stays 0 (an unknown time, not 1970), and
// so do times before 1601 or past what a FILETIME holds.
std::uint64_t TimeToFileTime(std::int64_t seconds);
