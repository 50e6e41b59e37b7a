#include "TedialTape.h"

#include "FileSystems/MxfReelFS/TedialNaming.h"
#include "FileSystems/TapeFS/FileSystemErrors.h"
#include "FileSystems/TapeFS/TimeHelpers.h"
#include "frame/CCatalogueHeader.h"
#include "mxf/MXFFile.h"
#include "mxf/Partition.h"
#include "pagelist/CFileListInternal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace
{
// The Content Storage's instance UID of each fixture, which the built-in stylesheet names the file by,
// and the Preface's LastModifiedDate as seconds since 1970, read in the pinned time zone (UTC-5).
const std::string TedialName = "0/{adab4424-2f25-4dc7-92ff-000d00000000}.mxf";
const std::string Op1aName = "0/{adab4424-2f25-4dc7-9201-000d00000000}.mxf";
const std::string OpatomName = "0/{adab4424-2f25-4dc7-9204-000d00000000}.mxf";
const std::string PipeName = "0/{adab4424-2f25-4dc7-9202-000d00000000}.mxf";
const std::uint64_t TedialTime = TimeToFileTime(1618500605); // 2021-04-15 10:30:05
const std::uint64_t Op1aTime = TimeToFileTime(1709652030);   // 2024-03-05 10:20:30

// The whole files that ffmpeg wrote for the file-access tests.
Bytes Fixture(const char* name)
{
    return ReadFixture(std::string("ffmpeg-mxf/") + name);
}

std::uint64_t WholeBlocks(const Bytes& file, std::uint32_t block)
{
    return (file.size() + block - 1) / block * block;
}

// Where the value of a local item starts in the first set with the key, found by walking the set's items.
std::size_t ItemValue(const Bytes& file, const std::vector<std::uint8_t>& key, std::uint16_t tag)
{
    const auto set = std::search(file.begin(), file.end(), key.begin(), key.end());
    std::size_t at = static_cast<std::size_t>(set - file.begin()) + key.size();
    std::size_t length = file.at(at++);
    if (length & 0x80)
    {
        const std::size_t bytes = length & 0x7f;
        length = 0;
        for (std::size_t i = 0; i < bytes; ++i)
            length = length << 8 | file.at(at++);
    }
    for (const std::size_t end = at + length; at + 4 <= end;
         at += 4 + (file.at(at + 2) << 8 | file.at(at + 3)))
        if ((file.at(at) << 8 | file.at(at + 1)) == tag)
            return at + 4;
    ADD_FAILURE() << "no item " << tag;
    return 0;
}

const std::vector<std::uint8_t> PrefaceKey{0x06, 0x0e, 0x2b, 0x34, 0x02, 0x53, 0x01, 0x01,
                                           0x0d, 0x01, 0x01, 0x01, 0x01, 0x01, 0x2f, 0x00};
class TedialScan : public TedialTape
{
protected:
    // Each tape of a test has a label of its own, so that it has a catalogue of its own.
    CVolumePointer ScanTedial(const std::vector<Bytes>& files, std::uint32_t block, CStatus& status)
    {
        CVolumePointer volume =
            MountTedial(files, block, tdtest::ValidLabel("tape " + std::to_string(Tapes)));
        status = Recognise(volume);
        if (status.IsSuccess())
            status = Scan(volume);
        return volume;
    }

    // A stylesheet of the test's own, named by the configuration.
    void UseStylesheet(const std::string& text)
    {
        const std::string path = (Base / "transform.xsl").string();
        std::ofstream(path) << text;
        System.Configuration.LoadText("[MXFREELFS]\nMXF Transform=" + path + "\n");
    }
};

TEST_F(TedialScan, each_file_is_named_and_dated_from_its_header_metadata)
{
    // pipe.mxf's header records no footer: its exact size comes from a search back from its end.
    const Bytes tedial = tdtest::MxfFile(), op1a = Fixture("op1a.mxf"), opatom = Fixture("opatom.mxf"),
                pipe = Fixture("pipe.mxf");
    for (bool exact : {false, true})
    {
        SCOPED_TRACE(exact);
        System.Configuration.LoadText(exact ? "[MXFREELFS]\nScan File Sizes=1\n"
                                            : "[MXFREELFS]\nScan File Sizes=0\n");
        CStatus status;
        // A block smaller than the header partition: the view reads the rest from the drive.
        CVolumePointer volume = ScanTedial({tedial, op1a, opatom, pipe}, 4096, status);
        ASSERT_TRUE(status.IsSuccess()) << status.ToString();
        const auto files = Files(volume);
        ASSERT_EQ(files.size(), 4u);
        struct Expected
        {
            std::string Path;
            const Bytes* Data;
            std::uint64_t Position;
        };
        // Each file starts after the previous one's blocks and mark (index 1 orders by path).
        const std::uint64_t tedialBlocks = WholeBlocks(tedial, 4096) / 4096;
        const std::uint64_t op1aBlocks = WholeBlocks(op1a, 4096) / 4096;
        std::map<std::string, Expected> expected{
            {TedialName, {TedialName, &tedial, 2}},
            {Op1aName, {Op1aName, &op1a, 2 + tedialBlocks + 1}},
            {OpatomName, {OpatomName, &opatom, 2 + tedialBlocks + 1 + op1aBlocks + 1}},
            {PipeName,
             {PipeName, &pipe,
              2 + tedialBlocks + 1 + op1aBlocks + 1 + WholeBlocks(opatom, 4096) / 4096 + 1}}};
        for (const auto& file : files)
        {
            SCOPED_TRACE(file.Path);
            ASSERT_EQ(expected.count(file.Path), 1u);
            const Expected& e = expected.at(file.Path);
            EXPECT_EQ(file.Position, e.Position);
            EXPECT_EQ(file.FileTime, file.Path == TedialName ? TedialTime : Op1aTime);
            EXPECT_EQ(file.Size, exact ? e.Data->size() : WholeBlocks(*e.Data, 4096));
            Bytes restored;
            ASSERT_TRUE(Restore(volume, file.Path, restored).IsSuccess());
            ASSERT_GE(restored.size(), e.Data->size());
            EXPECT_TRUE(std::equal(e.Data->begin(), e.Data->end(), restored.begin()));
            EXPECT_EQ(restored.size(), exact ? e.Data->size() : WholeBlocks(*e.Data, 4096));
        }
    }
}

TEST_F(TedialScan, a_file_without_a_preface_keeps_the_name_of_its_first_block)
{
    // A file that is not MXF gives the stylesheet no Preface; one cut inside its header metadata still
    // names itself from the sets before the cut.
    const Bytes tedial = tdtest::MxfFile();
    const Bytes text(5000, 'x');
    CStatus status;
    CVolumePointer volume = ScanTedial({tedial, text, Fixture("cut_header.mxf")}, 4096, status);
    ASSERT_TRUE(status.IsSuccess()) << status.ToString();
    const auto files = Files(volume);
    ASSERT_EQ(files.size(), 3u);
    const std::uint64_t textStart = 2 + WholeBlocks(tedial, 4096) / 4096 + 1;
    EXPECT_EQ(files[0].Path, "0/0000000" + std::to_string(textStart) + ".dat");
    EXPECT_EQ(files[0].Position, textStart);
    EXPECT_EQ(files[0].FileTime, 0u);
    EXPECT_EQ(files[0].Size, 2 * 4096u);
    EXPECT_EQ(files[1].Path, "0/{adab4424-2f25-4dc7-9206-000d00000000}.mxf");
    EXPECT_EQ(files[1].FileTime, Op1aTime);
    EXPECT_EQ(files[2].Path, TedialName);
}

TEST_F(TedialScan, a_stylesheet_that_gives_no_single_name_or_a_date_that_does_not_read_fails_the_scan)
{
    const std::string head =
        R"(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:template match="/"><Attributes>)";
    const std::string tail = "</Attributes></xsl:template></xsl:stylesheet>";
    struct Case
    {
        std::string Body;
        std::uint32_t Error;
        std::string Text;
    } cases[] = {
        {"<FileName>a</FileName><FileName>b</FileName><LastModifiedDate/>", 0xC0003716,
         "MXF file at 2: the transform gave no single Attributes/FileName"},
        {"<FileName>a</FileName>", 0xC0003716,
         "MXF file at 2: the transform gave no single Attributes/LastModifiedDate"},
        {"<FileName>a</FileName><LastModifiedDate>15/04/2021</LastModifiedDate>", 0xC0003717,
         "MXF file at 2: unreadable date \"15/04/2021\""},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Body);
        UseStylesheet(head + c.Body + tail);
        CStatus status;
        ScanTedial({tdtest::MxfFile()}, 65536, status);
        ASSERT_TRUE(status.Failed());
        EXPECT_EQ(status.GetInternalErrorCode(), c.Error);
        EXPECT_NE(status.ToString().find(c.Text), std::string::npos) << status.ToString();
    }
    // An empty date is no date; the name is what the stylesheet gives.
    UseStylesheet(head + "<FileName>clip.mxf</FileName><LastModifiedDate/>" + tail);
    CStatus status;
    CVolumePointer volume = ScanTedial({tdtest::MxfFile()}, 65536, status);
    ASSERT_TRUE(status.IsSuccess()) << status.ToString();
    const auto files = Files(volume);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].Path, "0/clip.mxf");
    EXPECT_EQ(files[0].FileTime, 0u);
}

TEST_F(TedialScan, a_last_modified_date_of_all_zeros_is_no_date)
{
    Bytes file = tdtest::MxfFile();
    const std::size_t date = ItemValue(file, PrefaceKey, 0x3b02);
    std::fill_n(file.begin() + static_cast<std::ptrdiff_t>(date), 8, 0);
    CStatus status;
    CVolumePointer volume = ScanTedial({file}, 65536, status);
    ASSERT_TRUE(status.IsSuccess()) << status.ToString();
    const auto files = Files(volume);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].Path, TedialName);
    EXPECT_EQ(files[0].FileTime, 0u);
}

TEST_F(TedialScan, strong_references_that_lead_back_to_a_set_that_holds_them_fail_the_naming)
{
    // The scan loads the dictionary; the file's Content Storage is then made to own its Preface again.
    CStatus status;
    ScanTedial({tdtest::MxfFile()}, 65536, status);
    ASSERT_TRUE(status.IsSuccess()) << status.ToString();
    const Bytes bytes = tdtest::MxfFile();
    const mxf::DataChunkPtr chunk(new mxf::DataChunk(bytes.size()));
    std::memcpy(chunk->Data(), bytes.data(), bytes.size());
    const mxf::MXFFilePtr file(new mxf::MXFFile);
    ASSERT_TRUE(file->OpenMemory(chunk, 0));
    const mxf::PartitionPtr partition = file->ReadPartition();
    ASSERT_TRUE(partition.GetPtr() && partition->ReadMetadata() != 0);
    mxf::MDObjectPtr preface;
    for (const mxf::MDObjectPtr& object : partition->TopLevelObjects)
        if (object->Name == "Preface")
            preface = object;
    ASSERT_TRUE(preface.GetPtr());
    const mxf::MDObjectPtr storage(preface->FindChildByName("ContentStorageObject")->GetReferencedObject());
    ASSERT_TRUE(storage.GetPtr());
    const mxf::MDObjectPtr package = storage->FindChildByName("Packages")->begin()->second;
    package->MakeReference(preface);

    CComPtr<IXMLDOMDocument> document;
    CComPtr<IXMLDOMElement> root;
    ASSERT_TRUE(SUCCEEDED(CreateDOMDocument(&document)) &&
                SUCCEEDED(document->createElement(u"Partition", &root)));
    status = AppendMetadataXml(preface, *document, *root);
    package->SetReferencedObject(mxf::MDObjectPtr());
    ASSERT_TRUE(status.Failed());
    EXPECT_NE(status.ToString().find("1392"), std::string::npos) << status.ToString();
}

TEST_F(TedialScan, the_first_operation_keeps_the_label_identifier_in_the_catalogue_header)
{
    CStatus status;
    CVolumePointer volume = ScanTedial({tdtest::MxfFile()}, 65536, status);
    ASSERT_TRUE(status.IsSuccess()) << status.ToString();
    ASSERT_TRUE(volume->OpenCatalogue(false, false).IsSuccess());
    CCatalogueHeader header{};
    ASSERT_EQ(volume->Catalogue->GetUserHeader(&header, sizeof header), 0u);
    EXPECT_STREQ(reinterpret_cast<const char*>(header.ReplicaSlot[0].LabelId), "tape 0;25/12/2020 10:30");
}
} // namespace
