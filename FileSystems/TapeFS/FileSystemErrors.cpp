#include "FileSystems/TapeFS/FileSystemErrors.h"

#include <mutex>

namespace
{
constexpr ErrorText Texts[] = {
    {ErrorCatalogue, "catalogue error %1 on volume %2"},
    {ErrorRefused, "the file system does not support this operation"},
    {ErrorNoFile, "no file \"%1\" with data in the catalogue"},
    {ErrorCatalogueClosed, "the catalogue of volume %1 is not open"},
    {ErrorNoSuchVolume, "no volume \"%1\" is known"},
    {ErrorMediumState, "the medium is not in a usable state"},
    {ErrorNoNumber, "a TAR header field holds no number"},
    {ErrorFieldTooSmall, "the value %1 does not fit a TAR field of %2 digits"},
    {ErrorChecksum, "bad TAR header checksum at %1"},
    {ErrorNotHeader, "no TAR header at %1"},
    {ErrorWrongMember, "the header names \"%1\", not \"%2\""},
    {ErrorPaxSize, "the pax size %1 is not a number"},
    {ErrorNumberTooLarge, "the TAR %1 field %2 holds a number that does not fit in 64 bits"},
    {ErrorImpossibleSize, "the TAR header at %1 gives a size of %2 bytes, more than any volume can number"},
    {ErrorPaxTime, "the pax mtime %1 is not a time"},
    {ErrorNameTooLong, "the member's %1 of %2 bytes is longer than the %3 bytes a name may have"},
    {ErrorSparseMap, "the sparse file \"%1\" cannot be expanded: %2"},
    {ErrorSparseRecordStale,
     "the catalogue gives the sparse file \"%1\" %2 bytes, but its map on tape expands it to %3 bytes: the "
     "catalogue was made by a reader that took it for a plain file; scan the tape again"},
    {ErrorNotLabelled, "no file mark after the label on %1"},
    {ErrorMalformedLabel, "the Active Circle label is malformed"},
    {ErrorLabelledArchiveEndNotZero, "the second end-of-archive block before %1 is not zero"},
    {ErrorDataPastEnd, "the data of \"%1\" run past the end of the tape's data at %2: the tape is cut short"},
    {ErrorNoTedialMark, "no file mark after the label on %1"},
    {ErrorMalformedTedialLabel, "the Tedial label \"%1\" is malformed"},
    {ErrorNoSingleResult, "MXF file at block %1: the transform gave no single %2"},
    {ErrorUnreadableDate, "MXF file at block %1: unreadable date \"%2\""},
    {ErrorBlockSizeUnknown, "the block size of volume %1 is not known: the tape has not been recognised"},
    {ErrorMetadataTooDeep, "the header metadata nests deeper than %1 levels"},
    {ErrorMetadataLoop, "the strong references of %1 lead back to a set that holds them"},
    {ErrorFileUnnamed, "MXF file at block %1: %2"},
    {ErrorMetadataTooCostly,
     "the header metadata need more than %1 bytes of memory to hold, more than real ones do; refused as "
     "damaged"},
    {ErrorSettingUnloaded,
     "the \"%1\" setting (section MXFREELFS) names \"%2\", which does not load: %3. Correct "
     "the file, or remove the setting to use the built-in %4"},
    {ErrorArchiveEndNotZero, "the second end-of-archive block is not zero"},
    {ErrorExtentTooLong, "an extent is longer than %1 GiB"},
    {ErrorUnknownStandard, "unknown TAR standard \"%1\""},
    {ErrorMarkMisplaced, "the file mark is not where the volume closes, at %1"},
};
} // namespace

bool RegisterFileSystemErrorTexts()
{
    static std::mutex lock;
    static bool registered = false;
    std::lock_guard guard(lock);
    if (!registered)
        registered = RegisterErrorTexts(Texts);
    return registered;
}
