// reelfs set: changes a property or a setting of the file system of an image's volume, "NextVolume"
// say, and saves it. An empty value clears a property.
#include "CHost.h"
#include "Command.h"

namespace reelfs
{
namespace
{
int RunSet(const GlobalOptions& options, std::span<const std::string> args)
{
    std::vector<std::string> operands;
    std::string problem = ArgumentReader(args).TakeAll(operands, &RefuseOption);
    if (problem.empty() && operands.size() != 2)
        problem = "set takes an IMAGE and NAME=VALUE";
    const std::size_t equals = problem.empty() ? operands[1].find('=') : 0;
    if (problem.empty() && (equals == std::string::npos || equals == 0))
        problem = "set takes NAME=VALUE, not " + operands[1];
    if (!problem.empty())
        return UsageFailure(SetCommand, problem);

    CHost host;
    CSet<CVolume, 1>::pointer volume;
    // The file system saves all its settings, those it loaded at the mount and the one changed: a command
    // beside this one that changes the volume's settings loads them once this one has committed.
    if (int exit = OpenHostAndMountForChange(options, host, operands[0], volume))
        return exit;
    CStatus status =
        host.ChangeSetting(*volume, operands[1].substr(0, equals), operands[1].substr(equals + 1));
    if (status.IsSuccess())
        status = host.System.Database.Commit();
    if (status.Failed())
        host.System.Database.Rollback();
    return status.Failed() ? Failure(status) : ExitSuccess;
}
} // namespace

const Command SetCommand = {
    "set", "IMAGE NAME=VALUE", "change a setting of the file system of an image's volume",
    "Changes a property or a setting of the file system of the volume in IMAGE and saves it in the home\n"
    "database; an empty VALUE clears a property. NextVolume=IDENTITY names the volume that a file running "
    "off\n"
    "the end of this tape continues on (IDENTITY as its scan or reelfs volumes shows it).\n",
    &RunSet};

} // namespace reelfs
