#include "FileSystems/PoolReelFS/CActiveCircleTarFile.h"

#include <algorithm>
#include <cstring>

namespace
{
constexpr std::size_t NameBytes = sizeof TarHeaderBlock::Name;     // 100
constexpr std::size_t PrefixBytes = sizeof TarHeaderBlock::Prefix; // 155
constexpr std::size_t npos = std::string::npos;

template <std::size_t N> void Put(char (&field)[N], std::string_view bytes)
{
    std::memcpy(field, bytes.data(), std::min(N, bytes.size()));
}

// The prefix stored when the name cannot be split as a whole: up to the last '/' at positions 1 to 155,
// else the name's first 155 bytes.
std::string_view FallbackPrefix(std::string_view name)
{
    std::size_t slash = name.substr(0, PrefixBytes + 1).rfind('/');
    if (slash != npos && slash >= 1)
        return name.substr(0, slash);
    return name.substr(0, PrefixBytes);
}
} // namespace

bool CActiveCircleTarFile::StoreName(std::string text)
{
    TarHeaderBlock& block = Header[0];
    const std::string_view name = text;
    const std::size_t length = name.size();
    if (length <= NameBytes)
    {
        Put(block.Name, name);
        return false;
    }

    // A '/' among the last 99 bytes leaves at most 98 for the name field.
    std::size_t last = name.rfind('/');
    if (last != npos && last >= length - (NameBytes - 1))
    {
        Put(block.Name, name.substr(last + 1));
        if (last <= PrefixBytes)
        {
            Put(block.Prefix, name.substr(0, last));
            return false;
        }
        Put(block.Prefix, FallbackPrefix(name));
        return true;
    }

    // No split fits: keep what follows the first '/' that leaves at least 99 bytes after it.
    std::size_t first = name.substr(0, length - NameBytes + 1).find('/');
    if (first == npos)
        Put(block.Name, name.substr(0, NameBytes));
    else
        Put(block.Name, name.substr(first + 1, NameBytes));
    Put(block.Prefix, first != npos && first <= PrefixBytes ? name.substr(0, first) : FallbackPrefix(name));
    return true;
}
