#include "ActiveCircleTape.h"

#include "FileSystems/PoolReelFS/CActiveCircleFileSystem.h"
#include "FileSystems/PoolReelFS/CActiveCircleFileSystemOperation.h"
#include "frame/CCatalogueHeader.h"
#include "frame/CCatalogueListStore.h"
#include "frame/CInstance.h"
#include "pagelist/CFileListInternal.h"
#include "vnservice/COperationRunner.h"
#include "vnservice/CSystem.h"
#include "vnservice/CTapeMedium.h"

#include "TempFolder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <unistd.h>

namespace
{
using actest::Label;
using actest::ValidLabel;

// 13:00 on 15 April 2021 five hours behind UTC.
constexpr std::uint32_t LabelTime = 1618509600;

class Recognition : public ::testing::Test
{
protected:
    void SetUp() override
    {
        actest::PinTimeZone();
        ASSERT_TRUE(System.Open((Base / "home").string()).IsSuccess());
        System.Catalogues = &Store;
    }
    void TearDown() override { Volume.release(); }

    std::string NextImage() { return (Base / ("tape" + std::to_string(++Tapes) + ".tap")).string(); }

    // Mounts the image in a fresh volume's replica 0.
    void Mount(const std::string& image, std::uint32_t attribute = 1)
    {
        CSet<CMedium, 1>::pointer medium(new CTapeMedium("drive0"));
        ASSERT_TRUE(static_cast<CTapeMedium*>(medium.get())->Open(image).IsSuccess());
        medium->Attribute = CMediumAttribute(attribute);
        Volume = CVolumePointer(new CVolume(&System, CVolumeID(), "tape"));
        Volume->SetReplica(0, medium);
    }

    void MountTape(std::uint32_t block, const std::string& label)
    {
        std::string image = NextImage();
        actest::WriteActiveCircleTape(image, block, label);
        Mount(image);
    }

    CStatus Recognise()
    {
        Fs.reset(static_cast<CActiveCircleFileSystem*>(Instance.Create(&System)));
        Operation.reset(
            static_cast<CActiveCircleFileSystemOperation*>(Fs->CreateOperation({}, {}, Volume, {})));
        Operation->Opcode = 2;
        System.EventSink.Take();
        return COperationRunner::Run(*Fs, *Operation);
    }

    // Stores the last recognised tape's label identifier in a replica slot of the catalogue of its
    // number, as a scan of the tape does.
    void CatalogueTheTape(int slot)
    {
        ASSERT_TRUE(Volume->OpenCatalogue(true, false).IsSuccess());
        CCatalogueHeader header{};
        std::memcpy(header.ReplicaSlot[slot].LabelId, Operation->LabelId, 48);
        ASSERT_EQ(Volume->Catalogue->SetUserHeader(&header, sizeof header), 0u);
        ASSERT_TRUE(Volume->CloseCatalogue().IsSuccess());
    }

    TempFolder Temp{"reelfs-acrecognise-"};
    std::filesystem::path Base = Temp.Path();
    CSystem System;
    CCatalogueListStore Store{System.Database};
    CInstance<CArchiveFileSystem, CActiveCircleFileSystem> Instance;
    std::unique_ptr<CActiveCircleFileSystem> Fs;
    std::unique_ptr<CActiveCircleFileSystemOperation> Operation;
    CVolumePointer Volume;
    int Tapes = 0;
};

TEST_F(Recognition, a_labelled_tape_gets_its_number_from_the_label_date)
{
    MountTape(65536, ValidLabel);
    CStatus status = Recognise();
    ASSERT_TRUE(status.IsSuccess()) << status.ToString();
    EXPECT_TRUE(Operation->IsComplete());
    EXPECT_TRUE(Fs->IsRecognised(0));
    EXPECT_EQ(Fs->BlockSize, 65536u);
    EXPECT_EQ(Operation->LabelTime, LabelTime);
    EXPECT_EQ(Volume->GetID(), CVolumeID(CVolumeSetID(System.GetID(), 6), LabelTime));
    EXPECT_STREQ(reinterpret_cast<const char*>(Operation->LabelId),
                 "VOL001;pool-7;Apr 15, 2021 01 : 00 : 00 pm");
    EXPECT_EQ(Operation->CurrentBlock, 128u); // at the mark after the label block
    EXPECT_EQ(Volume->GetState(), 6u);
    auto* medium = Volume->GetReplica(0).get();
    EXPECT_TRUE(medium->IsIdentified());
    EXPECT_GT(medium->LastWrittenBlock, 256u);
    EXPECT_FALSE(Volume->IsAlert());
    auto events = System.EventSink.Take();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].Code, 0x8025Cu);
    EXPECT_EQ(std::get<WString>(events[0].Value),
              u"found file system " + WidenAscii(Volume->GetIDAsString()));
}

TEST_F(Recognition, a_tape_read_again_keeps_its_number_and_another_of_the_same_date_takes_the_next)
{
    MountTape(10240, ValidLabel);
    ASSERT_TRUE(Recognise().IsSuccess());
    const CVolumeID first = Volume->GetID();
    CatalogueTheTape(5);

    MountTape(10240, ValidLabel);
    ASSERT_TRUE(Recognise().IsSuccess());
    EXPECT_EQ(Volume->GetID(), first);
    ASSERT_TRUE(Volume->CloseCatalogue().IsSuccess());

    MountTape(10240, Label("ActiveCircle 3.2 Apr 15, 2021 01 : 00 : 00 pm", "pool-7", "VOL002"));
    ASSERT_TRUE(Recognise().IsSuccess());
    EXPECT_EQ(Volume->GetID().GetNumber(), first.GetNumber() + 1);
    EXPECT_FALSE(Volume->Catalogue); // the catalogue it opened and passed over is closed again
}

TEST_F(Recognition, a_date_that_converts_to_minus_one_starts_at_the_highest_number)
{
    MountTape(10240, Label("ActiveCircle 3.2 Dec 31, 1969 06 : 59 : 59 pm", "p", "v"));
    ASSERT_TRUE(Recognise().IsSuccess());
    EXPECT_EQ(Operation->LabelTime, 0xFFFFFFFFFFFFFFFFull);
    EXPECT_EQ(Volume->GetID().GetNumber(), 0xFFFFFFFFu);
}

TEST_F(Recognition, tapes_of_other_layouts_are_left_quietly)
{
    const std::uint32_t block = 10240;
    const Bytes tar = ReadFixture("gnutar/ustar.tar");
    const struct
    {
        const char* Name;
        std::vector<Bytes> Files;
        std::uint32_t Block;
        std::uint32_t Error; // the failure the handler returns, marked ignored
    } cases[] = {
        {"block of 1000", {actest::LabelBlock(ValidLabel, 1000)}, 1000, 0},
        {"four lines", {actest::LabelBlock(ValidLabel + "\r\nmore", block), tar}, block, 0xC00036B1},
        {"another product", {actest::LabelBlock("Pool" + ValidLabel, block), tar}, block, 0xC00036B1},
        {"Tedial label",
         {actest::LabelBlock("554362111000\nA\nB\nC\nD\n25/12/2020 10:30\n", block), tar},
         block,
         0xC00036B1},
        {"generic TAR tape", {tar}, block, 0xC00036B1},
        {"label without a mark after it",
         {[&]
          {
              Bytes bytes = actest::LabelBlock(ValidLabel, block);
              bytes.insert(bytes.end(), tar.begin(), tar.end());
              return bytes;
          }()},
         block,
         0xC00036B0},
        {"empty tape", {}, block, 0xC00036B0},
    };
    for (const auto& c : cases)
    {
        std::string image = NextImage();
        WriteTape(image, c.Block, c.Files);
        Mount(image);
        CStatus status = Recognise();
        EXPECT_EQ(status.GetInternalErrorCode(), c.Error) << c.Name << ": " << status.ToString();
        EXPECT_TRUE(status.IsSuccess() || status.IsIgnored()) << c.Name;
        EXPECT_EQ(Operation->IsComplete(), status.IsSuccess()) << c.Name;
        EXPECT_FALSE(Fs->IsRecognised(0)) << c.Name;
        EXPECT_FALSE(Volume->IsAlert()) << c.Name;
        EXPECT_TRUE(Volume->GetReplica(0)->GetAlertStatus().IsSuccess()) << c.Name;
        EXPECT_TRUE(System.EventSink.Take().empty()) << c.Name;
    }
}

TEST_F(Recognition, failures_that_are_not_about_the_layout_raise_alerts)
{
    // A mark where the label should be: the drive's failure becomes the medium's alert status.
    std::string image = NextImage();
    WriteTape(image, 10240, {{}, actest::LabelBlock(ValidLabel, 10240)});
    Mount(image);
    EXPECT_TRUE(Recognise().IsSuccess());
    EXPECT_FALSE(Fs->IsRecognised(0));
    EXPECT_TRUE(Volume->GetReplica(0)->GetAlertStatus().Failed());
    EXPECT_TRUE(System.EventSink.Take().empty());

    // A medium of the host's own format is not read; an unknown medium type fails.
    image = NextImage();
    actest::WriteActiveCircleTape(image, 10240, ValidLabel);
    Mount(image, 3);
    EXPECT_TRUE(Recognise().IsSuccess());
    EXPECT_FALSE(Fs->IsRecognised(0));
    Mount(image, 4);
    CStatus status = Recognise();
    EXPECT_EQ(status.GetInternalErrorCode(), 0xC00007D7u);
    EXPECT_EQ(status.GetParameters(), std::vector<std::string>{"0x4"});

    // No medium in the replica: the volume goes into alert.
    Volume = CVolumePointer(new CVolume(&System, CVolumeID(), "tape"));
    status = Recognise();
    EXPECT_EQ(status.GetInternalErrorCode(), 0xC0000FA2u);
    EXPECT_EQ(status.GetRecord()->SourceFile, "ActiveCircleOps");
    EXPECT_TRUE(Volume->IsAlert());
}
} // namespace
