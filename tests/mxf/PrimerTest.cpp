#include "RecordingDiagnostics.h"
#include "TestBytes.h"

#include "mxf/Primer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

namespace
{

using mxftest::Bytes;
using mxftest::Bytes16;

// The value of the primer pack of a small file written by ffmpeg (tests/fixtures/ffmpeg/make_primer.sh):
// 100 items of 18 bytes.
std::vector<std::uint8_t> FfmpegPrimerValue()
{
    const char* fixtures = std::getenv("REELFS_FIXTURES");
    EXPECT_NE(fixtures, nullptr) << "REELFS_FIXTURES is not set";
    std::ifstream file(std::string(fixtures ? fixtures : ".") + "/ffmpeg/primer.klv", std::ios::binary);
    const std::vector<std::uint8_t> klv{std::istreambuf_iterator<char>(file),
                                        std::istreambuf_iterator<char>()};
    EXPECT_EQ(klv.size(), 16u + 3u + 1808u);
    if (klv.size() < 19)
        return {};
    EXPECT_EQ(klv[16], 0x82); // a two-byte BER length
    const std::size_t length = std::size_t{klv[17]} << 8 | klv[18];
    EXPECT_EQ(klv.size(), 19 + length);
    return {klv.begin() + 19, klv.end()};
}

std::string TagText(mxf::Tag tag)
{
    char text[16];
    std::snprintf(text, sizeof text, "%02x.%02x", (tag >> 8) & 0xff, tag & 0xff);
    return text;
}

TEST(Primers, reads_the_primer_pack_of_an_ffmpeg_file)
{
    const std::vector<std::uint8_t> value = FfmpegPrimerValue();
    ASSERT_EQ(value.size(), 1808u);
    mxftest::ClearDiagnostics();
    mxf::Primer primer;
    EXPECT_EQ(primer.ReadPack(value.data(), value.size()), 1808u);
    EXPECT_TRUE(mxftest::Errors().empty());
    EXPECT_EQ(primer.Tags().size(), 100u);

    const std::vector<std::string> notes = mxftest::Notes();
    ASSERT_EQ(notes.size(), 100u);
    EXPECT_EQ(notes.front(), "  3c.0a -> [060e2b34.0101.0101.01011502.00000000]\n"); // InstanceUID
    const auto instanceUID = primer.Tags().find(0x3c0a);
    ASSERT_NE(instanceUID, primer.Tags().end());
    EXPECT_EQ(instanceUID->second.GetArray(), Bytes16("06 0e 2b 34 01 01 01 01 01 01 15 02 00 00 00 00"));
    // Each note names its own item, in pack order.
    for (std::size_t i = 0; i < 100; ++i)
    {
        const std::uint8_t* item = value.data() + 8 + 18 * i;
        EXPECT_EQ(notes[i].substr(0, 11), "  " + TagText(mxf::Tag{item[0]} << 8 | item[1]) + " -> ");
    }
}

TEST(Primers, damaged_packs_are_reported_and_read_as_far_as_they_hold)
{
    const std::vector<std::uint8_t> good = FfmpegPrimerValue();
    ASSERT_EQ(good.size(), 1808u);
    auto withHeader = [&](const char* header, std::size_t size)
    {
        std::vector<std::uint8_t> damaged(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(size));
        const std::vector<std::uint8_t> bytes = Bytes(header);
        std::copy(bytes.begin(), bytes.end(), damaged.begin());
        return damaged;
    };
    // Items larger than 18 bytes carry bytes that are stepped over.
    std::vector<std::uint8_t> padded = Bytes("00 00 00 03 00 00 00 18");
    for (int i = 0; i < 3; ++i)
    {
        padded.insert(padded.end(), good.begin() + 8 + 18 * i, good.begin() + 8 + 18 * (i + 1));
        padded.insert(padded.end(), 6, 0xee);
    }
    struct Case
    {
        const char* Name;
        std::vector<std::uint8_t> Value;
        std::uint64_t Used;
        std::size_t Entries;
        std::vector<std::string> Errors;
    };
    const std::string countMismatch = "Malformed vector header in Primer - number of entries is ";
    const Case cases[] = {
        {"empty", {}, 0, 0, {"Primer too small, must be at least 8 bytes!\n"}},
        {"seven bytes",
         withHeader("00 00 00 64 00 00 00", 7),
         0,
         0,
         {"Primer too small, must be at least 8 bytes!\n"}},
        {"item size 17",
         withHeader("00 00 00 64 00 00 00 11", 1808),
         0,
         0,
         {"Malformed vector header in Primer - each entry is 18 bytes, size in vector header is 17\n"}},
        {"header only", withHeader("00 00 00 00 00 00 00 12", 8), 8, 0, {}},
        {"cut inside item 3",
         withHeader("00 00 00 64 00 00 00 12", 8 + 2 * 18 + 5),
         8 + 2 * 18,
         2,
         {"Primer not an integer number of items!\n", countMismatch + "2, vector header claims 100\n"}},
        {"claims fewer",
         withHeader("00 00 00 03 00 00 00 12", 1808),
         8 + 3 * 18,
         3,
         {countMismatch + "100, vector header claims 3\n"}},
        {"claims more",
         withHeader("00 00 01 00 00 00 00 12", 1808),
         1808,
         100,
         {countMismatch + "100, vector header claims 256\n"}},
        {"items padded to 24 bytes", padded, padded.size(), 3, {}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Name);
        mxftest::ClearDiagnostics();
        mxf::Primer primer;
        primer.InsertTag(0x0101, mxf::UL()); // a tag map that is not empty to begin with
        EXPECT_EQ(primer.ReadPack(c.Value.data(), c.Value.size()), c.Used);
        EXPECT_EQ(primer.Tags().size(), c.Entries);
        EXPECT_EQ(mxftest::Errors(), c.Errors);
        EXPECT_EQ(mxftest::Notes().size(), c.Entries);
        for (const auto& [tag, label] : primer.Tags())
            EXPECT_EQ(label.GetValue()[0], 0x06) << "tag " << TagText(tag) << " read from the wrong place";
    }
}

TEST(Primers, pack_from_the_worked_sizes)
{
    // Count 2, item size 18: 44 bytes hold both items, 43 only the first.
    std::vector<std::uint8_t> value = Bytes("00 00 00 02 00 00 00 12"
                                            "3c 0a 06 0e 2b 34 01 01 01 01 01 01 15 02 00 00 00 00"
                                            "3c 0a 06 0e 2b 34 01 01 01 02 05 20 07 01 08 00 00 00");
    ASSERT_EQ(value.size(), 44u);
    mxftest::ClearDiagnostics();
    mxf::Primer primer;
    EXPECT_EQ(primer.ReadPack(value.data(), 44), 44u);
    // The second item names the same tag: the first label stays.
    ASSERT_EQ(primer.Tags().size(), 1u);
    EXPECT_EQ(primer.Tags().at(0x3c0a).GetArray(),
              Bytes16("06 0e 2b 34 01 01 01 01 01 01 15 02 00 00 00 00"));

    mxf::Primer shorter;
    EXPECT_EQ(shorter.ReadPack(value.data(), 43), 26u);
    EXPECT_EQ(shorter.Tags().size(), 1u);
}

TEST(Primers, existing_and_dynamic_tags)
{
    const mxf::UL first(Bytes16("06 0e 2b 34 01 01 01 01 0e 7f 00 00 00 00 00 01").data());
    const mxf::UL second(Bytes16("06 0e 2b 34 01 01 01 01 0e 7f 00 00 00 00 00 02").data());
    const mxf::UL third(Bytes16("06 0e 2b 34 01 01 01 01 0e 7f 00 00 00 00 00 03").data());

    mxf::Primer fresh;
    EXPECT_EQ(fresh.NewDynamicTag(first), 0xffffu);
    EXPECT_EQ(fresh.NewDynamicTag(second), 0xfffeu);
    EXPECT_EQ(fresh.ExistingTagFor(second, 0), 0xfffeu);
    EXPECT_EQ(fresh.ExistingTagFor(second, 0xffff), 0xfffeu); // preferred tag stands for another label
    EXPECT_EQ(fresh.ExistingTagFor(first, 0xffff), 0xffffu);
    EXPECT_EQ(fresh.ExistingTagFor(third, 0), 0u);

    // With 0xFFFF taken by a read pack, the first new label gets 0xFFFE.
    std::vector<std::uint8_t> pack =
        Bytes("00 00 00 01 00 00 00 12 ff ff 06 0e 2b 34 01 01 01 01 0e 7f 00 00 00 00 00 09");
    mxf::Primer read;
    ASSERT_EQ(read.ReadPack(pack.data(), pack.size()), pack.size());
    EXPECT_EQ(read.NewDynamicTag(first), 0xfffeu);

    // The dynamic range ends at 0x8000 and stays ended.
    mxf::Primer full;
    for (mxf::Tag tag = 0x8000; tag <= 0xffff; ++tag)
        full.InsertTag(tag, first);
    mxftest::ClearDiagnostics();
    EXPECT_EQ(full.NewDynamicTag(second), 0u);
    EXPECT_EQ(full.NewDynamicTag(second), 0u);
    const std::vector<std::string> expected(2, "Run out of dynamic tags!\n");
    EXPECT_EQ(mxftest::Errors(), expected);
    EXPECT_EQ(full.ExistingTagFor(second, 0), 0u);
}

TEST(Primers, first_tag_of_a_label_and_first_label_of_a_tag_stay)
{
    const mxf::UL label(Bytes16("06 0e 2b 34 01 01 01 01 0e 7f 00 00 00 00 00 04").data());
    const mxf::UL other(Bytes16("06 0e 2b 34 01 01 01 01 0e 7f 00 00 00 00 00 05").data());
    mxf::Primer primer;
    EXPECT_TRUE(primer.InsertTag(0x1234, label).second);
    const auto again = primer.InsertTag(0x1234, other);
    EXPECT_FALSE(again.second);
    EXPECT_EQ(again.first->second, label);
    EXPECT_TRUE(primer.InsertTag(0x5678, label).second);
    EXPECT_EQ(primer.ExistingTagFor(label, 0), 0x1234u);
    EXPECT_EQ(primer.ExistingTagFor(label, 0x5678), 0x5678u);
}

} // namespace
