#include "vnservice/Identities.h"

#include "vnservice/ErrorGenerators.h"
#include "vnservice/HostErrors.h"

#include <atomic>
#include <charconv>
#include <cstdio>

namespace
{
std::atomic<std::uint32_t> LocalSystem{0};
} // namespace

void CSystemID::SetLocal(std::uint32_t value)
{
    LocalSystem = value;
}

std::uint32_t CSystemID::LocalValue()
{
    return LocalSystem.load();
}

std::string CVolumeID::ToString() const
{
    char text[48];
    std::snprintf(text, sizeof text, "%08X-%u-%u", Set.GetSystemID().GetValue(), Set.GetType(), Number);
    return text;
}

WString CVolumeID::ToWideString() const
{
    return WidenAscii(ToString());
}

namespace
{
bool ParsePart(std::string_view& rest, int base, std::uint32_t& value, bool last)
{
    auto end = last ? rest.size() : rest.find('-');
    if (end == std::string_view::npos || end == 0)
        return false;
    auto part = rest.substr(0, end);
    auto [ptr, ec] = std::from_chars(part.data(), part.data() + part.size(), value, base);
    if (ec != std::errc() || ptr != part.data() + part.size())
        return false;
    rest.remove_prefix(last ? end : end + 1);
    return true;
}
} // namespace

CStatus CVolumeID::FromString(WStringView text, CVolumeID& out)
{
    std::string narrow;
    for (char16_t unit : text)
    {
        if (unit >= 0x80)
            return CErrorGenMessage("Identity", __LINE__, HostErrorBadVolumeIdText, {WideParameter(text)});
        narrow += static_cast<char>(unit);
    }
    std::string_view rest(narrow);
    while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t'))
        rest.remove_prefix(1);
    while (!rest.empty() && (rest.back() == ' ' || rest.back() == '\t'))
        rest.remove_suffix(1);
    std::uint32_t system = 0, type = 0, number = 0;
    if (!ParsePart(rest, 16, system, false) || !ParsePart(rest, 10, type, false) ||
        !ParsePart(rest, 10, number, true))
        return CErrorGenMessage("Identity", __LINE__, HostErrorBadVolumeIdText, {WideParameter(text)});
    out = CVolumeID(CVolumeSetID(CSystemID(system), type), number);
    return CStatus::Success();
}
