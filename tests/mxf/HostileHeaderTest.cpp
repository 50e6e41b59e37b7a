// Header metadata as a damaged or hostile file may hold it: long chains of strong references, lengths
// that claim more than is there or more than a length can say, and files used after they were closed.
#include "FileBytes.h"
#include "FileDictionary.h"
#include "RecordingDiagnostics.h"
#include "SetChains.h"

#include "mxf/MDObject.h"
#include "mxf/MXFFile.h"
#include "mxf/Partition.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>

namespace
{

using mxftest::Bytes;
using mxftest::ByteString;
using mxftest::operator+;

const std::string StorageKey = "060e2b34 02530101 0d010101 01011800";

bool Said(const std::string& part)
{
    const std::vector<std::string> errors = mxftest::Errors();
    return std::any_of(errors.begin(), errors.end(),
                       [&](const std::string& text) { return text.find(part) != std::string::npos; });
}

// The set that a storage owns through the first of its packages.
mxf::MDObjectPtr FirstPackage(const mxf::MDObjectPtr& storage)
{
    const mxf::MDObjectPtr packages = storage->FindChildByName("Packages");
    if (!packages || packages->empty())
        return mxf::MDObjectPtr();
    return mxf::MDObjectPtr(packages->begin()->second->GetReferencedObject());
}

// A file of `size` bytes: the given start, then zeros. It counts the reads made of it and the bytes they
// delivered, which is what a reader of it can have stored.
class LongFile : public mxf::MXFFile
{
public:
    LongFile(ByteString start, std::uint64_t size) : Start(std::move(start)), Size(size) {}
    std::uint64_t Tell() override { return Position; }
    int Seek(std::uint64_t position) override
    {
        Position = position;
        return 0;
    }
    std::int64_t FileSize() override { return static_cast<std::int64_t>(Size); }
    std::uint64_t Read(std::uint8_t* buffer, std::uint64_t size) override
    {
        const std::uint64_t count = Position < Size ? std::min(size, Size - Position) : 0;
        for (std::uint64_t i = 0; i < count; ++i)
            buffer[i] = Position + i < Start.size() ? Start[Position + i] : 0;
        Position += count;
        ++Reads;
        Delivered += count;
        return count;
    }
    using MXFFile::Read;

    ByteString Start;
    std::uint64_t Size;
    std::uint64_t Position = 0;
    std::uint64_t Reads = 0;
    std::uint64_t Delivered = 0;
};

class HostileHeader : public testing::Test
{
protected:
    static void SetUpTestSuite() { mxftest::DefineFileClasses(); }
    void SetUp() override { mxftest::ClearDiagnostics(); }
};

TEST_F(HostileHeader, a_long_chain_links_in_either_order_in_linear_time_and_is_freed_without_recursion)
{
    // Long enough that a quadratic check takes minutes and a release one call a level overflows the stack.
    constexpr std::size_t Sets = 20000;
    for (const mxftest::ChainOrder order : {mxftest::ChainOrder::OwnedFirst, mxftest::ChainOrder::OwnerFirst})
    {
        mxf::MXFFilePtr file =
            mxftest::MemoryFile(mxftest::HeaderPartition(mxftest::ChainedSets(Sets, order)));
        mxf::PartitionPtr header = file->ReadPartition();
        ASSERT_TRUE(header);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_GT(header->ReadMetadata(), 0u);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        // Linear reading takes a fraction of a second (seconds in a sanitizer build on a busy machine); a
        // check that walks the chain for every link takes minutes.
        EXPECT_LT(took.count(), 30.0);
        EXPECT_TRUE(mxftest::Errors().empty());
        ASSERT_EQ(header->Objects.size(), Sets);
        ASSERT_EQ(header->TopLevelObjects.size(), 1u);
        EXPECT_TRUE(header->UnmatchedRefs.empty());

        // The root owns every other set, one after the other.
        std::size_t length = 1;
        for (mxf::MDObjectPtr set = header->TopLevelObjects.front(); (set = FirstPackage(set));)
            ++length;
        EXPECT_EQ(length, Sets);

        const mxf::MDObjectParent root(header->TopLevelObjects.front());
        const mxf::MDObjectParent deepest(header->Objects.front());
        header = nullptr;
        file = nullptr;
        EXPECT_FALSE(root || deepest);
    }
}

TEST_F(HostileHeader, a_set_has_one_strong_owner_and_a_second_reference_stays_unlinked)
{
    const ByteString primer = mxftest::PrimerPack(
        {{0x3c0a, "060e2b34 01010101 01011502 00000000"}, {0x1901, "060e2b34 01010102 06010104 05010000"}});
    const auto id = [](std::uint8_t n) { return ByteString(15, 0xa0) + ByteString{n}; };
    const auto storage = [&](std::uint8_t self, std::uint8_t owned)
    {
        return mxftest::LocalSet(
            StorageKey,
            {{0x3c0a, id(self)}, {0x1901, mxftest::BigEndian(1, 4) + mxftest::BigEndian(16, 4) + id(owned)}});
    };
    const ByteString package = mxftest::LocalSet("060e2b34 02530101 0d010101 01013600", {{0x3c0a, id(3)}});
    // Storages 1 and 2 both name package 3, before and after it.
    const mxf::MXFFilePtr file =
        mxftest::MemoryFile(mxftest::HeaderPartition(primer + storage(1, 3) + package + storage(2, 3)));
    const mxf::PartitionPtr header = file->ReadPartition();
    header->ReadMetadata();
    ASSERT_EQ(header->Objects.size(), 3u);
    const mxf::MDObjectPtr first = header->Objects.front();
    const mxf::MDObjectPtr second = header->Objects.back();
    EXPECT_EQ(FirstPackage(first), *std::next(header->Objects.begin()));
    EXPECT_FALSE(FirstPackage(second));
    EXPECT_TRUE(Said("another strong reference already owns it; left unlinked\n"));
    std::vector<mxf::MDObject*> top;
    for (const mxf::MDObjectPtr& object : header->TopLevelObjects)
        top.push_back(object.GetPtr());
    EXPECT_EQ(top, (std::vector<mxf::MDObject*>{first.GetPtr(), second.GetPtr()}));
}

TEST_F(HostileHeader, every_reader_of_a_ber_length_takes_it_by_one_rule)
{
    struct Case
    {
        const char* Coding;
        std::uint32_t ObjectUsed;  // MDObject::ReadLength: bytes used, 0 when refused
        std::int64_t FileLength;   // MXFFile::ReadBERLength
        const char* HeaderMessage; // what reading it as a header metadata item with no value bytes reports
    };
    const Case cases[] = {
        {"05", 1, 5, "KLV length is 5 but available data size is only 0"},
        {"80", 1, 0, nullptr},
        {"81 20", 2, 0x20, "KLV length is 32 but"},
        {"84 00 00 01 00", 5, 256, "KLV length is 256 but"},
        {"88 00 00 00 00 00 00 01 00", 9, 256, "KLV length is 256 but"},
        {"88 00 00 00 00 ff ff ff ff", 9, 0xffffffff, "KLV length is 4294967295 but"},
        {"85 01 00 00 00 00", 0, 0x100000000, "KLV size limit of 0xffffffff bytes exceeded"},
        {"88 7f ff ff ff ff ff ff ff", 0, INT64_MAX, "KLV size limit of 0xffffffff bytes exceeded"},
        {"88 80 00 00 00 00 00 00 00", 0, -1, "KLV size limit of 0xffffffff bytes exceeded"},
        {"88 ff ff ff ff ff ff ff ff", 0, -1, "KLV size limit of 0xffffffff bytes exceeded"},
        // Nine or more length bytes: too long for any length, whatever they hold.
        {"89 00 00 00 00 00 00 00 00 01", 0, -1, "KLV size limit of 0xffffffff bytes exceeded"},
        {"90 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 01", 0, -1,
         "KLV size limit of 0xffffffff bytes exceeded"},
        // Cut short.
        {"83 00 01", 0, -1, "Incomplete BER length at 0x"},
        {"ff 01", 0, -1, "KLV size limit of 0xffffffff bytes exceeded"},
    };
    for (const Case& c : cases)
    {
        const ByteString coding = Bytes(c.Coding);
        std::uint64_t length = 7;
        EXPECT_EQ(mxf::MDObject::ReadLength(3, coding.size(), coding.data(), length), c.ObjectUsed)
            << c.Coding;
        EXPECT_EQ(length, c.ObjectUsed ? static_cast<std::uint64_t>(c.FileLength) : 0) << c.Coding;

        mxftest::ClearDiagnostics();
        EXPECT_EQ(mxftest::MemoryFile(coding)->ReadBERLength(), c.FileLength) << c.Coding;
        EXPECT_EQ(c.FileLength < 0, !mxftest::Errors().empty()) << c.Coding;

        mxftest::ClearDiagnostics();
        const mxf::MXFFilePtr file =
            mxftest::MemoryFile(mxftest::HeaderPartition(Bytes(StorageKey) + coding));
        file->ReadPartition()->ReadMetadata();
        if (c.HeaderMessage)
            EXPECT_TRUE(Said(c.HeaderMessage)) << c.Coding;
        else
            EXPECT_TRUE(mxftest::Errors().empty()) << c.Coding;
    }
}

TEST_F(HostileHeader, lengths_beyond_what_the_file_may_hold_are_refused_before_their_bytes_are_read)
{
    constexpr std::uint64_t Claimed = 200 << 20;
    {
        // A partition pack whose length claims the whole file.
        LongFile* file = new LongFile(
            Bytes("060e2b34 02050101 0d010201 01020400 88") + mxftest::BigEndian(Claimed - 25, 8), Claimed);
        const mxf::MXFFilePtr held(file);
        EXPECT_FALSE(file->ReadPartition());
        EXPECT_TRUE(Said("claims 0x0c7fffe7 bytes, more than the 0x00010000 a Partition Pack may hold\n"));
        EXPECT_LT(file->Delivered, 64u);
    }
    {
        // A header byte count that covers the file.
        LongFile* file = new LongFile(mxftest::PartitionPack("0204", Claimed), Claimed);
        const mxf::MXFFilePtr held(file);
        const mxf::PartitionPtr header = file->ReadPartition();
        ASSERT_TRUE(header);
        EXPECT_EQ(header->ReadMetadata(), 0u);
        EXPECT_TRUE(header->MetadataRefused);
        EXPECT_TRUE(Said("refused as damaged"));
        EXPECT_LT(file->Delivered, 1024u);
    }
    {
        // What may be read grows by doubling: a few reads, each of what came so far.
        LongFile* file = new LongFile({}, Claimed);
        const mxf::MXFFilePtr held(file);
        EXPECT_EQ(file->ReadValueBytes(64 << 20)->Size(), std::uint64_t{64} << 20);
        EXPECT_LE(file->Reads, 12u);
    }
}

TEST_F(HostileHeader, a_closed_memory_file_reads_and_writes_nothing)
{
    const mxf::MXFFilePtr file = mxftest::MemoryFile(Bytes("06 0e 2b 34 01 02 03 04"));
    file->Close();
    std::uint8_t bytes[4] = {};
    EXPECT_EQ(file->Read(bytes, 4), 0u);
    EXPECT_EQ(file->Read(4)->Size(), 0u);
    EXPECT_FALSE(file->ReadULKey());
    EXPECT_EQ(file->ReadBERLength(), -1);
    EXPECT_EQ(file->Write(bytes, 4), -1);
    EXPECT_EQ(file->MemoryRead(bytes, 4), 0u);
    EXPECT_EQ(file->MemoryWrite(bytes, 4), 0u);
}

} // namespace
