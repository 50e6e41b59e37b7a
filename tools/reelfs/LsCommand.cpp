// reelfs ls: lists the file versions of a volume's catalogue, one a line: size, modification time and
// path (quoted, so that each file is one line), with -l also the tape position and the three keys
// before the path. The volume is named by an
// image of its tape, which is mounted and recognised (not scanned), or by its identity.
#include "CHost.h"
#include "Command.h"
#include "FileVersions.h"
#include "NameQuoting.h"

#include "vnservice/ErrorGenerators.h"
#include "vnservice/HostErrors.h"

#include <filesystem>
#include <iostream>

namespace reelfs
{
namespace
{
int RunLs(const GlobalOptions& options, std::span<const std::string> args)
{
    bool longFormat = false;
    std::vector<std::string> operands;
    std::string problem = ArgumentReader(args).TakeAll(operands,
                                                       [&](const std::string& option) -> std::string
                                                       {
                                                           if (option != "-l")
                                                               return "unknown option " + option;
                                                           longFormat = true;
                                                           return "";
                                                       });
    if (problem.empty() && operands.size() != 1)
        problem = "ls takes one IMAGE or VOLUME";
    // An operand that is no volume identity names an image, which may be missing: mounting says so.
    CVolumeID id;
    std::error_code error;
    const bool isImage = problem.empty() && (std::filesystem::exists(operands[0], error) ||
                                             CVolumeID::FromString(WidenAscii(operands[0]), id).Failed());
    if (!problem.empty())
        return UsageFailure(LsCommand, problem);

    CHost host;
    if (int exit = OpenHost(options, host))
        return exit;
    CSet<CVolume, 1>::pointer volume;
    CStatus status;
    if (isImage)
        status = MountImage(host, operands[0], volume);
    else if (!(volume = host.System.Volumes.Find(id)))
        status = CErrorGenMessage("Ls", __LINE__, HostErrorUnknownVolume, {id.ToString()});
    if (status.IsSuccess())
        status = host.OpenScannedCatalogue(*volume);
    if (status.IsSuccess())
        status =
            ForEachFileVersion(*volume->Catalogue,
                               [&](const CFileVersion& version)
                               {
                                   std::cout << version.Size << '\t' << FormatFileTime(version.Time) << '\t';
                                   if (longFormat)
                                       std::cout << version.Position << '\t' << version.SegmentIndex << '\t'
                                                 << version.OrderKey1 << '\t' << version.OrderKey2 << '\t';
                                   std::cout << QuoteName(WideParameter(version.Path)) << '\n';
                               });
    return status.Failed() ? Failure(status) : ExitSuccess;
}
} // namespace

const Command LsCommand = {
    "ls", "IMAGE|VOLUME [-l]", "list the file versions of a volume's catalogue",
    "Lists every file version of the catalogue, one a line, in columns separated by tabs:\n"
    "  SIZE MTIME PATH                                  and with -l\n"
    "  SIZE MTIME POSITION SEGMENT KEY1 KEY2 PATH\n"
    "SIZE is in bytes; MTIME is UTC, as YYYY-MM-DDTHH:MM:SSZ, or - when unknown; POSITION is where the "
    "version\n"
    "starts on tape, in the file system's blocks (512 bytes on TAR tapes); SEGMENT, KEY1 and KEY2 tell "
    "versions\n"
    "of one path apart, the highest KEY2 being the newest. Every catalogued PATH begins with 0/, the "
    "volume's\n"
    "root, followed by the file's name on tape, quoted as GNU tar lists names: \\\\ for a backslash, \\n "
    "\\t\n"
    "\\a \\b \\f \\r \\v for those characters and \\NNN in octal for any other byte that does not print.\n"
    "With IMAGE, its tape is mounted and recognised, not scanned, and must be the tape that the catalogue "
    "was\n"
    "made from; with a VOLUME identity (as reelfs volumes shows it) the catalogue is listed as it is.\n",
    &RunLs};

} // namespace reelfs
