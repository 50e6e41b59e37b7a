#include "TapeBuilder.h"

#include "FileSystems/TarReelFS/CGenericTarFileSystem.h"
#include "FileSystems/TarReelFS/CGenericTarFileSystemOperation.h"
#include "frame/CInstance.h"
#include "vnservice/CBlockBuffer.h"
#include "vnservice/COperationRunner.h"
#include "vnservice/CSystem.h"
#include "vnservice/ErrorGenerators.h"
#include "win/WinError.h"

#include <memory>

namespace
{
// A file system whose scan and recognition handlers follow a script, so the loop's part can be watched.
struct ScriptedFileSystem : CGenericTarFileSystem
{
    using CGenericTarFileSystem::CGenericTarFileSystem;

    CStatus GetNextItem(CArchiveFileSystemOperation* operation) override
    {
        auto* volume = static_cast<CVolume*>(operation->TargetResource);
        States.push_back(operation->State);
        switch (operation->State)
        {
        case 0:
            operation->NextState(volume->SpaceMarksOperation(operation, 0, 1, 0, 1, &Reached), 1);
            ReachedRightAfterStart = Reached;
            return CStatus::Success();
        case 1:
            operation->GotoState(2);
            return CStatus::Success();
        case 2:
            // Reading two blocks from block 1 meets the mark; the failure is left to the host.
            Buffer = std::make_unique<CBlockBuffer>(System, 512, 512, 512);
            Buffer->AppendMemory(1024, nullptr);
            operation->NextState(
                volume->ReadBlocksOperation(operation, 1024, 0, 1, 1, 0, 0, Buffer.get(), 0, false, nullptr),
                3);
            return CStatus::Success();
        default:
            return UnknownState(operation->State, __LINE__);
        }
    }

    CStatus RecogniseVolume(CArchiveFileSystemOperation* operation) override
    {
        auto* tape = static_cast<CGenericTarFileSystemOperation*>(operation);
        auto* volume = static_cast<CVolume*>(operation->TargetResource);
        States.push_back(operation->State);
        if (operation->State == 0)
        {
            Buffer = std::make_unique<CBlockBuffer>(System, 512, 512, 512);
            Buffer->AppendMemory(512, nullptr);
            operation->NextState(
                volume->ReadBlocksOperation(operation, 512, 0, 1, 2, 0, 0, Buffer.get(), 0, false, nullptr),
                1);
            return CStatus::Success();
        }
        KeptCode = tape->KeptStatus.GetOSStatus();
        operation->Complete(CStatus::Success(), 0, nullptr);
        return CStatus::Success();
    }

    std::vector<std::uint32_t> States;
    std::uint64_t Reached = 77;
    std::uint64_t ReachedRightAfterStart = 0;
    std::uint32_t KeptCode = 0;
    std::unique_ptr<CBlockBuffer> Buffer;
};

class OperationLoop : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Home = std::filesystem::temp_directory_path() / ("reelfs-loop-home-" + std::to_string(::getpid()));
        std::filesystem::remove_all(Home);
        ASSERT_TRUE(System.Open(Home.string()).IsSuccess());
        Path =
            BuildTape(::testing::UnitTest::GetInstance()->current_test_info()->name(), {512, 512, 0, 512, 0});
        CSet<CMedium, 1>::pointer medium(new CTapeMedium("tape"));
        ASSERT_TRUE(static_cast<CTapeMedium*>(medium.get())->Open(Path).IsSuccess());
        ASSERT_TRUE(static_cast<CTapeMedium*>(medium.get())->ReportBlockSize().IsSuccess());
        Volume = CVolumePointer(new CVolume(&System, CVolumeID(), "tape"));
        Volume->SetReplica(0, medium);
        Fs.reset(static_cast<ScriptedFileSystem*>(Instance.Create(&System)));
    }
    void TearDown() override
    {
        std::filesystem::remove(Path);
        std::filesystem::remove_all(Home);
    }

    std::unique_ptr<CArchiveFileSystemOperation> Operation(std::uint32_t opcode)
    {
        std::unique_ptr<CArchiveFileSystemOperation> operation(Fs->CreateOperation({}, {}, Volume, {}));
        operation->Opcode = opcode;
        return operation;
    }

    std::filesystem::path Home;
    std::string Path;
    CSystem System;
    CVolumePointer Volume;
    CInstance<CArchiveFileSystem, ScriptedFileSystem> Instance;
    std::unique_ptr<ScriptedFileSystem> Fs;
};

TEST_F(OperationLoop, outputs_arrive_at_completion_and_a_failure_left_to_the_host_ends_the_operation)
{
    auto operation = Operation(11);
    CStatus status = COperationRunner::Run(*Fs, *operation);
    EXPECT_EQ(Fs->ReachedRightAfterStart, 77u); // starting the drive operation wrote nothing
    EXPECT_EQ(Fs->Reached, 3u);
    EXPECT_EQ(Fs->States, (std::vector<std::uint32_t>{0, 1, 2}));
    EXPECT_EQ(status.GetOSStatus(), ERROR_FILEMARK_DETECTED);
}

TEST_F(OperationLoop, recognition_statuses_go_to_the_file_system_which_goes_on)
{
    auto operation = Operation(2);
    CStatus status = COperationRunner::Run(*Fs, *operation);
    EXPECT_TRUE(status.IsSuccess());
    EXPECT_EQ(Fs->States, (std::vector<std::uint32_t>{0, 1}));
    EXPECT_EQ(Fs->KeptCode, ERROR_FILEMARK_DETECTED);
}

TEST_F(OperationLoop, an_inline_wait_runs_the_read_once_without_the_handler)
{
    CBlockBuffer buffer(&System, 512, 512, 512);
    ASSERT_TRUE(buffer.AppendMemory(512, nullptr).IsSuccess());
    COperationStatus read =
        Volume->ReadBlocksOperation(nullptr, 512, 0, 1, 1, 0, 0, &buffer, 0, false, nullptr);
    const std::uint8_t* data = nullptr;
    std::size_t length = 0;
    ASSERT_TRUE(buffer.GetData(0, false, 512, data, length).IsSuccess());
    EXPECT_EQ(data[5], 0);
    EXPECT_FALSE(read.IsComplete());
    EXPECT_TRUE(read.AwaitCompletion().IsSuccess());
    EXPECT_EQ(data[5], PatternByte(1, 5));
    EXPECT_TRUE(read.AwaitCompletion().IsSuccess());
    EXPECT_TRUE(Fs->States.empty());
}

TEST_F(OperationLoop, a_replica_without_medium_fails_when_completed)
{
    COperationStatus none = Volume->GetBlockSizeOperation(nullptr, 3, 1);
    EXPECT_EQ(none.AwaitCompletion().GetInternalErrorCode(), 0xC0000FA2u);
}

TEST_F(OperationLoop, every_opcode_reaches_its_handler)
{
    const struct
    {
        std::uint32_t Opcode;
        std::uint32_t Error;
    } cases[] = {
        {1, 0},           {3, 0xC00003ED},  {4, 0xC00003ED},  {5, 0xC00003ED},  {6, 0xC0000D00},
        {9, 0xC0000D00},  {10, 0xC00003ED}, {12, 0xC00003ED}, {13, 0xC00003ED}, {14, 0xC0000D00},
        {15, 0xC00003ED}, {16, 0xC00003ED}, {17, 0xC00003ED}, {18, 0xC00003ED}, {19, 0xC00003ED},
        {21, 0xC0000D00}, {22, 0xC0000D00},
    };
    for (const auto& c : cases)
    {
        auto operation = Operation(c.Opcode);
        EXPECT_EQ(COperationRunner::Run(*Fs, *operation).GetInternalErrorCode(), c.Error) << c.Opcode;
        auto later = Operation(c.Opcode);
        later->State = 5;
        std::uint32_t laterError = c.Error == 0xC00003ED || c.Opcode == 1 ? 0xC00007D7 : c.Error;
        EXPECT_EQ(Fs->RunHandler(c.Opcode, later.get()).GetInternalErrorCode(), laterError) << c.Opcode;
    }
    EXPECT_TRUE(Fs->IsRecognised(0));
}
} // namespace
