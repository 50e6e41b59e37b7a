// What the commands of reelfs share: the global options, the exit statuses, the table entry that each
// command file defines, and a reader of a command's arguments. Everything here runs on the main thread.
#pragma once

#include "vnservice/CStatus.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

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
    const char* Usage; // what follows the name on the command line
    int (*Run)(const GlobalOptions& options, std::span<const std::string> args);
};

// Defined by the command files, one each.
extern const Command MkTapeCommand;

// Prints the problem and the command's usage to standard error; returns ExitUsage.
int UsageFailure(const Command& command, std::string_view problem);
// Prints the failure to standard error; returns ExitFailure.
int Failure(const CStatus& status);

// A decimal number from min to max; nothing when the text is not one.
std::optional<std::uint64_t> ParseNumber(std::string_view text, std::uint64_t min, std::uint64_t max);

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

private:
    std::span<const std::string> Args;
    std::size_t Next = 0;
    bool OptionsEnded = false;
};

} // namespace reelfs
