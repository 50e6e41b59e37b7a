#include "CScanDriver.h"

#include "CatalogueWalk.h"

#include "frame/CCatArchive.h"
#include "frame/CCatDirectory.h"
#include "frame/CCatSync.h"
#include "frame/CFileListPointer.h"
#include "frame/VersionRecords.h"
#include "vnservice/CArchiveFileSystemOperation.h"
#include "vnservice/CEventLog.h"
#include "vnservice/CGetOperationContext.h"
#include "vnservice/COperationRunner.h"
#include "vnservice/CUserFragment.h"
#include "vnservice/ErrorGenerators.h"
#include "vnservice/HostErrors.h"
#include "vnservice/Opcodes.h"
#include "win/FileTime.h"

#include <future>
#include <memory>
#include <utility>
#include <variant>

namespace
{
constexpr char Source[] = "Scan";

// What the item operation carries until the file system hands an item back.
constexpr std::uint32_t ItemNone = 0xFFFFFFFF;

bool HasDirectory(CFileListInternal& catalogue, const WString& path)
{
    bool found = false;
    ForEachVersionRecord(catalogue, path, AnyKey, AnyKey, AnyKey,
                         [&](const CFileListPointer<CCatalogueItem>& handle)
                         {
                             found = handle.Get()->GetObjectType(false) == KindDirectory;
                             return !found;
                         });
    return found;
}

// Makes sure the catalogue holds a directory record for "0/" + name and for each directory above it.
// The upkeep makes the directories above the files; a directory with nothing below it needs its own.
CStatus AddDirectory(CFileListInternal& catalogue, WString name)
{
    while (!name.empty() && name.back() == u'/')
        name.pop_back();
    if (name.empty())
        return CStatus::Success();
    const WString path = u"0/" + name;
    try
    {
        for (std::size_t end = 0; end < path.size();)
        {
            end = std::min(path.find(u'/', end + 1), path.size());
            WString directory = path.substr(0, end);
            if (HasDirectory(catalogue, directory))
                continue;
            CCatDirectory record(std::move(directory), GetSystemTimeAsFileTime());
            if (std::uint32_t error = catalogue.Append(record))
                return CErrorNumber::OsError(Source, __LINE__, error);
        }
    }
    catch (std::uint32_t error)
    {
        return CErrorNumber::OsError(Source, __LINE__, error);
    }
    return CStatus::Success();
}

// The last file the scan catalogued: where it begins on tape and its path.
struct CCataloguedFile
{
    std::uint64_t Position = 0;
    WString Path;
};

// The file whose data run on past the end of the tape, or empty. A file system that follows a file onto
// the next volume marks where its data leave the tape with a synchronisation point, after the last file
// (only that one can run on). A tape that catalogued no file holds only the rest of a file begun on the
// volume before, in extents.
CStatus ContinuingFile(CFileListInternal& catalogue, const CCataloguedFile& lastFile, WString& path)
{
    path.clear();
    bool synchronised = false;
    CStatus status = WalkCatalogue(catalogue, 0, catalogue.find(CCatSync(lastFile.Position, 0, 0), 0),
                                   [&](const CCatalogueItem& record)
                                   {
                                       synchronised = record.GetObjectType(false) == KindSync;
                                       return !synchronised;
                                   });
    if (status.Failed() || !synchronised || !lastFile.Path.empty())
    {
        path = synchronised ? lastFile.Path : WString();
        return status;
    }
    return WalkCatalogue(catalogue, 1, catalogue.begin(1),
                         [&](const CCatalogueItem& record)
                         {
                             if (record.GetObjectType(false) == KindExtent)
                                 path = record.GetKeyPath();
                             return path.empty();
                         });
}

// Takes over the item the file system handed back. A file's fragment belongs to the host from here on,
// also when the operation failed after filling the item.
CStatus TakeItem(CFileListInternal& catalogue, CArchiveFileSystemOperation& item, bool operationFailed,
                 CScanSummary& summary, CCataloguedFile& lastFile)
{
    std::unique_ptr<CUserFragment> fragment(item.Opcode == ItemFile ? item.ItemFragment() : nullptr);
    item.SetItemFragment(nullptr);
    if (operationFailed)
        return CStatus::Success();
    switch (item.Opcode)
    {
    case ItemFile:
    {
        // A file item always carries its fragment; without one there is no file to catalogue.
        if (!fragment)
            return CStatus::Success();
        CCatArchive record(item.ItemFileStart(), fragment->GetCatalogueFileName().GetText(), fragment->Size,
                           fragment->Time, fragment->SegmentIndex, fragment->OrderKey1, fragment->OrderKey2);
        // A record that flags its one time 0x40 (a Tedial file's) is stored so.
        if (fragment->Flags == CCatArchive::FlagArchiveTime)
            record.Flags = fragment->Flags;
        if (std::uint32_t error = catalogue.Append(record))
            return CErrorNumber::OsError(Source, __LINE__, error);
        ++summary.Files;
        summary.Bytes += fragment->Size;
        lastFile = {item.ItemFileStart(), record.GetKeyPath()};
        return CStatus::Success();
    }
    case ItemDirectory:
        ++summary.Directories;
        return AddDirectory(catalogue, item.AnchoredFileName.GetText());
    case ItemArchiveEnd:
        ++summary.Archives;
        return CStatus::Success();
    case ItemLabel:
    default:
        return CStatus::Success();
    }
}

// Runs GetNextItem until the end of the data; `taken` counts the items handed back, `lastFile` is the
// last file catalogued.
CStatus Walk(CArchiveFileSystem& fileSystem, const CSet<CVolume, 1>::pointer& volume, CScanSummary& summary,
             const CScanDriver::ProgressFunction& progress, std::uint64_t& taken, CCataloguedFile& lastFile)
{
    std::unique_ptr<CGetOperationContext> context(
        fileSystem.CreateGetOperationContext(volume, volume->GetReplica(0)));
    if (!context)
        return CErrorGenMemory(Source, __LINE__, sizeof(CGetOperationContext));
    CArchiveFileSystemOperation& item = context->ItemOperation;
    // Every item begins after the one before it; a file system that hands back items without moving on
    // would keep the scan going for ever.
    std::uint64_t lastStart = 0;
    while (!context->IsEndOfData())
    {
        item.Opcode = ItemNone;
        item.ClearParameters();
        item.AnchoredFileName.Empty();
        std::unique_ptr<CArchiveFileSystemOperation> operation(
            fileSystem.CreateOperation({}, {}, volume, {}));
        if (!operation)
            return CErrorGenMemory(Source, __LINE__, sizeof(CArchiveFileSystemOperation));
        operation->Opcode = OpcodeGetNextItem;
        operation->ReplicaIndex = 0;
        operation->SetScanContext(context.get());
        operation->SetScanCatalogue(volume->Catalogue);
        CStatus status = COperationRunner::Run(fileSystem, *operation);
        operation.reset();
        const bool stuck = status.IsSuccess() && taken > 0 && context->GetItemStart() <= lastStart;
        CStatus handled = TakeItem(*volume->Catalogue, item, status.Failed() || stuck, summary, lastFile);
        if (status.Failed())
            return status;
        if (stuck)
            return CErrorGenMessage(Source, __LINE__, HostErrorScanStuck,
                                    {std::to_string(context->GetItemStart())});
        if (handled.Failed())
            return handled;
        lastStart = context->GetItemStart();
        ++taken;
        if (progress)
            progress({context->GetItemStart(), context->GetLastWrittenBlock(), summary.Files});
    }
    return CStatus::Success();
}

// Keeps the errors and warnings that the file system posts while the scan runs, and hands every event on
// to the listener it had.
class CFileReports
{
public:
    CFileReports(CEventSink& sink, CScanSummary& summary) : Sink(sink)
    {
        Previous = Sink.SetListener(
            [this, &summary](const CEvent& event)
            {
                const auto* text = std::get_if<WString>(&event.Value);
                if (text && event.Severity() == CEvent::Error)
                    summary.FileErrors.push_back(WideParameter(*text));
                else if (text && event.Severity() == CEvent::Warning)
                    summary.FileWarnings.push_back(WideParameter(*text));
                if (Previous)
                    Previous(event);
            });
    }
    ~CFileReports() { Sink.SetListener(std::move(Previous)); }
    CFileReports(const CFileReports&) = delete;
    CFileReports& operator=(const CFileReports&) = delete;

private:
    CEventSink& Sink;
    CEventSink::Listener Previous;
};
} // namespace

CStatus CScanDriver::Run(CHost& host, const CSet<CVolume, 1>::pointer& volume, CScanSummary& summary,
                         const ProgressFunction& progress)
{
    CArchiveFileSystem& fileSystem = *volume->GetFileSystem();
    summary = CScanSummary();
    summary.FileSystemType = WideParameter(fileSystem.GetFileSystemType());
    summary.Volume = volume->GetID();
    // The tape's fingerprint reads the whole image, which the walk mostly passes over: it is read beside
    // the walk, on a thread that touches only the image.
    const CTapeImage* image = CHost::MountedImage(*volume);
    std::string tape;
    std::future<std::pair<CStatus, std::string>> digest;
    if (image && !image->GetKeptDigest(tape))
        digest = std::async(std::launch::async,
                            [image]
                            {
                                std::string text;
                                CStatus status = image->DigestContents(text);
                                return std::make_pair(status, text);
                            });
    CDatabase& database = host.System.Database;
    CStatus status = database.Begin();
    if (status.Failed())
        return status;
    CKnownVolume known;
    bool found = false;
    status = host.Registry.Find(volume->GetID(), known, found);
    std::uint64_t taken = 0;
    if (status.IsSuccess())
        status = volume->DropCatalogue();
    if (status.IsSuccess())
        status = volume->OpenCatalogue(true, false);
    CCataloguedFile lastFile;
    if (status.IsSuccess())
    {
        CFileReports reports(host.System.EventSink, summary);
        status = Walk(fileSystem, volume, summary, progress, taken, lastFile);
    }
    if (status.IsSuccess())
        status = ContinuingFile(*volume->Catalogue, lastFile, summary.ContinuingFile);
    if (digest.valid())
    {
        auto [digested, text] = digest.get();
        if (digested.Failed())
        {
            // A catalogue without its tape's fingerprint could not be checked against the tape: none is kept.
            CEventLog::LogStatus(volume->CloseCatalogue());
            database.Rollback();
            return digested;
        }
        tape = text;
        image->KeepDigest(tape);
    }
    if (status.Failed() && taken == 0)
    {
        // Nothing was catalogued: the catalogue stays as it was before the scan.
        CEventLog::LogStatus(volume->CloseCatalogue());
        database.Rollback();
        return status;
    }

    CStatus finished = host.Store.Commit(volume->Catalogue);
    if (finished.IsSuccess())
        finished = host.System.SaveState();
    if (finished.IsSuccess())
        finished = host.RecordVolume(*volume);
    if (finished.IsSuccess())
        finished = host.Registry.RecordCatalogue(volume->GetID(), tape, volume->GetName());
    if (finished.IsSuccess())
        finished = database.Commit();
    else
        database.Rollback();
    if (finished.IsSuccess() && !known.CatalogueTape.empty() && known.CatalogueTape != tape)
        summary.ReplacedImage = known.CatalogueImage;
    // A tape cut short ends even a scan that found nothing amiss with the cut, what it catalogued kept.
    if (status.IsSuccess() && finished.IsSuccess())
        status = volume->CheckTapeWhole(0);
    if (status.IsSuccess() && finished.IsSuccess() && !summary.FileErrors.empty())
        status = CErrorGenMessage(Source, __LINE__, HostErrorFilesUnread,
                                  {std::to_string(summary.FileErrors.size())});
    return status.Failed() ? status : finished;
}
