// The body of a plug-in's only export, RegisterFactory0711: it registers one factory instance for the
// file-system class T under T's type name, once per process. A later call returns 0 at once; when the
// instance cannot be allocated it returns 14 and a later call tries again. Not thread-safe: the host
// calls the export from one thread.
#pragma once

#include "frame/CInstance.h"
#include "vnservice/CFactory.h"
#include "win/Allocation.h"
#include "win/WinError.h"

#include <cstdint>

template <class T> class CPluginRegistration
{
public:
    static std::uint32_t Register()
    {
        if (RegisteredInstance)
            return ERROR_SUCCESS;
        auto* instance = NewNoThrow<CInstance<CArchiveFileSystem, T>>();
        if (!instance)
            return ERROR_OUTOFMEMORY;
        using Factory = CFactory<CArchiveFileSystem>;
        if (!Factory::Factory)
        {
            Factory::Factory = NewNoThrow<Factory>();
            if (!Factory::Factory)
            {
                delete instance;
                return ERROR_OUTOFMEMORY;
            }
        }
        instance->Self = instance;
        Factory::Factory->Register(instance, T::Texts.TypeName);
        RegisteredInstance = instance;
        return ERROR_SUCCESS;
    }

    // The instance the export registered; null until then. Never freed: the host keeps using it.
    static inline CFactory<CArchiveFileSystem>::Instance* RegisteredInstance = nullptr;
};
