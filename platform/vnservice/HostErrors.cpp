#include "vnservice/HostErrors.h"

#include <map>

std::string HostErrorText(std::uint32_t code)
{
    static const std::map<std::uint32_t, std::string> texts = {
        {HostErrorOsError, "operating system error %1"},
        {HostErrorHResult, "component error %1"},
        {HostErrorOutOfMemory, "not enough memory for %1 bytes"},
        {HostErrorNotOffered, "this host does not offer %1"},
        {HostErrorBadVolumeIdText, "\"%1\" is not a volume identity"},
        {HostErrorNoSuchProperty, "the file system has no property \"%1\""},
        {HostErrorDatabase, "host database: %1"},
        {HostErrorBadSetting, "setting \"%1\" holds \"%2\", which is not a number"},
        {HostErrorTapeImage, "tape image %1: %2"},
        {HostErrorDrive, "drive: %1"},
        {HostErrorNoSetting, "no setting \"%1\" is stored"},
        {HostErrorUnknownLayout, "the tape in %1 is of no known layout"},
        {HostErrorNotScanned, "volume %1 has not been scanned"},
        {HostErrorNotCatalogued, "no file \"%1\" in the catalogue of volume %2"},
        {HostErrorRangePastEnd, "%1 bytes from byte %2 run past the end of \"%3\", which holds %4 bytes"},
        {HostErrorNoSuchSetting, "the file system has no property or setting \"%1\""},
        {HostErrorMountedTwice, "volume %1 is mounted from %2 already"},
        {HostErrorUnknownVolume, "no volume %1 is known"},
        {HostErrorScanStuck,
         "the scan stands still at position %1: the file system hands back items without moving on"},
        {HostErrorTapeCutShort,
         "the tape in %1 ends early: its %2 whole blocks and marks end at byte %3, and %4"},
        {HostErrorOtherTape, "the catalogue of volume %1 was made from the tape in %2 (as it was then), and "
                             "the tape in %3 is another one: the two share an identity, not their contents. "
                             "Scan %3 to catalogue it (that replaces the catalogue of %2)"},
        {HostErrorPathWithoutRoot, "no file \"%1\" in the catalogue of volume %2: every catalogued path "
                                   "begins with 0/, as reelfs ls shows them; did you mean \"%3\"?"},
        {HostErrorNotTapeImage,
         "%1 is a TAR archive, not a tape image: write it onto one with reelfs mktape -o "
         "TAPE.tap %1, and use TAPE.tap"},
        {HostErrorVersionsAlike,
         "%1 versions of \"%2\" on volume %3 have the same keys, and start at positions "
         "%4: choose one with --at POSITION, as reelfs ls -l shows it"},
        {HostErrorNoVersionAt, "no version of \"%1\" on volume %3 starts at position %2; its versions start "
                               "at %4"},
        {HostErrorFilesUnread,
         "%1 files of the tape could not be read whole, for the reasons above; the scan "
         "catalogued them all the same, as said there"},
        {ErrorUnknownState, "the operation reached an unknown state or sub-code %1"},
        {ErrorNoData, "no data on the medium"},
        {ErrorNoMedium, "no medium for replica %1"},
        {ErrorBlank, "the medium is blank"},
        {ErrorShortExtents, "the extents of \"%1\" fall %2 blocks short"},
        {ErrorNoNextVolume, "the file continues on a next volume that is not known"},
        {ErrorNextVolumeAway, "the next volume is not accessible"},
        // The numbers that only the file systems raise: they declare them in their own header, which the
        // host below them does not see, so their texts are keyed by the number.
        {0xC00001F8, "catalogue error %1 on volume %2"},
        {0xC00003ED, "the file system does not support this operation"},
        {0xC0000813, "no file \"%1\" with data in the catalogue"},
        {0xC0000818, "the catalogue of volume %1 is not open"},
        {0xC000138F, "no volume \"%1\" is known"},
        {0xC0001B73, "the medium is not in a usable state"},
        {0xC0002710, "a TAR header field holds no number"},
        {0xC0002711, "the value %1 does not fit a TAR field of %2 digits"},
        {0xC0002712, "bad TAR header checksum at %1"},
        {0xC0002713, "no TAR header at %1"},
        {0xC0002717, "the header names \"%1\", not \"%2\""},
        {0xC000271A, "the pax size %1 is not a number"},
        {0xC000271B, "the TAR %1 field %2 holds a number that does not fit in 64 bits"},
        {0xC000271C, "the TAR header at %1 gives a size of %2 bytes, more than any volume can number"},
        {0xC000271D, "the pax mtime %1 is not a time"},
        {0xC000271E, "the member's %1 of %2 bytes is longer than the %3 bytes a name may have"},
        {0xC000271F, "the sparse file \"%1\" cannot be expanded: %2"},
        {0xC00036B0, "no file mark after the label on %1"},
        {0xC00036B1, "the Active Circle label is malformed"},
        {0xC00036B2, "the second end-of-archive block before %1 is not zero"},
        {0xC00036B3, "the data of \"%1\" run past the end of the tape's data at %2: the tape is cut short"},
        {0xC0003714, "no file mark after the label on %1"},
        {0xC0003715, "the Tedial label \"%1\" is malformed"},
        {0xC0003716, "MXF file at block %1: the transform gave no single %2"},
        {0xC0003717, "MXF file at block %1: unreadable date \"%2\""},
        {0xC0003718, "the block size of volume %1 is not known: the tape has not been recognised"},
        {0xC0003730, "the header metadata nests deeper than %1 levels"},
        {0xC0003731, "the strong references of %1 lead back to a set that holds them"},
        {0xC0003732, "MXF file at block %1: %2"},
        {0xC0003733, "the \"%1\" setting (section MXFREELFS) names \"%2\", which does not load: %3. Correct "
                     "the file, or remove the setting to use the built-in %4"},
        {0xC0003778, "the second end-of-archive block is not zero"},
        {0xC000377C, "an extent is longer than %1 GiB"},
        {0xC000377D, "unknown TAR standard \"%1\""},
        {0xC000377E, "the file mark is not where the volume closes, at %1"},
    };
    auto found = texts.find(code);
    return found == texts.end() ? std::string() : found->second;
}
