#include "CRestoreDriver.h"

#include "FileVersions.h"
#include "NameQuoting.h"

#include "pagelist/CFileListInternal.h"
#include "vnservice/CArchiveFileSystemOperation.h"
#include "vnservice/CFragmentFile.h"
#include "vnservice/COperationRunner.h"
#include "vnservice/CVantrelFragmentImpl.h"
#include "vnservice/ErrorGenerators.h"
#include "vnservice/HostErrors.h"
#include "vnservice/Opcodes.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
constexpr char Source[] = "Restore";

CStatus SystemFailure(int line, const std::string& what)
{
    return CErrorGenMessage(Source, line, HostErrorOsError, {what + ": " + std::strerror(errno)});
}

// Where the restored bytes go: standard output, a device or pipe that takes them as they come, or a
// regular file written under a temporary name beside it until Finish gives it its name.
class COutput
{
public:
    explicit COutput(std::string path) : Path(std::move(path)) {}
    COutput(const COutput&) = delete;
    COutput& operator=(const COutput&) = delete;
    ~COutput()
    {
        if (!Temporary.empty())
            ::unlink(Temporary.c_str());
    }

    CStatus Prepare()
    {
        struct stat status;
        if (Path.empty() || (::stat(Path.c_str(), &status) == 0 && !S_ISREG(status.st_mode)))
            return CStatus::Success();
        std::string pattern = Path + ".reelfs-XXXXXX";
        int descriptor = ::mkstemp(pattern.data());
        if (descriptor < 0)
            return SystemFailure(__LINE__, "cannot create a file beside " + Path);
        Temporary = pattern;
        // The file gets the permissions of any file made here, not those of a temporary one.
        mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(descriptor, 0666 & ~mask);
        ::close(descriptor);
        return CStatus::Success();
    }

    bool IsStandardOutput() const { return Path.empty(); }
    const std::string& WritePath() const { return Temporary.empty() ? Path : Temporary; }

    CStatus Finish()
    {
        if (Temporary.empty())
            return CStatus::Success();
        if (::rename(Temporary.c_str(), Path.c_str()) != 0)
            return SystemFailure(__LINE__, "cannot name the restored file " + Path);
        Temporary.clear();
        return CStatus::Success();
    }

private:
    std::string Path;
    std::string Temporary;
};

// A destination that tells how far the file has come with each write.
class CProgressFragmentFile : public CLocalFragmentFile
{
public:
    CProgressFragmentFile(CSystem* system, const CRestoreRequest& request, std::uint64_t size)
        : CLocalFragmentFile(system), Request(request), Size(size)
    {
    }

    CStatus Write(std::uint64_t offset, const std::uint8_t* data, std::size_t size) override
    {
        CStatus status = CLocalFragmentFile::Write(offset, data, size);
        if (status.IsSuccess() && Request.Progress)
            Request.Progress(offset + size, Size);
        return status;
    }

private:
    const CRestoreRequest& Request;
    std::uint64_t Size;
};

// Runs a restore operation of the file system on the volume; `fill` sets the operation's own parameters.
template <class Fill>
CStatus RunRestore(CArchiveFileSystem& fileSystem, const CSet<CVolume, 1>::pointer& volume,
                   std::uint32_t opcode, const CFileVersion& version, Fill fill)
{
    std::unique_ptr<CArchiveFileSystemOperation> operation(fileSystem.CreateOperation({}, {}, volume, {}));
    if (!operation)
        return CErrorGenMemory(Source, __LINE__, sizeof(CArchiveFileSystemOperation));
    operation->Opcode = opcode;
    operation->ReplicaIndex = 0;
    operation->RestoreStart() = version.Position;
    fill(*operation);
    return COperationRunner::Run(fileSystem, *operation);
}

CStatus RestoreWhole(CHost& host, CArchiveFileSystem& fileSystem, const CSet<CVolume, 1>::pointer& volume,
                     const CFileVersion& version, const CRestoreRequest& request, const COutput& output)
{
    CProgressFragmentFile file(&host.System, request, version.Size);
    CStatus status =
        file.ConstructFromCatalogue(CFileName(fileSystem.GetFileSystemType()),
                                    {CFileName(version.Path), version.Position, version.Size, version.Time,
                                     version.SegmentIndex, version.OrderKey1, version.OrderKey2});
    if (status.Failed())
        return status;
    if (output.IsStandardOutput())
        file.SetDestinationDescriptor(STDOUT_FILENO);
    else
        file.SetDestination(output.WritePath());
    // A file of no bytes has nothing on tape to read: the file systems find no data for it.
    if (version.Size == 0)
    {
        status = file.Prepare(true, 0, 0);
        if (status.IsSuccess())
            status = file.SetTime(version.Time);
    }
    else
        status = RunRestore(fileSystem, volume, OpcodeReadUserFile, version,
                            [&](CArchiveFileSystemOperation& operation)
                            {
                                operation.SetUserFragment(&file);
                                operation.SetEarlyResult(false);
                            });
    CStatus closed = file.Close();
    return status.Failed() ? status : closed;
}

CStatus RestoreRange(CArchiveFileSystem& fileSystem, const CSet<CVolume, 1>::pointer& volume,
                     const CFileVersion& version, const CRestoreRequest& request, const COutput& output)
{
    CVantrelFragmentImpl fragment;
    fragment.FileName = CFileName(version.Path);
    fragment.SegmentIndex = version.SegmentIndex;
    fragment.OrderKey1 = version.OrderKey1;
    fragment.OrderKey2 = version.OrderKey2;
    fragment.FileSize = version.Size;
    fragment.Stream.Offset = request.Offset;
    fragment.Stream.Length = request.Length;
    fragment.Stream.Descriptor = STDOUT_FILENO;
    if (!output.IsStandardOutput())
    {
        fragment.Stream.Descriptor =
            ::open(output.WritePath().c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fragment.Stream.Descriptor < 0)
            return SystemFailure(__LINE__, "cannot open " + output.WritePath());
    }
    CStatus status = RunRestore(fileSystem, volume, OpcodeReadFragment, version,
                                [&](CArchiveFileSystemOperation& operation)
                                {
                                    operation.SetSourceFragment(&fragment);
                                    operation.FragmentOffset() = request.Offset;
                                });
    // A restore that reports success has delivered every byte asked for.
    if (status.IsSuccess() && fragment.Stream.Delivered != request.Length)
        status = CErrorGenMessage(Source, __LINE__, HostErrorDrive,
                                  {"the file system delivered " + std::to_string(fragment.Stream.Delivered) +
                                   " of " + std::to_string(request.Length) + " bytes"});
    if (!output.IsStandardOutput() && ::close(fragment.Stream.Descriptor) != 0 && status.IsSuccess())
        status = SystemFailure(__LINE__, "cannot close " + output.WritePath());
    return status;
}
// The failure for a path the catalogue does not hold in any of its forms, named as given (the last
// form); when the path lacks the "0/" that begins every catalogued one and the catalogue holds it with
// one, the message names that.
CStatus NotCatalogued(CVolume& volume, const std::vector<WString>& paths)
{
    std::vector<CFileVersion> versions;
    CStatus status;
    for (std::size_t i = 0; status.IsSuccess() && versions.empty() && i < paths.size(); ++i)
        if (!paths[i].starts_with(u"0/"))
            status = FindVersions(*volume.Catalogue, u"0/" + paths[i], versions);
    if (status.Failed())
        return status;
    const WString& path = paths.back();
    return !versions.empty() ? CErrorGenMessage(Source, __LINE__, HostErrorPathWithoutRoot,
                                                {WideParameter(path), volume.GetIDAsString(),
                                                 QuoteName(WideParameter(versions.front().Path))})
                             : CErrorGenMessage(Source, __LINE__, HostErrorNotCatalogued,
                                                {WideParameter(path), volume.GetIDAsString()});
}

std::string PositionsOf(const std::vector<const CFileVersion*>& versions)
{
    std::string text;
    for (const CFileVersion* version : versions)
        text += (text.empty() ? "" : ", ") + std::to_string(version->Position);
    return text;
}

bool SameKeys(const CFileVersion& one, const CFileVersion& other)
{
    return one.SegmentIndex == other.SegmentIndex && one.OrderKey1 == other.OrderKey1 &&
           one.OrderKey2 == other.OrderKey2;
}

// The version to restore of those of a path: the newest of those that start at the position asked for;
// without one, the newest (the highest KEY2, the first in key order among those). Versions whose keys are
// the same cannot be told apart but by where they start, and a tape may hold several (writers that give
// every file the same identifiers, so that the stylesheet names them alike): restoring one of them
// without a position fails rather than pick one.
CStatus ChooseVersion(const CVolume& volume, const std::vector<CFileVersion>& versions,
                      const std::optional<std::uint64_t>& at, CFileVersion& chosen)
{
    std::vector<const CFileVersion*> candidates;
    for (const CFileVersion& version : versions)
        if (!at || version.Position == *at)
            candidates.push_back(&version);
    if (candidates.empty())
    {
        std::vector<const CFileVersion*> all;
        for (const CFileVersion& version : versions)
            all.push_back(&version);
        return CErrorGenMessage(Source, __LINE__, HostErrorNoVersionAt,
                                {QuoteName(WideParameter(versions.front().Path)), std::to_string(*at),
                                 volume.GetIDAsString(), PositionsOf(all)});
    }
    const CFileVersion* newest = candidates.front();
    for (const CFileVersion* version : candidates)
        if (version->OrderKey2 > newest->OrderKey2)
            newest = version;
    std::vector<const CFileVersion*> alike;
    for (const CFileVersion* version : candidates)
        if (SameKeys(*version, *newest) && version->Position != newest->Position)
            alike.push_back(version);
    if (!alike.empty())
    {
        alike.insert(alike.begin(), newest);
        return CErrorGenMessage(Source, __LINE__, HostErrorVersionsAlike,
                                {std::to_string(alike.size()), QuoteName(WideParameter(newest->Path)),
                                 volume.GetIDAsString(), PositionsOf(alike)});
    }
    chosen = *newest;
    return CStatus::Success();
}
} // namespace

CStatus CRestoreDriver::Run(CHost& host, const CSet<CVolume, 1>::pointer& volume,
                            const CRestoreRequest& request)
{
    CStatus status = host.OpenScannedCatalogue(*volume);
    // The catalogues of continuation volumes are searched when the file runs onto them; one that was never
    // scanned stays closed, and the file system says so if it needs it.
    for (const CSet<CVolume, 1>::pointer& other : host.System.Volumes.All())
        if (status.IsSuccess() && other != volume && other->IsAccessible())
        {
            status = other->OpenCatalogue(false, false);
            if (status.IsSuccess() && other->Catalogue->IsOpen())
                status = host.CheckCatalogue(*other);
        }
    std::vector<CFileVersion> versions;
    for (std::size_t i = 0; status.IsSuccess() && versions.empty() && i < request.Paths.size(); ++i)
        status = FindVersions(*volume->Catalogue, request.Paths[i], versions);
    if (status.Failed())
        return status;
    if (versions.empty())
        return NotCatalogued(*volume, request.Paths);
    CFileVersion version;
    status = ChooseVersion(*volume, versions, request.At, version);
    if (status.Failed())
        return status;
    if (request.Range && (request.Offset > version.Size || request.Length > version.Size - request.Offset))
        return CErrorGenMessage(Source, __LINE__, HostErrorRangePastEnd,
                                {std::to_string(request.Length), std::to_string(request.Offset),
                                 WideParameter(version.Path), std::to_string(version.Size)});

    CArchiveFileSystem& fileSystem = *volume->GetFileSystem();
    COutput output(request.Output);
    status = output.Prepare();
    if (status.IsSuccess())
        status = request.Range ? RestoreRange(fileSystem, volume, version, request, output)
                               : RestoreWhole(host, fileSystem, volume, version, request, output);
    if (status.IsSuccess())
        status = output.Finish();
    return status;
}
