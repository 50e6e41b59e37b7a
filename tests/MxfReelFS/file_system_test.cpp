#include "../TarReelFS/PluginFileSystemTest.h"

#include "FileSystems/MxfReelFS/CTedialFileSystem.h"
#include "FileSystems/MxfReelFS/CTedialFileSystemOperation.h"
#include "FileSystems/MxfReelFS/CTedialGetOperationContext.h"
#include "vnservice/CEventLog.h"
#include "vnservice/CSystem.h"
#include "vnservice/HostErrors.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

namespace
{
class Tedial : public PluginFileSystemTest<CTedialFileSystem, CTedialFileSystemOperation>
{
protected:
    void SetUp() override
    {
        PluginFileSystemTest::SetUp();
        Volume = AddVolume(CVolumeID(CVolumeSetID(System.GetID(), 7), 1));
    }
};

TEST_F(Tedial, reads_scan_file_sizes_from_the_configuration_and_never_fails_for_it)
{
    const struct
    {
        const char* Ini;
        std::uint32_t ScanFileSizes;
        bool Logged;
    } cases[] = {
        {"", 0, false},
        {"[MXFREELFS]\nScan File Sizes=1\n", 1, false},
        {"[mxfreelfs]\nscan file sizes = 7\n", 7, false},
        {"[MXFREELFS]\nScan File Sizes=yes\n", 0, true},
        {"[MXFREELFS]\nScan File Sizes=4294967296\n", 0, true},
        {"[OTHER]\nScan File Sizes=1\n", 0, false},
    };
    for (const auto& c : cases)
    {
        CSystem system;
        ASSERT_TRUE(system.Open((Home / "other").string()).IsSuccess());
        system.Configuration.LoadText(c.Ini);
        CEventLog::TakeLogged();
        std::unique_ptr<CTedialFileSystem> fs(static_cast<CTedialFileSystem*>(Instance.Create(&system)));
        ASSERT_TRUE(fs) << c.Ini;
        EXPECT_EQ(fs->ScanFileSizes, c.ScanFileSizes) << c.Ini;
        EXPECT_EQ(fs->BlockSize, 0u) << c.Ini;
        auto logged = CEventLog::TakeLogged();
        ASSERT_EQ(logged.size(), c.Logged ? 1u : 0u) << c.Ini;
        if (c.Logged)
        {
            EXPECT_EQ(logged[0].GetInternalErrorCode(), HostErrorBadSetting);
        }
    }
}

TEST_F(Tedial, estimates_count_tape_blocks_of_the_block_size)
{
    Fs->BlockSize = 262144;
    const struct
    {
        std::uint32_t Opcode;
        std::uint64_t FileSize;
        std::uint64_t Blocks, Bytes;
        std::uint32_t Error;
    } cases[] = {
        {4, 1048577, 6, 1048577, 0}, // five blocks, the last one begun, and the mark
        {4, 1048576, 5, 1048576, 0},
        {4, 0, 1, 0, 0},
        {3, 0, 2, 0, 0},
        {0, 5, 0, 0, 0},
        {16, 5, 0, 0, 0},
        {20, 5, 0, 0, 0},
        {7, 5, 77, 1, 0xC00003ED},
        {11, 5, 77, 1, 0xC00003ED},
    };
    for (const auto& c : cases)
    {
        auto operation = OperationOf(c.Opcode);
        operation->ItemFileSize() = c.FileSize;
        std::uint64_t blocks = 77, bytes = 1;
        std::uint8_t flag = 1;
        CStatus status = Fs->EstimateBlocks(nullptr, operation.get(), blocks, bytes, flag);
        EXPECT_EQ(status.GetInternalErrorCode(), c.Error) << c.Opcode << " " << c.FileSize;
        EXPECT_EQ(blocks, c.Blocks) << c.Opcode << " " << c.FileSize;
        EXPECT_EQ(bytes, c.Bytes) << c.Opcode << " " << c.FileSize;
        EXPECT_EQ(flag, 0) << c.Opcode;
    }

    // Before recognition or Load no block can be counted.
    Fs->BlockSize = 0;
    auto operation = OperationOf(4);
    operation->ItemFileSize() = 10;
    std::uint64_t blocks = 77, bytes = 1;
    std::uint8_t flag = 1;
    EXPECT_EQ(Fs->EstimateBlocks(nullptr, operation.get(), blocks, bytes, flag).GetInternalErrorCode(),
              0xC0003718u);
}

TEST_F(Tedial, answers_the_host_with_its_own_names_and_objects)
{
    FileSystemTypeDescriptor descriptor;
    ASSERT_TRUE(DescriptorWithFactory(u"Tedial", descriptor).IsSuccess());
    EXPECT_EQ(descriptor.Instance, &Instance);
    EXPECT_EQ(WString(descriptor.TypeName), u"Tedial");
    EXPECT_EQ(WString(descriptor.DisplayName), u"Tedial");
    EXPECT_EQ(WString(descriptor.DescriptorText), u"0");

    // Scan positions count tape blocks of the file system's block size, not the medium's logical blocks.
    Fs->BlockSize = 262144;
    CMediumPointer medium(new CMedium("m"));
    medium->LastWrittenBlock = 9;
    std::unique_ptr<CGetOperationContext> context(Fs->CreateGetOperationContext(Volume, medium));
    ASSERT_TRUE(context);
    auto& tedial = static_cast<CTedialGetOperationContext&>(*context);
    EXPECT_EQ(tedial.FileSystem, Fs.get());
    context->SetItemStart(5);
    EXPECT_EQ(context->GetItemStartBytes(), 1310720u);
    EXPECT_EQ(context->GetLastWrittenBytes(), 9u * 262144);
    EXPECT_EQ(context->GetItemSizeHint(), 0x100000u);
    tedial.ScanPosition = 9;
    EXPECT_TRUE(context->IsEndOfData());
    std::unique_ptr<CReplicationContext> replication(Fs->CreateReplicationContext());
    EXPECT_TRUE(replication);

    auto operation = OperationOf(2);
    EXPECT_EQ(operation->OwnerResource, static_cast<CResource*>(Fs.get()));
    EXPECT_EQ(operation->TargetResource, static_cast<CResource*>(Volume.get()));
}
} // namespace
