#include "FileVersions.h"

#include "CatalogueWalk.h"

#include "frame/CCatArchive.h"
#include "frame/CCatSearch.h"
#include "vnservice/ErrorGenerators.h"
#include "win/FileTime.h"

#include <cstdio>
#include <ctime>

namespace
{
bool IsFileVersion(const CCatalogueItem& record)
{
    return record.GetObjectType(false) == KindArchive;
}

CFileVersion VersionOf(const CCatalogueItem& record)
{
    const auto& archive = static_cast<const CCatArchive&>(record);
    return {archive.GetKeyPath(), archive.Position,  archive.GetSegmentLength(), archive.GetFileTime(),
            archive.SegmentIndex, archive.OrderKey1, archive.OrderKey2};
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

CStatus FindVersions(CFileListInternal& catalogue, const WString& path, std::vector<CFileVersion>& versions)
{
    versions.clear();
    CCatSearch key(path, AnyKey, AnyKey, AnyKey);
    return WalkCatalogue(catalogue, 1, catalogue.find(key, 1),
                         [&](const CCatalogueItem& record)
                         {
                             if (record.GetKeyPath() != path)
                                 return false;
                             if (IsFileVersion(record))
                                 versions.push_back(VersionOf(record));
                             return true;
                         });
}

std::string FormatFileTime(std::uint64_t fileTime)
{
    if (fileTime == 0)
        return "-";
    // The C library's calendar, since FILETIME runs to the year 60056, past what std::chrono::year holds.
    const auto time = static_cast<std::time_t>(FileTimeToUnixSeconds(fileTime));
    std::tm civil{};
    char text[40];
    if (!::gmtime_r(&time, &civil) || std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &civil) == 0)
        return "-";
    return text;
}
