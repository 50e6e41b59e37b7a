// A host resource that operations run on (a file system, a volume). The host hands every drive
// operation's status to the resource that owns the operation before it enters the handler again.
#pragma once

#include "vnservice/CStatus.h"
#include "win/CriticalSection.h"

#include <cstdint>

class COperation;

class CResource
{
public:
    virtual ~CResource() = default;
    virtual std::uint32_t Hook01() { return 0; }
    // True when the resource took the status over; false leaves it to the host.
    virtual bool HandleOperationStatus(COperation*, const CStatus&) { return false; }
    virtual void ThreadProc() {}
    virtual std::uint32_t GetIdleDeallocationTime() { return 0; }
    virtual bool IsBusy() { return false; }
    virtual bool IsIdle() { return true; }

    // Held while the resource must not be freed.
    CCriticalSection DeallocationLock;
};
