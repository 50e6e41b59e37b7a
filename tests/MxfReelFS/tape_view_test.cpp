#include "TedialTape.h"

#include "FileSystems/MxfReelFS/CMXFOnTapeFile.h"
#include "FileSystems/MxfReelFS/CTedialFileSystemOperation.h"
#include "vnservice/CBlockBuffer.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace
{
constexpr std::uint32_t Block = 512;
constexpr std::uint64_t FileStart = 2; // after the label and its mark
// The blocks the cache holds at most.
constexpr std::uint64_t Limit = CMXFOnTapeFile::CacheBytes / Block;

// A file of whole blocks whose bytes differ from block to block.
Bytes Patterned(std::uint64_t blocks)
{
    Bytes file(blocks * Block);
    for (std::size_t i = 0; i < file.size(); ++i)
        file[i] = static_cast<std::uint8_t>(i * 7 + i / Block);
    return file;
}

class TapeView : public TedialTape
{
protected:
    // A view of the tape's first file, for an operation of a file system that knows the block size.
    void Open(const Bytes& file)
    {
        Volume = MountTedial({file}, Block);
        Fs.reset(static_cast<CTedialFileSystem*>(CreateFileSystem()));
        Fs->BlockSize = Block;
        Operation.reset(static_cast<CTedialFileSystemOperation*>(Fs->CreateOperation({}, {}, Volume, {})));
        Operation->Opcode = 11;
        Operation->BlockBuffer = Fs->CreateBlockBuffer(11, nullptr);
        View = new CMXFOnTapeFile(Operation.get(), Block, Operation->BlockBuffer);
        Held = View;
        View->SetFirstBlock(FileStart);
    }

    CVolumePointer Volume;
    std::unique_ptr<CTedialFileSystem> Fs;
    std::unique_ptr<CTedialFileSystemOperation> Operation;
    CMXFOnTapeFile* View = nullptr;
    mxf::MXFFilePtr Held;
};

TEST_F(TapeView, a_read_across_blocks_reads_each_block_from_the_drive_once)
{
    const Bytes file = tdtest::MxfFile();
    Open(file);
    View->Seek(500);
    Bytes got(100);
    ASSERT_EQ(View->Read(got.data(), got.size()), 100u);
    EXPECT_EQ(got, Bytes(file.begin() + 500, file.begin() + 600));
    EXPECT_EQ(View->Tell(), 600u);
    ASSERT_EQ(View->CachedBlocks(), 2u);

    // Served from the cache from now on: what the cache holds is what comes back.
    View->CacheBlock(1)[0] = static_cast<std::uint8_t>(~file[512]);
    View->Seek(500);
    ASSERT_EQ(View->Read(got.data(), got.size()), 100u);
    EXPECT_EQ(got[12], static_cast<std::uint8_t>(~file[512]));
    EXPECT_EQ(View->CachedBlocks(), 2u);
}

TEST_F(TapeView, a_block_the_drive_cannot_read_is_a_short_read_and_is_asked_for_again)
{
    // The file fills two blocks; the third block of the tape file is its closing mark.
    const Bytes file(2 * Block, 0x5A);
    Open(file);
    View->Seek(2 * Block - 10);
    Bytes got(20);
    EXPECT_EQ(View->ReadBytes(got.data(), got.size()), -1);
    EXPECT_FALSE(View->IsCached(2));
    View->Seek(2 * Block);
    EXPECT_EQ(View->Read(got.data(), got.size()), 0u);
    EXPECT_EQ(View->Read(20)->Size(), 0u);
    EXPECT_FALSE(View->IsCached(2));
    // Nothing is written through the view.
    EXPECT_EQ(View->Write(got.data(), got.size()), -1);
    EXPECT_FALSE(View->Truncate(0));
}

TEST_F(TapeView, reads_are_cut_at_the_size_once_it_is_known_and_not_before)
{
    const Bytes file(3 * Block, 0x11);
    Open(file);
    // Recognition reads the partition pack before anyone knows the size.
    View->Seek(2 * Block - 4);
    EXPECT_EQ(View->ReadValueBytes(100)->Size(), 100u);
    View->SetFileLength(2 * Block);
    View->Seek(2 * Block - 4);
    EXPECT_EQ(View->Read(100)->Size(), 4u);
    EXPECT_TRUE(View->Eof());
    EXPECT_EQ(View->SeekEnd(), 2 * Block);
    View->Seek(2 * Block - 1);
    EXPECT_FALSE(View->Eof());
}

TEST_F(TapeView, a_long_read_keeps_block_0_and_a_bounded_number_of_blocks)
{
    const Bytes file = Patterned(Limit + 50);
    Open(file);
    const mxf::DataChunkPtr all = View->Read(file.size());
    ASSERT_EQ(all->Size(), file.size());
    EXPECT_TRUE(std::equal(file.begin(), file.end(), all->Data()));
    EXPECT_EQ(View->CachedBlocks(), Limit);
    EXPECT_TRUE(View->IsCached(0));
    EXPECT_TRUE(View->IsCached(Limit + 49));

    // A block let go is read again from the drive when it is needed again.
    View->Seek(Block);
    Bytes got(Block);
    ASSERT_EQ(View->Read(got.data(), got.size()), Block);
    EXPECT_TRUE(std::equal(got.begin(), got.end(), file.begin() + Block));
    EXPECT_EQ(View->CachedBlocks(), Limit);
}

TEST_F(TapeView, the_block_used_longest_ago_is_let_go_first)
{
    const Bytes file = Patterned(Limit + 2);
    Open(file);
    Bytes got(Block);
    const auto reads = [&](std::uint64_t index)
    {
        View->Seek(index * Block);
        return View->Read(got.data(), got.size()) == Block &&
               std::equal(got.begin(), got.end(), file.begin() + static_cast<std::ptrdiff_t>(index * Block));
    };
    for (std::uint64_t index = 0; index < Limit; ++index)
        ASSERT_TRUE(reads(index)) << index;
    // Block 1 is used again, so block 2 is now the one used longest ago.
    ASSERT_TRUE(reads(1));
    // The closing mark after the file makes room like any block, then leaves no entry behind.
    View->Seek((Limit + 2) * Block);
    EXPECT_EQ(View->ReadBytes(got.data(), 1), -1);
    EXPECT_EQ(View->CachedBlocks(), Limit - 1);
    ASSERT_TRUE(reads(Limit));
    ASSERT_TRUE(reads(Limit + 1));
    EXPECT_EQ(View->CachedBlocks(), Limit);
    const struct
    {
        std::uint64_t Index;
        bool Cached;
    } expected[] = {{0, true}, {1, true},     {2, false},       {3, false},
                    {4, true}, {Limit, true}, {Limit + 1, true}};
    for (const auto& e : expected)
        EXPECT_EQ(View->IsCached(e.Index), e.Cached) << e.Index;
    // A block let go comes back from the drive and takes the place of the next oldest.
    ASSERT_TRUE(reads(2));
    EXPECT_FALSE(View->IsCached(4));
    EXPECT_TRUE(View->IsCached(5));
    EXPECT_EQ(View->CachedBlocks(), Limit);
}
} // namespace
