// Byte strings for tests, written as hexadecimal text ("06 0e 2b 34") or taken from a buffer.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

namespace mxftest
{

inline std::vector<std::uint8_t> Bytes(std::string_view hex)
{
    std::vector<std::uint8_t> bytes;
    int value = -1;
    for (char c : hex)
    {
        int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
        if (digit < 0)
            continue;
        value = value < 0 ? digit : (bytes.push_back(static_cast<std::uint8_t>(value * 16 + digit)), -1);
    }
    return bytes;
}

inline std::array<std::uint8_t, 16> Bytes16(std::string_view hex)
{
    std::array<std::uint8_t, 16> bytes{};
    const std::vector<std::uint8_t> parsed = Bytes(hex);
    for (std::size_t i = 0; i < parsed.size() && i < 16; ++i)
        bytes[i] = parsed[i];
    return bytes;
}

inline std::vector<std::uint8_t> Bytes(const std::uint8_t* bytes, std::size_t size)
{
    return size ? std::vector<std::uint8_t>(bytes, bytes + size) : std::vector<std::uint8_t>();
}

} // namespace mxftest
