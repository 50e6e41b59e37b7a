// The plug-in's only export.
#include "FileSystems/TapeFS/TapePluginRegistration.h"
#include "FileSystems/TarReelFS/CGenericTarFileSystem.h"

extern "C" __attribute__((visibility("default"))) std::uint32_t RegisterFactory0711()
{
    return RegisterTapePlugin<CGenericTarFileSystem>();
}
