// reelfs volumes: lists the volumes this host knows, one a line: identity, file-system type, label
// identifier ("-" while unknown) and the image the volume was last seen in; and, on standard error, the
// home's time zone.
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
    // Before the list: standard error is tied to standard output, and a note after it would write the list
    // out ahead of the check that tells whether it could be.
    host.Notice("this home reads the times of tapes (Tedial labels, MXF dates) in the time zone " +
                (host.TimeZone.empty() ? std::string("UTC") : host.TimeZone) +
                ", the one it was first run under, whatever TZ says now");
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
    "TYPE, the LABEL identifier (- while unknown) and the IMAGE the volume was last seen in.\n"
    "A note on standard error names the home's time zone: the one reelfs was first run under with this "
    "home,\n"
    "under which it reads every local time of a tape since (a Tedial label's date is part of its "
    "identity).\n",
    &RunVolumes};

} // namespace reelfs
