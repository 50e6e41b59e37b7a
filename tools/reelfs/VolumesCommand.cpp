// reelfs volumes: lists the volumes this host knows, one a line: identity, file-system type, label
// identifier ("-" while unknown) and the image the volume was last seen in.
#include "CHost.h"
#include "Command.h"

#include <iostream>

namespace reelfs
{
namespace
{
int RunVolumes(const GlobalOptions& options, std::span<const std::string> args)
{
    std::vector<std::string> operands;
    std::string problem = ArgumentReader(args).TakeAll(operands, &RefuseOption);
    if (problem.empty() && !operands.empty())
        problem = "volumes takes no operand";
    if (!problem.empty())
        return UsageFailure(VolumesCommand, problem);

    CHost host;
    if (int exit = OpenHost(options, host))
        return exit;
    std::vector<CKnownVolume> known;
    CStatus status = host.Registry.All(known);
    for (const CKnownVolume& volume : known)
        std::cout << volume.ID.ToString() << '\t' << volume.Type << '\t'
                  << (volume.Label.empty() ? "-" : volume.Label) << '\t' << volume.Image << '\n';
    return status.Failed() ? Failure(status) : ExitSuccess;
}
} // namespace

const Command VolumesCommand = {
    "volumes", "", "list the volumes this host knows",
    "Lists the volumes this host has seen, one a line, in columns separated by tabs: IDENTITY, the "
    "file-system\n"
    "TYPE, the LABEL identifier (- while unknown) and the IMAGE the volume was last seen in.\n",
    &RunVolumes};

} // namespace reelfs
