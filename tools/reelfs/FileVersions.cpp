#include "FileVersions.h"

#include "CatalogueWalk.h"

#include "frame/CCatArchive.h"
#include "frame/CCatSearch.h"
#include "vnservice/ErrorGenerators.h"
#include "win/FileTime.h"

#include <chrono>
#include <cstdio>

namespace
{
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
    return WalkCatalogue(catalogue, 1, catalogue.begin(1),
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
    return WalkCatalogue(catalogue, 1, catalogue.find(key, 1),
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
