// reelfs: the command-line host. Reads the global options, then hands the rest of the command line to the
// command it names.
#include "Command.h"

#include <iostream>
#include <string>
#include <vector>

namespace
{
using namespace reelfs;

// Every command, in the order the usage text lists them.
const Command* const Commands[] = {&MkTapeCommand};

int MainUsage(std::ostream& out, std::string_view problem)
{
    if (!problem.empty())
        out << "reelfs: " << problem << '\n';
    out << "usage: reelfs [--home DIR] [-v] COMMAND ...\ncommands:\n";
    for (const Command* command : Commands)
        out << "  " << command->Name << ' ' << command->Usage << '\n';
    return problem.empty() ? ExitSuccess : ExitUsage;
}
} // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
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
        else
            return MainUsage(std::cerr, "unknown option " + *option);
    }
    if (reader.AtEnd())
        return MainUsage(std::cerr, "no command given");
    const std::string& name = reader.TakeOperand();
    for (const Command* command : Commands)
        if (name == command->Name)
            return command->Run(options, reader.Rest());
    return MainUsage(std::cerr, "unknown command " + name);
}
