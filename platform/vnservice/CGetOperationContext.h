// The context of one scan of a volume: the host passes it with every GetNextItem operation of the scan,
// so the file system's position and counters carry from item to item. Each item is handed back in the
// embedded ItemOperation. File systems derive their own context; the host frees it through the virtual
// destructor. Used by the scan's operation thread only.
#pragma once

#include "vnservice/CArchiveFileSystem.h"
#include "vnservice/CArchiveFileSystemOperation.h"
#include "vnservice/CMedium.h"

#include <cstdint>

class CGetOperationContext
{
public:
    CGetOperationContext(CVolumePointer volume, CMediumPointer medium);
    virtual ~CGetOperationContext() = default;

    virtual std::uint64_t GetItemStart() = 0;
    virtual void SetItemStart(std::uint64_t start) = 0;
    virtual std::uint64_t GetLastWrittenBlock() = 0;
    virtual std::uint64_t GetItemStartBytes() = 0;
    virtual std::uint64_t GetLastWrittenBytes() = 0;
    virtual std::uint64_t GetItemSizeHint() = 0;
    virtual bool IsEndOfData() = 0;
    virtual void Cancel() { Cancelled = true; }
    virtual std::uint64_t GetRemainingItemCount() { return 0; }

    CVolumePointer Volume;
    CMediumPointer Medium;
    CArchiveFileSystemOperation ItemOperation;
    bool Cancelled = false;
};

// Replication between volumes is the host's; a file system's context holds nothing.
class CReplicationContext
{
public:
    virtual ~CReplicationContext() = default;
};
