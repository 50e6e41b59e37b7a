#include "win/WinError.h"

namespace
{
// Initial-exec: see the error number of platform/crt.
[[gnu::tls_model("initial-exec")]] thread_local std::uint32_t LastError = ERROR_SUCCESS;
} // namespace

std::uint32_t GetLastError()
{
    return LastError;
}

void SetLastError(std::uint32_t error)
{
    LastError = error;
}
