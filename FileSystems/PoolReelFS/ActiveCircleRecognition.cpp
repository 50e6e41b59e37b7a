// Recognition of Active Circle tapes: a tape whose block size is a multiple of 512, whose first block
// holds a valid label and on which a file mark follows that block. The volume's number starts at the
// label's date and is kept stable across readings through the label identifiers that scans store in the
// catalogue header.
#include "FileSystems/PoolReelFS/ActiveCircleLabel.h"
#include "FileSystems/PoolReelFS/CActiveCircleFileSystem.h"
#include "FileSystems/PoolReelFS/CActiveCircleFileSystemOperation.h"
#include "FileSystems/TapeFS/FileSystemErrors.h"
#include "FileSystems/TapeFS/TapeRecognitionStep.h"
#include "vnservice/CBlockBuffer.h"

namespace
{
// The kept drive statuses (and the refusals of this layout) that only mean the tape is not ours.
constexpr std::uint32_t QuietCodes[] = {0, 0xC00007E2, 0xC0001798, ErrorNotLabelled, ErrorMalformedLabel};

// States: 0 block size, 1 label block, 2 its mark, 3 the mark checked, 4 last written block.
enum State : std::uint32_t
{
    LabelRead = 2,
    MarkRead = 3,
};

constexpr CTapeRecognitionStep::Layout ActiveCircleLayout = {
    .CheckState = MarkRead,
    .VolumeSetType = 6,
    .BlockSizeUnknown = ErrorNotLabelled,
    .WholeTarBlocks = true,
    .MarksIdentified = true,
    .QuietCodes = QuietCodes,
};

class ActiveCircleRecognitionStep : public CTapeRecognitionStep
{
public:
    ActiveCircleRecognitionStep(CActiveCircleFileSystem& fileSystem,
                                CActiveCircleFileSystemOperation& operation)
        : CTapeRecognitionStep(fileSystem, operation, operation.AlertFlag, operation.Recognised,
                               ActiveCircleLayout),
          CircleOperation(operation)
    {
    }

private:
    // The label block, into memory of the block buffer's own.
    CStatus FirstRead() override
    {
        CStatus status = CreateBlockBuffer();
        if (status.IsSuccess())
            status = CircleOperation.BlockBuffer->AppendMemory(FileSystem.BlockSize, Medium);
        if (status.IsSuccess())
            ReadBlock(CircleOperation.CurrentBlock, LabelRead);
        return status;
    }

    CStatus RunState(std::uint32_t state) override
    {
        if (state != LabelRead)
            return CTapeRecognitionStep::RunState(state);
        CStatus status = ParseActiveCircleLabel(CircleOperation);
        if (status.IsSuccess())
        {
            // The label block's length in 512-byte units.
            CircleOperation.CurrentBlock += Medium->AdjustToPhysicalBlockBoundary(1, true);
            ReadMark(CircleOperation.CurrentBlock, MarkRead);
        }
        return status;
    }

    CStatus Check() override
    {
        return Medium->AtFileMark == 1 ? CStatus::Success() : Refused(ErrorNotLabelled, __LINE__);
    }

    Identity TapeIdentity() const override
    {
        return {static_cast<std::uint32_t>(CircleOperation.LabelTime), CircleOperation.LabelId};
    }

    CActiveCircleFileSystemOperation& CircleOperation;
};
} // namespace

CStatus CActiveCircleFileSystem::RecogniseVolume(CArchiveFileSystemOperation* operation)
{
    return ActiveCircleRecognitionStep(*this, *static_cast<CActiveCircleFileSystemOperation*>(operation))
        .Run();
}
