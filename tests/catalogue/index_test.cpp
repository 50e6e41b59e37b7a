// The index tree of the catalogue list against a plain sorted list, over entries that hold one number
// each: inserts with and without the place of the previous one or of the next one, removals, room reused
// by new entries, searches, and steps both ways, also from cursors made before the tree changed.
#include "pagelist/CFileListIndex.h"
#include "pagelist/CFileListInternal.h"
#include "pagelist/CFileListPageStore.h"
#include "pagelist/CFileListPlainRecord.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>

namespace
{
std::uint32_t NumberOf(const CFileListEntry& entry)
{
    std::uint32_t number = 0;
    std::memcpy(&number, entry.Payload.data(), sizeof number);
    return number;
}

int CompareNumbers(const CFileListEntry& a, const CFileListEntry& b, int)
{
    return (NumberOf(a) > NumberOf(b)) - (NumberOf(a) < NumberOf(b));
}

bool PrecedesNumber(const CFileListEntry& entry, const CFileListFile& key, int)
{
    std::uint32_t number = 0;
    std::memcpy(&number, key.GetData(), sizeof number);
    return NumberOf(entry) < number;
}

class CatalogueIndex : public ::testing::Test
{
protected:
    static constexpr std::size_t EntryBytes = PageEntry::SizeFor(0, 4);
    static constexpr std::uint32_t Slots = 3000;

    CatalogueIndex() : Page(EntryBytes * Slots), Pages{nullptr, Page.data()}
    {
        for (std::uint32_t slot = 0; slot < Slots; ++slot)
        {
            Page[slot * EntryBytes + 1] = 4;
            Free.push_back({1, static_cast<std::uint32_t>(slot * EntryBytes)});
        }
    }

    void SetNumber(const CFileListOffset& at, std::uint32_t number)
    {
        std::memcpy(Page.data() + at.Position + PageEntry::HeaderBytes, &number, sizeof number);
    }
    std::uint32_t Number(const CFileListOffset& at) const
    {
        return NumberOf(PageEntry::View(Page.data() + at.Position));
    }

    // The index walked forwards, and backwards from its end, equals the oracle; searches land where a
    // scan of the oracle does; every record is found where it is.
    void ExpectAsOracle()
    {
        std::vector<CFileListOffset> forwards, backwards;
        for (auto at = Index.Begin(); at.Position.Leaf; at = Index.Next(at))
            forwards.push_back(at.Offset);
        ASSERT_EQ(forwards, Oracle);
        auto at = Index.End();
        for (std::size_t i = 0; i < Oracle.size(); ++i)
        {
            at = Index.Previous(at);
            backwards.push_back(at.Offset);
        }
        std::reverse(backwards.begin(), backwards.end());
        ASSERT_EQ(backwards, Oracle);
        EXPECT_EQ(Index.Previous(Index.Begin()).Offset, Index.Begin().Offset) << "stays at the beginning";
        for (std::uint32_t number = 0; number <= Range + 1; ++number)
        {
            CFileListPlainRecord key(4);
            std::memcpy(static_cast<CFileListFile&>(key).GetData(), &number, sizeof number);
            auto expected = std::find_if(Oracle.begin(), Oracle.end(),
                                         [&](const CFileListOffset& o) { return Number(o) >= number; });
            EXPECT_EQ(Index.LowerBound(key, Index.End()).Offset,
                      expected == Oracle.end() ? CFileListOffset{} : *expected)
                << number;
            // From the place of any record, before or after the one sought.
            for (std::size_t near : {Oracle.size() / 3, Oracle.size() * 2 / 3, Oracle.size() - 1})
            {
                if (Oracle.empty())
                    break;
                EXPECT_EQ(Index.LowerBound(key, Index.Find(Oracle[near])).Offset,
                          expected == Oracle.end() ? CFileListOffset{} : *expected)
                    << number << " from " << near;
            }
        }
        for (const CFileListOffset& offset : Oracle)
            ASSERT_EQ(Index.Find(offset).Offset, offset);
    }

    // The first record of a number greater than `number`: where a record of that number goes.
    CFileListIndex::CCursor After(std::uint32_t number) const
    {
        CFileListPlainRecord key(4);
        ++number;
        std::memcpy(static_cast<CFileListFile&>(key).GetData(), &number, sizeof number);
        return Index.LowerBound(key, Index.End());
    }

    // Cursors made before the tree changed step to the records around theirs now.
    void ExpectOldCursorsStepRight(const std::vector<CFileListIndex::CCursor>& cursors)
    {
        for (const auto& cursor : cursors)
        {
            auto at = std::find(Oracle.begin(), Oracle.end(), cursor.Offset);
            if (at == Oracle.end())
                continue;
            EXPECT_EQ(Index.Next(cursor).Offset, at + 1 == Oracle.end() ? CFileListOffset{} : *(at + 1));
            EXPECT_EQ(Index.Previous(cursor).Offset, at == Oracle.begin() ? *at : *(at - 1));
        }
    }

    static constexpr std::uint32_t Range = 200;
    std::vector<unsigned char> Page;
    std::vector<const unsigned char*> Pages;
    CFileListOrdering Ordering{&CompareNumbers, &PrecedesNumber};
    CFileListIndex Index{Pages, Ordering, 0};
    std::vector<CFileListOffset> Oracle;
    std::vector<CFileListOffset> Free;
};
} // namespace

TEST_F(CatalogueIndex, keeps_the_order_of_a_sorted_list_through_inserts_and_removals)
{
    std::mt19937 random(11);
    CFileListIndex::CCursor last = Index.End();
    std::vector<CFileListIndex::CCursor> old;
    for (int step = 0; step < 20000; ++step)
    {
        bool insert = Oracle.empty() || (Free.size() > 0 && random() % 10 < (step % 4000 < 3000 ? 7 : 2));
        if (insert)
        {
            // Room reused, as an append that follows an undone one reuses it.
            std::swap(Free[random() % Free.size()], Free.back());
            CFileListOffset at = Free.back();
            Free.pop_back();
            // Runs of numbers in order, as replays and one file's records come, and scattered ones.
            std::uint32_t number = random() % 3 == 0 && last.Position.Leaf
                                       ? Number(last.Offset) + random() % 2
                                       : random() % Range;
            SetNumber(at, number);
            // The place after the last one, before the next greater one, or any old cursor: a hint
            // that does not hold is passed over.
            CFileListIndex::CCursor before = Index.End();
            switch (random() % 3)
            {
            case 0:
                before = After(number);
                break;
            case 1:
                before = old.empty() ? Index.End() : old[random() % old.size()];
                break;
            }
            last = Index.Insert(at, random() % 2 ? last : Index.End(), before);
            ASSERT_EQ(last.Offset, at);
            if (random() % 50 == 0)
                old.push_back(last);
            auto place =
                std::upper_bound(Oracle.begin(), Oracle.end(), number,
                                 [&](std::uint32_t n, const CFileListOffset& o) { return n < Number(o); });
            Oracle.insert(place, at);
        }
        else
        {
            // The newest record, as an undone append removes it, or any.
            auto victim = random() % 2 && last.Position.Leaf
                              ? std::find(Oracle.begin(), Oracle.end(), last.Offset)
                              : Oracle.begin() + random() % Oracle.size();
            Index.Erase(*victim);
            SetNumber(*victim, random() % Range);
            Free.push_back(*victim);
            Oracle.erase(victim);
            last = Index.End();
        }
        if (step % 1000 == 999)
        {
            SCOPED_TRACE(step);
            ExpectAsOracle();
            ExpectOldCursorsStepRight(old);
        }
    }
    // Records in order at the end, as a replay enters them into index 0.
    std::uint32_t greatest = Oracle.empty() ? 0 : Number(Oracle.back());
    for (std::uint32_t i = 0; !Free.empty(); ++i)
    {
        CFileListOffset at = Free.back();
        Free.pop_back();
        SetNumber(at, greatest + i / 3);
        last = Index.Insert(at, last, Index.End());
        Oracle.push_back(at);
    }
    ExpectAsOracle();
    ExpectOldCursorsStepRight(old);

    // Emptied record by record, then cleared at once.
    std::vector<CFileListOffset> victims = Oracle;
    std::shuffle(victims.begin(), victims.end(), random);
    for (std::size_t i = 0; i < victims.size(); ++i)
    {
        Index.Erase(victims[i]);
        Oracle.erase(std::find(Oracle.begin(), Oracle.end(), victims[i]));
        if (i == victims.size() / 2)
            ExpectAsOracle();
    }
    ExpectAsOracle();
    Index.Insert(victims.back(), Index.End(), Index.End());
    Index.Clear();
    ExpectAsOracle();
}

TEST_F(CatalogueIndex, cursors_made_before_inserts_still_step_from_their_record)
{
    // Scattered inserts split leaves all over the tree, runs in order split them at their ends; a cursor
    // taken between them must find its record wherever those moved it.
    std::mt19937 random(5);
    CFileListIndex::CCursor last = Index.End();
    std::vector<CFileListIndex::CCursor> old;
    for (int round = 0; round < 20; ++round)
    {
        for (int i = 0; i < 100 && !Free.empty(); ++i)
        {
            CFileListOffset at = Free.back();
            Free.pop_back();
            std::uint32_t number = round % 2 && last.Position.Leaf ? Number(last.Offset) : random() % Range;
            SetNumber(at, number);
            last = Index.Insert(at, last, After(number));
            auto place =
                std::upper_bound(Oracle.begin(), Oracle.end(), number,
                                 [&](std::uint32_t n, const CFileListOffset& o) { return n < Number(o); });
            Oracle.insert(place, at);
            if (i % 10 == 0)
                old.push_back(last);
        }
        SCOPED_TRACE(round);
        ExpectOldCursorsStepRight(old);
    }
    ExpectAsOracle();
}
