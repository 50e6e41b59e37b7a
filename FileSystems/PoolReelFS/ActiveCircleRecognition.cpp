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
constexpr std::uint32_t QuietCodes[] = {0, ErrorNoData, ErrorBlank, ErrorNotLabelled, ErrorMalformedLabel};

// The states, each after the drive operation the one before started: 0 asks for the block size, 1 reads
// the label block, 2 parses the label and reads the mark after it, 3 checks the mark, 4 identifies.
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

class ActiveCircleRecognitionStep : public CLayoutRecognitionStep<CActiveCircleFileSystemOperation>
{
public:
    using CLayoutRecognitionStep::CLayoutRecognitionStep;

private:
    // The label block, into memory of the block buffer's own.
    CStatus FirstRead() override
    {
        CStatus status = CreateBlockBuffer();
        if (status.IsSuccess())
            status = LayoutOperation.BlockBuffer->AppendMemory(FileSystem.BlockSize, Medium);
        if (status.IsSuccess())
            ReadBlock(LayoutOperation.CurrentBlock, LabelRead);
        return status;
    }

    CStatus RunState(std::uint32_t state) override
    {
        if (state != LabelRead)
            return CTapeRecognitionStep::RunState(state);
        CStatus status = ParseActiveCircleLabel(LayoutOperation);
        if (status.IsSuccess())
        {
            // The label block's length in 512-byte units.
            LayoutOperation.CurrentBlock += Medium->AdjustToPhysicalBlockBoundary(1, true);
            ReadMark(LayoutOperation.CurrentBlock, MarkRead);
        }
        return status;
    }

    CStatus Check() override
    {
        return Medium->AtFileMark == 1 ? CStatus::Success() : Refused(ErrorNotLabelled, __LINE__);
    }

    Identity TapeIdentity() const override
    {
        return {static_cast<std::uint32_t>(LayoutOperation.LabelTime), LayoutOperation.LabelId};
    }
};
} // namespace

CStatus CActiveCircleFileSystem::RecogniseVolume(CArchiveFileSystemOperation* operation)
{
    auto& own = *static_cast<CActiveCircleFileSystemOperation*>(operation);
    return ActiveCircleRecognitionStep(*this, own, ActiveCircleLayout).Run();
}
