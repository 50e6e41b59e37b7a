#include "TedialTape.h"

#include "FileSystems/MxfReelFS/CTedialFileSystemOperation.h"
#include "FileSystems/PoolReelFS/CActiveCircleFileSystem.h"
#include "FileSystems/TarReelFS/CGenericTarFileSystem.h"
#include "frame/CCatalogueHeader.h"
#include "pagelist/CFileListInternal.h"
#include "vnservice/COperationRunner.h"
#include "vnservice/CTapeMedium.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

namespace
{
// 10:30 on 25 December 2020 five hours behind UTC.
constexpr std::uint32_t LabelTime = 1608892200 + 5 * 3600;

class TedialRecognition : public TedialTape
{
protected:
    // Runs recognition with a fresh Tedial file system on the volume, as the host does for each tape.
    CStatus RecogniseTedial(const CVolumePointer& volume)
    {
        Fs.reset(static_cast<CTedialFileSystem*>(CreateFileSystem()));
        Operation.reset(static_cast<CTedialFileSystemOperation*>(Fs->CreateOperation({}, {}, volume, {})));
        Operation->Opcode = 2;
        System.EventSink.Take();
        return COperationRunner::Run(*Fs, *Operation);
    }

    // Stores the last recognised tape's label identifier in a replica slot of its number's catalogue, as
    // a scan of the tape does.
    void CatalogueTheTape(const CVolumePointer& volume)
    {
        ASSERT_TRUE(volume->OpenCatalogue(true, false).IsSuccess());
        CCatalogueHeader header{};
        std::memcpy(header.ReplicaSlot[3].LabelId, Operation->LabelId, 48);
        ASSERT_EQ(volume->Catalogue->SetUserHeader(&header, sizeof header), 0u);
        ASSERT_TRUE(volume->CloseCatalogue().IsSuccess());
    }

    std::unique_ptr<CTedialFileSystem> Fs;
    std::unique_ptr<CTedialFileSystemOperation> Operation;
};

TEST_F(TedialRecognition, a_tedial_tape_gets_its_number_from_the_label_date)
{
    // Any block size: positions on the tape are its blocks, which need not be multiples of 512 bytes.
    for (std::uint32_t block : {65536u, 262144u, 1000u})
    {
        SCOPED_TRACE(block);
        CVolumePointer volume = MountTedial({tdtest::MxfFile(), tdtest::MxfFile()}, block);
        CStatus status = RecogniseTedial(volume);
        ASSERT_TRUE(status.IsSuccess()) << status.ToString();
        EXPECT_TRUE(Operation->IsComplete());
        EXPECT_TRUE(Fs->IsRecognised(0));
        EXPECT_EQ(Fs->BlockSize, block);
        EXPECT_EQ(Operation->LabelTime, LabelTime);
        EXPECT_STREQ(reinterpret_cast<const char*>(Operation->LabelId), "C;25/12/2020 10:30");
        EXPECT_EQ(Operation->BlockCounter, 2u); // the first file's first block
        EXPECT_EQ(volume->GetID(), CVolumeID(CVolumeSetID(System.GetID(), 7), LabelTime));
        EXPECT_EQ(volume->GetState(), 6u);
        // Label, mark, then each file's blocks and its mark.
        const std::uint64_t fileBlocks = (tdtest::MxfFile().size() + block - 1) / block;
        EXPECT_EQ(volume->GetReplica(0)->LastWrittenBlock, 2 + 2 * (fileBlocks + 1));
        EXPECT_FALSE(volume->IsAlert());
        auto events = System.EventSink.Take();
        ASSERT_EQ(events.size(), 1u);
        EXPECT_EQ(events[0].Code, 0x8025Cu);
        EXPECT_EQ(std::get<WString>(events[0].Value),
                  u"found file system " + WidenAscii(volume->GetIDAsString()));
        ASSERT_TRUE(volume->CloseCatalogue().IsSuccess());
    }
}

TEST_F(TedialRecognition, a_tape_read_again_keeps_its_number_and_another_of_the_same_date_takes_the_next)
{
    CVolumePointer volume = MountTedial({tdtest::MxfFile()}, 4096);
    ASSERT_TRUE(RecogniseTedial(volume).IsSuccess());
    const CVolumeID first = volume->GetID();
    CatalogueTheTape(volume);

    volume = MountTedial({tdtest::MxfFile()}, 4096);
    ASSERT_TRUE(RecogniseTedial(volume).IsSuccess());
    EXPECT_EQ(volume->GetID(), first);
    ASSERT_TRUE(volume->CloseCatalogue().IsSuccess());

    // Line 4 differs: the catalogue of the first number holds the other tape's identifier.
    volume = MountTedial({tdtest::MxfFile()}, 4096, tdtest::ValidLabel("other"));
    ASSERT_TRUE(RecogniseTedial(volume).IsSuccess());
    EXPECT_EQ(volume->GetID().GetNumber(), first.GetNumber() + 1);
    EXPECT_FALSE(volume->Catalogue); // the catalogue it opened and passed over is closed again
}

TEST_F(TedialRecognition, tapes_of_other_layouts_are_left_quietly)
{
    std::mt19937 random(11);
    Bytes noise(20000);
    for (auto& byte : noise)
        byte = static_cast<std::uint8_t>(random());
    const Bytes tar = ReadFixture("gnutar/ustar.tar");
    const Bytes label = actest::LabelBlock(tdtest::ValidLabel(), 65536);
    Bytes labelThenMxf = label;
    const Bytes mxf = tdtest::MxfFile();
    labelThenMxf.insert(labelThenMxf.end(), mxf.begin(), mxf.end());
    // The first KLV of an MXF file is its header partition pack; a primer pack is no partition pack.
    const Bytes primerFirst = ReadFixture("ffmpeg/primer.klv");
    const struct
    {
        const char* Name;
        std::vector<Bytes> Files;
        std::uint32_t Error; // the failure the handler returns, marked ignored; 0 when it completes
    } cases[] = {
        {"generic TAR tape", {tar}, 0xC0003715},
        {"Active Circle tape", {actest::LabelBlock(actest::ValidLabel, 65536), tar}, 0xC0003715},
        {"random data", {noise}, 0xC0003715},
        {"empty tape", {}, 0xC0003714},
        {"CR LF label",
         {actest::LabelBlock("554362111000\r\nA\r\nB\r\nC\r\nD\r\n25/12/2020 10:30", 65536), mxf},
         0xC0003715},
        {"label without a mark after it", {labelThenMxf}, 0xC0003714},
        {"label and mark without a file", {label}, 0}, // the drive finds no data there
        {"label, mark and a TAR archive", {label, tar}, 0xC0003714},
        {"label, mark and a file that opens with a primer", {label, primerFirst}, 0xC0003714},
    };
    for (const auto& c : cases)
    {
        CVolumePointer volume = Mount(c.Files, 65536);
        CStatus status = RecogniseTedial(volume);
        EXPECT_EQ(status.GetInternalErrorCode(), c.Error) << c.Name << ": " << status.ToString();
        EXPECT_TRUE(status.IsSuccess() || status.IsIgnored()) << c.Name;
        EXPECT_EQ(Operation->IsComplete(), status.IsSuccess()) << c.Name;
        EXPECT_FALSE(Fs->IsRecognised(0)) << c.Name;
        EXPECT_FALSE(volume->IsAlert()) << c.Name;
        EXPECT_TRUE(volume->GetReplica(0)->GetAlertStatus().IsSuccess()) << c.Name;
        EXPECT_TRUE(System.EventSink.Take().empty()) << c.Name;
    }
}

TEST_F(TedialRecognition, the_other_plug_ins_leave_a_tedial_tape_alone)
{
    CVolumePointer volume = MountTedial({tdtest::MxfFile()}, 10240);
    CInstance<CArchiveFileSystem, CActiveCircleFileSystem> activeCircle;
    CInstance<CArchiveFileSystem, CGenericTarFileSystem> genericTar;
    for (auto* instance :
         std::initializer_list<CFactory<CArchiveFileSystem>::Instance*>{&activeCircle, &genericTar})
    {
        std::unique_ptr<CArchiveFileSystem> fs(instance->Create(&System));
        std::unique_ptr<CArchiveFileSystemOperation> operation(fs->CreateOperation({}, {}, volume, {}));
        operation->Opcode = 2;
        CStatus status = COperationRunner::Run(*fs, *operation);
        EXPECT_TRUE(status.IsSuccess() || status.IsIgnored())
            << CFileName(fs->GetFileSystemType()).ToUtf8() << ": " << status.ToString();
        EXPECT_FALSE(fs->IsRecognised(0));
        EXPECT_FALSE(volume->IsAlert());
        EXPECT_TRUE(volume->GetReplica(0)->GetAlertStatus().IsSuccess());
    }
}

TEST_F(TedialRecognition, unknown_media_and_missing_ones_fail)
{
    // A medium of the host's own format is not read; an unknown medium type fails.
    for (std::uint32_t type : {3u, 4u})
    {
        CVolumePointer volume = MountTedial({tdtest::MxfFile()});
        volume->GetReplica(0)->Attribute = CMediumAttribute(type);
        CStatus status = RecogniseTedial(volume);
        EXPECT_FALSE(Fs->IsRecognised(0)) << type;
        if (type == 3)
        {
            EXPECT_TRUE(status.IsSuccess()) << status.ToString();
            EXPECT_TRUE(Operation->IsComplete());
        }
        else
        {
            EXPECT_EQ(status.GetInternalErrorCode(), 0xC00007D7u);
            EXPECT_EQ(status.GetParameters(), std::vector<std::string>{"0x4"});
        }
    }

    // No medium in the replica: the volume goes into alert.
    CVolumePointer volume(new CVolume(&System, CVolumeID(), "tape"));
    CStatus status = RecogniseTedial(volume);
    EXPECT_EQ(status.GetInternalErrorCode(), 0xC0000FA2u);
    EXPECT_EQ(status.GetRecord()->SourceFile, "TedialOps");
    EXPECT_TRUE(volume->IsAlert());
}
} // namespace
