// reelfs scan: mounts an image, lets the plug-ins recognise its tape and catalogues every item on it.
// On a terminal a status line shows how far the scan has come.
#include "CScanDriver.h"
#include "Command.h"
#include "NameQuoting.h"

#include <iostream>

namespace reelfs
{
namespace
{
void PrintSummary(const CScanSummary& summary, const std::string& image)
{
    std::cout << "file system  " << summary.FileSystemType << "\nvolume       " << summary.Volume.ToString()
              << "\nfiles        " << summary.Files << "\ndirectories  " << summary.Directories
              << "\narchives     " << summary.Archives << "\nbytes        " << summary.Bytes << '\n';
    if (!summary.ContinuingFile.empty())
        std::cout << "continues    " << QuoteName(WideParameter(summary.ContinuingFile))
                  << " runs on onto the next volume: name that volume with reelfs set " << image
                  << " NextVolume=VOLUME, and give its image to restore with --with IMAGE\n";
}

int RunScan(const GlobalOptions& options, std::span<const std::string> args)
{
    std::vector<std::string> operands;
    std::string problem = ArgumentReader(args).TakeAll(operands, &RefuseOption);
    if (problem.empty() && operands.size() != 1)
        problem = "scan takes one IMAGE";
    if (!problem.empty())
        return UsageFailure(ScanCommand, problem);

    CHost host;
    CSet<CVolume, 1>::pointer volume;
    // Recognition gives the tape the first volume number that no other tape's catalogue holds: a scan
    // started beside this one looks only once this one's catalogue is stored, and takes another number.
    if (int exit = OpenHostAndMountForChange(options, host, operands[0], volume))
        return exit;
    CDatabase& database = host.System.Database;

    ProgressLine line;
    CScanDriver::ProgressFunction progress;
    if (line.IsShown())
        progress = [&](const CScanProgress& reached)
        {
            line.Update(
                [&]
                {
                    std::uint64_t percent =
                        reached.LastWrittenBlock ? reached.Position * 100 / reached.LastWrittenBlock : 0;
                    return "scanning: block " + std::to_string(reached.Position) + " of " +
                           std::to_string(reached.LastWrittenBlock) + " (" + std::to_string(percent) +
                           "%), " + std::to_string(reached.Files) + " files";
                });
        };
    CScanSummary summary;
    CStatus status = CScanDriver::Run(host, volume, summary, progress);
    if (CStatus stored = database.Commit(); stored.Failed())
    {
        database.Rollback();
        status = stored;
        summary.ReplacedImage.clear();
    }
    ClearStatusLine();
    if (!summary.ReplacedImage.empty())
        std::cerr << "reelfs: volume " << summary.Volume.ToString()
                  << " had a catalogue made from another tape, in " << summary.ReplacedImage
                  << " (the two share an identity); it is replaced by the catalogue of " << volume->GetName()
                  << '\n';
    PrintSummary(summary, operands[0]);
    for (const std::string& warning : summary.FileWarnings)
        std::cerr << "reelfs: warning: " << QuoteMessage(warning) << '\n';
    for (const std::string& error : summary.FileErrors)
        std::cerr << "reelfs: " << QuoteMessage(error) << '\n';
    return status.Failed() ? Failure(status) : ExitSuccess;
}
} // namespace

const Command ScanCommand = {
    "scan", "IMAGE", "recognise the tape in an image and catalogue every file on it",
    "Mounts IMAGE, lets the plug-ins recognise its tape and builds the volume's catalogue afresh, in the "
    "home\n"
    "database, with a fingerprint of the tape it was made from. Prints the file system, the volume's "
    "identity\n"
    "and what was found, and names the file that runs on onto the next volume when one does. Tapes that\n"
    "begin alike (archives of one folder made a day apart) share an identity and so one catalogue: scanning\n"
    "one replaces the catalogue of the other, and says so. A scan that fails keeps what it catalogued "
    "before\n"
    "the failure. On a terminal, a status line shows how far it has come.\n",
    &RunScan};

} // namespace reelfs
