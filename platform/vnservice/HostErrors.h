// The host's error numbers (0xC000xxxx) with their message texts, and the texts that the modules above
// the host hand it for the numbers they raise themselves. A text holds the error's parameters as %1 to %9.
// A number without a text still formats, as "0xC000xxxx: host error" and its parameters.
#pragma once

#include <cstdint>
#include <span>
#include <string>

// Host errors raised by the stand-in itself, for conditions that the plug-ins never name.
constexpr std::uint32_t HostErrorOutOfMemory = 0xC0000017;
constexpr std::uint32_t HostErrorOsError = 0xC0000001;
constexpr std::uint32_t HostErrorHResult = 0xC0000002;
constexpr std::uint32_t HostErrorNotOffered = 0xC0000D00;
constexpr std::uint32_t HostErrorBadVolumeIdText = 0xC0000D01;
constexpr std::uint32_t HostErrorNoSuchProperty = 0xC0000D02;
constexpr std::uint32_t HostErrorDatabase = 0xC0000D03;
constexpr std::uint32_t HostErrorBadSetting = 0xC0000D04;
constexpr std::uint32_t HostErrorTapeImage = 0xC0000D05;
constexpr std::uint32_t HostErrorDrive = 0xC0000D06;
constexpr std::uint32_t HostErrorNoSetting = 0xC0000D07;
constexpr std::uint32_t HostErrorUnknownLayout = 0xC0000D08;
constexpr std::uint32_t HostErrorNotScanned = 0xC0000D09;
constexpr std::uint32_t HostErrorNotCatalogued = 0xC0000D0A;
constexpr std::uint32_t HostErrorRangePastEnd = 0xC0000D0B;
constexpr std::uint32_t HostErrorNoSuchSetting = 0xC0000D0C;
constexpr std::uint32_t HostErrorMountedTwice = 0xC0000D0D;
constexpr std::uint32_t HostErrorUnknownVolume = 0xC0000D0E;
constexpr std::uint32_t HostErrorScanStuck = 0xC0000D0F;
constexpr std::uint32_t HostErrorTapeCutShort = 0xC0000D10;
constexpr std::uint32_t HostErrorOtherTape = 0xC0000D11;
constexpr std::uint32_t HostErrorPathWithoutRoot = 0xC0000D12;
constexpr std::uint32_t HostErrorNotTapeImage = 0xC0000D13;
constexpr std::uint32_t HostErrorVersionsAlike = 0xC0000D20;
constexpr std::uint32_t HostErrorNoVersionAt = 0xC0000D21;
constexpr std::uint32_t HostErrorFilesUnread = 0xC0000D14;

// Host errors that the host raises or acts on and the file systems raise as well: a file system
// reaches them under these names through its own error header.
constexpr std::uint32_t ErrorUnknownState = 0xC00007D7;   // a state, opcode or sub-code not handled
constexpr std::uint32_t ErrorNoData = 0xC00007E2;         // a read past the end of the recorded data
constexpr std::uint32_t ErrorNoMedium = 0xC0000FA2;       // no medium in the operation's replica
constexpr std::uint32_t ErrorBlank = 0xC0001798;          // the tape holds no records
constexpr std::uint32_t ErrorShortExtents = 0xC0003779;   // the extents found cover less than the file
constexpr std::uint32_t ErrorNoNextVolume = 0xC000377A;   // the continuation names no known volume
constexpr std::uint32_t ErrorNextVolumeAway = 0xC000377B; // the continuation volume is not accessible

// A number a module raises and its message text.
struct ErrorText
{
    std::uint32_t Code;
    const char* Text;
};

// Hands the host the texts of a module's own numbers; the texts are copied, so they outlive the module.
// The first text a number is given stays: the host's own texts are never replaced, and a number handed in
// again, with the same text or another, keeps the one it has. So handing in a table twice changes nothing.
// Thread-safe, as is HostErrorText. False when memory ran out; the texts taken by then stay, and handing
// the table in again completes it.
[[nodiscard]] bool RegisterErrorTexts(std::span<const ErrorText> texts);

// The message text for a host error number, with %1/%2 where its parameters go: the host's own, else one
// a module handed in; empty when unknown.
std::string HostErrorText(std::uint32_t code);
