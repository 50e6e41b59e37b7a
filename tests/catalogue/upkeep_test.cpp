#include "CatalogueTestSupport.h"

#include "frame/CCatArchive.h"
#include "frame/CCatDirectory.h"
#include "frame/CCatExtent.h"
#include "frame/CCatReference.h"
#include "frame/CCatSync.h"

#include <functional>

namespace
{
// One record to append: kind 'a' archive, 'e' extent, 's' sync, 'd' directory; `plain` appends it without
// its own upkeep (as the upkeep appends records), to build catalogues that lack directories.
struct Step
{
    char kind;
    const char* path;
    std::uint32_t orderKey2 = 1;
    std::uint64_t fileSize = 0;
    bool plain = false;
    std::uint8_t type = 0;
};

void AppendSteps(CFileListInternal& list, const std::vector<Step>& steps)
{
    std::uint64_t position = 0;
    for (const Step& s : steps)
    {
        std::unique_ptr<CCatalogueItem> record;
        switch (s.kind)
        {
        case 'a':
            record = std::make_unique<CCatArchive>(++position, W(s.path), s.fileSize, 0, 0, 0, s.orderKey2);
            break;
        case 'e':
            record = std::make_unique<CCatExtent>(++position, W(s.path), 1, 0, 0, s.orderKey2);
            break;
        case 's':
            record = std::make_unique<CCatSync>(++position, 512, 1);
            break;
        case 'd':
            record = std::make_unique<CCatDirectory>(W(s.path), 0);
            ASSERT_TRUE(record->AcceptObjectType(s.type ? s.type : KindDirectory));
            break;
        }
        ASSERT_EQ(list.Append(*record, s.plain), 0u) << s.path;
    }
}

std::uint8_t TypeOf(CFileListInternal& list, const char* path)
{
    for (const CWalkedRecord& record : Walk(list, 1))
        if (record.Path == W(path))
            return record.Type;
    ADD_FAILURE() << path << " not found";
    return 0xFF;
}
} // namespace

TEST_F(CatalogueTest, parent_directories_are_created_once_shallowest_first)
{
    struct
    {
        const char* name;
        std::vector<Step> steps;
        std::vector<std::string> directories;
    } cases[] = {
        {"first file of an empty catalogue", {{'a', "0/f"}}, {"0"}},
        {"second file in the same directory", {{'a', "0/f"}, {'a', "0/g"}}, {"0"}},
        {"deep file", {{'a', "0/a/b/f"}}, {"0", "0/a", "0/a/b"}},
        {"after a deeper directory", {{'a', "0/a/b/f"}, {'a', "0/a/g"}}, {"0", "0/a", "0/a/b"}},
        {"sibling before", {{'a', "0/b/x"}, {'a', "0/a/y"}}, {"0", "0/b", "0/a"}},
        {"common prefix inside a name", {{'a', "0/abc/x"}, {'a', "0/abd/y"}}, {"0", "0/abc", "0/abd"}},
        {"directory entry with a trailing slash", {{'a', "0/d/"}, {'a', "0/d/x"}}, {"0", "0/d"}},
        {"extent", {{'e', "0/e/x"}, {'a', "0/e/x"}}, {"0", "0/e"}},
        {"synchronisation record", {{'s', "Sync"}}, {}},
        {"top level has no directory", {{'a', "f"}, {'e', "g"}}, {}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        delete List;
        ASSERT_EQ(CCatalogueList::Open(Db, c.name, true, List), 0u);
        AppendSteps(*List, c.steps);
        EXPECT_EQ(DirectoriesInStorageOrder(*List), c.directories);
    }
}

TEST_F(CatalogueTest, header_counters_follow_records_and_superseded_versions)
{
    struct
    {
        const char* name;
        std::vector<Step> steps;
        std::uint32_t records, archives, superseded;
        std::uint64_t totalBytes, supersededBytes;
    } cases[] = {
        {"version 0 and 1 are plain", {{'a', "0/f", 0, 10}, {'a', "0/g", 1, 20}}, 2, 2, 0, 30, 0},
        {"version 2 supersedes 1", {{'a', "0/f", 1, 10}, {'a', "0/f", 2, 25}}, 3, 2, 1, 35, 10},
        {"extents of the version come first",
         {{'e', "0/f", 1}, {'a', "0/f", 1, 10}, {'e', "0/f", 2}, {'a', "0/f", 2, 5}},
         5,
         2,
         1,
         15,
         10},
        // The search for version 2 lands on version 3 itself, or on another path: nothing is superseded.
        {"no version 2 to supersede", {{'a', "0/f", 1, 10}, {'a', "0/f", 3, 7}}, 2, 2, 0, 17, 0},
        {"version 1 of another path", {{'a', "0/e", 1, 10}, {'a', "0/f", 2, 7}}, 2, 2, 0, 17, 0},
        {"extents and syncs count as records only", {{'e', "0/f"}, {'s', "Sync"}}, 2, 0, 0, 0, 0},
        {"a directory is not counted", {{'d', "0/x", 1, 0, false}}, 0, 0, 0, 0, 0},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        delete List;
        ASSERT_EQ(CCatalogueList::Open(Db, c.name, true, List), 0u);
        AppendSteps(*List, c.steps);
        CCatalogueHeader header = ReadHeader(*List);
        EXPECT_EQ(header.RecordCount, c.records);
        EXPECT_EQ(header.ArchiveCount, c.archives);
        EXPECT_EQ(header.SupersededCount, c.superseded);
        EXPECT_EQ(header.TotalBytes, c.totalBytes);
        EXPECT_EQ(header.SupersededBytes, c.supersededBytes);
    }
}

TEST_F(CatalogueTest, counters_add_segment_lengths_and_keep_the_other_header_bytes)
{
    CCatalogueHeader header{};
    header.ReplicaSlot[3].LabelId[0] = 'L';
    header.Reserved1 = 0xDEADBEEF;
    ASSERT_EQ(List->SetUserHeader(&header, sizeof header), 0u);
    CCatArchive segment(1, W("0/f"), 10000, 0, 2, 0, 1);
    segment.SegmentSize = 4096;
    ASSERT_EQ(List->Append(segment), 0u);
    header = ReadHeader(*List);
    EXPECT_EQ(header.TotalBytes, 1808u);
    EXPECT_EQ(header.ReplicaSlot[3].LabelId[0], 'L');
    EXPECT_EQ(header.Reserved1, 0xDEADBEEFu);
}

TEST_F(CatalogueTest, superseded_version_is_found_through_a_chain_of_references)
{
    AppendSteps(*List, {{'a', "0/f", 1, 100}});
    // Version (OrderKey1 3, OrderKey2 1) stands for OrderKey1 2, which stands for the archive.
    CCatReference second(W("0/f"), 0, 2, 1, 0);
    CCatReference third(W("0/f"), 0, 3, 1, 2);
    ASSERT_EQ(List->Append(second), 0u);
    ASSERT_EQ(List->Append(third), 0u);
    CCatArchive next(9, W("0/f"), 40, 0, 0, 3, 2);
    ASSERT_EQ(List->Append(next), 0u);
    CCatalogueHeader header = ReadHeader(*List);
    EXPECT_EQ(header.SupersededCount, 1u);
    EXPECT_EQ(header.SupersededBytes, 100u);
}

TEST_F(CatalogueTest, a_chain_of_references_that_loops_counts_nothing_and_ends)
{
    // A reference to its own OrderKey1, and two that refer to each other.
    CCatReference self(W("0/g"), 0, 5, 1, 5);
    CCatReference a(W("0/h"), 0, 6, 1, 7);
    CCatReference b(W("0/h"), 0, 7, 1, 6);
    for (CCatReference* r : {&self, &a, &b})
        ASSERT_EQ(List->Append(*r), 0u);
    CCatArchive g(1, W("0/g"), 10, 0, 0, 5, 2);
    CCatArchive h(2, W("0/h"), 10, 0, 0, 6, 2);
    ASSERT_EQ(List->Append(g), 0u);
    ASSERT_EQ(List->Append(h), 0u);
    CCatalogueHeader header = ReadHeader(*List);
    EXPECT_EQ(header.SupersededCount, 0u);
    EXPECT_EQ(header.ArchiveCount, 2u);
}

TEST_F(CatalogueTest, header_that_cannot_be_read_leaves_the_counters_alone)
{
    AppendSteps(*List, {{'a', "0/f", 1, 10}});
    List->FailHeaderReadAfter(0);
    AppendSteps(*List, {{'a', "0/d/g", 1, 20}});
    CCatalogueHeader header = ReadHeader(*List);
    EXPECT_EQ(header.RecordCount, 1u);
    EXPECT_EQ(header.TotalBytes, 10u);
    EXPECT_EQ(DirectoriesInStorageOrder(*List), (std::vector<std::string>{"0", "0/d"}));
}

TEST_F(CatalogueTest, directory_flags_are_cleared_only_on_the_directory_itself)
{
    // 0 carries flag 0x20; adding a file below it clears it.
    AppendSteps(*List, {{'d', "0", 1, 0, true, 0x25}, {'a', "0/f"}});
    EXPECT_EQ(TypeOf(*List, "0"), 0x05);

    // In a catalogue without the directory 0/a, the search for it lands on 0/a/b, which keeps its flag.
    AppendSteps(*List, {{'d', "0/a/b", 1, 0, true, 0x45}, {'a', "0/a/c", 1, 0, true}, {'a', "0/a/d"}});
    EXPECT_EQ(TypeOf(*List, "0/a/b"), 0x45);
    Reopen();
    EXPECT_EQ(TypeOf(*List, "0"), 0x05);
    EXPECT_EQ(TypeOf(*List, "0/a/b"), 0x45);
}
