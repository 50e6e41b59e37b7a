// The scan of Active Circle tapes. The first operation of a scan from the start of the tape reads the
// label block and the file mark after it and hands the label back as an item of its own; every later
// operation reads one member's headers and hands it back as a file or a directory, or passes the end of
// an archive. Only the label and the headers are read; data blocks are passed over by position. A file
// lies whole on its volume, so the catalogue record the host makes of the item is all a restore needs.
#include "FileSystems/PoolReelFS/ActiveCircleLabel.h"
#include "FileSystems/PoolReelFS/CActiveCircleFileSystem.h"
#include "FileSystems/PoolReelFS/CActiveCircleFileSystemOperation.h"
#include "FileSystems/PoolReelFS/CActiveCircleGetOperationContext.h"
#include "FileSystems/TapeFS/FileSystemErrors.h"
#include "FileSystems/TarFile/TarScanStep.h"
#include "vnservice/CBlockBuffer.h"
#include "vnservice/ErrorGenerators.h"
#include "vnservice/Opcodes.h"
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
    DataEndRead = 7,
    SparseExtensionRead = 8,
};

// The states in which the shared TAR steps go on.
constexpr CTarScanStep::States SharedStates = {State::HeaderRead, State::PaxRead, State::ZeroBlockRead,
                                               State::ArchiveMarkPassed, State::SparseExtensionRead};

// One step of a scan operation: the shared TAR steps, and the label with its mark at the start.
class ActiveCircleScanStep
    : public CTarLayoutScanStep<CActiveCircleFileSystem, CActiveCircleFileSystemOperation,
                                CActiveCircleGetOperationContext>
{
public:
    ActiveCircleScanStep(CActiveCircleFileSystem& fileSystem, CActiveCircleFileSystemOperation& operation)
        : CTarLayoutScanStep(fileSystem, operation, SharedStates)
    {
    }

private:
    CStatus RunState(std::uint32_t state) override;
    CStatus ArchiveEndNotZero() const override;
    CStatus CheckData(const CFileName& name, std::uint64_t size) override;
    CStatus FileFound(const CFileName& name, std::uint64_t size,
                      const CGenericTarFragment& fragment) override;
    CStatus DataEndRead();
    CStatus CutShort(const std::string& name) const;

    CStatus StartItem();
    CStatus LabelRead();
    CStatus LabelMarkRead();
    // The label block's room on tape, and that of the mark after it, in 512-byte units.
    std::uint64_t LabelBlocks() const { return FileSystem.BlockSize / 512; }
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
    case State::DataEndRead:
        return DataEndRead();
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
    LayoutOperation.TarFile.reset(NewNoThrow<CActiveCircleTarFile>());
    if (!LayoutOperation.TarFile)
        return CErrorGenMemory(Source, __LINE__, sizeof(CActiveCircleTarFile));
    return ReadHeader(State::HeaderRead);
}

CStatus ActiveCircleScanStep::LabelRead()
{
    // The label's identifier goes into this replica's slot of the catalogue header, where recognition
    // looks for it when the tape is read again.
    if (CStatus status = ParseActiveCircleLabel(LayoutOperation); status.Failed())
        return status;
    if (CStatus status = StoreLabelId(LayoutOperation.LabelId, true); status.Failed())
        return status;
    ReadMark(Context.ScanPosition, State::LabelMarkRead);
    Context.ScanPosition += LabelBlocks();
    return CStatus::Success();
}

CStatus ActiveCircleScanStep::LabelMarkRead()
{
    CStatus status;
    if (Medium->AtFileMark != 1)
        status = CErrorGenFileSystem(Source, __LINE__, ErrorNotLabelled, FileSystem.VolumeID);
    Item.Opcode = ItemLabel;
    Item.ClearParameters();
    return Finish(status);
}

CStatus ActiveCircleScanStep::CheckData(const CFileName& name, std::uint64_t size)
{
    if (CStatus status = CTarScanStep::CheckData(name, size); status.Failed())
        return status;
    // A file lies whole on its tape: data that would run past the end of the tape's data mean a tape
    // cut short, and a file that cannot be restored.
    const std::uint64_t end =
        Medium->AdjustToPhysicalBlockBoundary(Context.ScanPosition + CTarFile::BlocksFor(size), true);
    return end <= Medium->LastWrittenBlock ? CStatus::Success() : CutShort(name.ToUtf8());
}

CStatus ActiveCircleScanStep::FileFound(const CFileName&, std::uint64_t size, const CGenericTarFragment&)
{
    Context.ScanPosition += CTarFile::BlocksFor(size);
    // Data that end in the tape's last physical block may have run into the mark that closes the tape
    // file, which takes that room: only a tape cut short ends so, and the medium tells.
    const std::uint64_t physical = Medium->AdjustToPhysicalBlockBoundary(1, true);
    const std::uint64_t end = Medium->AdjustToPhysicalBlockBoundary(Context.ScanPosition, true);
    if (size == 0 || end + physical <= Medium->LastWrittenBlock)
        return Finish(CStatus::Success());
    ReadMark(end - physical, State::DataEndRead);
    return CStatus::Success();
}

CStatus ActiveCircleScanStep::DataEndRead()
{
    return Finish(Medium->AtFileMark == 1 ? CutShort(Item.AnchoredFileName.ToUtf8()) : CStatus::Success());
}

CStatus ActiveCircleScanStep::CutShort(const std::string& name) const
{
    return CErrorGenFileSystem(Source, __LINE__, ErrorDataPastEnd, FileSystem.VolumeID,
                               {name, FormatParameter("%I64u", Medium->LastWrittenBlock)});
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
