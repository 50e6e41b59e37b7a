// The factory instance a plug-in registers for its file-system class T. Create makes a file system for
// the host, which owns it and deletes it through its virtual destructor. The first Create in the process
// registers the plug-in's trace source with the system.
#pragma once

#include "frame/CTraceName.h"
#include "vnservice/CEventLog.h"
#include "vnservice/CFactory.h"
#include "vnservice/CSystem.h"
#include "win/Allocation.h"

#include <new>

template <class Base, class T> class CInstance;

template <class T> class CInstance<CArchiveFileSystem, T> : public CFactory<CArchiveFileSystem>::Instance
{
public:
    CArchiveFileSystem* Create(CSystem* system) override
    {
        // The memory comes first: without it nothing is registered and no status is made.
        void* memory = AllocationFault::ShouldFail() ? nullptr : ::operator new(sizeof(T), std::nothrow);
        if (!memory)
            return nullptr;
        auto& trace = CTraceName<T>::Name;
        if (trace.Registered == 0)
        {
            trace.Registered = 1;
            CEventLog::LogStatus(system->TraceRegistry.Register(
                CSet<CTraceLoggable, 0>::pointer::NonOwning(&trace), "System", __LINE__));
        }
        try
        {
            return new (memory) T(system, CSet<CTraceLoggable, 0>::pointer::NonOwning(&trace));
        }
        catch (...)
        {
            // The host gets null, never an exception, when the object cannot be made.
            ::operator delete(memory);
            return nullptr;
        }
    }
};
