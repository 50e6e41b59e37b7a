#include "win/Allocation.h"

#include <atomic>

namespace
{
// -1: disarmed; -2: fail always; n >= 0: n more allocations succeed, then one fails.
std::atomic<int> Countdown{-1};
} // namespace

namespace AllocationFault
{
void FailAfter(int skip)
{
    Countdown = skip;
}

void FailAlways()
{
    Countdown = -2;
}

void Clear()
{
    Countdown = -1;
}

bool ShouldFail()
{
    int current = Countdown.load();
    while (current >= 0)
    {
        int next = current == 0 ? -1 : current - 1;
        if (Countdown.compare_exchange_weak(current, next))
            return current == 0;
    }
    return current == -2;
}
} // namespace AllocationFault
