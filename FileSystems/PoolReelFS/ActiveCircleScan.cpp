// The scan of Active Circle tapes. The first operation of a scan from the start of the tape reads the
// label block and the file mark after it and hands the label back as an item of its own; every later
// operation reads one member's headers and hands it back as a file or a directory, or passes the end of
// an archive. Only the label and the headers are read; data blocks are passed over by position. A file
// lies whole on its volume, so the catalogue record the host makes of the item is all a restore needs.
#include "FileSystems/PoolReelFS/ActiveCircleLabel.h"
#include "FileSystems/PoolReelFS/CActiveCircleFileSystem.h"
#include "FileSystems/PoolReelFS/CActiveCircleFileSystemOperation.h"
#include "FileSystems/PoolReelFS/CActiveCircleGetOperationContext.h"
#include "FileSystems/TarReelFS/FileSystemErrors.h"
#include "FileSystems/TarReelFS/TarScanStep.h"
#include "vnservice/CBlockBuffer.h"
#include "vnservice/ErrorGenerators.h"
#include "win/Allocation.h"

namespace
{
constexpr char Source[] = "ActiveCircleOps";

enum State : std::uint32_t
{
    StartItem = 0,
    LabelRead = 1,
    LabelMarkRead = 2,
    HeaderRead = 3,
    PaxRead = 4,
    ZeroBlockRead = 5,
    ArchiveMarkPassed = 6,
};

// One step of a scan operation: the shared TAR steps, and the label with its mark at the start.
class ActiveCircleScanStep : public CTarScanStep
{
public:
    ActiveCircleScanStep(CActiveCircleFileSystem& fileSystem, CActiveCircleFileSystemOperation& operation)
        : CTarScanStep(fileSystem, operation,
                       *static_cast<CActiveCircleGetOperationContext*>(operation.ScanContext()),
                       {State::HeaderRead, State::PaxRead, State::ZeroBlockRead, State::ArchiveMarkPassed}),
          FileSystem(fileSystem), Operation(operation)
    {
    }

private:
    CTarFile& Tar() override { return *Operation.TarFile; }
    CStatus RunState(std::uint32_t state) override;
    CStatus ArchiveEndNotZero() const override;

    CStatus StartItem();
    CStatus LabelRead();
    CStatus LabelMarkRead();
    // The label block's room on tape, and that of the mark after it, in 512-byte units.
    std::uint64_t LabelBlocks() const { return FileSystem.BlockSize / 512; }

    // The base's members, as this file system's own types.
    CActiveCircleFileSystem& FileSystem;
    CActiveCircleFileSystemOperation& Operation;
};

CStatus ActiveCircleScanStep::RunState(std::uint32_t state)
{
    switch (state)
    {
    case State::StartItem:
        return StartItem();
    case State::LabelRead:
        return LabelRead();
    case State::LabelMarkRead:
        return LabelMarkRead();
    default:
        return FileSystem.UnknownState(state, __LINE__);
    }
}

CStatus ActiveCircleScanStep::StartItem()
{
    if (CStatus status = CreateBlockBuffer(); status.Failed())
        return status;
    if (Context.ScanPosition == 0)
    {
        if (CStatus status = Operation.BlockBuffer->AppendMemory(FileSystem.BlockSize, Medium);
            status.Failed())
            return status;
        return ReadInto(FileSystem.BlockSize, LabelBlocks(), State::LabelRead);
    }
    Operation.TarFile.reset(NewNoThrow<CActiveCircleTarFile>());
    if (!Operation.TarFile)
        return CErrorGenMemory(Source, __LINE__, sizeof(CActiveCircleTarFile));
    return ReadHeader(State::HeaderRead);
}

CStatus ActiveCircleScanStep::LabelRead()
{
    // The label's identifier goes into this replica's slot of the catalogue header, where recognition
    // looks for it when the tape is read again.
    if (CStatus status = ParseActiveCircleLabel(Operation); status.Failed())
        return status;
    if (CStatus status = StoreLabelId(Operation.LabelId, true); status.Failed())
        return status;
    Operation.NextState(Volume.ReadMarkOperation(&Operation, Operation.ReplicaIndex, 1, Context.ScanPosition),
                        State::LabelMarkRead);
    Context.ScanPosition += LabelBlocks();
    return CStatus::Success();
}

CStatus ActiveCircleScanStep::LabelMarkRead()
{
    CStatus status;
    if (Medium->AtFileMark != 1)
        status = CErrorGenFileSystem(Source, __LINE__, ErrorNotLabelled, FileSystem.VolumeID);
    Item.Opcode = 0;
    Item.ClearParameters();
    return Finish(status);
}

CStatus ActiveCircleScanStep::ArchiveEndNotZero() const
{
    // The position after the block that should have been zero.
    return CErrorGenFileSystem(Source, __LINE__, ErrorLabelledArchiveEndNotZero, FileSystem.VolumeID,
                               {FormatParameter("%I64u", Context.ScanPosition)});
}
} // namespace

CStatus CActiveCircleFileSystem::GetNextItem(CArchiveFileSystemOperation* operation)
{
    return ActiveCircleScanStep(*this, *static_cast<CActiveCircleFileSystemOperation*>(operation)).Run();
}
