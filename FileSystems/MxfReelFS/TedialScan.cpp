// The scan of Tedial tapes. Each operation catalogues the MXF file that starts at the scan position: it
// reads the file's first block into a tape view, spaces over the file to the mark that closes it, and
// names and dates the file from its header metadata through the scan's stylesheet. The first operation
// of a scan also reads the label and the mark after it, keeps the label identifier in the catalogue
// header, and loads the dictionary and the stylesheet.
#include "FileSystems/MxfReelFS/CMXFOnTapeFile.h"
#include "FileSystems/MxfReelFS/CTedialFileSystem.h"
#include "FileSystems/MxfReelFS/CTedialFileSystemOperation.h"
#include "FileSystems/MxfReelFS/CTedialGetOperationContext.h"
#include "FileSystems/MxfReelFS/TedialLabel.h"
#include "FileSystems/MxfReelFS/TedialNaming.h"
#include "FileSystems/TapeFS/FileSystemErrors.h"
#include "FileSystems/TapeFS/TapeScanStep.h"
#include "frame/CCatArchive.h"
#include "vnservice/CBlockBuffer.h"
#include "vnservice/CFragmentFile.h"
#include "vnservice/CSystem.h"
#include "vnservice/ErrorGenerators.h"
#include "win/Allocation.h"
#include "win/CodePage.h"

namespace
{
constexpr char Source[] = "TedialOps";
// Why a file is catalogued under its default name, by severity (the top two bits): its metadata could
// not be read or named (error), the name the stylesheet made is refused (warning), or the metadata
// named nothing (information).
constexpr std::uint32_t EventFileUnnamed = 0xC0080264;
constexpr std::uint32_t EventNameRefused = 0x80080265;
constexpr std::uint32_t EventDefaultName = 0x40080266;

enum State : std::uint32_t
{
    StartItem = 0,
    LabelRead = 1,
    LabelMarkRead = 2,
    FirstBlockRead = 3,
    MarkPassed = 4,
    CatalogueFile = 5,
};

// One step of a scan operation: the label with its mark at the start of the tape, then one file of the
// tape each operation.
class TedialScanStep : public CLayoutScanStep<CTapeScanStep, CTedialFileSystem, CTedialFileSystemOperation,
                                              CTedialGetOperationContext>
{
public:
    using CLayoutScanStep::CLayoutScanStep;

private:
    CStatus RunStep(std::uint32_t state) override;
    CStatus StartItem();
    CStatus LabelRead();
    CStatus LabelMarkRead();
    CStatus FirstBlockRead();
    CStatus CatalogueFile();
    // Reads the block at the scan position into the view's first cache block.
    void ReadFirstBlock(std::uint32_t next);
    void PostNote(std::uint32_t code, const std::string& text);
};

CStatus TedialScanStep::RunStep(std::uint32_t state)
{
    switch (state)
    {
    case State::StartItem:
        return StartItem();
    case State::LabelRead:
        return LabelRead();
    case State::LabelMarkRead:
        return LabelMarkRead();
    case State::FirstBlockRead:
        return FirstBlockRead();
    case State::MarkPassed:
        Operation.GotoState(State::CatalogueFile);
        return CStatus::Success();
    case State::CatalogueFile:
        return CatalogueFile();
    default:
        return FileSystem.UnknownState(state, __LINE__);
    }
}

void TedialScanStep::ReadFirstBlock(std::uint32_t next)
{
    Operation.NextState(Volume.ReadBlocksOperation(&Operation, FileSystem.BlockSize, Operation.ReplicaIndex,
                                                   1, Context.ScanPosition, 0, FileSystem.BlockSize,
                                                   Operation.BlockBuffer, 0, false, nullptr),
                        next);
}

void TedialScanStep::PostNote(std::uint32_t code, const std::string& text)
{
    WString wide;
    MultiByteToWide(CP_UTF8, text, wide);
    FileSystem.System->EventSink.Post(FileSystem.EventSource, code, wide);
}

CStatus TedialScanStep::StartItem()
{
    // Before recognition or Load no block of the tape can be found.
    if (FileSystem.BlockSize == 0)
        return CErrorGenFileSystem(Source, __LINE__, ErrorBlockSizeUnknown, FileSystem.VolumeID);
    if (CStatus status = CreateBlockBuffer(); status.Failed())
        return status;
    auto* view = NewNoThrow<CMXFOnTapeFile>(&Operation, FileSystem.BlockSize, Operation.BlockBuffer);
    if (!view)
        return CErrorGenMemory(Source, __LINE__, sizeof(CMXFOnTapeFile));
    LayoutOperation.ScanFile = view;
    std::uint8_t* block = view->CacheBlock(0);
    if (!block)
        return CErrorGenMemory(Source, __LINE__, FileSystem.BlockSize);
    if (CStatus status = Operation.BlockBuffer->Append(block, FileSystem.BlockSize, nullptr); status.Failed())
        return status;
    // The scan's first operation loads what names the files; a context that starts further on does too.
    if (!LayoutContext.Stylesheet)
    {
        if (CStatus status = LoadMxfDictionary(FileSystem.System); status.Failed())
            return status;
        if (CStatus status = LoadMxfTransform(FileSystem.System, &LayoutContext.Stylesheet); status.Failed())
        {
            LayoutContext.Stylesheet.Reset();
            return status;
        }
    }
    ReadFirstBlock(Context.ScanPosition == 0 ? State::LabelRead : State::FirstBlockRead);
    return CStatus::Success();
}

CStatus TedialScanStep::LabelRead()
{
    Context.ScanPosition += 1;
    if (CStatus status = ParseTedialLabel(LayoutOperation); status.Failed())
        return status;
    // Recognition finds the tape again by the identifier in this replica's slot.
    if (CStatus status = StoreLabelId(LayoutOperation.LabelId, true); status.Failed())
        return status;
    ReadMark(Context.ScanPosition, State::LabelMarkRead);
    Context.ScanPosition += 1;
    return CStatus::Success();
}

CStatus TedialScanStep::LabelMarkRead()
{
    if (Medium->AtFileMark != 1)
        return CErrorGenMessage(Source, __LINE__, ErrorNoTedialMark, {Medium->GetName()});
    // The first file's first block lands over the label.
    ReadFirstBlock(State::FirstBlockRead);
    return CStatus::Success();
}

CStatus TedialScanStep::FirstBlockRead()
{
    Context.ItemStart = Context.ScanPosition;
    Context.ScanPosition += 1;
    // The drive reports the block after the file's closing mark when the spacing completes.
    Operation.NextState(Volume.SpaceMarksOperation(&Operation, Operation.ReplicaIndex, 1,
                                                   Context.ScanPosition, 1, &Context.ScanPosition),
                        State::MarkPassed);
    return CStatus::Success();
}

CStatus TedialScanStep::CatalogueFile()
{
    const mxf::MXFFilePtr held = LayoutOperation.ScanFile;
    LayoutOperation.ScanFile = nullptr;
    auto* view = static_cast<CMXFOnTapeFile*>(held.GetPtr());
    if (!view)
        return FileSystem.UnknownState(Operation.State, __LINE__);
    const CComPtr<IXMLDOMDocument> stylesheet(LayoutContext.Stylesheet);
    // A file whose metadata cannot be read or named costs no other file: it is catalogued under its
    // default name, and the event tells the host why.
    CNamingNote note;
    if (CStatus named =
            ReadTapeFileInfo(*view, Context.ItemStart, Context.ScanPosition - Context.ItemStart - 1,
                             stylesheet.get(), LayoutFileSystem.ScanFileSizes != 0, note);
        named.Failed())
        PostNote(EventFileUnnamed, named.ToString() + "; it is catalogued as " +
                                       view->GetFileName().ToUtf8() + ", with no date and its whole blocks");
    else if (!note.Text.empty())
        PostNote(note.Refused ? EventNameRefused : EventDefaultName, note.Text);

    // The file's time stands in the item's position, where TAR items have it in their size.
    const std::uint64_t size = view->GetFileLength();
    const CCatArchive record(Context.ItemStart, view->GetFileName().GetText(), size, size,
                             view->GetLastModified());
    if (CStatus status = FillFile(view->GetFileName(), record, view->GetLastModified(), 0); status.Failed())
        return status;
    return Finish(CStatus::Success());
}
} // namespace

CStatus CTedialFileSystem::GetNextItem(CArchiveFileSystemOperation* operation)
{
    return TedialScanStep(*this, *static_cast<CTedialFileSystemOperation*>(operation)).Run();
}
