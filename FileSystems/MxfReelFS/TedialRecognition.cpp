// Recognition of Tedial tapes: a tape whose first block holds a valid label, on which a file mark follows
// that block and whose third block begins with an MXF partition pack, read with the MXF dictionary. The
// volume's number starts at the label's date and is kept stable across readings through the label identifiers
// that scans store in the catalogue header.
#include "FileSystems/MxfReelFS/CMXFOnTapeFile.h"
#include "FileSystems/MxfReelFS/CTedialFileSystem.h"
#include "FileSystems/MxfReelFS/CTedialFileSystemOperation.h"
#include "FileSystems/MxfReelFS/TedialLabel.h"
#include "FileSystems/MxfReelFS/TedialNaming.h"
#include "FileSystems/TapeFS/FileSystemErrors.h"
#include "FileSystems/TapeFS/TapeRecognition.h"
#include "mxf/Partition.h"
#include "vnservice/CBlockBuffer.h"
#include "vnservice/CSystem.h"
#include "vnservice/ErrorGenerators.h"
#include "win/Allocation.h"

namespace
{
constexpr char Source[] = "TedialOps";
constexpr std::uint32_t VolumeSetTypeTedial = 7;

// Tape blocks: the label, its mark, the first block of the first MXF file.
constexpr std::uint64_t LabelBlock = 0;
constexpr std::uint64_t LabelMark = 1;
constexpr std::uint64_t FirstFileBlock = 2;

// The kept drive statuses (and the refusals of this layout) that only mean the tape is not ours.
constexpr std::uint32_t QuietCodes[] = {0, 0xC00007E2, 0xC0001798, ErrorNoTedialMark,
                                        ErrorMalformedTedialLabel};

} // namespace

CStatus CTedialFileSystem::RecogniseVolume(CArchiveFileSystemOperation* base)
{
    auto& operation = *static_cast<CTedialFileSystemOperation*>(base);
    auto& volume = *static_cast<CVolume*>(operation.TargetResource);
    const std::uint32_t replica = operation.ReplicaIndex;
    CMediumPointer held = volume.GetReplica(replica);
    CMedium* medium = held.get();
    RecognitionOutcome outcome = RecognitionOutcome::Continue;
    CStatus status;

    auto notTedial = [&](int line)
    { return CErrorGenMessage(Source, line, ErrorNoTedialMark, {medium->GetName()}); };
    auto readBlock = [&](std::uint64_t block, std::uint32_t next)
    {
        operation.BlockCounter = block;
        operation.NextState(volume.ReadBlocksOperation(&operation, BlockSize, replica, 1, block, 0, 0,
                                                       operation.BlockBuffer, 0, false, nullptr),
                            next);
    };

    if (!ReadyForRecognitionStep(*this, operation, medium, 5, status))
        return FinishRecognitionStep(*this, operation, volume, medium, outcome, status, operation.Recognised,
                                     QuietCodes);

    switch (operation.State)
    {
    case 0:
        status = StartRecognition(*this, operation, volume, medium, operation.AlertFlag);
        break;
    case 1:
        operation.AlertFlag = false;
        if (!TakeMediumBlockSize(*medium, ErrorNoTedialMark, outcome, status))
            break;
        // Positions on this tape are its blocks.
        medium->SetPhysicalBlockSize(0);
        // The label, then the first block of the first file over it, land in the view's first block.
        if (!(operation.BlockBuffer = CreateBlockBuffer(2, medium)))
        {
            status = CErrorGenMemory(Source, __LINE__, sizeof(CBlockBuffer));
            break;
        }
        if (auto* view = NewNoThrow<CMXFOnTapeFile>(&operation, BlockSize, operation.BlockBuffer))
            operation.RecognitionFile = view;
        else
        {
            status = CErrorGenMemory(Source, __LINE__, sizeof(CMXFOnTapeFile));
            break;
        }
        if (std::uint8_t* block =
                static_cast<CMXFOnTapeFile*>(operation.RecognitionFile.GetPtr())->CacheBlock(0))
            status = operation.BlockBuffer->Append(block, BlockSize, medium);
        else
            status = CErrorGenMemory(Source, __LINE__, BlockSize);
        if (status.IsSuccess())
            readBlock(LabelBlock, 2);
        break;
    case 2:
        status = ParseTedialLabel(operation);
        if (status.IsSuccess())
        {
            operation.BlockCounter = LabelMark;
            operation.NextState(volume.ReadMarkOperation(&operation, replica, 1, operation.BlockCounter), 3);
        }
        break;
    case 3:
        if (medium->AtFileMark != 1)
            status = notTedial(__LINE__);
        else
            readBlock(FirstFileBlock, 4);
        break;
    case 4:
    {
        // The file must open with a partition pack; the part of it beyond the first block is read from
        // the drive through the view.
        const mxf::MXFFilePtr held = operation.RecognitionFile;
        operation.RecognitionFile = nullptr;
        auto* view = static_cast<CMXFOnTapeFile*>(held.GetPtr());
        // The label and its mark make this a Tedial tape: a dictionary that does not load is no other
        // layout's, and puts the volume in alert.
        operation.AlertFlag = true;
        status = view ? LoadMxfDictionary(System) : UnknownState(operation.State, __LINE__);
        if (status.IsSuccess())
            operation.AlertFlag = false;
        if (status.IsSuccess())
        {
            view->FirstBlock = operation.BlockCounter;
            view->Seek(0);
            if (!view->ReadPartition().GetPtr())
                status = notTedial(__LINE__);
        }
        if (status.IsSuccess())
            status = SettleVolumeNumber(*this, volume, CVolumeSetID(CSystemID(), VolumeSetTypeTedial),
                                        static_cast<std::uint32_t>(operation.LabelTime), operation.LabelId,
                                        operation.Recognised);
        if (status.IsSuccess())
        {
            operation.AlertFlag = true;
            operation.NextState(volume.FindLastWrittenBlockOperation(&operation, replica, 1), 5);
        }
        break;
    }
    case 5:
        status = volume.ConditionallyUpdateState(CVolume::CState(6), false);
        if (status.IsSuccess())
            outcome = RecognitionOutcome::Recognised;
        break;
    default:
        status = UnknownState(operation.State, __LINE__);
        break;
    }
    return FinishRecognitionStep(*this, operation, volume, medium, outcome, status, operation.Recognised,
                                 QuietCodes);
}
