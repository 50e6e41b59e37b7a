#include "mxf/RefCount.h"

namespace mxf
{

std::mutex& WeakPointerLock()
{
    // Never destroyed: counted objects that outlive static destruction still clear their weak pointers.
    static auto* lock = new std::mutex;
    return *lock;
}

} // namespace mxf
