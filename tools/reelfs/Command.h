// What the commands of reelfs share: the global options, the exit statuses, the table entry that each
// command file defines, a reader of a command's arguments, the start of the host and the status line of
// a terminal. Everything here runs on the main thread.
#pragma once

#include "vnservice/CSet.h"
#include "vnservice/CStatus.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class CHost;
class CVolume;

namespace reelfs
{

// The options given before the command.
struct GlobalOptions
{
    std::string Home;     // --home DIR; empty for the default home folder
    bool Verbose = false; // -v
};

enum ExitStatus : int
{
    ExitSuccess = 0,
    ExitFailure = 1,
    ExitUsage = 2,
};

struct Command
{
    const char* Name;
    const char* Usage;   // what follows the name on the command line
    const char* Summary; // what it does, in a few words
    const char* Help;    // what `reelfs NAME --help` explains after the usage line
    int (*Run)(const GlobalOptions& options, std::span<const std::string> args);
};

// Defined by the command files, one each.
extern const Command MkTapeCommand;
extern const Command ScanCommand;
extern const Command LsCommand;
extern const Command RestoreCommand;
extern const Command SetCommand;
extern const Command VolumesCommand;

// Reads the global options and runs the command that the rest of the arguments name; the exit status.
// Output that cannot be written to standard output fails the command; no exception leaves it.
int Main(std::span<const std::string> args);
// Reports the exception being handled, as a failure (a failed allocation as too little memory); returns
// ExitFailure. Only inside a handler.
int ExceptionFailure();

// Prints the problem and the command's usage to standard error; returns ExitUsage.
int UsageFailure(const Command& command, std::string_view problem);
// Prints the failure to standard error; returns ExitFailure.
int Failure(const CStatus& status);

// A decimal number from min to max; nothing when the text is not one.
std::optional<std::uint64_t> ParseNumber(std::string_view text, std::uint64_t min, std::uint64_t max);

// The answer of a command without options to any option.
std::string RefuseOption(const std::string& option);

// Loads the plug-ins (reporting those that fail) and opens the host in the home folder the options name;
// with -v, every event the plug-ins post and every status they log is printed to standard error.
// ExitSuccess, or the exit status of the failure it has reported.
int OpenHost(const GlobalOptions& options, CHost& host);

// OpenHost, then MountImage.
int OpenHostAndMount(const GlobalOptions& options, CHost& host, const std::string& image,
                     CSet<CVolume, 1>::pointer& volume);
// OpenHost, then MountImage in a transaction of the home database that holds the write lock from before
// the mount, for a command that writes what depends on what the mount read (the volume number that
// recognition settles on, the settings the volume's file system loads): commands beside it read those only
// once it has committed. The caller commits; a failure rolls it back.
int OpenHostAndMountForChange(const GlobalOptions& options, CHost& host, const std::string& image,
                              CSet<CVolume, 1>::pointer& volume);
// Mounts the image in the host, warning on standard error when the image is cut short.
CStatus MountImage(CHost& host, const std::string& image, CSet<CVolume, 1>::pointer& volume);

// A line on standard error that shows progress on a terminal and is written over as it changes.
void ShowStatusLine(const std::string& text);

// Progress of long work as a status line, when standard error is a terminal: the first update shows,
// later ones every quarter of a second at most, often enough to look alive and rarely enough to cost
// nothing. Elsewhere it shows nothing.
class ProgressLine
{
public:
    ProgressLine();
    bool IsShown() const { return Shown; }
    // Shows the text that `text()` gives, when it is time to.
    template <class Text> void Update(Text text)
    {
        if (Shown && IsDue())
            ShowStatusLine(text());
    }

private:
    bool IsDue();

    bool Shown;
    std::chrono::steady_clock::time_point Last{};
};

// "DONE of TOTAL bytes (P%)", for a progress line.
std::string BytesOf(std::uint64_t done, std::uint64_t total);
// Clears the line, when one is shown, so that other output starts on a clean line.
void ClearStatusLine();

// Walks a command's arguments in order. Options and operands may be mixed; "--" ends the options, so that
// an operand may begin with '-'. A lone "-" is an operand.
class ArgumentReader
{
public:
    explicit ArgumentReader(std::span<const std::string> args) : Args(args) {}

    bool AtEnd() const { return Next == Args.size(); }
    // The next argument when it is an option, taken; nothing when the next one is an operand or none is left.
    std::optional<std::string> TakeOption();
    // The value that follows an option, taken whatever it looks like; nothing when none is left.
    std::optional<std::string> TakeValue();
    // The next argument, taken as an operand. Only when not AtEnd.
    const std::string& TakeOperand() { return Args[Next++]; }
    // The arguments not yet taken.
    std::span<const std::string> Rest() const { return Args.subspan(Next); }

    // Takes every argument that is left: operands into `operands`, options through `onOption`, which
    // takes an option's value from the reader and answers an empty text or the usage problem. Answers
    // the first problem, or an empty text.
    std::string TakeAll(std::vector<std::string>& operands,
                        const std::function<std::string(const std::string& option)>& onOption);

private:
    std::span<const std::string> Args;
    std::size_t Next = 0;
    bool OptionsEnded = false;
};

} // namespace reelfs
