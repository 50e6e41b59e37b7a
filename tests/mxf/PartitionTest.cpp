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

const std::string PrefaceKey = "060e2b34 02530101 0d010101 01012f00";
const std::string StorageKey = "060e2b34 02530101 0d010101 01011800";
const std::string PackageKey = "060e2b34 02530101 0d010101 01013600";
const std::string FillKey = "060e2b34 01010102 03010210 01000000";

const ByteString Primer = mxftest::PrimerPack({{0x3c0a, "060e2b34 01010101 01011502 00000000"},
                                               {0x3b02, "060e2b34 01010102 07020110 02040000"},
                                               {0x3b03, "060e2b34 01010102 06010104 02010000"},
                                               {0x1901, "060e2b34 01010102 06010104 05010000"}});

ByteString Id(std::uint8_t n)
{
    ByteString id(16, 0xa0);
    id[15] = n;
    return id;
}

ByteString Preface(std::uint8_t self, std::uint8_t storage)
{
    return mxftest::LocalSet(
        PrefaceKey, {{0x3c0a, Id(self)}, {0x3b02, Bytes("07e8 03 05 0a 14 1e 00")}, {0x3b03, Id(storage)}});
}

ByteString Storage(std::uint8_t self, std::vector<std::uint8_t> packages)
{
    ByteString batch = mxftest::BigEndian(packages.size(), 4) + mxftest::BigEndian(16, 4);
    for (std::uint8_t package : packages)
        batch = batch + Id(package);
    return mxftest::LocalSet(StorageKey, {{0x3c0a, Id(self)}, {0x1901, batch}});
}

ByteString Package(std::uint8_t self)
{
    return mxftest::LocalSet(PackageKey, {{0x3c0a, Id(self)}});
}

// A header partition pack whose header metadata are the bytes, read from a memory file.
struct Header
{
    explicit Header(const ByteString& metadata, std::uint64_t count = 0)
        : File(mxftest::MemoryFile(mxftest::PartitionPack("0204", count ? count : metadata.size()) +
                                   metadata)),
          Read(File->ReadPartition())
    {
    }
    mxf::MXFFilePtr File;
    mxf::PartitionPtr Read;
};

std::vector<std::string> Names(const mxf::MDObjectList& list)
{
    std::vector<std::string> names;
    for (const mxf::MDObjectPtr& object : list)
        names.push_back(object->Name);
    return names;
}

mxf::MDObjectPtr Linked(const mxf::MDObjectPtr& object, const char* child)
{
    const mxf::MDObjectPtr source = object->FindChildByName(child);
    return source ? mxf::MDObjectPtr(source->GetReferencedObject()) : mxf::MDObjectPtr();
}

bool SaidPart(const std::string& part)
{
    const std::vector<std::string> errors = mxftest::Errors();
    return std::any_of(errors.begin(), errors.end(),
                       [&](const std::string& text) { return text.find(part) != std::string::npos; });
}

class HeaderMetadata : public testing::Test
{
protected:
    static void SetUpTestSuite() { mxftest::DefineFileClasses(); }
    void SetUp() override { mxftest::ClearDiagnostics(); }
};

TEST_F(HeaderMetadata, sets_after_a_fill_and_the_primer_are_kept_in_order_and_their_strong_references_linked)
{
    const ByteString fill = mxftest::Klv(FillKey, ByteString(30, 0));
    const ByteString metadata = Primer + Preface(1, 2) + Storage(2, {3}) + Package(3);
    Header header(fill + metadata, metadata.size());
    ASSERT_TRUE(header.Read);
    EXPECT_EQ(header.Read->ReadMetadata(), fill.size() + metadata.size());
    EXPECT_TRUE(mxftest::Errors().empty()) << mxftest::Errors().front();
    const mxf::Partition& partition = *header.Read;
    ASSERT_TRUE(partition.HeaderPrimer);
    EXPECT_EQ(partition.HeaderPrimer->Tags().size(), 4u);
    EXPECT_EQ(Names(partition.Objects),
              (std::vector<std::string>{"Preface", "ContentStorage", "MaterialPackage"}));
    EXPECT_EQ(Names(partition.TopLevelObjects), std::vector<std::string>{"Preface"});
    const mxf::MDObjectPtr preface = partition.Objects.front();
    EXPECT_EQ(preface->FindChildByName("LastModifiedDate")->GetString(""), "2024-03-05 10:20:30.000");
    const mxf::MDObjectPtr storage = Linked(preface, "ContentStorage");
    ASSERT_TRUE(storage);
    EXPECT_EQ(storage, *std::next(partition.Objects.begin()));
    const mxf::MDObjectPtr packages = storage->FindChildByName("Packages");
    ASSERT_TRUE(packages && packages->size() == 1);
    EXPECT_EQ(mxf::MDObjectPtr(packages->begin()->second->GetReferencedObject()), partition.Objects.back());
    EXPECT_TRUE(partition.UnmatchedRefs.empty());
    EXPECT_EQ(partition.TargetsByUUID.size(), 3u);
    EXPECT_EQ(storage->Location,
              mxftest::PartitionPack("0204", 0).size() + fill.size() + Primer.size() + Preface(1, 2).size());
    EXPECT_EQ(storage->SourceName(), "file \"Memory File\"");

    // Read again: everything is replaced, nothing doubled.
    EXPECT_EQ(header.Read->ReadMetadata(), fill.size() + metadata.size());
    EXPECT_EQ(partition.Objects.size(), 3u);
}

TEST_F(HeaderMetadata, a_reference_to_a_set_never_read_waits_and_one_of_the_wrong_size_is_reported)
{
    Header header(Primer + Preface(1, 9) + Storage(2, {}));
    header.Read->ReadMetadata();
    mxf::Partition& partition = *header.Read;
    ASSERT_EQ(partition.UnmatchedRefs.size(), 1u);
    EXPECT_EQ(partition.UnmatchedRefs.begin()->second->Name, "ContentStorage");
    EXPECT_EQ(partition.UnmatchedRefs.begin()->first, mxf::Identifier<16>(Id(9).data()));
    EXPECT_EQ(Names(partition.TopLevelObjects), (std::vector<std::string>{"Preface", "ContentStorage"}));
    EXPECT_TRUE(mxftest::Errors().empty());

    // A source whose value is not a UUID is reported and neither linked nor queued.
    const mxf::MDObjectPtr preface = partition.Objects.front();
    partition.ClearMetadata();
    preface->FindChildByName("ContentStorage")->Value.Resize(4);
    partition.AddMetadata(preface);
    EXPECT_EQ(mxftest::Errors(),
              std::vector<std::string>{"Metadata Object \"Preface/ContentStorage\" should be a "
                                       "reference source (a UUID), but has size 4\n"});
    EXPECT_TRUE(partition.UnmatchedRefs.empty());
}

TEST_F(HeaderMetadata, damaged_framing_stops_the_walk_and_keeps_what_was_read)
{
    const ByteString good = Primer + Preface(1, 2);
    struct Case
    {
        const char* What;
        ByteString Tail;
        std::uint64_t Count; // HeaderByteCount; 0: the bytes there
        const char* Error;
        std::size_t Objects;
    };
    const Case cases[] = {
        {"a key and no length", Bytes(StorageKey), 0, "Incomplete BER length at 0x", 1},
        {"a long length cut short", Bytes(StorageKey) + Bytes("84 00"), 0, "Incomplete BER length at 0x", 1},
        {"fewer than 16 bytes", Bytes("06 0e 2b 34"), 0, "Less than 16-bytes of header metadata available",
         1},
        {"a length past the end", Bytes(StorageKey) + Bytes("84 00 00 00 20") + ByteString(16, 0), 0,
         "KLV length is 32 but available data size is only 16 after reading", 2},
        {"a length past the limit", Bytes(StorageKey) + Bytes("88 00 00 00 01 00 00 00 00"), 0,
         "Current implementation KLV size limit of 0xffffffff bytes exceeded at 0x", 1},
        {"a byte count of 2^63", {}, 1ULL << 63, "should contain 0x8000000000000000 bytes, but only 0x", 1},
    };
    for (const Case& c : cases)
    {
        mxftest::ClearDiagnostics();
        Header header(good + c.Tail, c.Count);
        const std::uint64_t read = header.Read->ReadMetadata();
        EXPECT_TRUE(SaidPart(c.Error)) << c.What;
        EXPECT_EQ(header.Read->Objects.size(), c.Objects) << c.What;
        EXPECT_LE(read, good.size() + c.Tail.size()) << c.What;
    }
}

TEST_F(HeaderMetadata, a_primer_that_gives_a_tag_twice_keeps_its_first_label)
{
    // 3c0a first stands for the date, so no set carries an InstanceUID and no reference finds a target.
    const ByteString primer = mxftest::PrimerPack({{0x3c0a, "060e2b34 01010102 07020110 02040000"},
                                                   {0x3c0a, "060e2b34 01010101 01011502 00000000"},
                                                   {0x3b03, "060e2b34 01010102 06010104 02010000"}});
    Header header(primer + Preface(1, 2) + Storage(2, {}));
    header.Read->ReadMetadata();
    EXPECT_EQ(header.Read->HeaderPrimer->Tags().size(), 2u);
    EXPECT_TRUE(header.Read->TargetsByUUID.empty());
    EXPECT_EQ(header.Read->UnmatchedRefs.size(), 1u);
    EXPECT_EQ(header.Read->TopLevelObjects.size(), 2u);
}

TEST_F(HeaderMetadata, only_the_first_primer_pack_primes_and_one_of_short_items_primes_nothing)
{
    // A second pack, which would give 3c0a to the date, is an ordinary object and the sets keep the first.
    const ByteString second = mxftest::PrimerPack({{0x3c0a, "060e2b34 01010102 07020110 02040000"}});
    Header twice(Primer + Preface(1, 2) + second + Storage(2, {}));
    twice.Read->ReadMetadata();
    EXPECT_EQ(twice.Read->HeaderPrimer->Tags().size(), 4u);
    EXPECT_EQ(twice.Read->Objects.size(), 3u);
    EXPECT_EQ(Linked(twice.Read->Objects.front(), "ContentStorage"), twice.Read->Objects.back());

    // Items of 16 bytes: nothing of the pack's value is consumed, so its bytes frame the next item (a key
    // and a zero length), and the sets after it meet an empty primer.
    const ByteString shortItems =
        mxftest::Klv("060e2b34 02050101 0d010201 01050100", Bytes("00000001 00000010 a1a2a3a4 a5a6a7a8 00"));
    const ByteString metadata = shortItems + Preface(1, 2) + Storage(2, {});
    Header header(metadata);
    EXPECT_EQ(header.Read->ReadMetadata(), metadata.size());
    ASSERT_TRUE(header.Read->HeaderPrimer);
    EXPECT_TRUE(header.Read->HeaderPrimer->Tags().empty());
    EXPECT_EQ(header.Read->Objects.size(), 3u);
}

TEST_F(HeaderMetadata, strong_references_that_would_close_a_loop_stay_unlinked_and_nothing_leaks)
{
    // Storage 2 owns storage 3, which names 2 among its packages; the Preface names itself.
    Header header(Primer + Storage(2, {3}) + Storage(3, {2}) + Preface(1, 1));
    header.Read->ReadMetadata();
    const mxf::Partition& partition = *header.Read;
    EXPECT_EQ(Names(partition.TopLevelObjects), (std::vector<std::string>{"ContentStorage", "Preface"}));
    mxf::MDObjectPtr first = partition.Objects.front();
    mxf::MDObjectPtr second = *std::next(partition.Objects.begin());
    EXPECT_EQ(mxf::MDObjectPtr(first->FindChildByName("Packages")->begin()->second->GetReferencedObject()),
              second);
    EXPECT_FALSE(second->FindChildByName("Packages")->begin()->second->GetReferencedObject());
    EXPECT_FALSE(Linked(partition.Objects.back(), "ContentStorage"));
    const std::vector<std::string> errors = mxftest::Errors();
    EXPECT_EQ(std::count_if(errors.begin(), errors.end(),
                            [](const std::string& text) {
                                return text.find("would make a reference loop; left unlinked\n") !=
                                       std::string::npos;
                            }),
              2);
    EXPECT_TRUE(partition.UnmatchedRefs.empty());

    // Adding the objects again walks no loop either.
    mxf::PartitionPtr copy(new mxf::Partition(header.Read->Object->ObjectUL));
    copy->AddMetadata(first);
    EXPECT_EQ(copy->Objects.size(), 2u);

    const mxf::MDObjectParent watchFirst(first);
    const mxf::MDObjectParent watchSecond(second);
    copy = nullptr;
    header.Read = nullptr;
    EXPECT_TRUE(watchFirst); // still held here
    first = nullptr;
    second = nullptr;
    EXPECT_FALSE(watchFirst || watchSecond);
}

TEST_F(HeaderMetadata, a_partition_not_read_from_a_file_or_without_a_byte_count_reads_nothing)
{
    mxf::PartitionPtr loose(new mxf::Partition(
        mxf::ULPtr(new mxf::UL(mxftest::FileLabel("060e2b34 02050101 0d010201 01020400")))));
    loose->Object->FindChildByName("HeaderByteCount")->SetString("100");
    EXPECT_EQ(loose->ReadMetadata(), 0u);
    EXPECT_EQ(mxftest::Errors(),
              std::vector<std::string>{
                  "Call to Partition::ReadMetadata() on a partition that is not read from a file\n"});
    Header empty(Primer + Preface(1, 2));
    empty.Read->Object->FindChildByName("HeaderByteCount")->SetString("0");
    EXPECT_EQ(empty.Read->ReadMetadata(), 0u);
    EXPECT_TRUE(empty.Read->Objects.empty());
    EXPECT_EQ(empty.Read->MakeCopy()->Name, "ClosedCompleteHeader");
    EXPECT_TRUE(mxftest::Notes().back().starts_with("Copy made of higher-level object ClosedCompleteHeader"));
}

} // namespace
