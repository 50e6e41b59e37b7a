#include "FileVersions.h"

#include "frame/CCatArchive.h"
#include "frame/CCatSearch.h"
#include "frame/CFileListPointer.h"
#include "vnservice/ErrorGenerators.h"
#include "win/FileTime.h"

#include <chrono>
#include <cstdio>

namespace
{
// Walks index 1 from `at` and hands each file version to `visit` until it answers false. The catalogue
// reports what it cannot read by throwing its Win32 error number.
template <class Visit>
CStatus WalkVersions(CFileListInternal& catalogue, CFileListInternal::iterator at, Visit visit)
{
    try
    {
        for (CFileListInternal::iterator end = catalogue.end(1); at != end; ++at)
        {
            CFileListPointer<CCatalogueItem> handle = GetPointer<CCatalogueItem>(at);
            CCatalogueItem* record = handle.Get();
            if (!visit(*record))
                break;
        }
    }
    catch (std::uint32_t error)
    {
        return CErrorNumber::OsError("FileVersions", __LINE__, error);
    }
    return CStatus::Success();
}

bool IsFileVersion(const CCatalogueItem& record)
{
    return record.GetObjectType(false) == KindArchive;
}

CFileVersion VersionOf(const CCatalogueItem& record)
{
    const auto& archive = static_cast<const CCatArchive&>(record);
    return {archive.GetKeyPath(),
            archive.Position,
            archive.GetSegmentLength(),
            (archive.Flags & CCatArchive::FlagArchiveTime) ? archive.ArchiveTime : archive.ModifiedTime,
            archive.SegmentIndex,
            archive.OrderKey1,
            archive.OrderKey2};
}
} // namespace

CStatus ForEachFileVersion(CFileListInternal& catalogue,
                           const std::function<void(const CFileVersion&)>& visit)
{
    return WalkVersions(catalogue, catalogue.begin(1),
                        [&](const CCatalogueItem& record)
                        {
                            if (IsFileVersion(record))
                                visit(VersionOf(record));
                            return true;
                        });
}

CStatus FindNewestVersion(CFileListInternal& catalogue, const WString& path, bool& found,
                          CFileVersion& version)
{
    found = false;
    CCatSearch key(path, AnyKey, AnyKey, AnyKey);
    return WalkVersions(catalogue, catalogue.find(key, 1),
                        [&](const CCatalogueItem& record)
                        {
                            if (record.GetKeyPath() != path)
                                return false;
                            if (IsFileVersion(record) &&
                                (!found || record.GetOrderKey2() > version.OrderKey2))
                            {
                                version = VersionOf(record);
                                found = true;
                            }
                            return true;
                        });
}

std::string FormatFileTime(std::uint64_t fileTime)
{
    using namespace std::chrono;
    if (fileTime == 0)
        return "-";
    sys_seconds time{seconds(FileTimeToUnixSeconds(fileTime))};
    auto day = floor<days>(time);
    year_month_day date{day};
    hh_mm_ss clock{time - day};
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02ld:%02ld:%02ldZ", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                  static_cast<long>(clock.hours().count()), static_cast<long>(clock.minutes().count()),
                  static_cast<long>(clock.seconds().count()));
    return text;
}
