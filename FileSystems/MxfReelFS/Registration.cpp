// The plug-in's only export: the host gets the texts of the plug-in's error numbers, then its factory.
#include "FileSystems/MxfReelFS/CTedialFileSystem.h"
#include "FileSystems/TapeFS/FileSystemErrors.h"
#include "frame/PluginRegistration.h"

extern "C" __attribute__((visibility("default"))) std::uint32_t RegisterFactory0711()
{
    if (!RegisterFileSystemErrorTexts())
        return ERROR_OUTOFMEMORY;
    return CPluginRegistration<CTedialFileSystem>::Register();
}
