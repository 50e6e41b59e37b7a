#include "vnservice/HostErrors.h"

#include <map>
#include <mutex>
#include <new>
#include <shared_mutex>
#include <unordered_map>

namespace
{
// The texts that modules handed in. Never freed: a status may be formatted while the process ends.
struct RegisteredTexts
{
    std::shared_mutex Lock;
    std::unordered_map<std::uint32_t, std::string> Texts;
};

RegisteredTexts& Registered()
{
    static auto* registered = new RegisteredTexts;
    return *registered;
}
} // namespace

bool RegisterErrorTexts(std::span<const ErrorText> texts)
{
    RegisteredTexts& registered = Registered();
    std::unique_lock lock(registered.Lock);
    try
    {
        for (const ErrorText& entry : texts)
            if (entry.Text)
                registered.Texts.try_emplace(entry.Code, entry.Text);
    }
    catch (const std::bad_alloc&)
    {
        return false;
    }
    return true;
}

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
    };
    if (auto found = texts.find(code); found != texts.end())
        return found->second;
    RegisteredTexts& registered = Registered();
    std::shared_lock lock(registered.Lock);
    auto found = registered.Texts.find(code);
    return found == registered.Texts.end() ? std::string() : found->second;
}
