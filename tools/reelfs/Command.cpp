#include "Command.h"

#include "CHost.h"
#include "CPluginLoader.h"
#include "NameQuoting.h"

#include "vnservice/CEventLog.h"
#include "vnservice/ErrorGenerators.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <new>
#include <unistd.h>
#include <variant>

namespace reelfs
{
namespace
{
bool StatusLineShown = false;

// Every command, in the order the usage text lists them.
const Command* const Commands[] = {&MkTapeCommand,  &ScanCommand, &LsCommand,
                                   &RestoreCommand, &SetCommand,  &VolumesCommand};

int MainUsage(std::ostream& out, std::string_view problem)
{
    if (!problem.empty())
        out << "reelfs: " << problem << '\n';
    out << "usage: reelfs [--home DIR] [-v] COMMAND ...\n"
           "       reelfs COMMAND --help | --help | --version\n";
    if (!problem.empty())
        return ExitUsage;
    out << "Takes in the tapes of other archive systems from SIMH tape images (.tap): recognises a tape's "
           "layout,\n"
           "catalogues its files, lists them and restores them.\n"
           "commands:\n";
    for (const Command* command : Commands)
        out << "  " << command->Name << (*command->Usage ? " " : "") << command->Usage << "\n      "
            << command->Summary << '\n';
    out << "options:\n"
           "  --home DIR   the home folder, which holds the host's database (else $REELFS_HOME, else\n"
           "               ~/.local/share/reelfs)\n"
           "  -v           print the events the plug-ins post and the statuses they log to standard error\n"
           "Every catalogued path begins with 0/, the volume's root: the archive's dir/file is 0/dir/file.\n"
           "A file that runs on over several tapes: scan each tape, name each one's next volume with\n"
           "reelfs set TAPE.tap NextVolume=IDENTITY, then restore from the first tape with --with NEXT.tap "
           "for each\n"
           "next one. reelfs COMMAND --help tells more of each command.\n"
           "Exit status: 0 on success; 1 when an operation fails (the message names the error number and "
           "its\n"
           "text), the output cannot be written or memory runs out; 2 when the command line does not fit.\n";
    return ExitSuccess;
}

// True when the command's arguments ask for its help, before any "--" that ends the options.
bool AsksForHelp(std::span<const std::string> args)
{
    for (const std::string& arg : args)
    {
        if (arg == "--")
            return false;
        if (arg == "--help" || arg == "-h")
            return true;
    }
    return false;
}

void PrintEvent(const CEvent& event)
{
    char code[16];
    std::snprintf(code, sizeof code, "0x%X", event.Code);
    ClearStatusLine();
    std::cerr << "event " << code << ": ";
    if (const auto* number = std::get_if<std::uint64_t>(&event.Value))
        std::cerr << *number << '\n';
    else
        std::cerr << QuoteMessage(WideParameter(std::get<WString>(event.Value))) << '\n';
}

// A command whose output did not all reach standard output has failed, whatever else it did.
int CheckOutput(int exit)
{
    errno = 0;
    std::cout.flush();
    if (std::cout.good())
        return exit;
    ClearStatusLine();
    std::cerr << "reelfs: cannot write to standard output" << (errno ? ": " : "")
              << (errno ? std::strerror(errno) : "") << '\n';
    return ExitFailure;
}

int RunCommand(std::span<const std::string> args)
{
    ArgumentReader reader(args);
    GlobalOptions options;
    while (auto option = reader.TakeOption())
    {
        if (*option == "--home")
        {
            auto home = reader.TakeValue();
            if (!home)
                return MainUsage(std::cerr, "--home needs a folder");
            options.Home = *home;
        }
        else if (*option == "-v")
            options.Verbose = true;
        else if (*option == "-h" || *option == "--help")
            return MainUsage(std::cout, "");
        else if (*option == "--version")
        {
            std::cout << "reelfs " << REELFS_VERSION << '\n';
            return ExitSuccess;
        }
        else
            return MainUsage(std::cerr, "unknown option " + *option);
    }
    if (reader.AtEnd())
        return MainUsage(std::cerr, "no command given");
    const std::string& name = reader.TakeOperand();
    for (const Command* command : Commands)
    {
        if (name != command->Name)
            continue;
        if (AsksForHelp(reader.Rest()))
        {
            std::cout << "usage: reelfs [--home DIR] [-v] " << command->Name << ' ' << command->Usage << '\n'
                      << command->Help;
            return ExitSuccess;
        }
        return command->Run(options, reader.Rest());
    }
    return MainUsage(std::cerr, "unknown command " + name);
}
} // namespace

int Main(std::span<const std::string> args)
{
    try
    {
        return CheckOutput(RunCommand(args));
    }
    catch (...)
    {
        return ExceptionFailure();
    }
}

int ExceptionFailure()
{
    ClearStatusLine();
    std::cerr << "reelfs: ";
    try
    {
        throw;
    }
    catch (const std::bad_alloc&)
    {
        std::cerr << "not enough memory: the work needs more than this process may have";
    }
    catch (const std::exception& error)
    {
        std::cerr << "unexpected failure: " << error.what();
    }
    // The catalogue reports what it cannot read by throwing its Win32 error number.
    catch (std::uint32_t error)
    {
        std::cerr << CErrorNumber::OsError("Main", __LINE__, error).ToString();
    }
    catch (...)
    {
        std::cerr << "unexpected failure";
    }
    std::cerr << '\n';
    return ExitFailure;
}

int UsageFailure(const Command& command, std::string_view problem)
{
    std::cerr << "reelfs: " << QuoteMessage(problem) << "\nusage: reelfs [--home DIR] [-v] " << command.Name
              << ' ' << command.Usage << '\n';
    return ExitUsage;
}

int Failure(const CStatus& status)
{
    std::cerr << "reelfs: " << QuoteMessage(status.ToString()) << '\n';
    return ExitFailure;
}

std::optional<std::uint64_t> ParseNumber(std::string_view text, std::uint64_t min, std::uint64_t max)
{
    std::uint64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < min ||
        value > max)
        return std::nullopt;
    return value;
}

std::string RefuseOption(const std::string& option)
{
    return "unknown option " + option;
}

int OpenHost(const GlobalOptions& options, CHost& host)
{
    const std::string folder = CPluginLoader::FindFolder(REELFS_PLUGIN_DIR);
    CPluginLoader::CResult plugins = CPluginLoader::LoadFolder(folder);
    for (const std::string& problem : plugins.Problems)
        std::cerr << "reelfs: " << problem << '\n';
    if (plugins.Loaded.empty())
        std::cerr << "reelfs: no file-system plug-ins in " << folder << '\n';
    // Events and logged statuses go to standard error with -v, else nowhere: the host keeps what has no
    // listener, and a scan of a million files posts a million events.
    if (options.Verbose)
    {
        host.System.EventSink.SetListener(&PrintEvent);
        CEventLog::SetSink(
            [](const CStatus& status)
            {
                ClearStatusLine();
                std::cerr << "logged " << QuoteMessage(status.ToStringWithSource()) << '\n';
            });
    }
    else
    {
        host.System.EventSink.SetListener([](const CEvent&) {});
        CEventLog::SetSink([](const CStatus&) {});
    }
    host.Notice = [](const std::string& text)
    {
        ClearStatusLine();
        std::cerr << "reelfs: note: " << QuoteMessage(text) << '\n';
    };
    CStatus status = host.Open(options.Home.empty() ? CSystem::DefaultHomeFolder() : options.Home);
    return status.Failed() ? Failure(status) : ExitSuccess;
}

int OpenHostAndMount(const GlobalOptions& options, CHost& host, const std::string& image,
                     CSet<CVolume, 1>::pointer& volume)
{
    if (int exit = OpenHost(options, host))
        return exit;
    CStatus status = MountImage(host, image, volume);
    return status.Failed() ? Failure(status) : ExitSuccess;
}

int OpenHostAndMountForChange(const GlobalOptions& options, CHost& host, const std::string& image,
                              CSet<CVolume, 1>::pointer& volume)
{
    if (int exit = OpenHost(options, host))
        return exit;
    CStatus status = host.System.Database.Begin();
    if (status.IsSuccess())
        status = MountImage(host, image, volume);
    if (status.Failed())
    {
        host.System.Database.Rollback();
        return Failure(status);
    }
    return ExitSuccess;
}

CStatus MountImage(CHost& host, const std::string& image, CSet<CVolume, 1>::pointer& volume)
{
    CStatus status = host.Mount(image, volume);
    if (status.IsSuccess())
        if (CStatus cut = volume->CheckTapeWhole(0); cut.Failed())
        {
            ClearStatusLine();
            std::cerr << "reelfs: warning: " << QuoteMessage(cut.ToString()) << '\n';
        }
    return status;
}

void ShowStatusLine(const std::string& text)
{
    std::cerr << "\r\033[K" << text << std::flush;
    StatusLineShown = true;
}

ProgressLine::ProgressLine() : Shown(::isatty(STDERR_FILENO) == 1) {}

bool ProgressLine::IsDue()
{
    const auto now = std::chrono::steady_clock::now();
    if (Last != std::chrono::steady_clock::time_point{} && now - Last < std::chrono::milliseconds(250))
        return false;
    Last = now;
    return true;
}

std::string BytesOf(std::uint64_t done, std::uint64_t total)
{
    return std::to_string(done) + " of " + std::to_string(total) + " bytes (" +
           std::to_string(total ? done * 100 / total : 100) + "%)";
}

void ClearStatusLine()
{
    if (StatusLineShown)
        std::cerr << "\r\033[K" << std::flush;
    StatusLineShown = false;
}

std::optional<std::string> ArgumentReader::TakeOption()
{
    if (!OptionsEnded && !AtEnd() && Args[Next] == "--")
    {
        OptionsEnded = true;
        ++Next;
    }
    if (OptionsEnded || AtEnd() || Args[Next].size() < 2 || Args[Next][0] != '-')
        return std::nullopt;
    return Args[Next++];
}

std::optional<std::string> ArgumentReader::TakeValue()
{
    if (AtEnd())
        return std::nullopt;
    return Args[Next++];
}

std::string ArgumentReader::TakeAll(std::vector<std::string>& operands,
                                    const std::function<std::string(const std::string& option)>& onOption)
{
    while (!AtEnd())
    {
        if (auto option = TakeOption())
        {
            if (std::string problem = onOption(*option); !problem.empty())
                return problem;
        }
        else if (!AtEnd())
            operands.push_back(TakeOperand());
    }
    return {};
}

} // namespace reelfs
