// What reading header metadata holds in memory: held to the reader's budget whatever shape the metadata
// take, and freed without asking for memory, so that freeing also works while a failed allocation
// unwinds. In a program of its own, as it counts the program's allocations.
#include "FileBytes.h"
#include "FileDictionary.h"
#include "RecordingDiagnostics.h"
#include "SetChains.h"

#include "mxf/MemoryBudget.h"
#include "mxf/Partition.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

// The replacements below hand out and take back the heap's blocks, which GCC, seeing both, takes for a
// mismatch.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

namespace
{
// Allocations of this thread while it counts them.
thread_local bool Counting = false;
thread_local std::size_t Allocations = 0;
} // namespace

void* operator new(std::size_t size)
{
    if (Counting)
        ++Allocations;
    if (void* block = std::malloc(size ? size : 1))
        return block;
    throw std::bad_alloc();
}

void operator delete(void* block) noexcept
{
    std::free(block);
}

void operator delete(void* block, std::size_t) noexcept
{
    std::free(block);
}

namespace
{

using mxftest::ByteString;

class HeaderMemory : public testing::Test
{
protected:
    static void SetUpTestSuite() { mxftest::DefineFileClasses(); }
    void SetUp() override { mxftest::ClearDiagnostics(); }
    void TearDown() override { mxf::Partition::MaxHeaderMetadataMemory = Limit; }

    static mxf::PartitionPtr Read(const ByteString& metadata, mxf::MXFFilePtr& file)
    {
        file = mxftest::MemoryFile(mxftest::HeaderPartition(metadata));
        mxf::PartitionPtr header = file->ReadPartition();
        EXPECT_TRUE(header);
        return header;
    }

    const std::uint64_t Limit = mxf::Partition::MaxHeaderMetadataMemory;
};

TEST_F(HeaderMemory, metadata_that_need_more_than_the_budget_are_refused_and_what_was_read_is_freed)
{
    constexpr std::size_t Sets = 20000;
    mxf::MXFFilePtr file;
    mxf::PartitionPtr header = Read(mxftest::FlatSets(Sets), file);
    ASSERT_GT(header->ReadMetadata(), 0u);
    ASSERT_EQ(header->Objects.size(), Sets);

    // A tenth of what the sets take.
    mxf::MemoryBudget measure(UINT64_MAX);
    {
        const mxf::MemoryBudget::Scope scope(measure);
        header->ReadMetadata();
    }
    mxf::Partition::MaxHeaderMetadataMemory = measure.GetHeld() / 10;
    const mxf::MDObjectParent first(header->Objects.front());
    EXPECT_EQ(header->ReadMetadata(), 0u);
    EXPECT_TRUE(header->MetadataRefused);
    EXPECT_TRUE(header->Objects.empty());
    EXPECT_TRUE(header->TopLevelObjects.empty());
    EXPECT_FALSE(first);
    const auto errors = mxftest::Errors();
    ASSERT_FALSE(errors.empty());
    EXPECT_EQ(errors.front(), "Header metadata needs more than " +
                                  std::to_string(mxf::Partition::MaxHeaderMetadataMemory) +
                                  " bytes of memory to hold; refused as damaged\n");

    // A reader that keeps a budget of its own holds the reading to that one.
    mxf::MemoryBudget own(UINT64_MAX);
    const mxf::MemoryBudget::Scope scope(own);
    EXPECT_GT(header->ReadMetadata(), 0u);
    EXPECT_EQ(header->Objects.size(), Sets);
    EXPECT_EQ(own.GetHeld(), measure.GetHeld());
}

TEST_F(HeaderMemory, freeing_a_partition_asks_for_no_memory_however_its_sets_are_linked)
{
    constexpr std::size_t Sets = 5000;
    const ByteString shapes[] = {mxftest::FlatSets(Sets),
                                 mxftest::ChainedSets(Sets, mxftest::ChainOrder::OwnedFirst),
                                 mxftest::ChainedSets(Sets, mxftest::ChainOrder::OwnerFirst)};
    for (const ByteString& metadata : shapes)
    {
        mxf::MXFFilePtr file;
        mxf::PartitionPtr header = Read(metadata, file);
        ASSERT_GT(header->ReadMetadata(), 0u);
        ASSERT_EQ(header->Objects.size(), Sets);
        const mxf::MDObjectParent last(header->Objects.back());
        Allocations = 0;
        Counting = true;
        header = nullptr;
        Counting = false;
        EXPECT_FALSE(last);
        EXPECT_EQ(Allocations, 0u);
    }
}

} // namespace
