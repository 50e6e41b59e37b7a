// Times a volume catalogue of a million file versions: each version appends an extent and an archive with
// every upkeep (directories, counters), in an order that scatters paths over index 1; then the catalogue
// is closed (committed) and reopened (read and replayed). Prints, for each tenth of the run, appends per
// second and the index comparisons each append made, so that a cost growing with the catalogue's size
// shows apart from the caches it outgrows; then the totals.
#include "frame/CCatArchive.h"
#include "frame/CCatExtent.h"
#include "frame/CCatalogueList.h"
#include "vnservice/CDatabase.h"

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace
{
using Clock = std::chrono::steady_clock;

std::uint64_t Comparisons = 0;

// The catalogue's ordering, counted.
struct CCountedOrder : CCatalogueItem
{
    static int CompareEntries(const CFileListEntry& a, const CFileListEntry& b, int index)
    {
        ++Comparisons;
        return CCatalogueItem::CompareEntries(a, b, index);
    }
    static bool EntryLessThan(const CFileListEntry& entry, const CFileListFile& key, int index)
    {
        ++Comparisons;
        return CCatalogueItem::EntryLessThan(entry, key, index);
    }
};
using CBenchList = CFileList<CCountedOrder, CCatalogueHeader, 2, CCatalogueItem::Allocator>;

double Seconds(Clock::time_point since)
{
    return std::chrono::duration<double>(Clock::now() - since).count();
}

long PeakKilobytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// A deep path for version i: 64 clips to a take folder, five levels down; consecutive versions land far
// apart in path order.
WString PathOf(std::uint64_t i, std::uint64_t count)
{
    std::uint64_t n = (i * 2654435761ULL) % count;
    std::uint64_t take = n / 64;
    std::string path = "0/archive/project" + std::to_string(take % 7) + "/reel" +
                       std::to_string(take / 7 % 13) + "/scene" + std::to_string(take / 91 % 29) + "/take" +
                       std::to_string(take) + "/clip" + std::to_string(n) + ".mxf";
    return WidenAscii(path);
}
} // namespace

int main(int argc, char** argv)
{
    std::uint64_t versions = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1000000;
    std::string home = (std::filesystem::temp_directory_path() / "catalogue-bench").string();
    std::filesystem::remove_all(home);
    std::filesystem::create_directories(home);

    CDatabase db;
    if (db.Open(home + "/reelfs.db").Failed())
        return 1;
    CFileListInternal* list = nullptr;
    if (CBenchList::Open(db, "bench", true, list) != 0)
        return 1;

    Clock::time_point start = Clock::now();
    Clock::time_point tenth = start;
    std::uint64_t comparisonsBefore = 0;
    for (std::uint64_t i = 0; i < versions; ++i)
    {
        WString path = PathOf(i, versions);
        CCatExtent extent(3 * i + 1, path, 4, 0, 0, 1);
        CCatArchive archive(3 * i, path, 2048, 0x01D0000000000000ULL + i, 0, 0, 1);
        if (list->Append(extent) != 0 || list->Append(archive) != 0)
            return 1;
        if ((i + 1) % (versions / 10) == 0)
        {
            double appends = 2.0 * (versions / 10);
            std::printf("versions %8llu: %.0f appends/s, %.1f comparisons/append\n",
                        static_cast<unsigned long long>(i + 1), appends / Seconds(tenth),
                        static_cast<double>(Comparisons - comparisonsBefore) / appends);
            tenth = Clock::now();
            comparisonsBefore = Comparisons;
        }
    }
    double appendSeconds = Seconds(start);
    CCatalogueHeader header{};
    list->GetUserHeader(&header, sizeof header);
    std::size_t stored = 0;
    for (auto at = list->begin(), end = list->end(); at != end; ++at)
        ++stored;

    Clock::time_point closing = Clock::now();
    if (list->Close() != 0)
        return 1;
    double closeSeconds = Seconds(closing);
    delete list;

    Clock::time_point opening = Clock::now();
    if (CBenchList::Open(db, "bench", false, list) != 0 || !list->IsOpen())
        return 1;
    double reopenSeconds = Seconds(opening);

    CDatabase::CStatement bytes;
    db.Prepare("SELECT sum(length(data)) FROM catalogue_pages WHERE catalogue = 'bench'", bytes);
    bytes.Step();
    double storedMegabytes = static_cast<double>(bytes.ColumnInt(0)) / 1e6;
    double peakMegabytes = static_cast<double>(PeakKilobytes()) * 1024 / 1e6;

    std::printf("file versions          %llu (%zu records stored, %u counted in the header)\n",
                static_cast<unsigned long long>(versions), stored, header.RecordCount);
    std::printf("append                 %.2f s, %.0f records/s (%.0f appends/s)\n", appendSeconds,
                stored / appendSeconds, 2.0 * versions / appendSeconds);
    std::printf("close (commit)         %.2f s\n", closeSeconds);
    std::printf("reopen (read, replay)  %.2f s\n", reopenSeconds);
    std::printf("stored bytes           %.1f MB\n", storedMegabytes);
    std::printf("peak memory            %.1f MB (%.2f x stored)\n", peakMegabytes,
                peakMegabytes / storedMegabytes);
    delete list;
    std::filesystem::remove_all(home);
    return 0;
}
