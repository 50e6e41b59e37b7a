#include "pagelist/ListErrors.h"

#include "win/WinError.h"

void ThrowWin32Error(std::uint32_t error)
{
    SetLastError(error);
    throw error;
}
