#include "TarTapeFixture.h"

#include "FileSystems/TarFile/TarHeaderBlock.h"
#include "FileSystems/TarReelFS/CGenericTarFileSystem.h"
#include "FileSystems/TarReelFS/CGenericTarFileSystemOperation.h"
#include "frame/CCatalogueListStore.h"
#include "frame/CInstance.h"
#include "vnservice/COperationRunner.h"
#include "vnservice/CSystem.h"
#include "vnservice/CTapeImageWriter.h"
#include "vnservice/CTapeMedium.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <unistd.h>

namespace
{
class Recognition : public TarTape
{
protected:
    void TearDown() override
    {
        Volume.release();
        TarTape::TearDown();
    }

    // Cuts `data` into records of `block` bytes (the last one zero-padded), closed by a mark.
    void Mount(const Bytes& data, std::uint32_t block, std::uint32_t attribute = 1)
    {
        Volume = TarTape::Mount({data}, block);
        Volume->GetReplica(0)->Attribute = CMediumAttribute(attribute);
    }

    CStatus Recognise()
    {
        Fs.reset(static_cast<CGenericTarFileSystem*>(Instance.Create(&System)));
        Operation.reset(
            static_cast<CGenericTarFileSystemOperation*>(Fs->CreateOperation({}, {}, Volume, {})));
        Operation->Opcode = 2;
        System.EventSink.Take();
        return COperationRunner::Run(*Fs, *Operation);
    }

    std::string LabelText() const
    {
        return std::string(reinterpret_cast<const char*>(Operation->LabelId),
                           strnlen(reinterpret_cast<const char*>(Operation->LabelId), 48));
    }

    std::unique_ptr<CGenericTarFileSystem> Fs;
    std::unique_ptr<CGenericTarFileSystemOperation> Operation;
    CVolumePointer Volume;
};

TEST_F(Recognition, a_tar_tape_gets_an_identity_from_its_first_header)
{
    Mount(ReadFixture("gnutar/ustar.tar"), 10240);
    CStatus status = Recognise();
    ASSERT_TRUE(status.IsSuccess()) << status.ToString();
    EXPECT_TRUE(Operation->IsComplete());
    EXPECT_TRUE(Fs->IsRecognised(0));
    EXPECT_EQ(Fs->BlockSize, 10240u);
    EXPECT_EQ(Volume->GetID(), CVolumeID(CVolumeSetID(System.GetID(), 9), 1618489800u));
    EXPECT_EQ(LabelText().substr(0, 21), "2021-04-15 12:30:00, ");
    EXPECT_EQ(LabelText().size(), 37u);
    EXPECT_EQ(Volume->GetState(), 6u);
    auto* medium = Volume->GetReplica(0).get();
    EXPECT_TRUE(medium->IsIdentified());
    std::uint64_t records = (ReadFixture("gnutar/ustar.tar").size() + 10239) / 10240;
    EXPECT_EQ(medium->LastWrittenBlock, (records + 1) * 20); // the records and the closing mark
    auto events = System.EventSink.Take();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].Code, 0x8025Cu);
    EXPECT_EQ(std::get<WString>(events[0].Value),
              u"found file system " + WidenAscii(Volume->GetIDAsString()));
}

TEST_F(Recognition, an_empty_time_gives_a_hash_of_the_header_and_stays_the_same_at_every_reading)
{
    Bytes tape = ReadFixture("gnutar/ustar.tar");
    std::memset(tape.data() + 136, 0, 12);
    FixChecksum(tape.data());
    Mount(tape, 10240);
    ASSERT_TRUE(Recognise().IsSuccess());
    EXPECT_EQ(LabelText().substr(0, 21), "1970-01-01 00:00:00, ");
    std::uint64_t hash = Operation->SignatureNumber;
    char digits[17];
    std::snprintf(digits, sizeof digits, "%016llX", static_cast<unsigned long long>(hash));
    EXPECT_EQ(LabelText().substr(21), digits);
    EXPECT_EQ(Volume->GetID().GetNumber(), static_cast<std::uint32_t>(hash));
    std::string first = LabelText();
    ASSERT_TRUE(Recognise().IsSuccess());
    EXPECT_EQ(LabelText(), first);
}

TEST_F(Recognition, a_first_header_dated_in_base_256_is_dated_and_an_octal_sign_keeps_its_old_signature)
{
    // GNU tar dates times before 1970 and after 2242 in base-256.
    Mount(ReadFixture("gnutar/gnu-dates.tar"), 10240);
    ASSERT_TRUE(Recognise().IsSuccess());
    EXPECT_EQ(LabelText().substr(0, 21), "1960-01-01 00:00:00, ");
    EXPECT_EQ(Volume->GetID().GetNumber(), static_cast<std::uint32_t>(-315619200));

    TarHeaderBlock far = tartest::UstarBlock("far.txt");
    std::memcpy(far.Mtime, "\x80\0\0\0\0\0\0\x02\x6D\x8F\xD3\0", 12); // 2300-06-15 08:00:00
    tartest::Seal(far);
    const std::string farTape = tartest::Entry(far, "far\n") + tartest::ArchiveEnd();
    Mount(Bytes(farTape.begin(), farTape.end()), 10240);
    ASSERT_TRUE(Recognise().IsSuccess());
    EXPECT_EQ(LabelText().substr(0, 21), "2300-06-15 08:00:00, ");
    EXPECT_EQ(Volume->GetID().GetNumber(), static_cast<std::uint32_t>(10428076800));

    // An octal time with a minus sign, which tapes read before carried too: no date in the text, as then.
    const std::string signedTape =
        tartest::Entry(tartest::UstarBlock("f", "00000000001", "-1"), "x") + tartest::ArchiveEnd();
    Mount(Bytes(signedTape.begin(), signedTape.end()), 10240);
    ASSERT_TRUE(Recognise().IsSuccess());
    EXPECT_EQ(LabelText().substr(0, 2), ", ");
    EXPECT_EQ(LabelText().size(), 18u);
    EXPECT_EQ(Volume->GetID().GetNumber(), 0xFFFFFFFFu);
}

TEST_F(Recognition, a_pax_tape_whose_extension_header_has_no_time_is_stable)
{
    // Python writes 0 as the time of its pax headers.
    Mount(ReadFixture("python/pax.tar"), 10240);
    ASSERT_TRUE(Recognise().IsSuccess());
    std::string first = LabelText();
    std::uint32_t number = Volume->GetID().GetNumber();
    ASSERT_TRUE(Recognise().IsSuccess());
    EXPECT_EQ(LabelText(), first);
    EXPECT_EQ(Volume->GetID().GetNumber(), number);
}

TEST_F(Recognition, a_catalogue_that_knows_the_tape_keeps_its_number_and_a_full_one_passes_it_over)
{
    Mount(ReadFixture("gnutar/ustar.tar"), 10240);
    ASSERT_TRUE(Recognise().IsSuccess());
    const CVolumeID first = Volume->GetID();
    Bytes label(Operation->LabelId, Operation->LabelId + 48);

    // The catalogue of the first number holds this tape's label in slot 5.
    ASSERT_TRUE(Volume->OpenCatalogue(true, false).IsSuccess());
    CCatalogueHeader header{};
    std::memcpy(header.ReplicaSlot[5].LabelId, label.data(), 48);
    ASSERT_EQ(Volume->Catalogue->SetUserHeader(&header, sizeof header), 0u);
    ASSERT_TRUE(Volume->CloseCatalogue().IsSuccess());
    ASSERT_TRUE(Recognise().IsSuccess());
    EXPECT_EQ(Volume->GetID(), first);
    ASSERT_TRUE(Volume->CloseCatalogue().IsSuccess());

    // Now it holds sixteen other labels: the next number is taken and the catalogue closed again.
    ASSERT_TRUE(Volume->OpenCatalogue(true, false).IsSuccess());
    for (auto& slot : header.ReplicaSlot)
        std::memset(slot.LabelId, 'x', 48);
    ASSERT_EQ(Volume->Catalogue->SetUserHeader(&header, sizeof header), 0u);
    ASSERT_TRUE(Volume->CloseCatalogue().IsSuccess());
    ASSERT_TRUE(Recognise().IsSuccess());
    EXPECT_EQ(Volume->GetID().GetNumber(), first.GetNumber() + 1);
}

TEST_F(Recognition, tapes_of_other_layouts_are_left_without_alert)
{
    std::mt19937 random(7);
    Bytes noise(20480);
    for (auto& byte : noise)
        byte = static_cast<std::uint8_t>(random());
    Bytes activeCircle(10240, 0);
    std::string acLabel = "ActiveCircle 1.0\r\n2021-04-15 12:30:00\r\nvolume\r\n";
    std::memcpy(activeCircle.data(), acLabel.data(), acLabel.size());
    Bytes tedial(10240, 0);
    std::string tdLabel = "554362111000\r\na\r\nb\r\nc\r\nd\r\ne\r\n";
    std::memcpy(tedial.data(), tdLabel.data(), tdLabel.size());
    Bytes vantrel = ReadFixture("gnutar/ustar.tar");
    std::memset(vantrel.data(), 0, 100);
    std::memcpy(vantrel.data(), "VantrelFormat.xml", 17);
    FixChecksum(vantrel.data());

    const struct
    {
        const char* Name;
        Bytes Data;
        std::uint32_t Block;
    } cases[] = {{"random", noise, 10240},
                 {"active circle", activeCircle, 10240},
                 {"tedial", tedial, 10240},
                 {"vantrel", vantrel, 10240},
                 {"block of 1000", ReadFixture("gnutar/ustar.tar"), 1000},
                 {"empty", Bytes(), 10240}};
    for (const auto& c : cases)
    {
        Mount(c.Data, c.Block);
        CStatus status = Recognise();
        EXPECT_TRUE(status.IsSuccess() || status.IsIgnored()) << c.Name << ": " << status.ToString();
        EXPECT_FALSE(Fs->IsRecognised(0)) << c.Name;
        EXPECT_FALSE(Volume->IsAlert()) << c.Name;
        EXPECT_TRUE(Volume->GetReplica(0)->GetAlertStatus().IsSuccess()) << c.Name;
        EXPECT_TRUE(System.EventSink.Take().empty()) << c.Name;
    }
}

TEST_F(Recognition, medium_types_outside_the_readable_ones)
{
    Mount(ReadFixture("gnutar/ustar.tar"), 10240, 3);
    EXPECT_TRUE(Recognise().IsSuccess());
    EXPECT_FALSE(Fs->IsRecognised(0));
    Mount(ReadFixture("gnutar/ustar.tar"), 10240, 4);
    CStatus status = Recognise();
    EXPECT_EQ(status.GetInternalErrorCode(), 0xC00007D7u);
    EXPECT_EQ(status.GetParameters().front(), "0x4");
}

TEST_F(Recognition, no_medium_puts_the_volume_in_alert)
{
    Volume = CVolumePointer(new CVolume(&System, CVolumeID(), "tape"));
    CStatus status = Recognise();
    EXPECT_EQ(status.GetInternalErrorCode(), 0xC0000FA2u);
    EXPECT_TRUE(Volume->IsAlert());
}

TEST_F(Recognition, a_medium_gone_while_the_drive_worked_fails_the_next_step)
{
    for (std::uint32_t state : {1u, 2u, 3u})
    {
        Volume = CVolumePointer(new CVolume(&System, CVolumeID(), "tape"));
        Fs.reset(static_cast<CGenericTarFileSystem*>(Instance.Create(&System)));
        Operation.reset(
            static_cast<CGenericTarFileSystemOperation*>(Fs->CreateOperation({}, {}, Volume, {})));
        Operation->Opcode = 2;
        Operation->State = state;
        Operation->AlertFlag = true;
        CStatus status = Fs->RecogniseVolume(Operation.get());
        EXPECT_EQ(status.GetInternalErrorCode(), 0xC0000FA2u) << state;
        EXPECT_TRUE(Volume->IsAlert()) << state;
        EXPECT_FALSE(Fs->IsRecognised(0)) << state;
    }
}
} // namespace
