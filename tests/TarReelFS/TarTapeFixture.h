// The host of the generic TAR handler tests: volumes read by the generic TAR file system.
#pragma once

#include "TapeFixture.h"

#include "FileSystems/TarReelFS/CGenericTarFileSystem.h"
#include "FileSystems/TarReelFS/CGenericTarFileSystemOperation.h"

using TarTape = PluginTape<CGenericTarFileSystem>;
