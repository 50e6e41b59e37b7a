// Identifier<N>: a fixed value of N bytes, byte 1 first, ordered byte by byte. A plain value with no
// identity of its own: copy it freely; concurrent reads are safe, writes need external synchronisation.
#pragma once

#include <array>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace mxf
{

template <std::size_t N> class Identifier
{
public:
    static constexpr std::size_t Size = N;

    Identifier() = default;
    // A null pointer gives N zero bytes.
    explicit Identifier(const std::uint8_t* bytes)
    {
        if (bytes)
            std::memcpy(Bytes.data(), bytes, N);
    }

    const std::uint8_t* GetValue() const { return Bytes.data(); }
    std::uint8_t* GetValue() { return Bytes.data(); }
    const std::array<std::uint8_t, N>& GetArray() const { return Bytes; }

    friend bool operator==(const Identifier&, const Identifier&) = default;
    friend auto operator<=>(const Identifier&, const Identifier&) = default;

private:
    std::array<std::uint8_t, N> Bytes{};
};

} // namespace mxf
