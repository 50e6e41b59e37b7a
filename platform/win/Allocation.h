// Non-throwing allocation for objects made for the host. A failed allocation gives null, which the
// callers turn into their own failure. Tests arm AllocationFault to make a chosen allocation fail.
#pragma once

#include <new>
#include <utility>

namespace AllocationFault
{
// The next `skip` allocations succeed and the one after them fails; once.
void FailAfter(int skip);
// Every allocation from now on fails, until Clear.
void FailAlways();
void Clear();
// Consumes one allocation; true when it is to fail.
bool ShouldFail();
} // namespace AllocationFault

template <class T, class... Args> T* NewNoThrow(Args&&... args)
{
    if (AllocationFault::ShouldFail())
        return nullptr;
    return new (std::nothrow) T(std::forward<Args>(args)...);
}
