// reelfs restore: restores the newest version of a catalogued file, or the one that starts at a given
// tape position, whole or a byte range of it, to a file or to standard output. Images given with --with are
// mounted as well, so that a file that runs past the end of its tape can be followed onto the next one.
#include "CRestoreDriver.h"
#include "Command.h"
#include "NameQuoting.h"

#include "vnservice/ErrorGenerators.h"
#include "vnservice/HostErrors.h"
#include "win/CodePage.h"

#include <iostream>
#include <limits>
#include <set>
#include <sys/stat.h>

namespace reelfs
{
namespace
{
// Whether the two paths name one file that exists.
bool IsSameFile(const std::string& one, const std::string& other)
{
    struct stat first, second;
    return ::stat(one.c_str(), &first) == 0 && ::stat(other.c_str(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

// The volume that the volume's file system names as the next one; nothing when it names none.
std::optional<CVolumeID> NextVolumeOf(CVolume& volume)
{
    CPropertyValue property;
    CVariant value;
    CArchiveFileSystem* fileSystem = volume.GetFileSystem();
    CVolumeID id;
    if (!fileSystem || BoundedCopy(property.Name, PropertyNameUnits, u"NextVolume") != 0 ||
        fileSystem->GetProperty(property, value).Failed() || !value ||
        CVolumeID::FromString(*value, id).Failed())
        return std::nullopt;
    return id;
}

// What to do when the file runs on onto a volume that was not given; empty for other failures.
std::string ContinuationHint(CHost& host, const CSet<CVolume, 1>::pointer& first, const CStatus& status)
{
    const std::uint32_t code = status.GetInternalErrorCode();
    const std::vector<std::string>& parameters = status.GetParameters();
    if ((code == ErrorNoNextVolume || code == ErrorNextVolumeAway) && parameters.size() >= 2)
    {
        CVolumeID next;
        CKnownVolume known;
        bool found = false;
        if (CVolumeID::FromString(WidenAscii(parameters[1]), next).IsSuccess())
            host.Registry.Find(next, known, found);
        if (!found)
            return "the file runs on onto volume " + parameters[1] +
                   ", which this host has not seen: scan the image of that tape, then give it with --with "
                   "IMAGE";
        // The image its catalogue was made from, which the image last mounted for it need not be.
        return "the file runs on onto volume " + parameters[1] + ": give its image with --with " +
               (known.CatalogueImage.empty() ? known.Image : known.CatalogueImage);
    }
    if (code != ErrorShortExtents)
        return {};
    // The volume where the chain of next volumes ends is the one to name its next.
    CSet<CVolume, 1>::pointer volume = first;
    std::set<CVolumeID> visited;
    for (;;)
    {
        visited.insert(volume->GetID());
        std::optional<CVolumeID> next = NextVolumeOf(*volume);
        CSet<CVolume, 1>::pointer following = next ? host.System.Volumes.Find(*next) : nullptr;
        if (!following || visited.count(*next))
            break;
        volume = following;
    }
    return "the file runs on past volume " + volume->GetIDAsString() + " (" + volume->GetName() +
           "), which names no next volume: name the next with reelfs set " + volume->GetName() +
           " NextVolume=VOLUME, the identity that its scan or reelfs volumes shows, and give the image of "
           "each next volume with --with IMAGE";
}

int RunRestore(const GlobalOptions& options, std::span<const std::string> args)
{
    CRestoreRequest request;
    std::optional<std::uint64_t> offset, length;
    std::vector<std::string> operands, continuations;
    ArgumentReader reader(args);
    std::string problem = reader.TakeAll(
        operands,
        [&](const std::string& option) -> std::string
        {
            if (option != "-o" && option != "--offset" && option != "--length" && option != "--with" &&
                option != "--at")
                return "unknown option " + option;
            auto value = reader.TakeValue();
            if (!value)
                return option + " needs a value";
            if (option == "-o")
                request.Output = *value;
            else if (option == "--at")
            {
                request.At = ParseNumber(*value, 0, std::numeric_limits<std::uint64_t>::max());
                if (!request.At)
                    return "--at takes a tape position, as reelfs ls -l shows it, not " + *value;
            }
            else if (option == "--with")
                continuations.push_back(*value);
            else
            {
                const bool isOffset = option == "--offset";
                std::optional<std::uint64_t>& number = isOffset ? offset : length;
                number = ParseNumber(*value, isOffset ? 0 : 1, std::numeric_limits<std::uint64_t>::max());
                if (!number)
                    return option +
                           (isOffset ? " takes a byte offset, not "
                                     : " takes a number of bytes from 1, not ") +
                           *value;
            }
            return "";
        });
    if (problem.empty() && operands.size() != 2)
        problem = "restore takes an IMAGE and a PATH";
    if (problem.empty() && offset.has_value() != length.has_value())
        problem = "--offset and --length go together";
    WString path;
    if (problem.empty() && MultiByteToWide(CP_UTF8, operands[1], path) != 0)
        problem = "the PATH is not UTF-8 text";
    if (problem.empty() && !request.Output.empty())
        for (std::size_t i = 0; i <= continuations.size() && problem.empty(); ++i)
            if (const std::string& image = i == 0 ? operands[0] : continuations[i - 1];
                IsSameFile(request.Output, image))
                problem = "-o " + request.Output + " is the tape image " + image +
                          ", which the restored file would replace: restore to another file";
    if (!problem.empty())
        return UsageFailure(RestoreCommand, problem);
    // A name with characters that `reelfs ls` quotes goes by its quoted form, which comes first: the path
    // "0/x\ny" that ls shows for a name with a line break is that file, even where another is named with
    // a backslash and an n (ls shows that one as "0/x\\ny").
    WString name;
    if (std::optional<std::string> unquoted = UnquoteName(operands[1]);
        unquoted && *unquoted != operands[1] && MultiByteToWide(CP_UTF8, *unquoted, name) == 0)
        request.Paths.push_back(name);
    request.Paths.push_back(path);
    request.Range = offset.has_value();
    request.Offset = offset.value_or(0);
    request.Length = length.value_or(0);

    ProgressLine line;
    if (line.IsShown())
        request.Progress = [&](std::uint64_t done, std::uint64_t size)
        { line.Update([&] { return "restoring " + QuoteName(operands[1]) + ": " + BytesOf(done, size); }); };

    CHost host;
    CSet<CVolume, 1>::pointer volume;
    if (int exit = OpenHostAndMount(options, host, operands[0], volume))
        return exit;
    CStatus status;
    for (const std::string& image : continuations)
    {
        CSet<CVolume, 1>::pointer continuation;
        if (status.IsSuccess())
            status = MountImage(host, image, continuation);
    }
    if (status.IsSuccess())
        status = CRestoreDriver::Run(host, volume, request);
    ClearStatusLine();
    if (status.GetInternalErrorCode() == HostErrorRangePastEnd)
        return UsageFailure(RestoreCommand, status.ToString());
    if (status.IsSuccess())
        return ExitSuccess;
    const std::string hint = ContinuationHint(host, volume, status);
    Failure(status);
    if (!hint.empty())
        std::cerr << "reelfs: " << hint << '\n';
    return ExitFailure;
}
} // namespace

const Command RestoreCommand = {
    "restore", "IMAGE PATH [--at POSITION] [-o FILE] [--offset N --length M] [--with IMAGE]...",
    "restore a catalogued file, whole or a byte range of it",
    "Restores the newest version of the file PATH from the tape in IMAGE, whose catalogue must have been "
    "made\n"
    "from that tape (reelfs scan IMAGE). PATH is as reelfs ls prints it, 0/ and quoting and all, or with "
    "its\n"
    "characters as they are.\n"
    "  --at POSITION            the version that starts at POSITION on the tape, as reelfs ls -l shows it\n"
    "  -o FILE                  write to FILE, under a temporary name beside it until the file is whole;\n"
    "                           else to standard output\n"
    "  --offset N --length M    only the M bytes from byte N of the file\n"
    "  --with IMAGE             mount IMAGE too, a next volume that the file runs on onto; one image each\n"
    "Several versions of one PATH whose keys are the same (KEY2 and the rest, as reelfs ls -l shows them)\n"
    "are told apart only by where they start: a Tedial tape of files from a writer that gives every file\n"
    "the same identifiers holds such names. Restoring one of them takes --at; without it the restore fails\n"
    "and names their positions.\n"
    "A file that runs on over several tapes: scan each tape, name each tape's next volume with\n"
    "  reelfs set TAPE1.tap NextVolume=IDENTITY    (IDENTITY of TAPE2, as its scan or reelfs volumes shows)\n"
    "then restore from the first: reelfs restore TAPE1.tap PATH --with TAPE2.tap --with TAPE3.tap\n"
    "On a terminal, a status line shows the bytes restored of the file's size.\n",
    &RunRestore};

} // namespace reelfs
