// MXF files written by ffmpeg (tests/fixtures/ffmpeg/make_mxf_files.sh), checked against what mediainfo
// shows of each: their partitions, random index pack, footer, and header metadata.
#include "FileBytes.h"
#include "FileDictionary.h"
#include "RecordingDiagnostics.h"

#include "mxf/Hex.h"
#include "mxf/MDObject.h"
#include "mxf/MXFFile.h"
#include "mxf/Partition.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>

namespace
{

using mxftest::operator+;

std::string Fixture(const std::string& name)
{
    const char* root = std::getenv("REELFS_FIXTURES");
    return std::string(root ? root : "tests/fixtures") + "/ffmpeg/" + name;
}

// What mediainfo shows of a file: partition packs and the random index pack by offset, the Preface's date
// and the Content Storage's instance UID.
struct Oracle
{
    std::set<std::uint64_t> Partitions;
    std::uint64_t Footer = 0;
    std::uint64_t RandomIndex = 0;
    std::string LastModified;
    std::string StorageUID;
};

Oracle Shown(const std::string& name)
{
    Oracle oracle;
    std::ifstream in(Fixture(name + ".mediainfo"));
    const std::regex item(R"(^([0-9A-F]+) (.*) \(\d+ bytes\)$)");
    const std::regex field(R"(^[0-9A-F]+  (LastModifiedDate|InstanceUID) - (.*) \(\d+ bytes\)$)");
    std::smatch match;
    for (std::string line; std::getline(in, line);)
    {
        if (std::regex_match(line, match, field))
            (match[1] == "LastModifiedDate" ? oracle.LastModified : oracle.StorageUID) = match[2];
        else if (std::regex_match(line, match, item))
        {
            const std::uint64_t at = std::stoull(match[1], nullptr, 16);
            const std::string what = match[2];
            if (what.find("Partition Pack") != std::string::npos)
                oracle.Partitions.insert(at);
            if (what.find("Footer Partition Pack") != std::string::npos)
                oracle.Footer = at;
            if (what == "Random Index Pack")
                oracle.RandomIndex = at;
        }
    }
    return oracle;
}

std::string Upper(std::string text)
{
    text.erase(std::remove_if(text.begin(), text.end(), [](char c) { return c == '{' || c == '}'; }),
               text.end());
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
    return text;
}

mxf::MDObjectPtr TopLevel(const mxf::Partition& partition, const std::string& name)
{
    for (const mxf::MDObjectPtr& object : partition.TopLevelObjects)
        if (object->Name == name)
            return object;
    return mxf::MDObjectPtr();
}

std::uint64_t Number(const mxf::MDObjectPtr& object, const char* child)
{
    const mxf::MDObjectPtr value = object->FindChildByName(child);
    return value ? std::stoull(value->GetString("0")) : 0;
}

// The partitions that the random index pack at the end of the file lists, or none.
std::set<std::uint64_t> RandomIndex(mxf::MXFFile& file, std::uint64_t& at)
{
    std::set<std::uint64_t> listed;
    file.SeekEnd();
    const std::uint64_t end = file.Tell();
    file.Seek(end - 4);
    std::uint8_t tail[4];
    if (file.Read(tail, 4) != 4)
        return listed;
    const std::uint64_t length = std::uint64_t{tail[0]} << 24 | tail[1] << 16 | tail[2] << 8 | tail[3];
    if (length > end || length < 20)
        return listed;
    at = end - length;
    file.Seek(at);
    const mxf::ULPtr key = file.ReadULKey();
    if (!key || !key->Matches(mxftest::FileLabel("060e2b34 02050101 0d010201 01110100")))
        return listed;
    const std::int64_t size = file.ReadBERLength();
    const mxf::DataChunkPtr entries = file.Read(static_cast<std::uint64_t>(std::max<std::int64_t>(size, 0)));
    for (std::uint64_t i = 0; i + 12 <= entries->Size() - 4; i += 12)
    {
        std::uint64_t offset = 0;
        for (int b = 4; b < 12; ++b)
            offset = offset << 8 | entries->Data()[i + b];
        listed.insert(offset);
    }
    return listed;
}

struct Case
{
    const char* Name;
    std::uint32_t RunIn;
    bool Complete; // its header metadata is all there
};

class FfmpegFiles : public testing::TestWithParam<Case>
{
protected:
    static void SetUpTestSuite() { mxftest::DefineFileClasses(); }
};

TEST_P(FfmpegFiles, open_with_their_partitions_footer_and_linked_header_metadata_as_mediainfo_shows_them)
{
    const Case c = GetParam();
    const Oracle oracle = Shown(c.Name);
    mxftest::ClearDiagnostics();
    mxf::MXFFilePtr file(new mxf::MXFFile);
    ASSERT_TRUE(file->Open(Fixture(std::string(c.Name) + ".mxf"), true));
    EXPECT_EQ(file->RunInSize, c.RunIn);

    for (const std::uint64_t at : oracle.Partitions)
    {
        file->Seek(at - c.RunIn);
        const mxf::PartitionPtr partition = file->ReadPartition();
        ASSERT_TRUE(partition) << at;
        EXPECT_EQ(Number(partition->Object, "ThisPartition"), at - c.RunIn);
    }
    std::uint64_t indexAt = 0;
    const std::set<std::uint64_t> listed = RandomIndex(*file, indexAt);
    if (oracle.RandomIndex)
    {
        EXPECT_EQ(indexAt, oracle.RandomIndex - c.RunIn);
        std::set<std::uint64_t> expected;
        for (const std::uint64_t at : oracle.Partitions)
            expected.insert(at - c.RunIn);
        EXPECT_EQ(listed, expected);
    }
    else
        EXPECT_TRUE(listed.empty());

    const std::uint64_t footer = oracle.Footer ? oracle.Footer - c.RunIn : 0;
    EXPECT_EQ(file->ScanBackForFooter(1 << 20), footer);
    file->Seek(0);
    const mxf::PartitionPtr header = file->ReadPartition();
    ASSERT_TRUE(header);
    const std::uint64_t named = Number(header->Object, "FooterPartition");
    if (named && footer)
    {
        EXPECT_EQ(named, footer);
    }
    if (named)
    {
        file->Seek(named);
        const mxf::PartitionPtr read = file->ReadPartition();
        EXPECT_EQ(static_cast<bool>(read), footer != 0);
    }

    mxftest::ClearDiagnostics();
    EXPECT_GT(header->ReadMetadata(), 0u);
    EXPECT_EQ(mxftest::Errors().empty(), c.Complete)
        << (mxftest::Errors().empty() ? "" : mxftest::Errors()[0]);
    ASSERT_TRUE(header->HeaderPrimer);
    const mxf::MDObjectPtr preface = TopLevel(*header, "Preface");
    ASSERT_TRUE(preface);
    EXPECT_EQ(preface->FindChildByName("LastModifiedDate")->GetString(""), oracle.LastModified);
    const mxf::MDObjectPtr storage(preface->FindChildByName("ContentStorage")->GetReferencedObject());
    ASSERT_TRUE(storage);
    EXPECT_EQ(Upper(storage->FindChildByName("InstanceUID")->GetString("")), oracle.StorageUID);
    const mxf::MDObjectPtr packages = storage->FindChildByName("Packages");
    ASSERT_TRUE(packages);
    ASSERT_FALSE(packages->empty());
    // A file cut inside its header metadata has its first package, but not those after the cut.
    EXPECT_TRUE(packages->begin()->second->GetReferencedObject());
    for (const mxf::MDObject::Child& package : *packages)
        EXPECT_TRUE(package.second->GetReferencedObject() || !c.Complete);
    EXPECT_EQ(std::count(header->TopLevelObjects.begin(), header->TopLevelObjects.end(), storage), 0);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, FfmpegFiles,
                         testing::Values(Case{"op1a", 0, true}, Case{"pipe", 0, true}, Case{"d10", 0, true},
                                         Case{"opatom", 0, true}, Case{"runin", 4096, true},
                                         Case{"cut_body", 0, true}, Case{"cut_header", 0, false}),
                         [](const testing::TestParamInfo<Case>& info)
                         { return std::string(info.param.Name); });

// Damaged copies of the OP1a file, each read in memory: a message, never a crash, a hang or a blow-up.
TEST(FfmpegDamage, damaged_copies_report_and_keep_what_they_can)
{
    mxftest::DefineFileClasses();
    std::ifstream in(Fixture("op1a.mxf"), std::ios::binary);
    const mxftest::ByteString original{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    ASSERT_GT(original.size(), 0x1800u);
    struct Damage
    {
        const char* What;
        std::size_t At;
        mxftest::ByteString Bytes;
        const char* Error;
    };
    const Damage damages[] = {
        // The Content Storage key: the Preface's reference finds no target.
        {"storage key flipped", 0x0b8c + 13, {0x7e}, nullptr},
        {"preface length past the end", 0x0a00 + 16, {0x83, 0xff, 0xff, 0xff}, "KLV length is 16777215"},
        {"header byte count huge", 0x34, {0x7f, 0xff, 0xff, 0xff}, "should contain 0x7fffffff00001600 bytes"},
        {"primer length past the end",
         0x0200 + 16,
         {0x87, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff},
         "KLV size limit of 0xffffffff bytes exceeded"},
        {"primer items too short",
         0x0200 + 24,
         {0x00, 0x00, 0x00, 0x02},
         "Malformed vector header in Primer"},
    };
    for (const Damage& d : damages)
    {
        mxftest::ByteString bytes = original;
        std::copy(d.Bytes.begin(), d.Bytes.end(), bytes.begin() + static_cast<std::ptrdiff_t>(d.At));
        const mxf::MXFFilePtr file = mxftest::MemoryFile(bytes);
        mxftest::ClearDiagnostics();
        const mxf::PartitionPtr header = file->ReadPartition();
        ASSERT_TRUE(header) << d.What;
        header->ReadMetadata();
        if (d.Error)
        {
            const std::vector<std::string> errors = mxftest::Errors();
            EXPECT_TRUE(std::any_of(errors.begin(), errors.end(),
                                    [&](const std::string& text)
                                    { return text.find(d.Error) != std::string::npos; }))
                << d.What << ": " << (errors.empty() ? "no error" : errors[0]);
        }
        const mxf::MDObjectPtr preface = TopLevel(*header, "Preface");
        if (std::string(d.What) == "storage key flipped")
        {
            ASSERT_TRUE(preface);
            EXPECT_FALSE(preface->FindChildByName("ContentStorage")->GetReferencedObject());
            EXPECT_EQ(header->UnmatchedRefs.count(
                          mxf::Identifier<16>(preface->FindChildByName("ContentStorage")->Value.Data())),
                      1u);
        }
    }
}

} // namespace
