#include "CHost.h"

#include "HomeTimeZone.h"

#include "frame/CCatalogueHeader.h"
#include "pagelist/CFileListInternal.h"
#include "vnservice/CArchiveFileSystemOperation.h"
#include "vnservice/CEventLog.h"
#include "vnservice/CFactory.h"
#include "vnservice/COperationRunner.h"
#include "vnservice/CPersistanceEngine.h"
#include "vnservice/CTapeMedium.h"
#include "vnservice/ErrorGenerators.h"
#include "vnservice/HostErrors.h"
#include "vnservice/Opcodes.h"
#include "win/CodePage.h"
#include "win/WinError.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string_view>

namespace
{
constexpr char Source[] = "Host";

// The label identifier of replica 0, as the volume's open catalogue holds it; empty when it is not open.
std::string LabelOf(CVolume& volume)
{
    CCatalogueHeader header;
    if (!volume.Catalogue || !volume.Catalogue->IsOpen() ||
        volume.Catalogue->GetUserHeader(&header, sizeof header) != 0)
        return {};
    return CVolumeRegistry::PrintableLabel(header.ReplicaSlot[0].LabelId,
                                           sizeof header.ReplicaSlot[0].LabelId);
}

// True when the file begins with a TAR header rather than with a tape image's length word.
bool IsTarArchive(const std::string& path)
{
    char header[512];
    std::ifstream in(path, std::ios::binary);
    return in.read(header, sizeof header) && std::string_view(header + 257, 5) == "ustar";
}

CStatus ToWide(const std::string& text, WString& wide)
{
    std::uint32_t error = MultiByteToWide(CP_UTF8, text, wide);
    return error ? CErrorNumber::OsError(Source, __LINE__, error) : CStatus::Success();
}
} // namespace

CHost::~CHost()
{
    for (const CSet<CVolume, 1>::pointer& volume : System.Volumes.All())
        Retire(*volume);
}

CStatus CHost::Open(const std::string& homeFolder)
{
    // The host's tables and the home's time zone are settled with the system's, in its first transaction.
    CStatus status = System.Open(homeFolder,
                                 [this]
                                 {
                                     CStatus prepared = Store.Prepare();
                                     if (prepared.IsSuccess())
                                         prepared = Registry.Prepare();
                                     if (prepared.IsSuccess())
                                         prepared = SettleHomeTimeZone(System.Database, TimeZone);
                                     return prepared;
                                 });
    if (status.Failed())
        return status;
    System.Catalogues = &Store;
    System.SetStateSaver([this] { return SaveSettings(); });

    std::vector<CKnownVolume> known;
    status = Registry.All(known);
    for (const CKnownVolume& entry : known)
    {
        CSet<CVolume, 1>::pointer volume(new CVolume(&System, entry.ID, entry.Image));
        Join(volume);
        WString type;
        if (ToWide(entry.Type, type).Failed())
            continue;
        std::unique_ptr<CArchiveFileSystem> fileSystem = MakeFileSystem(type, entry.ID);
        if (!fileSystem)
            continue;
        CPersistanceEngine::CNode node(System.Database, entry.ID.ToString());
        CEventLog::LogStatus(fileSystem->Load(&System, node));
        Attach(*volume, std::move(fileSystem));
    }
    return status;
}

CStatus CHost::Mount(const std::string& image, CSet<CVolume, 1>::pointer& mounted)
{
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(image, error);
    const std::string path = error ? image : absolute.lexically_normal().string();
    auto* tape = new CTapeMedium(path);
    CSet<CMedium, 1>::pointer medium(tape);
    CStatus status = tape->Open(path, &System.TapeIndexes);
    if (status.Failed())
        return IsTarArchive(path) ? CErrorGenMessage(Source, __LINE__, HostErrorNotTapeImage, {path})
                                  : status;
    CSet<CVolume, 1>::pointer volume(new CVolume(&System, CVolumeID(), path));
    volume->SetReplica(0, medium);
    volume->SetAccessible(true);
    // The volume joins a set only once it has an identity, so recognition checks each identity it
    // considers against the label its catalogue holds.
    std::unique_ptr<CArchiveFileSystem> fileSystem;
    status = Recognise(volume, fileSystem);
    if (status.Failed())
        return IsTarArchive(path) ? CErrorGenMessage(Source, __LINE__, HostErrorNotTapeImage, {path})
                                  : status;

    const CVolumeID id = volume->GetID();
    if (CSet<CVolume, 1>::pointer known = System.Volumes.Find(id))
    {
        // One volume object stands for a tape at a time: a second would keep a second catalogue list.
        if (known->IsAccessible())
            return CErrorGenMessage(Source, __LINE__, HostErrorMountedTwice,
                                    {id.ToString(), known->GetName()});
        Retire(*known);
    }
    Join(volume);
    fileSystem->VolumeID = id;
    CPersistanceEngine::CNode node(System.Database, id.ToString());
    status = fileSystem->Load(&System, node);
    Attach(*volume, std::move(fileSystem));
    if (status.IsSuccess())
        status = RecordVolume(*volume);
    mounted = volume;
    return status;
}

CStatus CHost::Recognise(const CSet<CVolume, 1>::pointer& volume,
                         std::unique_ptr<CArchiveFileSystem>& fileSystem)
{
    auto* factory = CFactory<CArchiveFileSystem>::Factory;
    CStatus refusal;
    for (std::size_t i : factory ? RecognitionOrder(factory->TypeNames) : std::vector<std::size_t>())
    {
        const WString& type = factory->TypeNames[i];
        if (type.empty())
            continue;
        // Each type starts from a volume without identity and without catalogue, on a medium addressed
        // as it was mounted: a type that addresses it in tape blocks may have refused the tape.
        CStatus status = volume->CloseCatalogue();
        if (status.Failed())
            return status;
        volume->SetID(CVolumeID());
        if (CMediumPointer medium = volume->GetReplica(0))
            medium->ResetAddressing();
        std::unique_ptr<CArchiveFileSystem> candidate(factory->Instances[i]->Create(&System));
        if (!candidate)
            return CErrorGenMemory(Source, __LINE__, sizeof(CArchiveFileSystem));
        Prepare(*candidate, type, CVolumeID());
        std::unique_ptr<CArchiveFileSystemOperation> operation(
            candidate->CreateOperation({}, {}, volume, {}));
        if (!operation)
            return CErrorGenMemory(Source, __LINE__, sizeof(CArchiveFileSystemOperation));
        operation->Opcode = OpcodeRecogniseVolume;
        operation->ReplicaIndex = 0;
        status = COperationRunner::Run(*candidate, *operation);
        operation.reset();
        if (candidate->IsRecognised(0))
        {
            // Recognised, but in alert: the volume is not usable as it is.
            if (status.Failed())
                return status;
            fileSystem = std::move(candidate);
            return CStatus::Success();
        }
        CEventLog::LogStatus(status);
        // A file system that took the tape for one of its own and then failed says why better than "no
        // known layout" does.
        if (status.Failed() && !status.IsIgnored() && refusal.IsSuccess())
            refusal = status;
    }
    if (refusal.Failed())
        return refusal;
    return CErrorGenMessage(Source, __LINE__, HostErrorUnknownLayout, {volume->GetName()});
}

std::vector<std::size_t> CHost::RecognitionOrder(const std::vector<WString>& typeNames)
{
    constexpr WStringView first[] = {u"Tedial", u"ActiveCircle", u"GenericTar"};
    std::vector<std::size_t> order;
    for (WStringView type : first)
        for (std::size_t i = 0; i < typeNames.size(); ++i)
            if (typeNames[i] == type)
                order.push_back(i);
    for (std::size_t i = 0; i < typeNames.size(); ++i)
        if (std::find(std::begin(first), std::end(first), typeNames[i]) == std::end(first))
            order.push_back(i);
    return order;
}

std::unique_ptr<CArchiveFileSystem> CHost::MakeFileSystem(const WString& type, const CVolumeID& id)
{
    auto* factory = CFactory<CArchiveFileSystem>::Factory;
    auto* instance = factory ? factory->Find(type) : nullptr;
    std::unique_ptr<CArchiveFileSystem> fileSystem(instance ? instance->Create(&System) : nullptr);
    if (fileSystem)
        Prepare(*fileSystem, type, id);
    return fileSystem;
}

void CHost::Prepare(CArchiveFileSystem& fileSystem, const WString& type, const CVolumeID& id)
{
    fileSystem.VolumeID = id;
    fileSystem.EventSource = WideParameter(type);
    // A property that the file system changes itself is saved with the others.
    fileSystem.UIObject->SetSaver([this](std::uint32_t) { return System.SaveState(); });
}

void CHost::Join(const CSet<CVolume, 1>::pointer& volume)
{
    const CVolumeSetID setID = volume->GetID().GetVolumeSetID();
    CSet<CVolumeSet, 1>::pointer& set = Sets[setID];
    if (!set)
        set = CSet<CVolumeSet, 1>::pointer(new CVolumeSet(setID));
    volume->SetVolumeSet(set.get());
    set->Volumes.Insert(volume);
    System.Volumes.Insert(volume);
}

void CHost::Retire(CVolume& volume)
{
    const CVolumeID id = volume.GetID();
    CEventLog::LogStatus(volume.CloseCatalogue());
    volume.SetFileSystem(nullptr);
    FileSystems.erase(id);
    if (CSet<CVolumeSet, 1>::pointer set = volume.GetVolumeSet())
        set->Volumes.Remove(id);
    volume.SetVolumeSet(nullptr);
    // The last step: the system's handle may be the last one on the volume.
    System.Volumes.Remove(id);
}

void CHost::Attach(CVolume& volume, std::unique_ptr<CArchiveFileSystem> fileSystem)
{
    volume.SetFileSystem(fileSystem.get());
    FileSystems[volume.GetID()] = std::move(fileSystem);
}

CStatus CHost::OpenScannedCatalogue(CVolume& volume)
{
    CStatus status = volume.OpenCatalogue(false, false);
    if (status.IsSuccess() && !volume.Catalogue->IsOpen())
        status = CErrorGenMessage(Source, __LINE__, HostErrorNotScanned, {volume.GetIDAsString()});
    else if (status.IsSuccess())
        status = CheckCatalogue(volume);
    if (status.Failed())
        CEventLog::LogStatus(volume.CloseCatalogue());
    return status;
}

CStatus CHost::CheckCatalogue(CVolume& volume)
{
    std::string tape;
    CKnownVolume known;
    bool found = false;
    CStatus status = MountedTape(volume, tape);
    if (status.IsSuccess() && !tape.empty())
        status = Registry.Find(volume.GetID(), known, found);
    if (status.Failed() || tape.empty() || known.CatalogueTape == tape)
        return status;
    if (known.CatalogueTape.empty())
    {
        Notice("the catalogue of volume " + volume.GetIDAsString() +
               " was made before reelfs noted which tape a catalogue comes from; it is taken as the "
               "catalogue of the tape in " +
               volume.GetName() + ". Scan that image again to have it checked");
        return CStatus::Success();
    }
    return CErrorGenMessage(Source, __LINE__, HostErrorOtherTape,
                            {volume.GetIDAsString(), known.CatalogueImage, volume.GetName()});
}

const CTapeImage* CHost::MountedImage(CVolume& volume)
{
    CSet<CMedium, 1>::pointer medium =
        volume.IsAccessible() ? volume.GetReplica(0) : CSet<CMedium, 1>::pointer();
    auto* tape = dynamic_cast<CTapeMedium*>(medium.get());
    return tape ? &tape->GetImage() : nullptr;
}

CStatus CHost::MountedTape(CVolume& volume, std::string& fingerprint)
{
    fingerprint.clear();
    const CTapeImage* image = MountedImage(volume);
    return image ? image->GetContentDigest(fingerprint) : CStatus::Success();
}

CStatus CHost::RecordVolume(CVolume& volume)
{
    CArchiveFileSystem* fileSystem = volume.GetFileSystem();
    return Registry.Record({volume.GetID(), fileSystem ? WideParameter(fileSystem->GetFileSystemType()) : "",
                            LabelOf(volume), volume.GetName(), "", ""});
}

CStatus CHost::SaveSettings()
{
    CStatus status = System.Database.Begin();
    if (status.Failed())
        return status;
    for (auto& [id, fileSystem] : FileSystems)
    {
        // Only a volume mounted here can have other settings than those it loaded when the host opened;
        // writing back another's would undo what a command beside this one stored since.
        CSet<CVolume, 1>::pointer volume = System.Volumes.Find(id);
        if (!volume || !volume->IsAccessible())
            continue;
        CPersistanceEngine::CNode node(System.Database, id.ToString());
        status = node.Clear();
        if (status.IsSuccess())
            status = fileSystem->Save(&System, node);
        if (status.Failed())
        {
            System.Database.Rollback();
            return status;
        }
    }
    return System.Database.Commit();
}

CStatus CHost::ChangeSetting(CVolume& volume, const std::string& name, const std::string& value)
{
    CArchiveFileSystem* fileSystem = volume.GetFileSystem();
    WString wideName, wideValue;
    CStatus status = ToWide(name, wideName);
    if (status.IsSuccess())
        status = ToWide(value, wideValue);
    if (status.Failed())
        return status;
    if (!fileSystem)
        return CErrorGenMessage(Source, __LINE__, HostErrorNoSuchSetting, {name});

    CPropertyValue property;
    property.Kind = 2;
    if (BoundedCopy(property.Name, PropertyNameUnits, wideName) != 0)
        return CErrorGenMessage(Source, __LINE__, HostErrorNoSuchSetting, {name});
    if (!value.empty())
        property.Variant = wideValue;
    status = fileSystem->UpdateProperty(property, false);
    if (status.GetInternalErrorCode() != HostErrorNoSuchProperty)
        return status.Failed() ? status : System.SaveState();

    // Not a property: a setting, which the file system checks as it loads it.
    CPersistanceEngine::CNode node(System.Database, volume.GetIDAsString());
    status = System.Database.Begin();
    if (status.Failed())
        return status;
    status = node.WriteText(wideName, wideValue);
    if (status.IsSuccess())
        status = fileSystem->Load(&System, node);
    if (status.Failed())
    {
        System.Database.Rollback();
        CEventLog::LogStatus(fileSystem->Load(&System, node));
        return status;
    }
    status = System.Database.Commit();
    if (status.IsSuccess())
        status = System.SaveState();
    // The file system saves what it has: a name it does not keep is none of its settings.
    if (status.IsSuccess() && !node.HasValue(wideName))
        status = CErrorGenMessage(Source, __LINE__, HostErrorNoSuchSetting, {name});
    return status;
}
