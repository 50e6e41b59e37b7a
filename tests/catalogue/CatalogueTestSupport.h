// Shared pieces of the catalogue tests: a temporary home folder with the host database, an open
// catalogue list, walks of its indexes, a check of a catalogue against an oracle of its directories, and
// a catalogue whose file records count their objects.
#pragma once

#include "frame/CCatArchive.h"
#include "frame/CCatalogueHeader.h"
#include "frame/CCatalogueItem.h"
#include "frame/CCatalogueList.h"
#include "frame/CFileListPointer.h"
#include "vnservice/CDatabase.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <string>
#include <vector>

// A fresh home folder, removed with everything in it when the object goes.
class CTempHome
{
public:
    CTempHome();
    ~CTempHome();
    const std::string& Path() const { return Folder; }
    std::string DatabasePath() const { return Folder + "/reelfs.db"; }

private:
    std::string Folder;
};

WString W(std::string_view ascii);
// Readable text of a path: ASCII as it is, other units as \uXXXX.
std::string N(WStringView path);

struct CWalkedRecord
{
    CFileListOffset Offset;
    std::uint8_t Type;
    WString Path;
};
// The records of `index` (storage order for -1), loaded through record handles.
std::vector<CWalkedRecord> Walk(CFileListInternal& list, int index);
std::vector<std::string> DirectoriesInStorageOrder(CFileListInternal& list);
// A record as the list stores it: type byte, path and payload.
CFileListEntry EntryOf(const CCatalogueItem& record);
CCatalogueHeader ReadHeader(CFileListInternal& list);

// Directories that must lie above the paths: every prefix that ends before a '/'.
std::set<WString> AncestorOracle(const std::vector<WString>& paths);
// The catalogue holds each oracle directory exactly once and no other, every record follows the
// directory above it in index 1, and the header counts the archives and extents.
void ExpectConsistentCatalogue(CFileListInternal& list, const std::vector<WString>& filePaths);

// A temporary home with the database open and one catalogue open under "volume".
class CatalogueTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;
    void Reopen();

    CTempHome Home;
    CDatabase Db;
    CFileListInternal* List = nullptr;
};

// File records made by this factory count their objects in RecordsMade and RecordsFreed.
extern std::atomic<int> RecordsMade;
extern std::atomic<int> RecordsFreed;
struct CCountingAllocator
{
    static CFileListFile* Create(std::uint8_t type);
};
using CCountingList = CFileList<CCatalogueItem, CCatalogueHeader, 2, CCountingAllocator>;

// A catalogue of counting records holding one file record at At, with the counts at zero.
class CatalogueHandles : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override { delete List; }

    // The FileSize stored in the page.
    std::uint64_t StoredFileSize();
    CFileListPointer<CCatArchive> Handle() { return CFileListPointer<CCatArchive>(*List, At); }

    CTempHome Home;
    CDatabase Db;
    CFileListInternal* List = nullptr;
    CFileListOffset At;
};
