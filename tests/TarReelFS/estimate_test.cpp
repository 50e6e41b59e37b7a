#include "TarTapeFixture.h"

#include "vnservice/CArchiveFileSystemOperation.h"
#include "vnservice/CUserFragment.h"

namespace
{
class GenericTarEstimate : public TarTape
{
protected:
    CStatus Estimate(const CVolumePointer& volume, std::uint32_t opcode,
                     const std::function<void(CArchiveFileSystemOperation&)>& fill, std::uint64_t& blocks)
    {
        auto& fileSystem = FileSystemOf(volume);
        std::unique_ptr<CArchiveFileSystemOperation> operation(
            fileSystem.CreateOperation({}, {}, volume, {}));
        operation->Opcode = opcode;
        fill(*operation);
        std::uint64_t bytes = 1;
        std::uint8_t flag = 1;
        CStatus status = fileSystem.EstimateBlocks(nullptr, operation.get(), blocks, bytes, flag);
        EXPECT_EQ(bytes, blocks * 512);
        EXPECT_EQ(flag, 0);
        return status;
    }
};

TEST_F(GenericTarEstimate, header_blocks_follow_the_tapes_dialect)
{
    CVolumePointer volume = Mount({ReadFixture("gnutar/ustar.tar")});
    auto& fileSystem = FileSystemOf(volume);
    const struct
    {
        std::int32_t Standard;
        std::u16string Name;
        std::uint64_t Size;
        std::uint64_t Blocks;
    } cases[] = {
        {2, std::u16string(100, u'n'), 0, 1}, {2, std::u16string(101, u'n'), 0, 3},
        {2, std::u16string(512, u'n'), 0, 4}, {1, u"short.txt", 1ull << 30, 1},
        {1, u"caf\u00e9.txt", 0, 3},          {0, u"short.txt", 0x200000000ull, 3},
        {1, std::u16string(150, u'n'), 0, 3},
    };
    for (const auto& c : cases)
    {
        fileSystem.Standard = c.Standard;
        std::uint64_t blocks = 0;
        ASSERT_TRUE(fileSystem.CountHeaderBlocks(CFileName(c.Name), c.Size, blocks).IsSuccess());
        EXPECT_EQ(blocks, c.Blocks) << c.Name.size() << " units, standard " << c.Standard;
    }
}

TEST_F(GenericTarEstimate, operations_are_estimated_from_names_counts_and_catalogued_extents)
{
    CVolumePointer volume = MountAndScan({ReadFixture("gnutar/ustar.tar")});
    CUserFragment fragment;
    fragment.CatalogueFileName = CFileName(u"0/dir/inner.txt");
    fragment.OrderKey2 = 1;
    const struct
    {
        const char* Case;
        std::uint32_t Opcode;
        std::function<void(CArchiveFileSystemOperation&)> Fill;
        std::uint64_t Blocks;
    } cases[] = {
        {"a count of bytes", 20, [](auto& o) { o.ItemSize() = 1023; }, 1},
        {"a directory", 16, [](auto& o) { o.AnchoredFileName = CFileName(u"dir"); }, 1},
        {"nothing to write", 13, [](auto&) {}, 0},
        {"a version not on tape", 4, [](auto& o) { o.ItemFileStart() = 0; }, 0},
        {"a version on tape", 4,
         [&](auto& o)
         {
             o.SetItemFragment(&fragment);
             o.ItemFileStart() = 7;
         },
         2},
        // The first record the list stored is the extent of short.txt: its header and its one data block.
        {"the first record", 3, [](auto&) {}, 2},
    };
    for (const auto& c : cases)
    {
        std::uint64_t blocks = 99;
        CStatus status = Estimate(volume, c.Opcode, c.Fill, blocks);
        EXPECT_TRUE(status.IsSuccess()) << c.Case << ": " << status.ToString();
        EXPECT_EQ(blocks, c.Blocks) << c.Case;
    }

    std::uint64_t blocks = 0;
    EXPECT_EQ(Estimate(
                  volume, 7, [](auto&) {}, blocks)
                  .GetInternalErrorCode(),
              0xC00003EDu);
    ASSERT_TRUE(volume->CloseCatalogue().IsSuccess());
    EXPECT_EQ(Estimate(
                  volume, 4, [](auto& o) { o.ItemFileStart() = 0; }, blocks)
                  .GetInternalErrorCode(),
              0xC0000818u);
}
} // namespace
