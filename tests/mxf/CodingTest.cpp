#include "RecordingDiagnostics.h"
#include "TestBytes.h"

#include "mxf/BER.h"
#include "mxf/Hex.h"
#include "mxf/PartitionKey.h"
#include "mxf/StringArray.h"

#include <gtest/gtest.h>

namespace
{

using mxftest::Bytes;
using mxftest::Bytes16;

TEST(Coding, ber_lengths_of_every_size)
{
    struct Case
    {
        std::uint64_t Length;
        std::uint32_t Size;
        const char* Bytes;
        const char* Error; // empty: none
    };
    const Case cases[] = {
        {0, 0, "83 00 00 00", ""},
        {0x7f, 0, "83 00 00 7f", ""},
        {0xffffff, 0, "83 ff ff ff", ""},
        {0x01000000, 0, "87 00 00 00 01 00 00 00", ""},
        {0xffffffffffffff, 0, "87 ff ff ff ff ff ff ff", ""},
        {0x0100000000000000, 0, "88 01 00 00 00 00 00 00 00", ""},
        {0x7f, 1, "7f", ""},
        {0x80, 1, "83 00 00 80",
         "BER size specified in call to MakeBER() is 1, however length 0x80 will not fit in that size\n"},
        {0xff, 2, "81 ff", ""},
        {0x100, 2, "83 00 01 00",
         "BER size specified in call to MakeBER() is 2, however length 0x100 will not fit in that size\n"},
        {0xffff, 3, "82 ff ff", ""},
        {0x123456, 4, "83 12 34 56", ""},
        {0x12345678, 5, "84 12 34 56 78", ""},
        {0xffffffffff, 6, "85 ff ff ff ff ff", ""},
        {0xffffffffffff, 7, "86 ff ff ff ff ff ff", ""},
        {0x0100000000000000, 8, "88 01 00 00 00 00 00 00 00",
         "BER size specified in call to MakeBER() is 8, however length 0x100000000000000 "
         "will not fit in that size\n"},
        {0xffffffffffffffff, 9, "88 ff ff ff ff ff ff ff ff", ""},
        {5, 12, "88 00 00 00 00 00 00 00 05",
         "Maximum BER size is 9 bytes, however 12 bytes specified in call to MakeBER()\n"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Bytes);
        mxftest::ClearDiagnostics();
        const mxf::DataChunkPtr chunk = mxf::MakeBERChunk(c.Length, c.Size);
        EXPECT_EQ(Bytes(chunk->Data(), chunk->Size()), Bytes(c.Bytes));
        const std::vector<std::string> errors = mxftest::Errors();
        EXPECT_EQ(errors.empty() ? std::string() : errors.front(), c.Error);
        EXPECT_LE(errors.size(), 1u);
    }
}

TEST(Coding, hex_text_of_numbers)
{
    EXPECT_EQ(mxf::HexText64(0x1a2b, 8), "00001a2b");
    EXPECT_EQ(mxf::HexText64(0x1a2b, 0), "1a2b");
    EXPECT_EQ(mxf::HexText64(0, 0), "0");
    EXPECT_EQ(mxf::HexText64(0xfedcba9876543210, 8), "fedcba9876543210");
}

TEST(Coding, chunk_from_hex_text)
{
    struct Case
    {
        const char* Text;
        const char* Bytes;
    };
    const Case cases[] = {
        {"", ""},           {"06.0e.2b.34", "06 0e 2b 34"}, {"0e 2B 3", "0e 2b 03"}, {"12345", "45"},
        {"  ,,ff,,", "ff"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Text);
        const mxf::DataChunkPtr chunk = mxf::DataChunkFromHex(c.Text);
        EXPECT_EQ(Bytes(chunk->Data(), chunk->Size()), Bytes(c.Bytes));
        EXPECT_EQ(chunk->GetGranularity(), 32u);
    }
}

TEST(Coding, hex_bytes_from_text)
{
    struct Case
    {
        const char* Text;
        std::size_t Count;
        const char* Bytes;
    };
    const Case cases[] = {
        {"urn:x-ul:060e2b34.0101", 16, "06 0e 2b 34 01 01"},
        {" \tURN:smpte:ul:060e2b34", 16, "06 0e 2b 34"},
        {"00 01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e 0f 10 11 12 13", 16,
         "00 01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e 0f"},
        {"1 2 abc", 8, "01 02 ab 0c"},
        {"3c 0a", 2, "3c 0a"},
        {"", 4, ""},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Text);
        std::string_view cursor = c.Text;
        std::uint8_t out[20] = {};
        const std::size_t stored = mxf::HexBytesFromText(cursor, c.Count, out);
        EXPECT_EQ(Bytes(out, stored), Bytes(c.Bytes));
        EXPECT_TRUE(cursor.empty());
    }
}

TEST(Coding, partition_pack_keys)
{
    struct Case
    {
        const char* Key;
        bool IsPartition;
    };
    const Case cases[] = {
        {"06 0e 2b 34 02 05 01 01 0d 01 02 01 01 02 04 00", true},  // closed complete header
        {"06 0e 2b 34 02 05 01 7f 0d 01 02 01 01 03 01 ff", true},  // open body, any version and byte 16
        {"06 0e 2b 34 02 05 01 01 0d 01 02 01 01 04 04 00", true},  // complete footer
        {"06 0e 2b 34 02 05 01 01 0d 01 02 01 01 05 01 00", false}, // primer pack
        {"06 0e 2b 34 02 05 01 01 0d 01 02 01 01 11 01 00", false}, // random index pack
        {"06 0e 2b 34 02 53 01 01 0d 01 02 01 01 02 04 00", false},
        {"06 0e 2b 34 02 05 01 01 0d 01 02 01 02 02 04 00", false},
        {"06 0e 2b 35 02 05 01 01 0d 01 02 01 01 02 04 00", false},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Key);
        EXPECT_EQ(mxf::IsPartitionPackKey(Bytes16(c.Key).data()), c.IsPartition);
    }
}

TEST(Coding, utf16_string_array_pieces)
{
    struct Case
    {
        const char* Bytes;
        std::vector<std::pair<std::uint64_t, std::uint64_t>> Pieces;
    };
    const Case cases[] = {
        {"", {}},
        {"00", {}},
        {"00 41 00 00 00 42 00 43 00 00", {{0, 4}, {4, 6}}},
        {"00 41 00 00 00 42 00", {{0, 4}, {4, 2}}}, // the odd last byte belongs to no piece
        {"00 00 00 00", {{0, 2}, {2, 2}}},
        {"41 00 00 41", {{0, 4}}}, // units are aligned: 00 00 across two units is no terminator
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Bytes);
        const std::vector<std::uint8_t> bytes = Bytes(c.Bytes);
        EXPECT_EQ(mxf::UTF16StringPieces(bytes.data(), bytes.size()), c.Pieces);
    }
}

} // namespace
