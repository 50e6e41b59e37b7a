// Recognition of Active Circle tapes: a tape whose block size is a multiple of 512, whose first block
// holds a valid label and on which a file mark follows that block. The volume's number starts at the
// label's date and is kept stable across readings through the label identifiers that scans store in the
// catalogue header.
#include "FileSystems/PoolReelFS/ActiveCircleLabel.h"
#include "FileSystems/PoolReelFS/CActiveCircleFileSystem.h"
#include "FileSystems/PoolReelFS/CActiveCircleFileSystemOperation.h"
#include "FileSystems/TapeFS/FileSystemErrors.h"
#include "FileSystems/TapeFS/TapeRecognition.h"
#include "vnservice/CBlockBuffer.h"
#include "vnservice/ErrorGenerators.h"

namespace
{
constexpr char Source[] = "ActiveCircleOps";
constexpr std::uint32_t VolumeSetTypeActiveCircle = 6;

// The kept drive statuses (and the refusals of this layout) that only mean the tape is not ours.
constexpr std::uint32_t QuietCodes[] = {0, 0xC00007E2, 0xC0001798, 0xC00036B0, 0xC00036B1};
} // namespace

CStatus CActiveCircleFileSystem::RecogniseVolume(CArchiveFileSystemOperation* base)
{
    auto& operation = *static_cast<CActiveCircleFileSystemOperation*>(base);
    auto& volume = *static_cast<CVolume*>(operation.TargetResource);
    const std::uint32_t replica = operation.ReplicaIndex;
    CMediumPointer held = volume.GetReplica(replica);
    CMedium* medium = held.get();
    RecognitionOutcome outcome = RecognitionOutcome::Continue;
    CStatus status;

    auto notLabelled = [&](int line)
    { return CErrorGenMessage(Source, line, ErrorNotLabelled, {medium->GetName()}); };

    if (!ReadyForRecognitionStep(*this, operation, medium, 4, status))
        return FinishRecognitionStep(*this, operation, volume, medium, outcome, status, operation.Recognised,
                                     QuietCodes);

    switch (operation.State)
    {
    case 0:
        status = StartRecognition(*this, operation, volume, medium, operation.AlertFlag);
        break;
    case 1:
        operation.AlertFlag = false;
        if (!TakeMediumBlockSize(*medium, ErrorNotLabelled, outcome, status))
            break;
        if (BlockSize & 511)
            outcome = RecognitionOutcome::NotThisLayout;
        else if (!(operation.BlockBuffer = CreateBlockBuffer(2, medium)))
            status = CErrorGenMemory(Source, __LINE__, sizeof(CBlockBuffer));
        else if ((status = operation.BlockBuffer->AppendMemory(BlockSize, medium)).IsSuccess())
            operation.NextState(volume.ReadBlocksOperation(&operation, BlockSize, replica, 1,
                                                           operation.CurrentBlock, 0, 0,
                                                           operation.BlockBuffer, 0, false, nullptr),
                                2);
        break;
    case 2:
        status = ParseActiveCircleLabel(operation);
        if (status.IsSuccess())
        {
            // The label block's length in 512-byte units.
            operation.CurrentBlock += medium->AdjustToPhysicalBlockBoundary(1, true);
            operation.NextState(volume.ReadMarkOperation(&operation, replica, 1, operation.CurrentBlock), 3);
        }
        break;
    case 3:
        if (medium->AtFileMark != 1)
        {
            status = notLabelled(__LINE__);
            break;
        }
        status = SettleVolumeNumber(*this, volume, CVolumeSetID(CSystemID(), VolumeSetTypeActiveCircle),
                                    static_cast<std::uint32_t>(operation.LabelTime), operation.LabelId,
                                    operation.Recognised);
        if (status.IsSuccess())
        {
            operation.AlertFlag = true;
            operation.NextState(volume.FindLastWrittenBlockOperation(&operation, replica, 1), 4);
        }
        break;
    case 4:
        status = IdentifyVolume(volume, *medium, outcome);
        break;
    default:
        status = UnknownState(operation.State, __LINE__);
        break;
    }
    return FinishRecognitionStep(*this, operation, volume, medium, outcome, status, operation.Recognised,
                                 QuietCodes);
}
