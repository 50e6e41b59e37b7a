#include "CatalogueTestSupport.h"

#include "frame/CCatArchive.h"
#include "frame/CCatDirectory.h"
#include "frame/CCatExtent.h"
#include "frame/CCatReference.h"
#include "frame/CCatSearch.h"
#include "frame/CCatSync.h"

#include <array>
#include <functional>
#include <memory>

namespace
{
// Little-endian image of fields given as (width, value) pairs.
std::vector<unsigned char> LE(std::initializer_list<std::pair<int, std::uint64_t>> fields)
{
    std::vector<unsigned char> bytes;
    for (auto [width, value] : fields)
        for (int i = 0; i < width; ++i)
            bytes.push_back(static_cast<unsigned char>(value >> (8 * i)));
    return bytes;
}

std::vector<unsigned char> PayloadOf(const CFileListFile& record)
{
    auto data = static_cast<const unsigned char*>(record.GetData());
    return {data, data + record.GetDataSize()};
}

struct ImageCase
{
    const char* name;
    std::function<std::unique_ptr<CCatalogueItem>()> make;
    std::uint8_t type;
    std::vector<unsigned char> payload;
};

const std::uint64_t Time = 0x01D9'1234'5678'9ABCULL;

std::vector<ImageCase> ImageCases()
{
    return {
        {"archive without time",
         [] { return std::make_unique<CCatArchive>(0x1122, W("0/f"), 0x3344, 0, 5, 6, 7); }, 0x00,
         LE({{8, 0x1122}, {8, 0x3344}, {8, 0}, {4, 5}, {4, 6}, {4, 7}})},
        {"archive with time", [] { return std::make_unique<CCatArchive>(1, W("0/f"), 2, Time, 0, 0, 1); },
         0x80, LE({{8, 1}, {8, 2}, {8, 0}, {4, 0}, {4, 0}, {4, 1}, {8, Time}})},
        {"sync without counts", [] { return std::make_unique<CCatSync>(0xABCDEF, 0, 0); }, 0x44,
         LE({{8, 0xABCDEF}})},
        {"sync with mark bytes", [] { return std::make_unique<CCatSync>(9, 512, 0); }, 0x64,
         LE({{8, 9}, {8, 512}, {4, 0}})},
        {"sync with number", [] { return std::make_unique<CCatSync>(9, 0, 3); }, 0x64,
         LE({{8, 9}, {8, 0}, {4, 3}})},
        {"extent", [] { return std::make_unique<CCatExtent>(0x10000, W("0/f"), 20, 1, 2, 3); }, 0x09,
         LE({{8, 0x10000}, {4, 20}, {4, 0}, {4, 1}, {4, 1}, {4, 2}, {4, 3}})},
        {"directory", [] { return std::make_unique<CCatDirectory>(W("0/d"), Time); }, 0x05, LE({{8, Time}})},
        {"reference", [] { return std::make_unique<CCatReference>(W("0/f"), 1, 2, 3, 4); }, 0x01,
         LE({{8, 0}, {4, 1}, {4, 2}, {4, 4}, {4, 3}})},
    };
}
} // namespace

class CatalogueRecordImages : public CatalogueTest
{
};

TEST_F(CatalogueRecordImages, records_store_their_exact_payload_and_type_and_load_back)
{
    for (const ImageCase& c : ImageCases())
    {
        SCOPED_TRACE(c.name);
        std::unique_ptr<CCatalogueItem> record = c.make();
        EXPECT_EQ(record->GetObjectType(true), c.type);
        EXPECT_EQ(PayloadOf(*record), c.payload);
        ASSERT_EQ(List->Append(*record, true), 0u);

        // The last record in storage order is the one just appended.
        auto at = List->end();
        --at;
        CFileListPage page = List->GetPage(at.CheckOffset().Page);
        EXPECT_EQ(page.GetObjectType(at.CheckOffset()), c.type);
        std::span<unsigned char> stored = page.GetData(at.CheckOffset(), true);
        EXPECT_EQ(std::vector<unsigned char>(stored.begin(), stored.end()), c.payload);

        CFileListPointer<CCatalogueItem> handle = GetPointer<CCatalogueItem>(at);
        EXPECT_EQ(handle.Get()->GetObjectType(true), c.type);
        EXPECT_EQ(handle.Get()->GetPath(), record->GetPath());
        EXPECT_EQ(PayloadOf(*handle.Get()), c.payload);
    }
}

TEST(CatalogueSearchKey, path_key_and_null_key)
{
    CCatSearch withPath(u"0/f", 1, 2, 3);
    EXPECT_EQ(PayloadOf(withPath), LE({{8, 0}, {4, 3}, {4, 1}, {4, 2}, {4, 0}, {8, WholePath}, {1, 1}}));
    EXPECT_EQ(withPath.GetObjectType(true), 10);
    CCatSearch null(nullptr, 1, 2, 3);
    EXPECT_EQ(PayloadOf(null), LE({{8, 0}, {4, AnyKey}, {4, AnyKey}, {4, AnyKey}, {4, 0}, {8, 0}, {1, 1}}));
}

TEST(CatalogueRecordTypes, accepted_type_bytes_and_payload_sizes)
{
    const std::set<int> archiveTypes = {0x00, 0x10, 0x20, 0x40, 0x50, 0x60,
                                        0x80, 0x90, 0xA0, 0xC0, 0xD0, 0xE0};
    const std::set<int> directoryTypes = {0x05, 0x25, 0x45};
    for (int type = 0; type < 256; ++type)
    {
        SCOPED_TRACE(type);
        CCatArchive archive;
        EXPECT_EQ(archive.AcceptObjectType(static_cast<std::uint8_t>(type)), archiveTypes.count(type) == 1);
        if (archiveTypes.count(type))
        {
            EXPECT_EQ(archive.GetObjectType(true), type);
            EXPECT_EQ(archive.GetObjectType(false), 0);
            EXPECT_EQ(archive.GetDataSize(), 36u + ((type & 0x80) ? 8 : 0) + ((type & 0x40) ? 8 : 0));
        }
        CCatDirectory directory;
        EXPECT_EQ(directory.AcceptObjectType(static_cast<std::uint8_t>(type)),
                  directoryTypes.count(type) == 1);
        if (directoryTypes.count(type))
        {
            EXPECT_EQ(directory.GetObjectType(true), type);
        }
        CCatSync sync(0, 0, 0);
        CCatExtent extent;
        CCatSearch search(nullptr, 0, 0, 0);
        EXPECT_FALSE(sync.AcceptObjectType(static_cast<std::uint8_t>(type)));
        EXPECT_FALSE(extent.AcceptObjectType(static_cast<std::uint8_t>(type)));
        EXPECT_FALSE(search.AcceptObjectType(static_cast<std::uint8_t>(type)));
    }
    EXPECT_EQ(CCatSync(0, 0, 0).GetDataSize(), 8u);
    EXPECT_EQ(CCatSync(0, 1, 0).GetOrderKey1(), 0u);
    EXPECT_EQ(CCatSync(0, 0, 7).GetOrderKey1(), 7u);
    EXPECT_EQ(CCatDirectory().GetSegmentIndex(), AnyKey);
}

TEST(CatalogueRecordTypes, factory_rebuilds_known_types_and_refuses_others)
{
    for (int type : {0x00, 0x80, 0xC0, 0x01, 0x44, 0x64, 0x05, 0x45, 0x09})
    {
        std::unique_ptr<CFileListFile> record(
            CCatalogueItem::Allocator::Create(static_cast<std::uint8_t>(type)));
        ASSERT_TRUE(record);
        EXPECT_EQ(record->GetObjectType(true), type);
    }
    for (int type : {0x30, 0x04, 0x24, 0x65, 0x19, 0x08, 0x0A, 0x0F})
        EXPECT_THROW(CCatalogueItem::Allocator::Create(static_cast<std::uint8_t>(type)), std::uint32_t)
            << type;
}

TEST(CatalogueSegmentLength, rule_table)
{
    struct
    {
        std::uint64_t fileSize, segmentSize;
        std::uint32_t index;
        std::uint64_t expected;
    } cases[] = {
        {10000, 0, 5, 10000},                 // one segment
        {0, 4096, 3, 4096},                   // size unknown
        {10000, 4096, 0, 4096},               // a full segment
        {10000, 4096, 2, 1808},               // the last, short segment
        {10000, 4096, 3, 10000},              // past the end
        {8192, 4096, 2, 8192},                // starting right at the end
        {10000, 1ULL << 40, 1u << 30, 10000}, // a start beyond 64 bits
    };
    for (const auto& c : cases)
        EXPECT_EQ(CCatArchive::GetSegmentLength(c.fileSize, c.segmentSize, c.index), c.expected)
            << c.fileSize << " " << c.segmentSize << " " << c.index;
}

TEST(CataloguePathComparison, collations_and_counts)
{
    using namespace std::literals;
    struct
    {
        WStringView a;
        WStringView b;
        CCollation collation;
        std::uint64_t n;
        int sign;
    } cases[] = {
        {u"a", u"a/b", CCollation::CaseSensitive, WholePath, -1},
        {u"a/b", u"a-b", CCollation::CaseSensitive, WholePath, -1}, // '/' before every other unit
        {u"a/b", u"a-b", CCollation::Plain, WholePath, -1},         // under every collation
        {u"A", u"a", CCollation::CaseSensitive, WholePath, -1},
        {u"a", u"B", CCollation::CaseSensitive, WholePath, -1},
        {u"a", u"B", CCollation::Plain, WholePath, 1},
        {u"z", u"[", CCollation::CaseSensitive, WholePath, -1},
        {u"`", u"{", CCollation::CaseSensitive, WholePath, -1},
        {u"ab", u"AB", CCollation::CaseInsensitive, WholePath, 0},
        {u"ab", u"AB", CCollation::CaseSensitive, WholePath, 1},
        {u"abc", u"abd", CCollation::Plain, 2, 0},
        {u"abc", u"abd", CCollation::Plain, 3, -1},
        {u"x", u"y", CCollation::Plain, 0, 0},
        // Code units, not code points: a surrogate pair sorts before U+E000..U+FFFF.
        {u"a\U0001F600", u"a\uE000", CCollation::CaseSensitive, WholePath, -1},
        {u"a\U0001F600", u"a\U0001F601", CCollation::CaseSensitive, WholePath, -1},
        {u"a\U0001F600", u"a\U0001F600", CCollation::CaseInsensitive, WholePath, 0},
        {u"\u00E9", u"\u00C9", CCollation::CaseInsensitive, WholePath, 1}, // only A-Z fold
        // Long shared runs: the difference, a case fold or the count limit lies past them.
        {u"0/archive/project1/x", u"0/archive/project1/y", CCollation::CaseSensitive, WholePath, -1},
        {u"0/archive/project1/X", u"0/archive/project1/x", CCollation::CaseInsensitive, WholePath, 0},
        {u"abcdefgh", u"abcdefgz", CCollation::Plain, 7, 0},
        {u"abcdefgh", u"abcdefgz", CCollation::Plain, 8, -1},
        // A unit of zero ends a path, wherever it lies.
        {u"abc\0efgh"sv, u"abc\0xyzw"sv, CCollation::CaseSensitive, WholePath, 0},
        {u"abc\0"sv, u"abc"sv, CCollation::CaseSensitive, WholePath, 0},
    };
    for (const auto& c : cases)
    {
        int r = ComparePaths(c.a, c.b, c.collation, c.n);
        EXPECT_EQ((r > 0) - (r < 0), c.sign) << N(c.a) << " vs " << N(c.b) << " n=" << c.n;
    }
}

namespace
{
std::unique_ptr<CCatArchive> File(const char16_t* path, std::uint32_t k1 = 0, std::uint32_t k2 = 1,
                                  std::uint32_t segment = 0, std::uint64_t position = 0)
{
    return std::make_unique<CCatArchive>(position, WString(path), 0, 0, segment, k1, k2);
}
} // namespace

TEST(CatalogueOrdering, index1_path_order_is_a_strict_chain)
{
    const char16_t* order[] = {u"a", u"a/b", u"a/c", u"a-b", u"aB", u"ab", u"aC", u"a\U0001F600", u"a\uE000"};
    for (std::size_t i = 0; i < std::size(order); ++i)
        for (std::size_t j = 0; j < std::size(order); ++j)
            EXPECT_EQ(File(order[i])->LessThan(*File(order[j]), true, 1), i < j)
                << N(order[i]) << " < " << N(order[j]);
}

TEST(CatalogueOrdering, index1_keys_wildcards_prefixes_and_case)
{
    struct
    {
        const char* name;
        std::function<std::unique_ptr<CCatalogueItem>()> a, b;
        bool aLess, bLess;
    } cases[] = {
        {"OrderKey1 first", [] { return File(u"p", 1, 9, 9); }, [] { return File(u"p", 2, 0, 0); }, true,
         false},
        {"then OrderKey2", [] { return File(u"p", 1, 1, 9); }, [] { return File(u"p", 1, 2, 0); }, true,
         false},
        {"then SegmentIndex", [] { return File(u"p", 1, 1, 1); }, [] { return File(u"p", 1, 1, 2); }, true,
         false},
        {"equal keys", [] { return File(u"p", 1, 1, 1); }, [] { return File(u"p", 1, 1, 1); }, false, false},
        {"wildcard key is neither", [] { return std::make_unique<CCatSearch>(u"p", AnyKey, AnyKey, AnyKey); },
         [] { return File(u"p", 1, 2, 3); }, false, false},
        {"wildcard after a decided key", [] { return std::make_unique<CCatSearch>(u"p", 1, AnyKey, AnyKey); },
         [] { return File(u"p", 2, 0, 0); }, true, false},
        {"directory keys are wildcards", [] { return std::make_unique<CCatDirectory>(u"p", 0); },
         [] { return File(u"p", 5, 5, 5); }, false, false},
        {"path decides before keys", [] { return File(u"p", 9, 9, 9); }, [] { return File(u"q", 0, 0, 0); },
         true, false},
        {"case-insensitive key equals either case",
         []
         {
             auto key = std::make_unique<CCatSearch>(u"AB", AnyKey, AnyKey, AnyKey);
             key->CaseSensitive = 0;
             return key;
         },
         [] { return File(u"ab"); }, false, false},
        {"null key is before everything", [] { return std::make_unique<CCatSearch>(nullptr, 0, 0, 0); },
         [] { return File(u""); }, true, false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.a()->LessThan(*c.b(), true, 1), c.aLess);
        EXPECT_EQ(c.b()->LessThan(*c.a(), true, 1), c.bLess);
    }
}

TEST(CatalogueOrdering, prefix_key_sorts_before_paths_it_begins)
{
    CCatSearch prefix(u"0/ab", AnyKey, AnyKey, AnyKey);
    prefix.CompareLength = 4;
    for (const char16_t* path : {u"0/ab", u"0/ab/c", u"0/abc", u"0/ab-"})
        EXPECT_TRUE(prefix.LessThan(*File(path), true, 1)) << N(path);
    EXPECT_FALSE(prefix.LessThan(*File(u"0/aa"), true, 1));
    CCatSearch shortPrefix(u"0/abz", AnyKey, AnyKey, AnyKey);
    shortPrefix.CompareLength = 4; // "0/ab" of "0/abz" equal, then the whole key decides
    EXPECT_TRUE(shortPrefix.LessThan(*File(u"0/ac"), true, 1));
    EXPECT_FALSE(shortPrefix.LessThan(*File(u"0/abc"), true, 1));
}

TEST(CatalogueOrdering, index0_orders_by_unsigned_position_and_other_indexes_not_at_all)
{
    auto low = File(u"z", 0, 1, 0, 1);
    auto high = File(u"a", 0, 1, 0, ~0ULL);
    EXPECT_TRUE(low->LessThan(*high, true, 0));
    EXPECT_FALSE(high->LessThan(*low, true, 0));
    EXPECT_FALSE(low->LessThan(*high, true, 2));
    EXPECT_FALSE(high->LessThan(*low, true, 2));
    EXPECT_FALSE(CCatDirectory(u"d", 0).LessThan(*File(u"a", 0, 1, 0, 0), true, 0));
}

namespace
{
template <class T> int Sign(const T& a, const T& b)
{
    return (a > b) - (a < b);
}

std::array<std::uint32_t, 3> KeysOf(const CCatalogueItem& record)
{
    return {record.GetOrderKey1(), record.GetOrderKey2(), record.GetSegmentIndex()};
}

} // namespace

// The list orders stored records from their entries, read in place, with each kind's keys at its own
// payload offsets: it must read what the records themselves answer.
TEST(CatalogueOrdering, stored_entries_order_as_their_records)
{
    std::vector<std::unique_ptr<CCatalogueItem>> records;
    for (std::uint32_t k : {1u, 2u})
    {
        records.push_back(std::make_unique<CCatArchive>(10 + k, W("0/f"), 0, 0, k, 2, 3));
        records.push_back(std::make_unique<CCatArchive>(20 + k, W("0/f"), 0, Time, 1, k, 3));
        records.push_back(std::make_unique<CCatArchive>(30 + k, W("0/f"), 0, 0, 1, 2, k + 2));
        records.push_back(std::make_unique<CCatExtent>(40 + k, W("0/f"), 1, k, 2, 3));
        records.push_back(std::make_unique<CCatExtent>(50 + k, W("0/f"), 1, 1, 2, k + 2));
        records.push_back(std::make_unique<CCatReference>(W("0/f"), k, 2, 3, 7));
        records.push_back(std::make_unique<CCatReference>(W("0/f"), 1, 2, k + 2, 7));
        records.push_back(std::make_unique<CCatSync>(60 + k, 0, k));
        records.push_back(std::make_unique<CCatSync>(70 + k, 0, 0));
    }
    records.push_back(std::make_unique<CCatExtent>(80, W("0/f"), 1, 1, AnyKey, AnyKey));
    records.push_back(std::make_unique<CCatDirectory>(W("0/f"), Time));
    records.push_back(std::make_unique<CCatDirectory>(W("0"), Time));

    for (const auto& a : records)
        for (const auto& b : records)
            for (int index : {0, 1, 2})
            {
                SCOPED_TRACE(::testing::Message() << "kinds " << int(a->GetObjectType(true)) << " and "
                                                  << int(b->GetObjectType(true)) << ", index " << index);
                EXPECT_EQ(CCatalogueItem::EntryLessThan(EntryOf(*a), *b, index),
                          a->LessThan(*b, true, index));
                // The stored order: LessThan with keys as plain numbers.
                int expected = 0;
                if (index == 0)
                    expected = Sign(a->GetPosition(), b->GetPosition());
                else if (index == 1)
                {
                    int paths =
                        ComparePaths(a->GetKeyPath(), b->GetKeyPath(), CCollation::CaseSensitive, WholePath);
                    expected = paths != 0 ? Sign(paths, 0) : Sign(KeysOf(*a), KeysOf(*b));
                }
                int r = CCatalogueItem::CompareEntries(EntryOf(*a), EntryOf(*b), index);
                EXPECT_EQ(Sign(r, 0), expected);
            }
}

// The order of stored records is a strict weak order over awkward paths (U+FFFF, units of zero, '/',
// case) and keys (AnyKey beside concrete ones), as the index relies on.
TEST(CatalogueOrdering, stored_order_is_a_strict_weak_order)
{
    using namespace std::literals;
    std::vector<std::unique_ptr<CCatalogueItem>> records;
    for (WStringView path : {u""sv, u"a"sv, u"a\uFFFF"sv, u"a\uFFFFb"sv, u"a\uFFFF\uFFFF"sv, u"\uFFFF"sv,
                             u"a\0"sv, u"a\0z"sv, u"a/b"sv, u"a-b"sv, u"A"sv, u"ab"sv})
    {
        records.push_back(std::make_unique<CCatExtent>(0, WString(path), 1, 0, 1, 1));
        records.push_back(std::make_unique<CCatExtent>(0, WString(path), 1, 0, 2, 1));
        records.push_back(std::make_unique<CCatExtent>(0, WString(path), 1, 1, AnyKey, AnyKey));
        records.push_back(std::make_unique<CCatDirectory>(WString(path), 0));
    }
    auto less = [](const CCatalogueItem& a, const CCatalogueItem& b)
    { return CCatalogueItem::CompareEntries(EntryOf(a), EntryOf(b), 1) < 0; };
    auto together = [&](const CCatalogueItem& a, const CCatalogueItem& b)
    { return !less(a, b) && !less(b, a); };
    for (const auto& a : records)
    {
        ASSERT_FALSE(less(*a, *a)) << N(a->GetPath());
        for (const auto& b : records)
            for (const auto& c : records)
            {
                if (less(*a, *b) && less(*b, *c))
                {
                    ASSERT_TRUE(less(*a, *c))
                        << N(a->GetPath()) << " < " << N(b->GetPath()) << " < " << N(c->GetPath());
                }
                if (together(*a, *b) && together(*b, *c))
                {
                    ASSERT_TRUE(together(*a, *c))
                        << N(a->GetPath()) << " ~ " << N(b->GetPath()) << " ~ " << N(c->GetPath());
                }
            }
    }
}
