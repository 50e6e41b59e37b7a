// The catalogue on two threads: handles loading one record at once, and appends with their upkeep.
// A program of its own, so that a ThreadSanitizer tree can run it by label.
#include "CatalogueTestSupport.h"

#include "frame/CCatArchive.h"

#include <barrier>
#include <thread>

TEST_F(CatalogueHandles, two_threads_loading_at_once_keep_one_object)
{
    for (int round = 0; round < 500; ++round)
    {
        RecordsMade = RecordsFreed = 0;
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
        ASSERT_EQ(RecordsMade - RecordsFreed, 1) << "exactly one object lives on";
        shared = CFileListPointer<CCatArchive>();
        ASSERT_EQ(RecordsMade, RecordsFreed);
    }
}

TEST_F(CatalogueTest, appends_on_two_threads_keep_every_count)
{
    const int perThread = 1500;
    auto append = [&](int thread)
    {
        for (int i = 0; i < perThread; ++i)
        {
            std::string path =
                "0/t" + std::to_string(thread) + "/d" + std::to_string(i % 7) + "/f" + std::to_string(i);
            CCatArchive record(static_cast<std::uint64_t>(thread) << 32 | i, W(path), 3, 0, 0, 0, 1);
            ASSERT_EQ(List->Append(record), 0u);
        }
    };
    std::thread first(append, 1), second(append, 2);
    first.join();
    second.join();
    CCatalogueHeader header = ReadHeader(*List);
    EXPECT_EQ(header.ArchiveCount, 2u * perThread);
    EXPECT_EQ(header.RecordCount, 2u * perThread);
    EXPECT_EQ(header.TotalBytes, 6u * perThread);
    std::vector<WString> paths;
    for (const CWalkedRecord& record : Walk(*List, 0))
        paths.push_back(record.Path);
    ExpectConsistentCatalogue(*List, paths);
}
