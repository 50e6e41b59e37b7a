#include "CodingDictionary.h"
#include "RecordingDiagnostics.h"
#include "TestBytes.h"

#include "mxf/MDObject.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

namespace
{

using mxftest::Bytes;
using mxftest::CodingDictionary;

const CodingDictionary& D()
{
    return CodingDictionary::Get();
}

std::vector<std::uint8_t> Encoded(const mxf::MDObject& object, const mxf::PrimerPtr& primer = {})
{
    const mxf::DataChunkPtr bytes = object.EncodeValue(primer);
    return Bytes(bytes->Data(), bytes->Size());
}

mxf::MDObjectPtr Read(const mxf::MDOTypePtr& type, const std::vector<std::uint8_t>& bytes,
                      std::uint64_t* used = nullptr, const mxf::PrimerPtr& primer = {})
{
    mxf::MDObjectPtr object(new mxf::MDObject(type));
    const std::uint64_t consumed = object->ReadValue(bytes.data(), bytes.size(), primer);
    if (used)
        *used = consumed;
    return object;
}

std::uint32_t NumberOf(const mxf::MDObjectPtr& object)
{
    return object->Traits->GetUInt(*object);
}

TEST(ObjectCodingTest, set_items_become_children_at_their_offsets_and_encode_back_to_the_same_bytes)
{
    const auto bytes = Bytes("6002 0004 00000009  6001 0002 0007");
    std::uint64_t used = 0;
    D();
    mxftest::ClearDiagnostics();
    const mxf::MDObjectPtr set = Read(D().Set, bytes, &used, D().Tags);
    EXPECT_EQ(used, 14u);
    ASSERT_EQ(set->size(), 2u);
    const mxf::MDObjectPtr first = set->Children()[0].second;
    const mxf::MDObjectPtr second = set->Children()[1].second;
    EXPECT_EQ(first->Name, "Long");
    EXPECT_EQ(NumberOf(first), 9u);
    EXPECT_EQ(first->Location, 0u);
    EXPECT_EQ(first->KeyLengthSize, 4u);
    EXPECT_EQ(second->Name, "Word");
    EXPECT_EQ(second->Location, 8u);
    EXPECT_EQ(second->Children().size(), 0u);
    EXPECT_EQ(mxftest::Errors(), std::vector<std::string>());
    EXPECT_EQ(mxftest::Notes(), std::vector<std::string>{"Reading set at 0x00000000\n"});
    EXPECT_EQ(Encoded(*set, D().Tags), bytes);
}

TEST(ObjectCodingTest, set_items_of_no_length_are_skipped_and_overlong_ones_get_the_bytes_present)
{
    mxftest::ClearDiagnostics();
    std::uint64_t used = 0;
    const mxf::MDObjectPtr set = Read(D().Set, Bytes("6001 0000  6003 0009 aabbcc"), &used, D().Tags);
    EXPECT_EQ(used, 11u);
    ASSERT_EQ(set->size(), 1u);
    EXPECT_EQ(set->Children()[0].second->Value.GetString(), "aa bb cc");
    EXPECT_EQ(mxftest::Errors(),
              std::vector<std::string>{
                  "Not enough bytes for value for CodingSet at 0x00000000 in memory buffer\n"});
}

TEST(ObjectCodingTest, a_nested_strong_reference_holds_its_target_in_its_value)
{
    const auto bytes = Bytes("6005 0005  02 0001 01 aa");
    const mxf::MDObjectPtr set = Read(D().Set, bytes, nullptr, D().Tags);
    ASSERT_EQ(set->size(), 1u);
    const mxf::MDObjectPtr reference = set->Children()[0].second;
    const mxf::MDObjectParent target = reference->GetReferencedObject();
    ASSERT_TRUE(target);
    EXPECT_EQ(target->Name, "CodingLengthPack");
    EXPECT_EQ(target->Children()[1].second->Value.GetString(), "aa");
    EXPECT_TRUE(reference->ValueEquals(target->FindChildByUL(mxf::InstanceUIDLabel())));
    EXPECT_EQ(Encoded(*set, D().Tags), bytes);
}

TEST(ObjectCodingTest, sets_of_one_byte_and_oid_tags_find_items_by_the_static_tags_of_their_classes)
{
    mxftest::ClearDiagnostics();
    std::uint64_t used = 0;
    const mxf::MDObjectPtr shortSet = Read(D().ShortTagSet, Bytes("0a 01 05  0c 01 ff  0b 02 0010"), &used);
    EXPECT_EQ(used, 10u);
    ASSERT_EQ(shortSet->size(), 2u);
    EXPECT_EQ(NumberOf(shortSet->Children()[0].second), 5u);
    EXPECT_EQ(NumberOf(shortSet->Children()[1].second), 0x10u);
    EXPECT_EQ(mxftest::Errors(),
              std::vector<std::string>{"CodingShortTagSet at 0x00000000 in memory buffer contains "
                                       "unknown item with 1-byte tag of 0x0c\n"});

    const auto oid = Bytes("8100 01 2a");
    const mxf::MDObjectPtr oidSet = Read(D().OidSet, oid, &used);
    EXPECT_EQ(used, 4u);
    ASSERT_EQ(oidSet->size(), 1u);
    EXPECT_EQ(NumberOf(oidSet->Children()[0].second), 0x2au);
    EXPECT_EQ(Encoded(*oidSet), oid);
}

TEST(ObjectCodingTest, sets_keyed_by_labels_read_and_encode_and_four_byte_tags_end_the_reading)
{
    std::vector<std::uint8_t> bytes(D().Word->TypeUL->GetValue(), D().Word->TypeUL->GetValue() + 16);
    for (std::uint8_t byte : Bytes("83000002 0007"))
        bytes.push_back(byte);
    const mxf::MDObjectPtr labelSet = Read(D().LabelSet, bytes);
    ASSERT_EQ(labelSet->size(), 1u);
    EXPECT_EQ(labelSet->Children()[0].second->Name, "Word");
    EXPECT_EQ(Encoded(*labelSet), bytes);

    std::uint64_t used = 99;
    const mxf::MDObjectPtr wide = Read(D().WideTagSet, Bytes("00000001 0000  00000002 0001 05"), &used);
    EXPECT_EQ(used, 0u);
    EXPECT_TRUE(wide->empty());
}

TEST(ObjectCodingTest, keys_of_each_format_are_read_or_refused_when_the_bytes_end)
{
    struct Case
    {
        int Format;
        const char* Bytes;
        std::uint32_t Used;
        std::uint32_t Tag;
        const char* Error;
    };
    const Case cases[] = {
        {1, "0a ff", 1, 0x0a, nullptr},
        {2, "3c0a", 2, 0x3c0a, nullptr},
        {4, "01020304", 4, 0x01020304, nullptr},
        {6, "8100", 2, 128, nullptr},
        {6, "7f", 1, 127, nullptr},
        {6, "8181", 0, 0,
         "Not enough bytes for required key type in MDObject::ReadKey(), got 2, require 3\n"},
        {2, "3c", 0, 0, "Not enough bytes for required key type in MDObject::ReadKey(), got 1, require 2\n"},
        {3, "060e2b34", 0, 0,
         "Not enough bytes for required key type in MDObject::ReadKey(), got 4, require 16\n"},
        {5, "01", 0, 0, nullptr},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Bytes);
        mxftest::ClearDiagnostics();
        const auto bytes = Bytes(c.Bytes);
        mxf::DataChunk key(4);
        std::uint32_t tag = 0;
        EXPECT_EQ(mxf::MDObject::ReadKey(c.Format, bytes.size(), bytes.data(), key, tag), c.Used);
        EXPECT_EQ(tag, c.Tag);
        EXPECT_EQ(key.Size(), 0u);
        EXPECT_EQ(mxftest::Errors(),
                  c.Error ? std::vector<std::string>{c.Error} : std::vector<std::string>());
    }
    const auto label = Bytes("060e2b34 02530101 0d010101 01012f00");
    mxf::DataChunk key;
    std::uint32_t tag = 7;
    EXPECT_EQ(mxf::MDObject::ReadKey(3, label.size(), label.data(), key, tag), 16u);
    EXPECT_EQ(Bytes(key.Data(), key.Size()), label);
}

TEST(ObjectCodingTest, lengths_of_each_format_are_read_and_ber_lengths_of_four_gigabytes_or_more_refused)
{
    struct Case
    {
        int Format;
        const char* Bytes;
        std::uint32_t Used;
        std::uint64_t Length;
        const char* Error;
    };
    const Case cases[] = {
        {3, "7f", 1, 127, nullptr},
        {3, "80", 1, 0, nullptr},
        {3, "8400000100", 5, 256, nullptr},
        {3, "88 00000000ffffffff", 9, 0xffffffff, nullptr},
        {3, "85 0100000000", 0, 0,
         "Excessive BER length field in MDObject::ReadLength() - Metadata objects are limited to 4Gb each\n"},
        {3, "89 000000000000000001", 0, 0, "Excessive BER length field in MDObject::ReadLength()\n"},
        {3, "83 0001", 0, 0, "Not enough bytes for required length field in MDObject::ReadLength()\n"},
        {3, "", 0, 0, "Not enough bytes for required length field in MDObject::ReadLength()\n"},
        {1, "ff", 1, 255, nullptr},
        {2, "0102", 2, 0x102, nullptr},
        {2, "01", 0, 0, "Not enough bytes for required length field in MDObject::ReadLength()\n"},
        {4, "00010000", 4, 0x10000, nullptr},
        {0, "01", 0, 0, nullptr},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Bytes);
        mxftest::ClearDiagnostics();
        const auto bytes = Bytes(c.Bytes);
        std::uint64_t length = 99;
        EXPECT_EQ(mxf::MDObject::ReadLength(c.Format, bytes.size(), bytes.data(), length), c.Used);
        EXPECT_EQ(length, c.Length);
        EXPECT_EQ(mxftest::Errors(),
                  c.Error ? std::vector<std::string>{c.Error} : std::vector<std::string>());
    }
}

TEST(ObjectCodingTest, a_fixed_pack_leaves_the_last_four_bytes_after_a_partition_array_and_encodes_back)
{
    const auto bytes = Bytes("0001 aabbcc 00000005");
    std::uint64_t used = 0;
    const mxf::MDObjectPtr pack = Read(D().FixedPack, bytes, &used);
    EXPECT_EQ(used, bytes.size());
    ASSERT_EQ(pack->size(), 3u);
    EXPECT_EQ(NumberOf(pack->Children()[0].second), 1u);
    EXPECT_EQ(pack->Children()[1].second->Value.GetString(), "aa bb cc");
    EXPECT_EQ(pack->Children()[1].second->Location, 2u);
    EXPECT_EQ(NumberOf(pack->Children()[2].second), 5u);
    EXPECT_EQ(Encoded(*pack), bytes);
}

TEST(ObjectCodingTest, a_pack_with_lengths_reports_extra_bytes_and_members_the_bytes_did_not_reach)
{
    mxftest::ClearDiagnostics();
    const auto bytes = Bytes("02 0001  03 aabbcc");
    EXPECT_EQ(Encoded(*Read(D().LengthPack, bytes)), bytes);

    std::uint64_t used = 0;
    Read(D().LengthPack, Bytes("02 0001  01 aa  ee"), &used);
    EXPECT_EQ(used, 5u);
    Read(D().LengthPack, Bytes("02 0001"), &used);
    EXPECT_EQ(used, 3u);
    const std::vector<std::string> notes = mxftest::Notes();
    EXPECT_NE(std::find(notes.begin(), notes.end(),
                        "Extra bytes found parsing buffer for CodingLengthPack in MDObject::ReadValue()\n"),
              notes.end());
    EXPECT_NE(std::find(notes.begin(), notes.end(),
                        "Not enough bytes in buffer for CodingLengthPack at 0x00000000 in memory buffer\n"),
              notes.end());
}

TEST(ObjectCodingTest, a_batch_reads_its_items_and_is_cut_to_the_whole_items_present)
{
    const auto bytes = Bytes("00000003 00000004  00000001 00000002 00000003");
    std::uint64_t used = 0;
    const mxf::MDObjectPtr batch = Read(D().Batch, bytes, &used);
    EXPECT_EQ(used, 20u);
    ASSERT_EQ(batch->size(), 3u);
    EXPECT_EQ(NumberOf(batch->Children()[2].second), 3u);
    EXPECT_EQ(batch->Children()[2].second->Location, 8u);
    EXPECT_EQ(Encoded(*batch), bytes);

    mxftest::ClearDiagnostics();
    const mxf::MDObjectPtr cut = Read(D().Batch, Bytes("00000003 00000004  00000001 00000002 0000"), &used);
    EXPECT_EQ(cut->size(), 2u);
    EXPECT_EQ(mxftest::Errors(),
              std::vector<std::string>{"Malformed batch found in CodingBatch at 0x00000000 in "
                                       "memory buffer - item size = 4, count = 3, but bytes = "
                                       "10\n"});

    mxftest::ClearDiagnostics();
    EXPECT_EQ(Read(D().Batch, Bytes("000000"), &used)->size(), 0u);
    EXPECT_EQ(used, 3u);
    EXPECT_EQ(mxftest::Errors().size(), 2u);
}

// A count times item size that wraps round in 32 bits to the bytes present claims a billion items.
TEST(ObjectCodingTest, a_batch_whose_count_times_item_size_wraps_in_32_bits_reads_only_the_items_present)
{
    mxftest::ClearDiagnostics();
    std::uint64_t used = 0;
    const mxf::MDObjectPtr batch = Read(D().Batch, Bytes("40000001 00000004  0000000a"), &used);
    EXPECT_EQ(used, 12u);
    EXPECT_EQ(batch->size(), 1u);
    EXPECT_EQ(mxftest::Errors(),
              std::vector<std::string>{"Malformed batch found in CodingBatch at 0x00000000 in "
                                       "memory buffer - item size = 4, count = 1073741825, but "
                                       "bytes = 4\n"});
}

// Items of no bytes would be read from the same place four billion times.
TEST(ObjectCodingTest, a_batch_of_empty_items_stops_at_the_first_item_that_takes_nothing)
{
    std::uint64_t used = 0;
    const mxf::MDObjectPtr batch = Read(D().Batch, Bytes("ffffffff 00000000  0102"), &used);
    EXPECT_LE(batch->size(), 1u);
    EXPECT_EQ(used, 8u);
}

TEST(ObjectCodingTest, an_array_reads_elements_to_the_end_of_its_bytes)
{
    const auto bytes = Bytes("00000001 00000002 00000003");
    std::uint64_t used = 0;
    const mxf::MDObjectPtr array = Read(D().Array, bytes, &used);
    EXPECT_EQ(used, 12u);
    ASSERT_EQ(array->size(), 3u);
    EXPECT_EQ(array->Children()[1].second->Location, 4u);
    EXPECT_EQ(Encoded(*array), bytes);
}

TEST(ObjectCodingTest, an_old_style_array_takes_its_item_classes_in_turn)
{
    mxftest::ClearDiagnostics();
    std::uint64_t used = 0;
    const mxf::MDObjectPtr array = Read(D().OldArray, Bytes("0001 02  0003"), &used);
    EXPECT_EQ(used, 5u);
    std::vector<std::string> names;
    for (const auto& [label, child] : *array)
        names.push_back(child->Name);
    EXPECT_EQ(names, (std::vector<std::string>{"OldWord", "OldByte", "OldWord"}));
    EXPECT_EQ(mxftest::Notes(),
              std::vector<std::string>{
                  "Entered dead code for reading old-style batches/arrays for CodingOldArray\n"});
    EXPECT_EQ(mxftest::Errors(),
              std::vector<std::string>{"Multiple CodingOldArray at 0x00000000 in memory buffer "
                                       "does not contain an integer number of sub-items\n"});
}

TEST(ObjectCodingTest, a_set_key_states_the_key_and_length_coding_of_its_class_in_byte_6)
{
    struct Case
    {
        int KeyFormat;
        int LenFormat;
        std::uint8_t Byte6;
    };
    const Case cases[] = {{2, 3, 0x13}, {1, 4, 0x63}, {2, 2, 0x53}, {6, 2, 0x4b},
                          {1, 1, 0x23}, {3, 2, 0x01}, {4, 2, 0x7f}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.KeyFormat * 10 + c.LenFormat);
        mxftest::ClearDiagnostics();
        const mxf::MDOTypePtr type =
            new mxf::MDOType(mxf::MDOType::SET, "", "ByteSix", "", {}, c.KeyFormat, c.LenFormat, 0, 0, 0);
        mxf::MDObjectPtr set(new mxf::MDObject(type));
        set->ObjectUL = new mxf::UL(Bytes("060e2b34 027f0101 0d010101 01012f00").data());
        const mxf::DataChunkPtr key(new mxf::DataChunk);
        EXPECT_EQ(set->WriteKey(key, 3, {}), 16u);
        EXPECT_EQ(key->Data()[5], c.Byte6);
        EXPECT_EQ(mxftest::Errors().size(), c.Byte6 == 0x7f ? 1u : 0u);
    }
}

TEST(ObjectCodingTest, a_top_level_object_is_written_with_its_label_and_an_automatic_ber_length)
{
    const mxf::MDObjectPtr set = Read(D().Set, Bytes("6001 0002 0007"), nullptr, D().Tags);
    const mxf::DataChunkPtr out(new mxf::DataChunk);
    EXPECT_EQ(set->EncodeObject(out, nullptr, D().Tags, 0), 16u + 4u + 6u);
    std::vector<std::uint8_t> expected(D().Set->TypeUL->GetValue(), D().Set->TypeUL->GetValue() + 16);
    for (std::uint8_t byte : Bytes("83000006 6001 0002 0007"))
        expected.push_back(byte);
    EXPECT_EQ(Bytes(out->Data(), out->Size()), expected);
}

TEST(ObjectCodingTest, writing_keys_reports_missing_labels_and_unsupported_formats)
{
    struct Case
    {
        int Format;
        bool WithLabel;
        const char* Error;
    };
    const Case cases[] = {
        {2, false, "Call to WriteKey() for Word, but the UL is not known\n"},
        {4, true, "Call to WriteKey() for Word, but 4 byte tags not currently supported\n"},
        {9, true, "Unsupported Key Format 9 for Word\n"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Format);
        mxftest::ClearDiagnostics();
        mxf::MDObjectPtr word(new mxf::MDObject(D().Word));
        if (!c.WithLabel)
            word->ObjectUL = mxf::ULPtr();
        const mxf::DataChunkPtr out(new mxf::DataChunk);
        EXPECT_EQ(word->WriteKey(out, c.Format, {}), 0u);
        EXPECT_EQ(out->Size(), 0u);
        EXPECT_EQ(mxftest::Errors(), std::vector<std::string>{c.Error});
    }
}

// Sets chosen by the keys in their parents' bytes nest as deep as the bytes go: sets keyed by labels that
// hold sets of their own label, and 2-byte-tag sets that hold chains of nested strong references.
TEST(ObjectCodingTest, sets_nested_past_the_depth_limit_are_passed_over_with_an_error)
{
    struct Case
    {
        mxf::MDOTypePtr type;
        std::vector<std::uint8_t> key;
        int lengthBytes;
        std::size_t levels;
    };
    const std::uint8_t* label = D().LabelSet->TypeUL->GetValue();
    const Case cases[] = {{D().LabelSet, std::vector<std::uint8_t>(label, label + 16), 4, 200000},
                          {D().Set, Bytes("6006"), 2, 16000}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.type->Name);
        mxftest::ClearDiagnostics();
        const std::size_t header = c.key.size() + static_cast<std::size_t>(c.lengthBytes);
        std::vector<std::uint8_t> bytes;
        for (std::size_t level = 1; level < c.levels; ++level)
        {
            const std::size_t inner = (c.levels - 1 - level) * header;
            bytes.insert(bytes.end(), c.key.begin(), c.key.end());
            if (c.lengthBytes == 4)
                bytes.push_back(0x83);
            for (int shift = (c.lengthBytes == 4 ? 3 : c.lengthBytes) * 8 - 8; shift >= 0; shift -= 8)
                bytes.push_back(static_cast<std::uint8_t>(inner >> shift));
        }
        std::uint64_t used = 0;
        const mxf::MDObjectPtr set = Read(c.type, bytes, &used);
        EXPECT_EQ(used, bytes.size());
        // A nested strong reference holds its set as its target, not as a child.
        int depth = 1;
        for (mxf::MDObjectPtr at = set; !at->empty();)
        {
            const mxf::MDObjectPtr child = at->Children()[0].second;
            at = child->StrongLink ? child->StrongLink : child;
            if (at->ClassType == c.type)
                ++depth;
        }
        EXPECT_EQ(depth, 65);
        const std::vector<std::string> errors = mxftest::Errors();
        ASSERT_EQ(errors.size(), 1u);
        EXPECT_NE(errors[0].find("nested more than 64 sets deep"), std::string::npos);
    }
}

// Eight megabytes of small items: encoding them by growing the buffer a few hundred bytes at a time copied
// the whole buffer at almost every item and took a thousand times as long as reading them.
TEST(ObjectCodingTest, a_set_of_many_items_encodes_in_time_linear_in_its_bytes)
{
    std::vector<std::uint8_t> bytes;
    for (int item = 0; item < 40000; ++item)
    {
        for (std::uint8_t byte : Bytes("6003 00c8"))
            bytes.push_back(byte);
        bytes.insert(bytes.end(), 200, 0x55);
    }
    const auto start = std::chrono::steady_clock::now();
    const mxf::MDObjectPtr set = Read(D().Set, bytes, nullptr, D().Tags);
    const auto read = std::chrono::steady_clock::now();
    EXPECT_EQ(Encoded(*set, D().Tags), bytes);
    const auto encoded = std::chrono::steady_clock::now();
    EXPECT_LT(encoded - read, 50 * (read - start));
}
} // namespace
