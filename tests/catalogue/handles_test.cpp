#include "CatalogueTestSupport.h"

#include "frame/CCatArchive.h"

#include <atomic>
#include <barrier>
#include <cstring>
#include <thread>

namespace
{
std::atomic<int> Made{0};
std::atomic<int> Freed{0};

// A file record that counts its objects.
class CCountedArchive : public CCatArchive
{
public:
    CCountedArchive() { ++Made; }
    ~CCountedArchive() override { ++Freed; }
};

struct CCountingAllocator
{
    static CFileListFile* Create(std::uint8_t type)
    {
        if ((type & 0x0F) != KindArchive)
            return CCatalogueItem::Allocator::Create(type);
        auto* record = new CCountedArchive;
        record->AcceptObjectType(type);
        return record;
    }
};
using CCountingList = CFileList<CCatalogueItem, CCatalogueHeader, 2, CCountingAllocator>;

class CatalogueHandles : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Db.Open(Home.DatabasePath()).IsSuccess());
        ASSERT_EQ(CCountingList::Open(Db, "volume", true, List), 0u);
        CCatArchive record(7, W("0/f"), 1000, 0, 0, 0, 1);
        ASSERT_EQ(List->Append(record, true), 0u);
        At = List->begin(0).CheckOffset();
        Made = Freed = 0;
    }
    void TearDown() override { delete List; }

    std::uint64_t StoredFileSize()
    {
        std::span<unsigned char> payload = List->GetPage(At.Page).GetData(At, true);
        std::uint64_t size = 0;
        std::memcpy(&size, payload.data() + 8, sizeof size);
        return size;
    }
    CFileListPointer<CCatArchive> Handle() { return CFileListPointer<CCatArchive>(*List, At); }

    CTempHome Home;
    CDatabase Db;
    CFileListInternal* List = nullptr;
    CFileListOffset At;
};
} // namespace

TEST_F(CatalogueHandles, copies_share_one_object_deleted_with_the_last)
{
    {
        CFileListPointer<CCatArchive> first = Handle();
        CFileListPointer<CCatArchive> second = first;
        EXPECT_EQ(first.Get(), second.Get());
        EXPECT_EQ(first.Get()->FileSize, 1000u);
        {
            CFileListPointer<CCatArchive> third(second);
        }
        EXPECT_EQ(Freed, 0);
    }
    EXPECT_EQ(Made, 1);
    EXPECT_EQ(Freed, 1);
}

TEST_F(CatalogueHandles, dirty_record_is_written_back_when_a_handle_goes)
{
    {
        CFileListPointer<CCatArchive> handle = Handle();
        handle.Get()->FileSize = 5;
    }
    EXPECT_EQ(StoredFileSize(), 1000u) << "a clean handle leaves the page alone";
    {
        CFileListPointer<CCatArchive> handle = Handle();
        handle.Get()->FileSize = 6;
        handle.SetDirty();
    }
    EXPECT_EQ(StoredFileSize(), 6u);
    ASSERT_EQ(List->Close(), 0u);
    ASSERT_EQ(List->Open(Db, "volume", false), 0u);
    EXPECT_EQ(StoredFileSize(), 6u) << "the page was marked written and committed";
}

TEST_F(CatalogueHandles, move_assignment_writes_back_the_record_it_lets_go)
{
    CFileListPointer<CCatArchive> target = Handle();
    target.Get()->FileSize = 42;
    target.SetDirty();
    target = CFileListPointer<CCatArchive>(*List, At);
    EXPECT_EQ(StoredFileSize(), 42u);
    EXPECT_EQ(Freed, 1);

    CFileListPointer<CCatArchive>& alias = target;
    target = std::move(alias);
    ASSERT_FALSE(target.IsEmpty());
    EXPECT_EQ(target.Get()->FileSize, 42u);

    CFileListPointer<CCatArchive> moved = std::move(target);
    EXPECT_TRUE(target.IsEmpty());
    EXPECT_THROW(target.GetObject(true), std::uint32_t);
}

TEST_F(CatalogueHandles, wrong_page_kind_throws_and_loads_nothing)
{
    CFileListPointer<CCatArchive> handle = Handle();
    EXPECT_THROW(handle.GetObject(false), std::uint32_t);
    EXPECT_EQ(Made, 0);
    EXPECT_EQ(handle.Get()->FileSize, 1000u);
}

TEST_F(CatalogueHandles, two_threads_loading_at_once_keep_one_object)
{
    for (int round = 0; round < 500; ++round)
    {
        Made = Freed = 0;
        CFileListInternal::iterator unused(*List, 0, At);
        CFileListPointer<CCatArchive> shared = Handle();
        CFileListFile* seen[2] = {};
        std::barrier start(2);
        auto load = [&](int i)
        {
            CFileListPointer<CCatArchive> copy = shared;
            start.arrive_and_wait();
            seen[i] = copy.GetObject(true);
        };
        std::thread a(load, 0), b(load, 1);
        a.join();
        b.join();
        ASSERT_EQ(seen[0], seen[1]);
        ASSERT_EQ(Made - Freed, 1) << "exactly one object lives on";
        shared = CFileListPointer<CCatArchive>();
        ASSERT_EQ(Made, Freed);
    }
}
