#include "HeaderEdits.h"
#include "TedialTape.h"

#include "FileSystems/MxfReelFS/CTedialGetOperationContext.h"
#include "FileSystems/MxfReelFS/TedialNaming.h"
#include "FileSystems/TapeFS/FileSystemErrors.h"
#include "FileSystems/TapeFS/TimeHelpers.h"
#include "frame/CCatArchive.h"
#include "frame/CCatalogueHeader.h"
#include "mxf/MDOType.h"
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

    // The file records of a scan of a tape of the files, which must succeed.
    std::vector<FileRecord> ScannedFiles(const std::vector<Bytes>& files, std::uint32_t block)
    {
        CStatus status;
        CVolumePointer volume = ScanTedial(files, block, status);
        EXPECT_TRUE(status.IsSuccess()) << status.ToString();
        return Files(volume);
    }

    // A stylesheet of the test's own, named by the configuration: Head, what the result's Attributes
    // hold, then Tail.
    inline static const std::string Head =
        R"(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:template match="/"><Attributes>)";
    inline static const std::string Tail = "</Attributes></xsl:template></xsl:stylesheet>";
    // The texts of the events of that severity that the scans posted since the last call.
    std::vector<std::string> Posted(std::uint32_t severity)
    {
        std::vector<std::string> texts;
        for (const CEvent& event : System.EventSink.Take())
            if (const auto* text = std::get_if<WString>(&event.Value); text && event.Severity() == severity)
                texts.push_back(WideParameter(*text));
        return texts;
    }

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
    // A file that is not MXF gives the stylesheet no Preface, nor does one whose only set is not one.
    const Bytes tedial = tdtest::MxfFile();
    const Bytes text(5000, 'x');
    const Bytes prefaceless = tdtest::WithSets(tedial, {}, tdtest::PrefaceKey);
    CStatus status;
    const std::uint64_t textStart = 2 + WholeBlocks(tedial, 4096) / 4096 + 1;
    const std::uint64_t prefacelessStart = textStart + 2 + 1;
    System.EventSink.Take();
    CVolumePointer volume = ScanTedial({tedial, text, prefaceless}, 4096, status);
    ASSERT_TRUE(status.IsSuccess()) << status.ToString();
    // Why the files keep their default names is told, as information.
    EXPECT_EQ(Posted(CEvent::Information),
              (std::vector<std::string>{"MXF file at block " + std::to_string(textStart) +
                                            ": it begins with no partition pack",
                                        "MXF file at block " + std::to_string(prefacelessStart) +
                                            ": the stylesheet made no name of its header metadata"}));
    const auto files = Files(volume);
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(files[0].Path, "0/0000000" + std::to_string(textStart) + ".dat");
    EXPECT_EQ(files[0].Position, textStart);
    EXPECT_EQ(files[0].FileTime, 0u);
    EXPECT_EQ(files[0].Size, 2 * 4096u);
    EXPECT_EQ(files[1].Path, "0/0000000" + std::to_string(prefacelessStart) + ".dat");
    EXPECT_EQ(files[2].Path, TedialName);
}

TEST_F(TedialScan, damaged_header_metadata_fail_the_file_with_the_reason_and_the_scan_goes_on)
{
    const Bytes sound = tdtest::MxfFile();
    const auto cut = [&](std::size_t size) { return Bytes(sound.begin(), sound.begin() + size); };
    // The leading fill after the partition pack (at 124, with a 4-byte BER length) claims 16 MiB.
    Bytes overfilled = sound;
    ASSERT_EQ(overfilled.at(124 + 16), 0x83);
    std::fill_n(overfilled.begin() + 124 + 17, 3, 0xff);
    struct Case
    {
        const char* Name;
        Bytes File;
        std::uint32_t Block;
        std::string Reason;
    } cases[] = {
        // Cut short in its last block: a tape block of 64 KiB pads it with zeros.
        {"cut in the partition pack", cut(40), 65536, "its header partition holds no header metadata"},
        {"cut in the primer", cut(1000), 65536, "has no SMPTE key"},
        {"cut after the primer", cut(2339), 65536, "has no SMPTE key"},
        {"cut in the primer, 512-byte blocks", cut(1000), 512, "but only 0x"},
        {"cut inside the sets", Fixture("cut_header.mxf"), 4096, "but only 0x"},
        {"a fill past the end", overfilled, 65536, "but only 0x00000000 could be read"},
        {"two Prefaces", tdtest::WithSets(sound, {tdtest::OtherPreface(sound)}), 65536,
         "what the stylesheet made of its header metadata is no XML document"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Name);
        System.EventSink.Take();
        const auto files = ScannedFiles({c.File, sound}, c.Block);
        ASSERT_EQ(files.size(), 2u);
        EXPECT_EQ(files[0].Path, "0/00000002.dat");
        EXPECT_EQ(files[0].FileTime, 0u);
        EXPECT_EQ(files[0].Size, WholeBlocks(c.File, c.Block));
        EXPECT_EQ(files[1].Path, TedialName);
        const std::vector<std::string> reported = Posted(CEvent::Error);
        ASSERT_EQ(reported.size(), 1u);
        EXPECT_EQ(reported[0].find("0xC0003732: MXF file at block 2: "), 0u) << reported[0];
        EXPECT_NE(reported[0].find(c.Reason), std::string::npos) << reported[0];
    }
}

TEST_F(TedialScan, header_metadata_that_would_take_more_memory_than_real_ones_are_refused_as_damaged)
{
    // Shapes whose every item or unit becomes an object and an element. Held to a budget that a sound
    // file keeps well within, each of some hundreds of kilobytes passes it.
    const Bytes sound = tdtest::MxfFile();
    struct Case
    {
        const char* Name;
        tdtest::Shape Shape;
    } cases[] = {
        {"batches of one-byte items", tdtest::Shape::Batches},
        {"UTF-16 strings", tdtest::Shape::Strings},
        {"sets with instance UIDs", tdtest::Shape::InstanceUIDs},
        {"empty sets", tdtest::Shape::Empty},
    };
    const std::uint64_t limit = mxf::Partition::MaxHeaderMetadataMemory;
    mxf::Partition::MaxHeaderMetadataMemory = 16 << 20;
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Name);
        System.EventSink.Take();
        const auto files = ScannedFiles(
            {sound, tdtest::WithSets(sound, tdtest::HostileSets(c.Shape, 800 << 10)), sound}, 65536);
        ASSERT_EQ(files.size(), 3u);
        EXPECT_EQ(files[0].Path, "0/00000004.dat");
        EXPECT_EQ(files[1].Path, TedialName);
        EXPECT_EQ(files[2].Path, TedialName);
        const std::vector<std::string> reported = Posted(CEvent::Error);
        ASSERT_EQ(reported.size(), 1u);
        EXPECT_EQ(reported[0].find("0xC0003732: MXF file at block 4: 0xC0003734: the header metadata need "
                                   "more than 16777216 bytes of memory to hold"),
                  0u)
            << reported[0];
    }
    mxf::Partition::MaxHeaderMetadataMemory = limit;
}

TEST_F(TedialScan, a_file_the_stylesheet_cannot_name_keeps_its_default_name_and_the_scan_goes_on)
{
    struct Case
    {
        std::string Body;
        std::string Text;
    } cases[] = {
        {"<FileName>a</FileName><FileName>b</FileName><LastModifiedDate/>",
         "MXF file at block %: the transform gave no single Attributes/FileName"},
        {"<FileName>a</FileName>",
         "MXF file at block %: the transform gave no single Attributes/LastModifiedDate"},
        {"<FileName>a</FileName><LastModifiedDate>15/04/2021</LastModifiedDate>",
         "MXF file at block %: unreadable date \"15/04/2021\""},
    };
    const Bytes file = tdtest::MxfFile();
    const std::uint64_t second = 2 + WholeBlocks(file, 65536) / 65536 + 1;
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Body);
        UseStylesheet(Head + c.Body + Tail);
        System.EventSink.Take();
        const auto files = ScannedFiles({file, file}, 65536);
        ASSERT_EQ(files.size(), 2u);
        const std::vector<std::string> reported = Posted(CEvent::Error);
        ASSERT_EQ(reported.size(), 2u);
        for (std::size_t i = 0; i < 2; ++i)
        {
            const std::string block = std::to_string(i == 0 ? 2 : second);
            EXPECT_EQ(files[i].Path, "0/0000000" + block + ".dat");
            EXPECT_EQ(files[i].FileTime, 0u);
            EXPECT_EQ(files[i].Size, 65536u);
            std::string text = c.Text;
            text.replace(text.find('%'), 1, block);
            EXPECT_NE(reported[i].find(text), std::string::npos) << reported[i];
            EXPECT_NE(reported[i].find("it is catalogued as " + files[i].Path), std::string::npos)
                << reported[i];
        }
    }
    // An empty date is no date; the name is what the stylesheet gives.
    UseStylesheet(Head + "<FileName>clip.mxf</FileName><LastModifiedDate/>" + Tail);
    const auto files = ScannedFiles({tdtest::MxfFile()}, 65536);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].Path, "0/clip.mxf");
    EXPECT_EQ(files[0].FileTime, 0u);
}

TEST_F(TedialScan, header_metadata_that_cannot_be_read_is_reported_with_the_reason_the_library_gives)
{
    // The file ends with its header partition pack, at the end of a block: the metadata it announces are
    // not there. The next file is sound.
    const Bytes sound = tdtest::MxfFile();
    const Bytes pack(sound.begin(), sound.begin() + 124);
    System.EventSink.Take();
    const auto files = ScannedFiles({pack, sound}, 124);
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0].Path, "0/00000002.dat");
    EXPECT_EQ(files[1].Path, TedialName);
    const std::vector<std::string> reported = Posted(CEvent::Error);
    ASSERT_EQ(reported.size(), 1u);
    // What is read past the file meets its closing mark.
    EXPECT_EQ(reported[0].find("0xC0003732: MXF file at block 2: Error reading file \"\" at 0x0000007c - "),
              0u)
        << reported[0];
}

TEST_F(TedialScan, a_name_that_is_no_clean_path_gives_the_file_its_default_name_with_a_warning)
{
    const char* refused[] = {"../../x",        "/etc/x",     ".",           "", "a//b", "a/./b", "a/",
                             "line&#10;break", "tab&#9;bed", "del&#127;ete"};
    for (const std::string name : refused)
    {
        SCOPED_TRACE(name);
        UseStylesheet(Head + "<FileName>" + name + "</FileName><LastModifiedDate/>" + Tail);
        System.EventSink.Take();
        const auto files = ScannedFiles({tdtest::MxfFile()}, 65536);
        ASSERT_EQ(files.size(), 1u);
        EXPECT_EQ(files[0].Path, "0/00000002.dat");
        const std::vector<std::string> warnings = Posted(CEvent::Warning);
        ASSERT_EQ(warnings.size(), 1u);
        EXPECT_EQ(warnings[0].find("MXF file at block 2: the stylesheet named it \""), 0u) << warnings[0];
        EXPECT_NE(warnings[0].find("; it keeps the name 0/00000002.dat"), std::string::npos) << warnings[0];
    }
    // The longest name a catalogue record of a dated file holds passes; one unit more does not.
    for (const std::size_t units : {std::size_t{32742}, std::size_t{32743}})
    {
        UseStylesheet(Head + "<FileName>" + std::string(units, 'n') + "</FileName><LastModifiedDate/>" +
                      Tail);
        const auto files = ScannedFiles({tdtest::MxfFile()}, 65536);
        ASSERT_EQ(files.size(), 1u);
        EXPECT_EQ(files[0].Path, units == 32742 ? "0/" + std::string(units, 'n') : "0/00000002.dat");
    }
    UseStylesheet(Head + "<FileName>clips/a b/c.mxf</FileName><LastModifiedDate/>" + Tail);
    System.EventSink.Take();
    CStatus status;
    CVolumePointer volume = ScanTedial({tdtest::MxfFile()}, 65536, status);
    ASSERT_TRUE(status.IsSuccess()) << status.ToString();
    EXPECT_EQ(Files(volume).at(0).Path, "0/clips/a b/c.mxf");
    EXPECT_EQ(Posted(CEvent::Warning), std::vector<std::string>{});
}

TEST_F(TedialScan, metadata_strings_name_the_file_with_a_replacement_for_what_is_no_character_of_a_name)
{
    // The Identification's ProductName, of 11 units, is made to hold the case's units and a closing 0;
    // the stylesheet names the file by it.
    const std::string R = "\xef\xbf\xbd"; // U+FFFD
    const std::string smile = "\xf0\x9f\x98\x80";
    const struct
    {
        std::vector<std::uint16_t> Units;
        std::string Name;
    } cases[] = {
        {{0x0001, 0x001b}, R + R}, // characters XML cannot carry
        {{0xd800, 'A', 'B'}, R + "AB"}, {{'A', 0xdc00, 'B'}, "A" + R + "B"},
        {{'A', 0xd800}, "A" + R},       {{0xd800, 0xd83d, 0xde00, 'A'}, R + smile + "A"},
        {{0xde00, 0xd83d}, R + R},      {{0xd83d, 0xde00}, smile},
    };
    UseStylesheet(Head +
                  R"(<FileName><xsl:value-of select="//Identification/ProductName/@value"/>.mxf</FileName>)" +
                  "<LastModifiedDate/>" + Tail);
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.Name);
        Bytes file = tdtest::MxfFile();
        std::size_t at = ItemValue(file, tdtest::IdentificationKey, 0x3c02);
        for (const std::uint16_t unit : c.Units)
        {
            file.at(at++) = static_cast<std::uint8_t>(unit >> 8);
            file.at(at++) = static_cast<std::uint8_t>(unit);
        }
        file.at(at++) = 0;
        file.at(at) = 0;
        System.EventSink.Take();
        const auto files = ScannedFiles({file}, 65536);
        ASSERT_EQ(files.size(), 1u);
        EXPECT_EQ(files[0].Path, "0/" + c.Name + ".mxf");
        EXPECT_EQ(Posted(CEvent::Warning), std::vector<std::string>{});
    }
}

TEST_F(TedialScan, a_measurement_that_would_reach_past_the_file_keeps_its_whole_blocks)
{
    // Two files of three blocks each, the second after the first's mark: its footer is at byte 26112 as
    // the first file's view counts (six blocks on, the mark's among them) and at 9728 as its own does.
    System.Configuration.LoadText("[MXFREELFS]\nScan File Sizes=1\n");
    const Bytes sound = tdtest::MxfFile();
    ASSERT_EQ(sound.size(), 10809u);
    Bytes footerBeyond = sound;
    const std::uint8_t beyond[8] = {0, 0, 0, 0, 0, 0, 0x66, 0x00};
    std::copy(std::begin(beyond), std::end(beyond), footerBeyond.begin() + 44);
    // The random index pack's length, 40 in one byte, made all ones in four.
    Bytes endlessIndex(sound.begin(), sound.begin() + 10768);
    for (const std::uint8_t byte : {0x83, 0xff, 0xff, 0xff})
        endlessIndex.push_back(byte);
    endlessIndex.insert(endlessIndex.end(), sound.begin() + 10769, sound.end());
    for (const Bytes* crafted : {&footerBeyond, &endlessIndex})
    {
        const auto files = ScannedFiles({*crafted, sound}, 4096);
        ASSERT_EQ(files.size(), 2u);
        const auto first = files[0].Position == 2 ? files[0] : files[1];
        const auto second = files[0].Position == 2 ? files[1] : files[0];
        EXPECT_EQ(first.Size, 3 * 4096u);
        EXPECT_EQ(second.Size, sound.size());
    }
}

TEST_F(TedialScan, a_last_modified_date_of_all_zeros_is_no_date)
{
    Bytes file = tdtest::MxfFile();
    const std::size_t date = ItemValue(file, tdtest::PrefaceKey, 0x3b02);
    std::fill_n(file.begin() + static_cast<std::ptrdiff_t>(date), 8, 0);
    const auto files = ScannedFiles({file}, 65536);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].Path, TedialName);
    EXPECT_EQ(files[0].FileTime, 0u);
}

TEST_F(TedialScan, strong_references_that_lead_back_or_nest_too_deep_fail_the_naming)
{
    // The scan loads the dictionary.
    CStatus status;
    ScanTedial({tdtest::MxfFile()}, 65536, status);
    ASSERT_TRUE(status.IsSuccess()) << status.ToString();
    const auto append = [](const mxf::MDObjectPtr& object)
    {
        CComPtr<IXMLDOMDocument> document;
        CComPtr<IXMLDOMElement> root;
        EXPECT_TRUE(SUCCEEDED(CreateDOMDocument(&document)) &&
                    SUCCEEDED(document->createElement(u"Partition", &root)));
        return AppendMetadataXml(object, *document, *root);
    };

    // The file's Content Storage is made to own its Preface again.
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
    status = append(preface);
    package->SetReferencedObject(mxf::MDObjectPtr());
    ASSERT_TRUE(status.Failed());
    EXPECT_EQ(status.GetInternalErrorCode(), 0xC0003731u) << status.ToString();

    // Prefaces, each owning the next through its Content Storage reference: a chain without a loop, two
    // levels to a Preface, as deep as a file may nest (255 levels) and one Preface deeper.
    static constexpr std::uint8_t ContentStorageKey[16] = {0x06, 0x0e, 0x2b, 0x34, 0x01, 0x01, 0x01, 0x02,
                                                           0x06, 0x01, 0x01, 0x04, 0x02, 0x01, 0x00, 0x00};
    for (const std::size_t depth : {128u, 129u})
    {
        SCOPED_TRACE(depth);
        std::vector<mxf::MDObjectPtr> chain;
        for (std::size_t i = 0; i < depth; ++i)
            chain.emplace_back(new mxf::MDObject(mxf::MDOType::FindByName("Preface")));
        for (std::size_t i = 0; i + 1 < depth; ++i)
            ASSERT_TRUE(chain[i]->AddChild(mxf::UL(ContentStorageKey))->MakeReference(chain[i + 1]));
        status = append(chain.front());
        if (depth == 128)
            EXPECT_TRUE(status.IsSuccess()) << status.ToString();
        else
            EXPECT_EQ(status.ToString(), "0xC0003730: the header metadata nests deeper than 256 levels");
    }
}

TEST_F(TedialScan, a_scan_that_starts_at_a_file_loads_its_stylesheet_and_records_the_date_at_offset_36)
{
    Bytes undated = tdtest::MxfFile();
    std::fill_n(undated.begin() + static_cast<std::ptrdiff_t>(ItemValue(undated, tdtest::PrefaceKey, 0x3b02)),
                8, 0);
    CStatus status;
    CVolumePointer volume = ScanTedial({tdtest::MxfFile(), undated}, 65536, status);
    ASSERT_TRUE(status.IsSuccess()) << status.ToString();
    // A context of its own that starts at each file, past the label that a scan's first operation reads.
    for (const std::uint64_t block : {2u, 4u})
    {
        SCOPED_TRACE(block);
        std::unique_ptr<CGetOperationContext> context(
            TapeFileSystemOf(volume).CreateGetOperationContext(volume, volume->GetReplica(0)));
        auto& tedial = static_cast<CTedialGetOperationContext&>(*context);
        tedial.ScanPosition = block;
        status = RunOperation(volume, 11,
                              [&](CArchiveFileSystemOperation& operation)
                              { operation.SetScanContext(context.get()); });
        ASSERT_TRUE(status.IsSuccess()) << status.ToString();
        EXPECT_TRUE(tedial.Stylesheet);
        CArchiveFileSystemOperation& item = context->ItemOperation;
        const std::unique_ptr<CUserFragment> fragment(item.ItemFragment());
        item.SetItemFragment(nullptr);
        ASSERT_TRUE(fragment);
        EXPECT_EQ(fragment->GetCatalogueFileName().ToUtf8(), TedialName);
        // The record as the scan builds it: a date is flagged 0x40 and stored in the place of the
        // modification time, 44 bytes in all; no date, no flag and 36 bytes.
        const std::uint64_t time = block == 2 ? TedialTime : 0;
        CCatArchive record(block, fragment->GetCatalogueFileName().GetText(), fragment->Size, fragment->Size,
                           fragment->Time);
        EXPECT_EQ(fragment->Flags, block == 2 ? 0x40 : 0);
        EXPECT_EQ(fragment->Time, time);
        EXPECT_EQ(record.GetObjectType(true), fragment->Flags);
        EXPECT_EQ(record.GetDataSize(), block == 2 ? 44u : 36u);
        std::uint64_t stored = 0;
        std::memcpy(&stored, static_cast<const std::uint8_t*>(record.GetData()) + 36, sizeof stored);
        EXPECT_EQ(block == 2 ? stored : 0, time);
        EXPECT_EQ(record.GetFileTime(), time);
    }
}

TEST_F(TedialScan, a_scan_before_the_block_size_is_known_fails)
{
    CVolumePointer volume = MountTedial({tdtest::MxfFile()}, 65536, tdtest::ValidLabel("unrecognised"));
    std::unique_ptr<CGetOperationContext> context(
        TapeFileSystemOf(volume).CreateGetOperationContext(volume, volume->GetReplica(0)));
    const CStatus status = RunOperation(
        volume, 11, [&](CArchiveFileSystemOperation& operation) { operation.SetScanContext(context.get()); });
    EXPECT_EQ(status.GetInternalErrorCode(), ErrorBlockSizeUnknown) << status.ToString();
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
