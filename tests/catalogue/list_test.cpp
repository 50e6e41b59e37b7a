#include "CatalogueTestSupport.h"

#include "frame/CCatArchive.h"
#include "frame/CCatDirectory.h"
#include "frame/CCatExtent.h"
#include "frame/CCatSearch.h"
#include "frame/CCatSync.h"
#include "win/Allocation.h"
#include "win/WinError.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>

namespace
{
std::vector<CFileListOffset> Offsets(CFileListInternal& list, int index)
{
    std::vector<CFileListOffset> offsets;
    for (const CWalkedRecord& record : Walk(list, index))
        offsets.push_back(record.Offset);
    return offsets;
}

bool StoredBefore(const CFileListOffset& a, const CFileListOffset& b)
{
    return a.Page != b.Page ? a.Page < b.Page : a.Position < b.Position;
}

// Many records over a few paths, keys and positions, so that equal keys are common, with continuation
// extents and directories (AnyKey) among them; enough to fill several pages.
void AppendMixedRecords(CFileListInternal& list, int count)
{
    std::mt19937 random(7);
    const char* names[] = {"0/a", "0/a/b", "0/B", "0/b", "0/a-b", "0/c/d/e"};
    for (int i = 0; i < count; ++i)
    {
        WString path = W(names[random() % std::size(names)]) + W(i % 3 ? "" : "/deep/name/that/is/long");
        std::uint32_t k1 = random() % 2, k2 = random() % 3;
        std::uint64_t position = random() % 50;
        std::unique_ptr<CCatalogueItem> record;
        switch (random() % 10)
        {
        case 0:
            record = std::make_unique<CCatExtent>(position, path, 1, 1, AnyKey, AnyKey);
            break;
        case 1:
            record = std::make_unique<CCatDirectory>(path, 0);
            break;
        case 2:
        case 3:
        case 4:
        case 5:
            record = std::make_unique<CCatArchive>(position, path, 100, 0, 0, k1, k2);
            break;
        default:
            record = std::make_unique<CCatExtent>(position, path, 1, 0, k1, k2);
        }
        ASSERT_EQ(list.Append(*record, true), 0u);
    }
}

// A file record whose upkeep runs and then fails.
class CFailingArchive : public CCatArchive
{
public:
    using CCatArchive::CCatArchive;
    void PostInsert(CFileListInternal& list, const CFileListOffset& at, int index) override
    {
        CCatArchive::PostInsert(list, at, index);
        if (index == 1)
            throw ERROR_DISK_CORRUPT;
    }
};

// A file record whose upkeep marks the header with its tag, first through a handle on the header page
// and then through SetUserHeader, and appends an inner record before or after that; it fails when asked
// to, and counts itself otherwise.
class CHeaderMarkingArchive : public CCatArchive
{
public:
    CHeaderMarkingArchive(std::uint8_t tag, bool fails, CHeaderMarkingArchive* inner = nullptr,
                          bool innerFirst = false)
        : CCatArchive(tag, W("0/m"), 1, 0, 0, tag, 1), Tag(tag), Fails(fails), Inner(inner),
          InnerFirst(innerFirst)
    {
    }
    void PostInsert(CFileListInternal& list, const CFileListOffset& at, int index) override
    {
        if (index != 1)
            return;
        if (Inner && InnerFirst)
            InnerResult = list.Append(*Inner);
        {
            CFileListPointer<CCatalogueItem> onHeader(list, CFileListOffset{0, 0});
            static_cast<unsigned char*>(onHeader.GetObject(false)->GetData())[1] = Tag;
            onHeader.SetDirty();
        }
        CCatalogueHeader header = ReadHeader(list);
        header.Reserved0[0] = Tag;
        ASSERT_EQ(list.SetUserHeader(&header, sizeof header), 0u);
        if (Inner && !InnerFirst)
            InnerResult = list.Append(*Inner);
        if (Fails)
            throw ERROR_DISK_CORRUPT;
        CCatArchive::PostInsert(list, at, index);
    }

    std::uint8_t Tag;
    bool Fails;
    CHeaderMarkingArchive* Inner;
    bool InnerFirst;
    std::uint32_t InnerResult = 0;
};

// Index order holds, and records that sort together keep storage order.
void ExpectOrdered(CFileListInternal& list, int index)
{
    std::vector<CWalkedRecord> walked = Walk(list, index);
    for (std::size_t i = 1; i < walked.size(); ++i)
    {
        CFileListPointer<CCatalogueItem> before(list, walked[i - 1].Offset), after(list, walked[i].Offset);
        int order = CCatalogueItem::CompareEntries(EntryOf(*before.Get()), EntryOf(*after.Get()), index);
        ASSERT_LE(order, 0) << i;
        ASSERT_FALSE(after.Get()->LessThan(*before.Get(), true, index)) << i;
        if (order == 0)
        {
            ASSERT_TRUE(StoredBefore(walked[i - 1].Offset, walked[i].Offset))
                << "equal keys out of order at " << i;
        }
    }
}
} // namespace

TEST(CatalogueListOpen, missing_catalogue_opens_closed_and_create_makes_it_exist)
{
    CTempHome home;
    CDatabase db;
    ASSERT_TRUE(db.Open(home.DatabasePath()).IsSuccess());
    bool exists = true;
    ASSERT_EQ(CFileListInternal::Exists(db, "v", exists), 0u);
    EXPECT_FALSE(exists);

    CFileListInternal* list = nullptr;
    ASSERT_EQ(CCatalogueList::Open(db, "v", false, list), 0u);
    EXPECT_FALSE(list->IsOpen());
    CCatalogueHeader header;
    EXPECT_NE(list->GetUserHeader(&header, sizeof header), 0u);
    CCatArchive record(0, W("0/f"), 1, 0, 0, 0, 1);
    EXPECT_NE(list->Append(record), 0u);
    EXPECT_TRUE(list->begin(1) == list->end(1));
    delete list;

    ASSERT_EQ(CCatalogueList::Open(db, "v", true, list), 0u);
    EXPECT_TRUE(list->IsOpen());
    ASSERT_EQ(CFileListInternal::Exists(db, "v", exists), 0u);
    EXPECT_TRUE(exists);
    EXPECT_EQ(list->GetUserHeader(&header, sizeof header), 0u);
    EXPECT_EQ(header.RecordCount, 0u);
    EXPECT_EQ(list->GetUserHeader(&header, 100), ERROR_INVALID_PARAMETER);
    delete list;
}

TEST_F(CatalogueTest, indexes_are_ordered_keep_append_order_and_come_back_identical)
{
    AppendMixedRecords(*List, 4000);
    ASSERT_GE(Walk(*List, -1).back().Offset.Page, 3u) << "several pages";
    auto index0 = Offsets(*List, 0), index1 = Offsets(*List, 1), stored = Offsets(*List, -1);
    ExpectOrdered(*List, 0);
    ExpectOrdered(*List, 1);
    EXPECT_TRUE(std::is_sorted(stored.begin(), stored.end(), StoredBefore));
    EXPECT_EQ(stored.size(), 4000u);

    Reopen();
    EXPECT_EQ(Offsets(*List, 0), index0);
    EXPECT_EQ(Offsets(*List, 1), index1);
    EXPECT_EQ(Offsets(*List, -1), stored);
}

namespace
{
struct CKeys
{
    std::uint32_t SegmentIndex, OrderKey1, OrderKey2;
    bool operator==(const CKeys&) const = default;
};

std::vector<CKeys> KeysOfPath(CFileListInternal& list, const WString& path)
{
    std::vector<CKeys> keys;
    for (const CWalkedRecord& record : Walk(list, 1))
        if (record.Path == path)
        {
            CFileListPointer<CCatalogueItem> handle(list, record.Offset);
            const CCatalogueItem& item = *handle.Get();
            keys.push_back({item.GetSegmentIndex(), item.GetOrderKey1(), item.GetOrderKey2()});
        }
    return keys;
}
} // namespace

// Records of one path may hold AnyKey (a continuation extent in both order keys, a directory in all
// three) beside concrete keys. Whatever order they come in, they sort by their keys as numbers, and a
// search for a version finds it.
TEST_F(CatalogueTest, records_with_wildcard_keys_keep_one_order_and_stay_findable)
{
    const CKeys stored[] = {{0, 5, 1}, {1, AnyKey, AnyKey}, {0, 7, 1}, {0, 3, 1}, {AnyKey, AnyKey, AnyKey}};
    const std::vector<CKeys> sorted = {stored[3], stored[0], stored[2], stored[1], stored[4]};
    struct
    {
        std::uint32_t orderKey1;
        CKeys lands;
    } searches[] = {{3, stored[3]}, {5, stored[0]}, {7, stored[2]},
                    {4, stored[0]}, {8, stored[1]}, {AnyKey, stored[3]}};

    std::vector<int> order = {0, 1, 2, 3, 4};
    std::vector<WString> paths;
    do
    {
        WString path = W("0/p" + std::to_string(paths.size()));
        paths.push_back(path);
        for (int i : order)
        {
            const CKeys& k = stored[i];
            std::unique_ptr<CCatalogueItem> record;
            if (k.SegmentIndex == AnyKey)
                record = std::make_unique<CCatDirectory>(path, 0);
            else
                record = std::make_unique<CCatExtent>(i, path, 1, k.SegmentIndex, k.OrderKey1, k.OrderKey2);
            ASSERT_EQ(List->Append(*record, true), 0u);
        }
    } while (std::next_permutation(order.begin(), order.end()));

    for (bool reopened : {false, true})
    {
        for (const WString& path : paths)
        {
            SCOPED_TRACE(N(path) + (reopened ? " reopened" : ""));
            ASSERT_EQ(KeysOfPath(*List, path), sorted);
            for (const auto& search : searches)
            {
                auto at = List->find(CCatSearch(path, search.orderKey1, AnyKey, AnyKey), 1);
                ASSERT_TRUE(at != List->end(1));
                CFileListPointer<CCatalogueItem> found = GetPointer<CCatalogueItem>(at);
                EXPECT_EQ(found.Get()->GetPath(), path) << search.orderKey1;
                EXPECT_EQ(found.Get()->GetOrderKey1(), search.lands.OrderKey1) << search.orderKey1;
                EXPECT_EQ(found.Get()->GetSegmentIndex(), search.lands.SegmentIndex) << search.orderKey1;
            }
        }
        Reopen();
    }
}

TEST_F(CatalogueTest, find_lands_where_a_scan_of_the_index_would)
{
    AppendMixedRecords(*List, 3000);
    std::vector<std::unique_ptr<CCatSearch>> keys;
    for (const char* path :
         {"0", "0/a", "0/a/b", "0/a/b/deep/name/that/is/long", "0/a-b", "0/B", "0/b", "0/c", "0/c/d/e", "1"})
        for (std::uint32_t k1 : {0u, 1u, 2u, AnyKey})
            for (std::uint32_t k2 : {0u, 2u, AnyKey})
                keys.push_back(std::make_unique<CCatSearch>(W(path), k1, k2, AnyKey));
    for (bool reopened : {false, true})
    {
        std::vector<CWalkedRecord> index = Walk(*List, 1);
        for (const auto& key : keys)
        {
            SCOPED_TRACE(N(key->GetPath()) + " " + std::to_string(key->OrderKey1) + " " +
                         std::to_string(key->OrderKey2) + (reopened ? " reopened" : ""));
            // The records that sort before the key form a leading run of the index.
            std::vector<bool> before;
            for (const CWalkedRecord& record : index)
                before.push_back(
                    CFileListPointer<CCatalogueItem>(*List, record.Offset).Get()->LessThan(*key, true, 1));
            auto bound = std::find(before.begin(), before.end(), false);
            ASSERT_TRUE(std::find(bound, before.end(), true) == before.end());
            CFileListOffset expected =
                bound == before.end() ? CFileListOffset{} : index[bound - before.begin()].Offset;
            EXPECT_EQ(List->find(*key, 1).CheckOffset(), expected);
        }
        Reopen();
    }
}

TEST_F(CatalogueTest, a_search_made_again_sees_the_records_appended_since)
{
    // Searches come back to keys searched for before while records come in among the records already
    // there: of the key's path and keys, sorting right before where the key landed, or elsewhere.
    AppendMixedRecords(*List, 1000);
    std::mt19937 random(3);
    const char* paths[] = {"0/a/m", "0/b", "0/bb", "0/m", "0/m/n"};
    auto scanned = [&](const CCatSearch& key)
    {
        for (const CWalkedRecord& record : Walk(*List, 1))
            if (!CFileListPointer<CCatalogueItem>(*List, record.Offset).Get()->LessThan(key, true, 1))
                return record.Offset;
        return CFileListOffset{};
    };
    for (int step = 0; step < 200; ++step)
    {
        std::uint32_t k1 = random() % 2 ? AnyKey : random() % 3;
        CCatSearch key(W(paths[random() % std::size(paths)]), k1, AnyKey, AnyKey);
        SCOPED_TRACE(N(key.GetPath()) + " " + std::to_string(k1) + " step " + std::to_string(step));
        EXPECT_EQ(List->find(key, 1).CheckOffset(), scanned(key));
        CCatExtent record(step, W(paths[random() % std::size(paths)]), 1, 0, random() % 3, random() % 3);
        ASSERT_EQ(List->Append(record, true), 0u);
        EXPECT_EQ(List->find(key, 1).CheckOffset(), scanned(key));
    }
}

TEST_F(CatalogueTest, iterators_keep_their_record_while_the_index_changes)
{
    AppendMixedRecords(*List, 500);
    std::vector<CWalkedRecord> before = Walk(*List, 1);
    CFileListInternal::iterator first = List->begin(1), end = List->end(1);
    CFileListInternal::iterator middle(*List, 1, before[250].Offset);

    // Many more records, then an append undone after its upkeep made, among the records, more
    // directories than a node of the index holds.
    AppendMixedRecords(*List, 2000);
    std::vector<CWalkedRecord> after = Walk(*List, 1);
    std::string deep = "0/a";
    for (int i = 0; i < 40; ++i)
        deep += "/d" + std::to_string(i);
    CFailingArchive failing(1, W(deep + "/f"), 20, 0, 0, 0, 1);
    EXPECT_EQ(List->Append(failing), ERROR_DISK_CORRUPT);
    std::vector<CWalkedRecord> undone = Walk(*List, 1);
    ASSERT_EQ(undone.size(), after.size());
    for (std::size_t i = 0; i < after.size(); ++i)
        ASSERT_EQ(undone[i].Offset, after[i].Offset) << i;

    EXPECT_EQ(first.CheckOffset(), before[0].Offset);
    EXPECT_EQ(middle.CheckOffset(), before[250].Offset);
    EXPECT_TRUE(end == List->end(1));
    std::ptrdiff_t at =
        std::find_if(after.begin(), after.end(),
                     [&](const CWalkedRecord& record) { return record.Offset == before[250].Offset; }) -
        after.begin();
    ASSERT_GT(at, 0);
    ++middle;
    EXPECT_EQ(middle.CheckOffset(), after[at + 1].Offset);
    --middle;
    --middle;
    EXPECT_EQ(middle.CheckOffset(), after[at - 1].Offset);
    --end;
    EXPECT_EQ(end.CheckOffset(), after.back().Offset);

    // The room the undone records took is taken again.
    AppendMixedRecords(*List, 500);
    ExpectOrdered(*List, 1);
}

TEST_F(CatalogueTest, find_is_the_lower_bound_and_iterators_step_both_ways)
{
    for (const char* path : {"0/a", "0/c", "0/e"})
    {
        CCatArchive record(0, W(path), 1, 0, 0, 0, 1);
        ASSERT_EQ(List->Append(record, true), 0u);
    }
    struct
    {
        const char* key;
        const char* lands;
    } cases[] = {{"0/a", "0/a"}, {"0/b", "0/c"}, {"0/c", "0/c"}, {"0", "0/a"}, {"0/f", nullptr}};
    for (const auto& c : cases)
    {
        auto at = List->find(CCatSearch(W(c.key), AnyKey, AnyKey, AnyKey), 1);
        if (!c.lands)
        {
            EXPECT_TRUE(at == List->end(1)) << c.key;
            continue;
        }
        ASSERT_TRUE(at != List->end(1)) << c.key;
        EXPECT_EQ(GetPointer<CCatalogueItem>(at).Get()->GetPath(), W(c.lands)) << c.key;
    }

    auto at = List->find(CCatSearch(W("0/c"), AnyKey, AnyKey, AnyKey), 1);
    CFileListOffset middle = at.CheckOffset();
    --at;
    EXPECT_TRUE(at == List->begin(1));
    --at; // stays at the beginning
    EXPECT_TRUE(at == List->begin(1));
    ++at;
    ++at;
    ++at;
    EXPECT_TRUE(at == List->end(1));
    ++at; // stays at the end
    EXPECT_TRUE(at == List->end(1));
    EXPECT_EQ(at.CheckOffset(), CFileListOffset{});
    --at;
    EXPECT_EQ(GetPointer<CCatalogueItem>(at).Get()->GetPath(), W("0/e"));

    // An iterator made on a record stands on it in the index asked for, or at its end.
    CFileListInternal::iterator on(*List, 1, middle);
    EXPECT_EQ(on.CheckOffset(), middle);
    CFileListInternal::iterator bogus(*List, 1, CFileListOffset{1, 3});
    EXPECT_TRUE(bogus == List->end(1));
    CFileListInternal::iterator stored(*List, -1, middle);
    ++stored;
    EXPECT_EQ(GetPointer<CCatalogueItem>(stored).Get()->GetPath(), W("0/e"));
}

TEST_F(CatalogueTest, page_kinds_decide_what_a_handle_may_load)
{
    CCatalogueHeader header{};
    header.Reserved0[0] = 0x5A;
    ASSERT_EQ(List->SetUserHeader(&header, sizeof header), 0u);
    CCatArchive record(0, W("0/f"), 1, 0, 0, 0, 1);
    ASSERT_EQ(List->Append(record), 0u);

    CFileListPointer<CCatalogueItem> onHeader(*List, CFileListOffset{0, 0});
    EXPECT_FALSE(onHeader.GetPage().IsObjectPage());
    EXPECT_THROW(onHeader.GetObject(true), std::uint32_t);
    try
    {
        onHeader.GetObject(true);
    }
    catch (std::uint32_t error)
    {
        EXPECT_EQ(error, ERROR_FILE_CORRUPT);
        EXPECT_EQ(GetLastError(), ERROR_FILE_CORRUPT);
    }
    CFileListFile* plain = onHeader.GetObject(false);
    ASSERT_EQ(plain->GetDataSize(), 72u);
    EXPECT_EQ(static_cast<const unsigned char*>(plain->GetData())[0], 0x5A);

    CFileListPointer<CCatalogueItem> onRecord = GetPointer<CCatalogueItem>(List->begin(1));
    EXPECT_TRUE(onRecord.GetPage().IsObjectPage());
    EXPECT_THROW(onRecord.GetObject(false), std::uint32_t);
    for (CFileListOffset nowhere : {CFileListOffset{1, 3}, CFileListOffset{99, 0}})
    {
        CFileListPointer<CCatalogueItem> handle(*List, nowhere);
        EXPECT_THROW(handle.GetObject(true), std::uint32_t);
    }
}

TEST_F(CatalogueTest, records_that_cannot_be_read_back_are_refused)
{
    CCatSearch key(u"0/f", 0, 0, 0);
    EXPECT_EQ(List->Append(key), ERROR_INVALID_PARAMETER);
    CCatArchive tooLong(0, WString(40000, u'x'), 1, 0, 0, 0, 1);
    EXPECT_EQ(List->Append(tooLong), ERROR_INVALID_PARAMETER);
    EXPECT_TRUE(List->begin() == List->end());
}

TEST_F(CatalogueTest, failed_append_is_undone_whole)
{
    CCatArchive first(1, W("0/a/f"), 10, 0, 0, 0, 1);
    ASSERT_EQ(List->Append(first), 0u);
    auto before = Walk(*List, -1);
    CCatalogueHeader headerBefore = ReadHeader(*List);

    CFailingArchive failing(2, W("0/b/c/g"), 20, 0, 0, 0, 1);
    EXPECT_EQ(List->Append(failing), ERROR_DISK_CORRUPT);
    CCatArchive memoryShort(3, W("0/d/h"), 20, 0, 0, 0, 1);
    AllocationFault::FailAlways();
    EXPECT_EQ(List->Append(memoryShort), ERROR_NOT_ENOUGH_MEMORY);
    AllocationFault::Clear();

    for (int index : {-1, 0, 1})
        EXPECT_EQ(Walk(*List, index).size(), index == 0 ? 1u : before.size()) << index;
    CCatalogueHeader headerAfter = ReadHeader(*List);
    EXPECT_EQ(std::memcmp(&headerAfter, &headerBefore, sizeof headerAfter), 0);

    ASSERT_EQ(List->Append(memoryShort), 0u);
    Reopen();
    ExpectConsistentCatalogue(*List, {W("0/a/f"), W("0/d/h")});
}

TEST_F(CatalogueTest, an_undone_append_gives_back_the_header_its_own_start_found)
{
    // An append inside another one's upkeep fails after the outer one changed the header, whose changes
    // stay; or it succeeds before the outer one changes anything, and the outer one then fails.
    struct
    {
        bool OuterFails;
        bool InnerFails;
        bool InnerFirst;
    } cases[] = {{false, true, false}, {true, false, true}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.OuterFails);
        CCatalogueHeader expected = ReadHeader(*List);
        CHeaderMarkingArchive inner(7, c.InnerFails);
        CHeaderMarkingArchive outer(5, c.OuterFails, &inner, c.InnerFirst);
        EXPECT_EQ(List->Append(outer), c.OuterFails ? ERROR_DISK_CORRUPT : 0u);
        EXPECT_EQ(outer.InnerResult, c.InnerFails ? ERROR_DISK_CORRUPT : 0u);
        if (!c.OuterFails)
        {
            expected.Reserved0[0] = expected.Reserved0[1] = 5;
            expected.RecordCount += 1;
            expected.ArchiveCount += 1;
            expected.TotalBytes += 1;
        }
        CCatalogueHeader after = ReadHeader(*List);
        EXPECT_EQ(std::memcmp(&after, &expected, sizeof after), 0);
    }
}

TEST_F(CatalogueTest, failed_commit_keeps_changes_for_the_next)
{
    CCatArchive record(1, W("0/f"), 10, 0, 0, 0, 1);
    ASSERT_EQ(List->Append(record), 0u);
    Db.FailCommitAfter(0);
    EXPECT_EQ(List->Commit(), ERROR_WRITE_FAULT);
    EXPECT_EQ(Db.TransactionDepth(), 0);
    Reopen();
    EXPECT_EQ(Walk(*List, 1).size(), 2u);
}

TEST_F(CatalogueTest, end_of_query_commits_and_a_host_transaction_holds_the_commit)
{
    CDatabase reader;
    ASSERT_TRUE(reader.Open(Home.DatabasePath()).IsSuccess());
    auto storedRecords = [&]
    {
        CFileListInternal* other = nullptr;
        EXPECT_EQ(CCatalogueList::Open(reader, "volume", false, other), 0u);
        std::size_t count = Walk(*other, -1).size();
        delete other;
        return count;
    };

    CCatArchive record(1, W("0/f"), 10, 0, 0, 0, 1);
    List->BeginQuery(1);
    ASSERT_EQ(List->Append(record), 0u);
    EXPECT_EQ(List->Commit(), 0u); // waits for the end of the query
    EXPECT_EQ(storedRecords(), 0u);
    List->EndQuery(1);
    EXPECT_EQ(storedRecords(), 2u);

    CCatArchive second(2, W("0/g"), 10, 0, 0, 0, 1);
    ASSERT_EQ(List->Append(second), 0u);
    ASSERT_TRUE(Db.Begin().IsSuccess());
    EXPECT_EQ(List->Commit(), 0u);
    EXPECT_EQ(storedRecords(), 2u);
    ASSERT_TRUE(Db.Commit().IsSuccess());
    EXPECT_EQ(storedRecords(), 3u);
}
