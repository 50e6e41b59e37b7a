// The context of a scan of a tape of TAR archives, which counts the archives' ends besides what every
// tape scan carries. Owned by the host; used by the scan's operation thread.
#pragma once

#include "FileSystems/TapeFS/CTapeGetOperationContext.h"

#include <cstdint>

class CTarGetOperationContext : public CTapeGetOperationContext
{
public:
    using CTapeGetOperationContext::CTapeGetOperationContext;

    // The archive counter that archive-end items carry.
    std::uint32_t ArchiveCounter = 0;
};
