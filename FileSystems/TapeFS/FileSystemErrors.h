// The host error numbers that the tape file systems raise; the host holds their texts.
#pragma once

#include <cstdint>

constexpr std::uint32_t ErrorCatalogue = 0xC00001F8;       // the catalogue list failed (a Win32 number)
constexpr std::uint32_t ErrorRefused = 0xC00003ED;         // the file system does not write
constexpr std::uint32_t ErrorUnknownState = 0xC00007D7;    // a state or sub-code the handler does not know
constexpr std::uint32_t ErrorNoFile = 0xC0000813;          // no file record with data for the version
constexpr std::uint32_t ErrorCatalogueClosed = 0xC0000818; // the volume's catalogue is not open
constexpr std::uint32_t ErrorNoMedium = 0xC0000FA2;        // no medium in the operation's replica
constexpr std::uint32_t ErrorNoSuchVolume = 0xC000138F;
constexpr std::uint32_t ErrorMediumState = 0xC0001B73;
constexpr std::uint32_t ErrorWrongMember = 0xC0002717;    // the header at a file's position names another
constexpr std::uint32_t ErrorImpossibleSize = 0xC000271C; // a member size no volume's positions can hold
constexpr std::uint32_t ErrorSparseMap = 0xC000271F;      // a sparse member that cannot be expanded
constexpr std::uint32_t ErrorNotLabelled =
    0xC00036B0; // no label block and mark where a labelled tape has them
constexpr std::uint32_t ErrorMalformedLabel = 0xC00036B1;
constexpr std::uint32_t ErrorLabelledArchiveEndNotZero = 0xC00036B2;
constexpr std::uint32_t ErrorDataPastEnd = 0xC00036B3;  // a file's data run past the end of the tape's data
constexpr std::uint32_t ErrorNoTedialMark = 0xC0003714; // no block size, label mark or MXF file where due
constexpr std::uint32_t ErrorMalformedTedialLabel = 0xC0003715;
constexpr std::uint32_t ErrorBlockSizeUnknown = 0xC0003718; // tape blocks counted before the size is known
constexpr std::uint32_t ErrorArchiveEndNotZero = 0xC0003778;
constexpr std::uint32_t ErrorShortExtents = 0xC0003779;   // the extents found cover less than the file
constexpr std::uint32_t ErrorNoNextVolume = 0xC000377A;   // the continuation names no known volume
constexpr std::uint32_t ErrorNextVolumeAway = 0xC000377B; // the continuation volume is not accessible
constexpr std::uint32_t ErrorExtentTooLong = 0xC000377C;
constexpr std::uint32_t ErrorUnknownStandard = 0xC000377D;
constexpr std::uint32_t ErrorMarkMisplaced = 0xC000377E; // the volume's closing mark is not where it belongs
