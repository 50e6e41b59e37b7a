#include "../TarReelFS/PluginFileSystemTest.h"

#include "FileSystems/PoolReelFS/CActiveCircleFileSystem.h"
#include "FileSystems/PoolReelFS/CActiveCircleFileSystemOperation.h"
#include "FileSystems/PoolReelFS/CActiveCircleGetOperationContext.h"
#include "vnservice/CBlockBuffer.h"
#include "vnservice/CFragmentFile.h"
#include "vnservice/CFragmentLocation.h"
#include "vnservice/CSystem.h"
#include "vnservice/ErrorGenerators.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>

namespace
{
class ActiveCircle : public PluginFileSystemTest<CActiveCircleFileSystem, CActiveCircleFileSystemOperation>
{
protected:
    void SetUp() override
    {
        PluginFileSystemTest::SetUp();
        Volume = AddVolume(CVolumeID(CVolumeSetID(System.GetID(), 6), 1));
    }
};

TEST_F(ActiveCircle, the_block_size_is_the_only_setting)
{
    CPersistanceEngine::CNode fresh(System.Database, "fresh");
    ASSERT_TRUE(Fs->Save(&System, fresh).IsSuccess());
    EXPECT_EQ(Stored("fresh"), (std::map<std::string, std::string>{{"BlockSize", "0"}}));

    Fs->BlockSize = 65536;
    CPersistanceEngine::CNode node(System.Database, "tape");
    ASSERT_TRUE(Fs->Save(&System, node).IsSuccess());
    EXPECT_EQ(Stored("tape"), (std::map<std::string, std::string>{{"BlockSize", "65536"}}));
    auto loaded = Create();
    ASSERT_TRUE(loaded->Load(&System, node).IsSuccess());
    EXPECT_EQ(loaded->BlockSize, 65536u);

    CPersistanceEngine::CNode empty(System.Database, "empty");
    ASSERT_TRUE(loaded->Load(&System, empty).IsSuccess());
    EXPECT_EQ(loaded->BlockSize, 65536u);
    ASSERT_TRUE(empty.WriteText(u"BlockSize", u"large").IsSuccess());
    EXPECT_TRUE(loaded->Load(&System, empty).Failed());
}

TEST_F(ActiveCircle, a_fragment_is_written_once_its_blocks_and_three_more_are_on_tape)
{
    constexpr std::uint64_t Max = 0xFFFFFFFFFFFFFFFFull;
    const struct
    {
        std::uint64_t Start, Size;
        std::uint32_t BlockSize;
        std::uint64_t LastWritten;
        bool Written;
    } cases[] = {
        {10, 1, 512, 14, true},   {10, 1, 512, 13, false},        {10, 0, 512, 13, true},
        {10, 513, 512, 15, true}, {10, 513, 512, 14, false},      {10, 20480, 10240, 15, true},
        {0, 1, 512, 100, false},  {10, 1, 0, 1000, false},        {Max - 1, 1, 512, Max, false},
        {5, Max, 1, Max, false},  {Max - 4, 512, 512, Max, true},
    };
    CMedium medium("m");
    CUserFragment fragment;
    for (const auto& c : cases)
    {
        Fs->BlockSize = c.BlockSize;
        medium.LastWrittenBlock = c.LastWritten;
        fragment.Size = c.Size;
        CFragmentLocation location;
        location.StartPosition = c.Start;
        EXPECT_EQ(Fs->IsFragmentWritten(&medium, &fragment, location), c.Written)
            << c.Start << " " << c.Size << " " << c.BlockSize << " " << c.LastWritten;
    }
}

TEST_F(ActiveCircle, estimates_count_header_blocks_as_active_circle_writes_them)
{
    CSet<CMedium, 1>::pointer medium(new CMedium("m"));
    medium->ReportedBlockSize = 10240;
    medium->SetPhysicalBlockSize(10240);
    Volume->SetReplica(0, medium);
    const struct
    {
        const char* Case;
        std::uint32_t Opcode;
        WString Name;
        std::uint64_t Size; // ItemFileSize for opcode 4, ItemSize for opcode 20
        std::uint64_t Blocks;
        std::uint32_t Error;
    } cases[] = {
        {"a byte under a short name", 4, u"0/a", 1, 2, 0},
        {"513 bytes under a name of 101 bytes without a slash", 4, u"0/" + WString(101, u'n'), 513, 5, 0},
        {"a split name needs no record", 4, u"0/" + WString(60, u'd') + u"/" + WString(60, u'f'), 0, 1, 0},
        {"a name beyond ASCII needs a record", 4, u"0/\u00e9t\u00e9", 0, 3, 0},
        {"a size past the octal field needs a record", 4, u"0/big", 0x200000000ull, 3 + 0x1000000, 0},
        {"a directory of 50 bytes", 16, WString(50, u'd'), 0, 1, 0},
        {"a directory of 101 bytes", 16, WString(101, u'd'), 0, 3, 0},
        {"an archive end of 1023 bytes", 20, u"", 1023, 1, 0},
        {"the label and its mark", 3, u"", 0, 40, 0},
        {"nothing to write", 13, u"", 0, 0, 0},
        {"a restore is no write", 7, u"", 0, 77, 0xC00003ED},
    };
    for (const auto& c : cases)
    {
        auto operation = OperationOf(c.Opcode);
        operation->AnchoredFileName = CFileName(c.Name);
        operation->ItemFileSize() = c.Size;
        operation->ItemSize() = c.Size;
        std::uint64_t blocks = 77, bytes = 1;
        std::uint8_t flag = 1;
        CStatus status =
            Fs->EstimateBlocks(Volume->GetReplica(0).get(), operation.get(), blocks, bytes, flag);
        EXPECT_EQ(status.GetInternalErrorCode(), c.Error) << c.Case;
        EXPECT_EQ(blocks, c.Blocks) << c.Case;
        EXPECT_EQ(bytes, c.Blocks * 512) << c.Case;
        EXPECT_EQ(flag, 0) << c.Case;
    }
}

TEST_F(ActiveCircle, answers_the_host_with_its_own_names_and_objects)
{
    FileSystemTypeDescriptor descriptor;
    ASSERT_TRUE(DescriptorWithFactory(u"ActiveCircle", descriptor).IsSuccess());
    EXPECT_EQ(descriptor.Instance, &Instance);
    EXPECT_EQ(WString(descriptor.TypeName), u"ActiveCircle");
    EXPECT_EQ(WString(descriptor.DisplayName), u"Active Circle");
    EXPECT_EQ(WString(descriptor.DescriptorText), u"0");
    EXPECT_EQ(Fs->GetFileSystemType(), u"ActiveCircle");
    std::uint32_t count = 9;
    ASSERT_TRUE(Fs->CountProperties(count).IsSuccess());
    EXPECT_EQ(count, 0u);

    auto operation = OperationOf(2);
    EXPECT_EQ(operation->OwnerResource, static_cast<CResource*>(Fs.get()));
    EXPECT_EQ(operation->TargetResource, static_cast<CResource*>(Volume.get()));
    CMediumPointer medium(new CMedium("m"));
    std::unique_ptr<CGetOperationContext> context(Fs->CreateGetOperationContext(Volume, medium));
    ASSERT_TRUE(context);
    EXPECT_EQ(static_cast<CActiveCircleGetOperationContext*>(context.get())->FileSystem, Fs.get());
    std::unique_ptr<CReplicationContext> replication(Fs->CreateReplicationContext());
    EXPECT_TRUE(replication);
}

TEST_F(ActiveCircle, handlers_refuse_writes_and_accept_volumes)
{
    const struct
    {
        std::uint32_t Opcode;
        std::uint32_t Error;
        bool Completes;
    } cases[] = {
        {1, 0, true},
        {3, 0xC00003ED, false},
        {4, 0xC00003ED, false},
        {16, 0xC00003ED, false},
    };
    for (const auto& c : cases)
    {
        auto operation = OperationOf(c.Opcode);
        operation->ReplicaIndex = 3;
        CStatus status = Fs->RunHandler(c.Opcode, operation.get());
        EXPECT_EQ(status.GetInternalErrorCode(), c.Error) << c.Opcode;
        EXPECT_EQ(operation->IsComplete(), c.Completes) << c.Opcode;
        if (c.Error)
        {
            EXPECT_EQ(status.GetRecord()->SourceFile, "ActiveCircleOps") << c.Opcode;
        }
    }
    // Acceptance marks replica 0, whatever the operation's replica.
    EXPECT_TRUE(Fs->IsRecognised(0));
    EXPECT_FALSE(Fs->IsRecognised(3));
}

TEST_F(ActiveCircle, the_status_hook_reads_the_flag_of_each_opcode)
{
    CEmptyFragmentFile file(&System, 0);
    CMedium medium("m");
    CStatus failure = CErrorNumber::OsError("drive", 1, 23);
    const struct
    {
        bool AlertFlag, FragmentFileOpen;
        bool Recorded;
    } cases[] = {{true, false, false}, {false, true, true}};
    for (const auto& c : cases)
    {
        auto operation = OperationOf(7);
        operation->AlertFlag = c.AlertFlag;
        operation->FragmentFileOpen = c.FragmentFileOpen;
        operation->BlockBuffer = Fs->CreateBlockBuffer(7, &medium);
        ASSERT_TRUE(operation->BlockBuffer->Append(&file, nullptr).IsSuccess());
        EXPECT_FALSE(Fs->HandleOperationStatus(operation.get(), failure));
        EXPECT_EQ(file.HasRecordedStatus(), c.Recorded);
    }
}
} // namespace
