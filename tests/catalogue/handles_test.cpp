#include "CatalogueTestSupport.h"

#include "frame/CCatArchive.h"

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
        EXPECT_EQ(RecordsFreed, 0);
    }
    EXPECT_EQ(RecordsMade, 1);
    EXPECT_EQ(RecordsFreed, 1);
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
    EXPECT_EQ(RecordsFreed, 1);

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
    EXPECT_EQ(RecordsMade, 0);
    EXPECT_EQ(handle.Get()->FileSize, 1000u);
}
