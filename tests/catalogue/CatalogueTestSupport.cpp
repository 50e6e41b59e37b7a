#include "CatalogueTestSupport.h"

#include "frame/CCatArchive.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

CTempHome::CTempHome()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "catalogue-XXXXXX").string();
    Folder = mkdtemp(pattern.data()) ? pattern : std::string();
}

CTempHome::~CTempHome()
{
    std::error_code ignored;
    std::filesystem::remove_all(Folder, ignored);
}

WString W(std::string_view ascii)
{
    return WidenAscii(ascii);
}

std::string N(WStringView path)
{
    std::string text;
    for (char16_t unit : path)
    {
        if (unit >= 0x20 && unit < 0x7F)
            text += static_cast<char>(unit);
        else
        {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<unsigned>(unit));
            text += escaped;
        }
    }
    return text;
}

std::vector<CWalkedRecord> Walk(CFileListInternal& list, int index)
{
    std::vector<CWalkedRecord> records;
    auto end = index < 0 ? list.end() : list.end(index);
    for (auto at = index < 0 ? list.begin() : list.begin(index); at != end; ++at)
    {
        CFileListPointer<CCatalogueItem> handle = GetPointer<CCatalogueItem>(at);
        CCatalogueItem* record = handle.Get();
        records.push_back({handle.GetOffset(), record->GetObjectType(true), record->GetPath()});
    }
    return records;
}

std::vector<std::string> DirectoriesInStorageOrder(CFileListInternal& list)
{
    std::vector<std::string> directories;
    for (const CWalkedRecord& record : Walk(list, -1))
        if ((record.Type & 0x0F) == KindDirectory)
            directories.push_back(N(record.Path));
    return directories;
}

CFileListEntry EntryOf(const CCatalogueItem& record)
{
    return {record.GetObjectType(true),
            record.GetPath(),
            {static_cast<const unsigned char*>(record.GetData()), record.GetDataSize()}};
}

CCatalogueHeader ReadHeader(CFileListInternal& list)
{
    CCatalogueHeader header{};
    EXPECT_EQ(list.GetUserHeader(&header, sizeof header), 0u);
    return header;
}

std::set<WString> AncestorOracle(const std::vector<WString>& paths)
{
    std::set<WString> directories;
    for (const WString& path : paths)
        for (std::size_t i = 0; i < path.size(); ++i)
            if (path[i] == u'/')
                directories.insert(path.substr(0, i));
    return directories;
}

void ExpectConsistentCatalogue(CFileListInternal& list, const std::vector<WString>& filePaths)
{
    std::set<WString> oracle = AncestorOracle(filePaths);
    std::multiset<WString> found;
    std::set<WString> seen;
    std::size_t archives = 0, extents = 0;
    std::vector<CWalkedRecord> index1 = Walk(list, 1);
    for (std::size_t i = 0; i < index1.size(); ++i)
    {
        const CWalkedRecord& record = index1[i];
        std::uint8_t kind = record.Type & 0x0F;
        archives += kind == KindArchive;
        extents += kind == KindExtent;
        if (kind == KindDirectory)
            found.insert(record.Path);
        std::size_t slash = record.Path.rfind(u'/');
        if (slash != WString::npos)
        {
            EXPECT_TRUE(seen.count(record.Path.substr(0, slash)))
                << N(record.Path) << " comes before the directory above it";
        }
        seen.insert(record.Path);
    }
    EXPECT_EQ(std::set<WString>(found.begin(), found.end()), oracle);
    EXPECT_EQ(found.size(), oracle.size()) << "a directory was created twice";
    CCatalogueHeader header = ReadHeader(list);
    EXPECT_EQ(header.ArchiveCount, archives);
    EXPECT_EQ(header.RecordCount, archives + extents);
}

void CatalogueTest::SetUp()
{
    ASSERT_TRUE(Db.Open(Home.DatabasePath()).IsSuccess());
    ASSERT_EQ(CCatalogueList::Open(Db, "volume", true, List), 0u);
    ASSERT_TRUE(List->IsOpen());
}

void CatalogueTest::TearDown()
{
    delete List;
}

void CatalogueTest::Reopen()
{
    ASSERT_EQ(List->Close(), 0u);
    delete List;
    List = nullptr;
    ASSERT_EQ(CCatalogueList::Open(Db, "volume", false, List), 0u);
    ASSERT_TRUE(List->IsOpen());
}

std::atomic<int> RecordsMade{0};
std::atomic<int> RecordsFreed{0};

namespace
{
class CCountedArchive : public CCatArchive
{
public:
    CCountedArchive() { ++RecordsMade; }
    ~CCountedArchive() override { ++RecordsFreed; }
};
} // namespace

CFileListFile* CCountingAllocator::Create(std::uint8_t type)
{
    if ((type & 0x0F) != KindArchive)
        return CCatalogueItem::Allocator::Create(type);
    auto* record = new CCountedArchive;
    record->AcceptObjectType(type);
    return record;
}

void CatalogueHandles::SetUp()
{
    ASSERT_TRUE(Db.Open(Home.DatabasePath()).IsSuccess());
    ASSERT_EQ(CCountingList::Open(Db, "volume", true, List), 0u);
    CCatArchive record(7, W("0/f"), 1000, 0, 0, 0, 1);
    ASSERT_EQ(List->Append(record, true), 0u);
    At = List->begin(0).CheckOffset();
    RecordsMade = RecordsFreed = 0;
}

std::uint64_t CatalogueHandles::StoredFileSize()
{
    std::span<unsigned char> payload = List->GetPage(At.Page).GetData(At, true);
    std::uint64_t size = 0;
    std::memcpy(&size, payload.data() + 8, sizeof size);
    return size;
}
