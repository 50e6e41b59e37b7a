#include "win/WinError.h"

namespace
{
thread_local std::uint32_t LastError = ERROR_SUCCESS;
}

std::uint32_t GetLastError()
{
    return LastError;
}

void SetLastError(std::uint32_t error)
{
    LastError = error;
}
