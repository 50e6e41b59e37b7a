#include "NameQuoting.h"

#include <cstdint>

namespace
{
// The characters with a C escape, and the letters that name them.
constexpr std::string_view Escaped = "\a\b\f\n\r\t\v\\";
constexpr std::string_view Letters = "abfnrtv\\";

// The length of the printable UTF-8 character that begins `text`; 0 when it does not begin with one.
std::size_t PrintableLength(std::string_view text)
{
    const auto lead = static_cast<std::uint8_t>(text[0]);
    if (lead < 0x80)
        return lead >= 0x20 && lead != 0x7F ? 1 : 0;
    const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
    if (length == 0 || lead > 0xF4 || text.size() < length)
        return 0;
    std::uint32_t code = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i)
    {
        const auto next = static_cast<std::uint8_t>(text[i]);
        if ((next & 0xC0) != 0x80)
            return 0;
        code = code << 6 | (next & 0x3F);
    }
    const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
    const bool unprintable = code < 0xA0 || (code >= 0xD800 && code < 0xE000) || code > 0x10FFFF;
    return overlong || unprintable ? 0 : length;
}

// `name` quoted, its backslashes escaped too when `backslashes`.
std::string Quote(std::string_view name, bool backslashes)
{
    const std::string_view escaped = backslashes ? Escaped : Escaped.substr(0, Escaped.size() - 1);
    std::string quoted;
    quoted.reserve(name.size());
    while (!name.empty())
    {
        const std::size_t letter = escaped.find(name[0]);
        const std::size_t printable = letter == std::string_view::npos ? PrintableLength(name) : 0;
        if (letter != std::string_view::npos)
            quoted += {'\\', Letters[letter]};
        else if (printable == 0)
        {
            const auto byte = static_cast<std::uint8_t>(name[0]);
            quoted += {'\\', static_cast<char>('0' + (byte >> 6)), static_cast<char>('0' + ((byte >> 3) & 7)),
                       static_cast<char>('0' + (byte & 7))};
        }
        else
            quoted += name.substr(0, printable);
        name.remove_prefix(printable ? printable : 1);
    }
    return quoted;
}
} // namespace

std::string QuoteName(std::string_view name)
{
    return Quote(name, true);
}

std::string QuoteMessage(std::string_view message)
{
    return Quote(message, false);
}

std::optional<std::string> UnquoteName(std::string_view quoted)
{
    std::string name;
    for (std::size_t i = 0; i < quoted.size(); ++i)
    {
        if (quoted[i] != '\\')
        {
            name += quoted[i];
            continue;
        }
        if (++i == quoted.size())
            return std::nullopt;
        if (const std::size_t letter = Letters.find(quoted[i]); letter != std::string_view::npos)
            name += Escaped[letter];
        else if (i + 2 < quoted.size() && quoted[i] >= '0' && quoted[i] <= '3' && quoted[i + 1] >= '0' &&
                 quoted[i + 1] <= '7' && quoted[i + 2] >= '0' && quoted[i + 2] <= '7')
        {
            name += static_cast<char>((quoted[i] - '0') << 6 | (quoted[i + 1] - '0') << 3 |
                                      (quoted[i + 2] - '0'));
            i += 2;
        }
        else
            return std::nullopt;
    }
    return name;
}
