#include "Command.h"

#include <charconv>
#include <iostream>

namespace reelfs
{

int UsageFailure(const Command& command, std::string_view problem)
{
    std::cerr << "reelfs: " << problem << "\nusage: reelfs [--home DIR] [-v] " << command.Name << ' '
              << command.Usage << '\n';
    return ExitUsage;
}

int Failure(const CStatus& status)
{
    std::cerr << "reelfs: " << status.ToString() << '\n';
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

} // namespace reelfs
