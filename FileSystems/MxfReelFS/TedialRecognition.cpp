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
#include "FileSystems/TapeFS/TapeRecognitionStep.h"
#include "mxf/Partition.h"
#include "vnservice/CBlockBuffer.h"
#include "vnservice/CSystem.h"
#include "vnservice/ErrorGenerators.h"
#include "win/Allocation.h"

namespace
{
// The kept drive statuses (and the refusals of this layout) that only mean the tape is not ours.
constexpr std::uint32_t QuietCodes[] = {0, ErrorNoData, ErrorBlank, ErrorNoTedialMark,
                                        ErrorMalformedTedialLabel};

// Tape blocks: the label, its mark, the first block of the first MXF file.
constexpr std::uint64_t LabelBlock = 0;
constexpr std::uint64_t LabelMark = 1;
constexpr std::uint64_t FirstFileBlock = 2;

// The states, each after the drive operation the one before started: 0 asks for the block size, 1 reads
// the label, 2 parses it and reads the mark after it, 3 checks the mark and reads the first file block, 4
// checks its partition pack, 5 updates the volume's state.
enum State : std::uint32_t
{
    LabelRead = 2,
    MarkRead = 3,
    FileBlockRead = 4,
};

constexpr CTapeRecognitionStep::Layout TedialLayout = {
    .CheckState = FileBlockRead,
    .VolumeSetType = 7,
    .BlockSizeUnknown = ErrorNoTedialMark,
    .WholeTarBlocks = false,
    // Unlike the other two layouts, this one leaves its medium unmarked once the last written block is
    // known and only updates the volume's state: a difference of the layout's own, kept as it is.
    .MarksIdentified = false,
    .QuietCodes = QuietCodes,
};

class TedialRecognitionStep : public CLayoutRecognitionStep<CTedialFileSystemOperation>
{
public:
    using CLayoutRecognitionStep::CLayoutRecognitionStep;

private:
    // The label, then the first block of the first file over it, land in the view's first block.
    CStatus FirstRead() override
    {
        // Positions on this tape are its blocks.
        Medium->SetPhysicalBlockSize(0);
        CStatus status = CreateBlockBuffer();
        if (status.Failed())
            return status;
        const std::uint32_t blockSize = FileSystem.BlockSize;
        auto* view = NewNoThrow<CMXFOnTapeFile>(&LayoutOperation, blockSize, LayoutOperation.BlockBuffer);
        if (!view)
            return CErrorGenMemory(FileSystem.OpsSource, __LINE__, sizeof(CMXFOnTapeFile));
        LayoutOperation.RecognitionFile = view;
        std::uint8_t* block = view->CacheBlock(0);
        if (!block)
            return CErrorGenMemory(FileSystem.OpsSource, __LINE__, blockSize);
        status = LayoutOperation.BlockBuffer->Append(block, blockSize, Medium);
        if (status.IsSuccess())
            ReadTapeBlock(LabelBlock, LabelRead);
        return status;
    }

    CStatus RunState(std::uint32_t state) override
    {
        if (state == LabelRead)
        {
            CStatus status = ParseTedialLabel(LayoutOperation);
            if (status.IsSuccess())
            {
                LayoutOperation.BlockCounter = LabelMark;
                ReadMark(LayoutOperation.BlockCounter, MarkRead);
            }
            return status;
        }
        if (state == MarkRead)
        {
            if (Medium->AtFileMark != 1)
                return Refused(ErrorNoTedialMark, __LINE__);
            ReadTapeBlock(FirstFileBlock, FileBlockRead);
            return CStatus::Success();
        }
        return CTapeRecognitionStep::RunState(state);
    }

    // The file must open with a partition pack; the part of it beyond the first block is read from the
    // drive through the view.
    CStatus Check() override
    {
        const mxf::MXFFilePtr held = LayoutOperation.RecognitionFile;
        LayoutOperation.RecognitionFile = nullptr;
        auto* view = static_cast<CMXFOnTapeFile*>(held.GetPtr());
        // The label and its mark make this a Tedial tape: a dictionary that does not load is no other
        // layout's, and puts the volume in alert.
        LayoutOperation.AlertFlag = true;
        CStatus status =
            view ? LoadMxfDictionary(FileSystem.System) : FileSystem.UnknownState(FileBlockRead, __LINE__);
        if (status.IsSuccess())
            LayoutOperation.AlertFlag = false;
        if (status.IsSuccess())
        {
            view->SetFirstBlock(LayoutOperation.BlockCounter);
            view->Seek(0);
            if (!view->ReadPartition().GetPtr())
                status = Refused(ErrorNoTedialMark, __LINE__);
        }
        return status;
    }

    Identity TapeIdentity() const override
    {
        return {static_cast<std::uint32_t>(LayoutOperation.LabelTime), LayoutOperation.LabelId};
    }

    void ReadTapeBlock(std::uint64_t block, std::uint32_t next)
    {
        LayoutOperation.BlockCounter = block;
        ReadBlock(block, next);
    }
};
} // namespace

CStatus CTedialFileSystem::RecogniseVolume(CArchiveFileSystemOperation* operation)
{
    auto& own = *static_cast<CTedialFileSystemOperation*>(operation);
    return TedialRecognitionStep(*this, own, TedialLayout).Run();
}
