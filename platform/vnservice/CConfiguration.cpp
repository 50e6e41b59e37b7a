#include "vnservice/CConfiguration.h"

#include "vnservice/ErrorGenerators.h"
#include "vnservice/HostErrors.h"
#include "win/CodePage.h"

#include <charconv>

#include <fstream>
#include <sstream>

namespace
{
WString Fold(WStringView text)
{
    WString folded(text);
    for (auto& unit : folded)
        unit = FoldCase(unit);
    return folded;
}

std::string Trim(const std::string& text)
{
    auto begin = text.find_first_not_of(" \t\r");
    if (begin == std::string::npos)
        return std::string();
    auto end = text.find_last_not_of(" \t\r");
    return text.substr(begin, end - begin + 1);
}

WString Wide(const std::string& text)
{
    WString wide;
    MultiByteToWide(CP_UTF8, text, wide);
    return wide;
}
} // namespace

void CConfiguration::LoadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return;
    std::stringstream text;
    text << in.rdbuf();
    LoadText(text.str());
}

void CConfiguration::LoadText(const std::string& text)
{
    std::istringstream lines(text);
    std::string line;
    WString section;
    while (std::getline(lines, line))
    {
        line = Trim(line);
        if (line.empty() || line[0] == ';' || line[0] == '#')
            continue;
        if (line.front() == '[' && line.back() == ']')
        {
            section = Fold(Wide(Trim(line.substr(1, line.size() - 2))));
            continue;
        }
        auto equals = line.find('=');
        if (equals == std::string::npos)
            continue;
        Values[section + u'\n' + Fold(Wide(Trim(line.substr(0, equals))))] =
            Wide(Trim(line.substr(equals + 1)));
    }
}

bool CConfiguration::GetValue(WStringView section, WStringView key, WString& value) const
{
    auto found = Values.find(Fold(section) + u'\n' + Fold(key));
    if (found == Values.end())
        return false;
    value = found->second;
    return true;
}

CStatus CConfiguration::GetValue(WStringView section, WStringView key, std::uint32_t& value,
                                 std::uint32_t defaultValue) const
{
    value = defaultValue;
    WString wide;
    if (!GetValue(section, key, wide))
        return CStatus::Success();
    std::string text;
    WideToMultiByte(CP_UTF8, wide, text);
    std::uint32_t number = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (ec != std::errc() || end != text.data() + text.size())
        return CErrorGenMessage("Configuration", __LINE__, HostErrorBadSetting, {WideParameter(key), text});
    value = number;
    return CStatus::Success();
}
