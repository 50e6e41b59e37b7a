// How catalogue list code reports a failure that it cannot return: the Win32 error number is made the
// thread's last error and thrown as a 32-bit number, which the callers that report it catch.
#pragma once

#include <cstdint>

[[noreturn]] void ThrowWin32Error(std::uint32_t error);
