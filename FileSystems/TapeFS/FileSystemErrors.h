// The host error numbers that the tape file systems raise, each declared here once, with its text beside
// it in FileSystemErrors.cpp; the file systems hand the host those texts. The numbers that the host raises
// or acts on too come with the host's own header, texts and all.
#pragma once

#include "vnservice/HostErrors.h"

#include <cstdint>

constexpr std::uint32_t ErrorCatalogue = 0xC00001F8;       // the catalogue list failed (a Win32 number)
constexpr std::uint32_t ErrorRefused = 0xC00003ED;         // the file system does not write
constexpr std::uint32_t ErrorNoFile = 0xC0000813;          // no file record with data for the version
constexpr std::uint32_t ErrorCatalogueClosed = 0xC0000818; // the volume's catalogue is not open
constexpr std::uint32_t ErrorNoSuchVolume = 0xC000138F;
constexpr std::uint32_t ErrorMediumState = 0xC0001B73;
constexpr std::uint32_t ErrorNoNumber = 0xC0002710;      // a TAR number field holds no digit
constexpr std::uint32_t ErrorFieldTooSmall = 0xC0002711; // a number does not fit the TAR field
constexpr std::uint32_t ErrorChecksum = 0xC0002712;
constexpr std::uint32_t ErrorNotHeader = 0xC0002713;   // no TAR magic where a header is due
constexpr std::uint32_t ErrorWrongMember = 0xC0002717; // the header at a file's position names another
constexpr std::uint32_t ErrorPaxSize = 0xC000271A;
constexpr std::uint32_t ErrorNumberTooLarge = 0xC000271B; // a base-256 number that needs more than 64 bits
constexpr std::uint32_t ErrorImpossibleSize = 0xC000271C; // a member size no volume's positions can hold
constexpr std::uint32_t ErrorPaxTime = 0xC000271D;
constexpr std::uint32_t ErrorNameTooLong = 0xC000271E;       // a name longer than a member's name may be
constexpr std::uint32_t ErrorSparseMap = 0xC000271F;         // a sparse member that cannot be expanded
constexpr std::uint32_t ErrorSparseRecordStale = 0xC0002720; // catalogued at a size its map does not give
constexpr std::uint32_t ErrorNotLabelled =
    0xC00036B0; // no label block and mark where a labelled tape has them
constexpr std::uint32_t ErrorMalformedLabel = 0xC00036B1;
constexpr std::uint32_t ErrorLabelledArchiveEndNotZero = 0xC00036B2;
constexpr std::uint32_t ErrorDataPastEnd = 0xC00036B3;  // a file's data run past the end of the tape's data
constexpr std::uint32_t ErrorNoTedialMark = 0xC0003714; // no block size, label mark or MXF file where due
constexpr std::uint32_t ErrorMalformedTedialLabel = 0xC0003715;
constexpr std::uint32_t ErrorNoSingleResult = 0xC0003716; // the naming transform gave no single answer
constexpr std::uint32_t ErrorUnreadableDate = 0xC0003717;
constexpr std::uint32_t ErrorBlockSizeUnknown = 0xC0003718; // tape blocks counted before the size is known
constexpr std::uint32_t ErrorMetadataTooDeep = 0xC0003730;
constexpr std::uint32_t ErrorMetadataLoop = 0xC0003731;    // strong references that lead back to their holder
constexpr std::uint32_t ErrorFileUnnamed = 0xC0003732;     // any other failure to name the file at a block
constexpr std::uint32_t ErrorSettingUnloaded = 0xC0003733; // a configured dictionary or stylesheet
constexpr std::uint32_t ErrorMetadataTooCostly = 0xC0003734; // header metadata past their memory budget
constexpr std::uint32_t ErrorArchiveEndNotZero = 0xC0003778;
constexpr std::uint32_t ErrorExtentTooLong = 0xC000377C;
constexpr std::uint32_t ErrorUnknownStandard = 0xC000377D;
constexpr std::uint32_t ErrorMarkMisplaced = 0xC000377E; // the volume's closing mark is not where it belongs

// Hands the host the texts of the numbers above, once per module (later calls return at once). Every tape
// file system calls it when constructed, and every plug-in when it registers its factory; code that raises
// the numbers without a file system calls it itself before it wants their texts. Thread-safe. False when
// memory ran out; a later call tries again.
bool RegisterFileSystemErrorTexts();
