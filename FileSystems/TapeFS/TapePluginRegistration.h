// The body of every tape plug-in's only export, RegisterFactory0711: the host first gets the texts of the
// file systems' error numbers, then the factory instance of the file-system class T (see
// CPluginRegistration). Returns 14 when memory runs out, and a later call tries again. Called by the host
// from one thread.
#pragma once

#include "FileSystems/TapeFS/FileSystemErrors.h"
#include "frame/PluginRegistration.h"

#include <cstdint>

template <class T> std::uint32_t RegisterTapePlugin()
{
    if (!RegisterFileSystemErrorTexts())
        return ERROR_OUTOFMEMORY;
    return CPluginRegistration<T>::Register();
}
