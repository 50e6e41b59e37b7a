#include "FileBytes.h"
#include "FileDictionary.h"
#include "RecordingDiagnostics.h"

#include "mxf/Hex.h"
#include "mxf/MDObject.h"
#include "mxf/MXFFile.h"
#include "mxf/Partition.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace
{

using mxftest::ByteString;
using mxftest::operator+;
using mxftest::Bytes;

const std::string PrimerKey = "060e2b34 02050101 0d010201 01050100";

bool Said(const std::vector<std::string>& messages, const std::string& text)
{
    return std::find(messages.begin(), messages.end(), text) != messages.end();
}

class MXFFileAccess : public testing::Test
{
protected:
    static void SetUpTestSuite() { mxftest::DefineFileClasses(); }
    void SetUp() override { mxftest::ClearDiagnostics(); }
};

TEST_F(MXFFileAccess, open_finds_the_first_partition_key_within_64_KiB_and_hides_the_run_in)
{
    const ByteString pack = mxftest::PartitionPack("0204", 0);
    struct Case
    {
        std::size_t RunIn;
        bool Opens;
    };
    for (const Case c : {Case{0, true}, Case{100, true}, Case{65535, true}, Case{65536, false}})
    {
        ByteString bytes(c.RunIn, 0x55);
        for (std::size_t i = 0; i < c.RunIn; ++i)
            bytes[i] = static_cast<std::uint8_t>(i % 250 + 7);
        const mxftest::TempFile disk(bytes + pack);
        mxftest::ClearDiagnostics();
        mxf::MXFFilePtr file(new mxf::MXFFile);
        ASSERT_EQ(file->Open(disk.Path(), true), c.Opens) << c.RunIn;
        if (!c.Opens)
        {
            EXPECT_EQ(mxftest::Errors(),
                      std::vector<std::string>{"Cannot find valid key in first 65536 bytes of "
                                               "file \"" +
                                               disk.Path() + "\"\n"});
            continue;
        }
        EXPECT_EQ(file->RunInSize, c.RunIn);
        ASSERT_EQ(file->RunIn.Size(), c.RunIn);
        EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), file->RunIn.Data()));
        EXPECT_EQ(file->Tell(), 0u);
        file->Seek(0);
        const mxf::PartitionPtr partition = file->ReadPartition();
        ASSERT_TRUE(partition) << c.RunIn;
        EXPECT_EQ(partition->Object->Location, 0u);
        EXPECT_EQ(file->Tell(), pack.size());
        EXPECT_EQ(partition->Object->SourceName(), "file \"" + disk.Path() + "\"");
    }
    mxftest::ClearDiagnostics();
    const mxftest::TempFile tiny(ByteString(15, 0x06));
    mxf::MXFFilePtr file(new mxf::MXFFile);
    EXPECT_FALSE(file->Open(tiny.Path(), true));
    EXPECT_TRUE(mxftest::Errors().empty());
    EXPECT_FALSE(file->Open(tiny.Path() + ".none", true));
    EXPECT_FALSE(file->IsOpen);
}

TEST_F(MXFFileAccess, ber_lengths_are_read_in_both_forms_and_a_short_one_is_minus_one)
{
    struct Case
    {
        const char* Bytes;
        std::int64_t Length;
    };
    const Case cases[] = {{"7f", 127},   {"83 01 00 00", 65536},
                          {"80", 0},     {"88 00 00 00 01 00 00 00 00", 1LL << 32},
                          {"82 01", -1}, {"", -1}};
    for (const Case& c : cases)
    {
        mxftest::ClearDiagnostics();
        const mxf::MXFFilePtr file = mxftest::MemoryFile(Bytes(c.Bytes));
        EXPECT_EQ(file->ReadBERLength(), c.Length) << c.Bytes;
        if (c.Length < 0)
        {
            EXPECT_TRUE(Said(mxftest::Errors(), "Incomplete BER length in file \"Memory File\" at 0x" +
                                                    std::string(c.Bytes[0] ? "00000002" : "00000000") + "\n"))
                << c.Bytes;
        }
    }
}

TEST_F(MXFFileAccess,
       an_object_longer_than_the_file_is_decoded_from_the_bytes_there_without_allocating_its_length)
{
    // Lengths up to 2^63: a flipped length byte must not make the reader ask for that much memory.
    for (const char* length : {"83 00 01 00", "88 7f ff ff ff ff ff ff ff"})
    {
        const ByteString bytes = Bytes(PrimerKey) + Bytes(length) + ByteString(40, 0x11);
        const mxftest::TempFile disk(mxftest::PartitionPack("0204", 0) + bytes);
        mxf::MXFFilePtr onDisk(new mxf::MXFFile);
        ASSERT_TRUE(onDisk->Open(disk.Path(), true));
        for (const mxf::MXFFilePtr& file : {onDisk, mxftest::MemoryFile(bytes)})
        {
            if (file == onDisk)
                file->Seek(mxftest::PartitionPack("0204", 0).size());
            const std::uint64_t start = file->Tell();
            mxftest::ClearDiagnostics();
            const mxf::MDObjectPtr object = file->ReadObject();
            ASSERT_TRUE(object) << length;
            EXPECT_EQ(object->Name, "Primer");
            EXPECT_EQ(object->Location, start);
            EXPECT_TRUE(Said(mxftest::Errors(), "Not enough data in file for object Primer at 0x" +
                                                    mxf::HexText64(start, 8) + "\n"))
                << length;
            EXPECT_EQ(file->Tell(), start + bytes.size());
        }
    }
}

TEST_F(MXFFileAccess, a_partition_read_where_another_pack_lies_is_refused)
{
    const ByteString primer = mxftest::PrimerPack({});
    const mxf::MXFFilePtr file = mxftest::MemoryFile(mxftest::PartitionPack("0302", 0) + primer);
    const mxf::PartitionPtr body = file->ReadPartition();
    ASSERT_TRUE(body);
    EXPECT_EQ(body->Object->Name, "ClosedBodyPartition");
    EXPECT_EQ(body->Object->FindChildByName("BodySID")->GetString(""), "1");
    const std::uint64_t at = file->Tell();
    EXPECT_FALSE(file->ReadPartition());
    EXPECT_EQ(mxftest::Errors(),
              std::vector<std::string>{"ReadPartition() found Primer at 0x" + mxf::HexText64(at, 8) +
                                       " where a Partition Pack was expected\n"});
    EXPECT_FALSE(file->ReadPartition()); // nothing left: no key, no message
    EXPECT_EQ(mxftest::Errors().size(), 2u);
}

TEST_F(MXFFileAccess, the_footer_search_returns_the_lowest_footer_key_of_the_nearest_chunk_with_one)
{
    const ByteString footer = Bytes("060e2b34 02050101 0d010201 01040200");
    const ByteString complete = Bytes("060e2b34 02050101 0d010201 01040400");
    const ByteString header = Bytes("060e2b34 02050101 0d010201 01020400");
    const auto place = [](ByteString bytes, std::size_t at, const ByteString& key)
    {
        std::copy(key.begin(), key.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
        return bytes;
    };
    struct Case
    {
        const char* What;
        ByteString Bytes;
        std::int64_t Distance;
        std::uint64_t Found;
    };
    ByteString plain(10000, 0x06); // every byte a candidate start, none a key
    const Case cases[] = {
        {"too short a distance", place(plain, 9000, footer), 19, 0},
        {"footer below complete footer", place(place(plain, 9000, complete), 5000, footer), 32768, 5000},
        {"only a header key", place(plain, 9000, header), 32768, 0},
        {"beyond the distance", place(ByteString(40000, 0), 100, complete), 32768, 0},
        {"in an earlier chunk", place(ByteString(40000, 0), 100, complete), 40000, 100},
        // The key starts at the last byte of the second chunk from the end: its 0e is in the last chunk.
        {"across two chunks", place(ByteString(20000, 0), 20000 - 16384 - 1, footer), 40000,
         20000 - 16384 - 1},
    };
    for (const Case& c : cases)
    {
        const mxftest::TempFile disk(mxftest::PartitionPack("0204", 0) + c.Bytes);
        mxf::MXFFilePtr file(new mxf::MXFFile);
        ASSERT_TRUE(file->Open(disk.Path(), true));
        mxftest::ClearDiagnostics();
        const std::uint64_t expected = c.Found ? c.Found + mxftest::PartitionPack("0204", 0).size() : 0;
        EXPECT_EQ(file->ScanBackForFooter(c.Distance), expected) << c.What;
        if (expected)
        {
            EXPECT_TRUE(
                Said(mxftest::Notes(), std::string("Found ") +
                                           (c.Bytes[c.Found + 14] == 0x04 ? "CompleteFooter" : "Footer") +
                                           " at 0x" + mxf::HexText64(expected, 8) + "\n"))
                << c.What;
        }
    }
}

TEST_F(MXFFileAccess, a_memory_file_grows_by_writes_and_refuses_bytes_before_its_buffer)
{
    mxf::MXFFilePtr file(new mxf::MXFFile);
    ASSERT_TRUE(file->OpenMemory(mxf::DataChunkPtr(new mxf::DataChunk), 1000));
    EXPECT_EQ(file->Buffer->GetGranularity(), 0x10000u);
    const std::uint8_t ten[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    EXPECT_EQ(file->Write(ten, 10), 10);
    EXPECT_EQ(file->Buffer->Size(), 10u);
    EXPECT_EQ(file->Tell(), 1010u);
    std::uint8_t back[10];
    file->Seek(990);
    EXPECT_EQ(file->Read(back, 10), 0u);
    file->Seek(1005);
    EXPECT_EQ(file->Read(back, 10), 5u);
    EXPECT_EQ(back[0], 6);
    EXPECT_EQ(file->Read(back, 10), 0u);
    EXPECT_EQ(mxftest::Errors(),
              (std::vector<std::string>{"Cannot currently read from a memory file before the buffer start\n",
                                        "Cannot currently read beyond the end of a memory file buffer\n"}));
    file->Seek(990);
    EXPECT_EQ(file->Write(ten, 10), 0);
    EXPECT_TRUE(file->Close());
    EXPECT_FALSE(file->Buffer);
}

TEST_F(MXFFileAccess, a_disk_file_is_written_truncated_and_read_back)
{
    const mxftest::TempFile disk({});
    mxf::MXFFilePtr file(new mxf::MXFFile);
    ASSERT_TRUE(file->OpenNew(disk.Path()));
    const ByteString pack = mxftest::PartitionPack("0204", 0);
    EXPECT_EQ(file->Write(pack.data(), pack.size()), static_cast<std::int64_t>(pack.size()));
    EXPECT_EQ(file->FileSize(), static_cast<std::int64_t>(pack.size()));
    EXPECT_EQ(file->Flush(), 0);
    EXPECT_TRUE(file->Truncate(40));
    EXPECT_EQ(file->FileSize(), 40);
    file->Seek(0);
    const mxf::DataChunkPtr back = file->Read(100);
    EXPECT_EQ(back->Size(), 40u);
    EXPECT_TRUE(std::equal(back->Data(), back->Data() + 40, pack.begin()));
    EXPECT_TRUE(file->Eof());
    file->Close();
    EXPECT_TRUE(file->Open(disk.Path(), false)); // a pack cut short still starts with its key
    EXPECT_EQ(file->RunInSize, 0u);
}

} // namespace
