// The frame of one step of a tape scan (a GetNextItem operation), written once for every layout: the
// event that an item starts at the scan position, the refusal of a replica without a medium, the block
// buffer, the label identifier kept in the catalogue header, the read of a file mark, the filling of a
// file item and the completion of the operation. Each layout derives its step class, through
// CLayoutScanStep for its own operation, context and file-system types, and supplies the steps of its
// states. A step object lives for one call of the handler, on the host's operation thread; the
// operation, the context and the volume it works on are the host's. It takes no lock.
#pragma once

#include "vnservice/CArchiveFileSystem.h"
#include "vnservice/CStatus.h"

#include <cstdint>

class CArchiveFileSystemOperation;
class CCatArchive;
class CFileListInternal;
class CFileName;
class CMedium;
class CTapeFileSystem;
class CTapeGetOperationContext;
class CTapeOperation;
class CVolume;

class CTapeScanStep
{
public:
    // Posts the event of an item that starts at the scan position (state 0), fails when the replica has
    // no medium, and runs the step of the operation's state. Returns the step's own status.
    CStatus Run();

protected:
    CTapeScanStep(CTapeFileSystem& fileSystem, CTapeOperation& operation, CTapeGetOperationContext& context);
    virtual ~CTapeScanStep() = default;

    // The step of `state`, with the medium present; the failure of an unknown state for states nobody
    // knows.
    virtual CStatus RunStep(std::uint32_t state) = 0;

    // The item's block buffer, in 512-byte units, as the operation's BlockBuffer.
    CStatus CreateBlockBuffer();
    // Reads the file mark expected at `position`, to go on in `next`.
    void ReadMark(std::uint64_t position, std::uint32_t next);
    // Writes the label identifier into the operation's replica slot of the catalogue header when it
    // differs there. A header that cannot be read fails when `unreadableFails`, else leaves the slot.
    CStatus StoreLabelId(const std::uint8_t (&labelId)[48], bool unreadableFails);
    // Makes the item the file of `record`, named `path`, that starts at the item's start: its fragment
    // file made from the record (the host takes it over), its size the record's. `position` and `time`
    // go into ItemPosition and ItemSize: TAR layouts pass 0 and the file's time, the Tedial layout the
    // file's time and 0. On failure no fragment file is left.
    CStatus FillFile(const CFileName& path, const CCatArchive& record, std::uint64_t position,
                     std::uint64_t time);
    // Completes the operation with `status`; the step itself succeeded.
    CStatus Finish(const CStatus& status);

    CTapeFileSystem& FileSystem;
    CTapeOperation& Operation;
    CTapeGetOperationContext& Context;
    CFileListInternal* Catalogue;
    CVolume& Volume;
    CMediumPointer HeldMedium;
    // Present in every step that RunStep runs.
    CMedium* Medium;
    CArchiveFileSystemOperation& Item;
};

// The base of one layout's step over the shared step class `Step` (CTapeScanStep or one derived from
// it), with the layout's file system, operation and scan context as their own types. Arguments after
// the operation go to Step's constructor after the context.
template <class Step, class FileSystemClass, class OperationClass, class ContextClass>
class CLayoutScanStep : public Step
{
public:
    template <class... Arguments>
    CLayoutScanStep(FileSystemClass& fileSystem, OperationClass& operation, const Arguments&... arguments)
        : Step(fileSystem, operation, *static_cast<ContextClass*>(operation.ScanContext()), arguments...),
          LayoutFileSystem(fileSystem), LayoutOperation(operation),
          LayoutContext(*static_cast<ContextClass*>(operation.ScanContext()))
    {
    }

protected:
    FileSystemClass& LayoutFileSystem;
    OperationClass& LayoutOperation;
    ContextClass& LayoutContext;
};
