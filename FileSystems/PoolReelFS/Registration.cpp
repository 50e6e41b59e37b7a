// The plug-in's only export.
#include "FileSystems/PoolReelFS/CActiveCircleFileSystem.h"
#include "FileSystems/TapeFS/TapePluginRegistration.h"

extern "C" __attribute__((visibility("default"))) std::uint32_t RegisterFactory0711()
{
    return RegisterTapePlugin<CActiveCircleFileSystem>();
}
