// The contexts of scans of tape volumes: what every tape file system's scan carries from item to item
// (the position reached), what scans of TAR archives add (the archive counter), and the context of one
// scan of a generic TAR volume. Owned by the host; used by the scan's operation thread.
#pragma once

#include "vnservice/CGetOperationContext.h"

#include <cstdint>

class CGenericTarFileSystem;

// The bodies every tape file system's scan context shares; positions in the medium's logical blocks.
class CTapeGetOperationContext : public CGetOperationContext
{
public:
    using CGetOperationContext::CGetOperationContext;

    std::uint64_t GetItemStart() override { return ItemStart; }
    void SetItemStart(std::uint64_t start) override { ItemStart = start; }
    std::uint64_t GetLastWrittenBlock() override { return Medium->LastWrittenBlock; }
    std::uint64_t GetItemStartBytes() override { return GetItemStart() * Medium->GetLogicalBlockSize(); }
    std::uint64_t GetLastWrittenBytes() override
    {
        return GetLastWrittenBlock() * Medium->GetLogicalBlockSize();
    }
    std::uint64_t GetItemSizeHint() override { return 0x100000; }
    bool IsEndOfData() override { return ScanPosition >= Medium->LastWrittenBlock; }

    std::uint64_t ScanPosition = 0;
    std::uint64_t ItemStart = 0;
};

// The context of a scan of a tape of TAR archives, which counts the archives' ends.
class CTarGetOperationContext : public CTapeGetOperationContext
{
public:
    using CTapeGetOperationContext::CTapeGetOperationContext;

    // The archive counter that archive-end items carry.
    std::uint32_t ArchiveCounter = 0;
};

class CGenericTarGetOperationContext : public CTarGetOperationContext
{
public:
    CGenericTarGetOperationContext(CGenericTarFileSystem* fileSystem, CVolumePointer volume,
                                   CMediumPointer medium)
        : CTarGetOperationContext(std::move(volume), std::move(medium)), FileSystem(fileSystem)
    {
    }

    CGenericTarFileSystem* FileSystem;
    std::uint64_t DataEnd = 0;
    std::uint32_t ArchiveEnds = 0;
};

class CGenericTarReplicationContext : public CReplicationContext
{
};
