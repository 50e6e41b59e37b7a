// What every tape file system's operation carries besides the host's members: the status of the last
// drive operation as the file system's status hook kept it, the flags that the hook reads, and where the
// drive stood after spacing over file marks. Each plug-in's operation class derives from it. Owned by the
// host, driven by one thread at a time.
#pragma once

#include "vnservice/CArchiveFileSystemOperation.h"
#include "vnservice/CStatus.h"

#include <cstdint>

class CTapeOperation : public CArchiveFileSystemOperation
{
public:
    using CArchiveFileSystemOperation::CArchiveFileSystemOperation;
    // A kept failure is reported where it arose; releasing it must not report it again.
    ~CTapeOperation() override { KeptStatus.NotPropagated(); }

    // Recognition: a failure of the pending drive operation puts volume and medium in alert.
    virtual bool IsAlertFlagSet() const = 0;
    // Restore: the destination fragment file has been opened for an early result.
    virtual bool IsFragmentFileOpen() const = 0;

    CStatus KeptStatus;
    // Scan (opcode 11): where the drive stood after spacing over a file mark. The drive writes it when
    // the spacing completes; the next step takes it over as the scan position.
    std::uint64_t MarkReached = 0;
};
