// Identities of the host's objects. A system is known by a 32-bit identifier (never 0 for a real host);
// a volume set by its system and its type (9 generic TAR, 6 Active Circle, 7 Tedial); a volume by its
// set and a 32-bit number. The text form of a volume identity is "SSSSSSSS-T-N": the system in eight
// hexadecimal digits, then type and number in decimal. Values; freely copied between threads.
#pragma once

#include "win/WideString.h"

#include <compare>
#include <cstdint>
#include <string>

class CStatus;

class CSystemID
{
public:
    // The identity of this host's system (0 until the system has opened its home folder).
    CSystemID() : Value(LocalValue()) {}
    constexpr explicit CSystemID(std::uint32_t value) : Value(value) {}
    // Set once by the system as it starts.
    static void SetLocal(std::uint32_t value);
    constexpr std::uint32_t GetValue() const { return Value; }
    auto operator<=>(const CSystemID&) const = default;

private:
    static std::uint32_t LocalValue();
    std::uint32_t Value = 0;
};

class CVolumeSetID
{
public:
    // The empty set identity: system 0, type 0.
    constexpr CVolumeSetID() = default;
    constexpr CVolumeSetID(CSystemID system, std::uint32_t type) : System(system), Type(type) {}
    constexpr CSystemID GetSystemID() const { return System; }
    constexpr std::uint32_t GetType() const { return Type; }
    auto operator<=>(const CVolumeSetID&) const = default;

private:
    CSystemID System{0u};
    std::uint32_t Type = 0;
};

class CVolumeID
{
public:
    constexpr CVolumeID() = default;
    constexpr CVolumeID(CVolumeSetID set, std::uint32_t number) : Set(set), Number(number) {}
    constexpr CVolumeSetID GetVolumeSetID() const { return Set; }
    constexpr std::uint32_t GetNumber() const { return Number; }
    auto operator<=>(const CVolumeID&) const = default;

    std::string ToString() const;
    WString ToWideString() const;
    // Parses the text form (hexadecimal in either case, surrounding blanks allowed); the identity is
    // left unchanged on failure.
    static CStatus FromString(WStringView text, CVolumeID& out);

private:
    CVolumeSetID Set;
    std::uint32_t Number = 0;
};
