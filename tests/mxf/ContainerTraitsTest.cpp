#include "ContainerDictionary.h"
#include "RecordingDiagnostics.h"
#include "TestBytes.h"
#include "TestDictionary.h"

#include "mxf/MDObject.h"
#include "mxf/Primer.h"
#include "mxf/StringArray.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <list>
#include <string>
#include <vector>

namespace
{

using mxftest::Bytes;
using mxftest::ContainerDictionary;

const ContainerDictionary& D()
{
    return ContainerDictionary::Get();
}

mxf::MDObjectPtr Read(const mxf::MDTypePtr& type, const std::vector<std::uint8_t>& bytes,
                      std::uint64_t* used = nullptr)
{
    mxf::MDObjectPtr value = mxftest::ValueOf(type);
    const std::uint64_t consumed = value->ReadValue(bytes.data(), bytes.size(), {});
    if (used)
        *used = consumed;
    return value;
}

mxf::MDObjectPtr FromText(const mxf::MDTypePtr& type, const std::string& text)
{
    mxf::MDObjectPtr value = mxftest::ValueOf(type);
    value->SetString(text);
    return value;
}

std::vector<std::uint8_t> Encoded(const mxf::MDObjectPtr& value)
{
    const mxf::DataChunkPtr bytes = value->EncodeValue({});
    return Bytes(bytes->Data(), bytes->Size());
}

bool Reported(const std::vector<std::string>& messages, const std::string& text)
{
    return std::find(messages.begin(), messages.end(), text) != messages.end();
}

TEST(ContainerTraitsTest, arrays_read_their_elements_to_the_end_or_to_their_fixed_size)
{
    struct Case
    {
        mxf::MDTypePtr Type;
        const char* Bytes;
        std::size_t Elements;
        std::uint64_t Used;
        const char* Text;
    };
    const Case cases[] = {
        {D().Words, "0001 0002 0003", 3, 6, "1, 2, 3"},
        {D().Words, "", 1, 0, "0"},
        {D().Words2, "0001 0002 0003", 2, 4, "1, 2"},
        {D().Words4, "0001 0002 0003", 4, 6, "1, 2, 3, 0"},
        {D().WordBatch, "00000002 00000002 0007 0009", 2, 12, "7, 9"},
        {D().WordBatch, "00000000 00000002", 0, 8, ""},
        {D().RawWords, "0001 0a0b ffff", 3, 6, "0001 0a0b ffff"},
        {D().RawNumbers, "00000001 0a0b0c0d", 2, 8, "00000001 0a0b0c0d"},
        {D().Text7, "41 42 00 43", 4, 4, "AB"},
        {D().Text16, "004f 0050 0031 0000", 4, 8, "OP1"},
        {D().Texts, "0061 0062 0000 0063 0064 0000", 6, 12, "\"ab\", \"cd\""},
        {D().Texts, "", 1, 0, "\"\""},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Type->Name + " " + c.Bytes);
        std::uint64_t used = 99;
        const mxf::MDObjectPtr value = Read(c.Type, Bytes(c.Bytes), &used);
        EXPECT_EQ(value->size(), c.Elements);
        EXPECT_EQ(used, c.Used);
        EXPECT_EQ(value->GetString("none"), c.Text);
    }
}

TEST(ContainerTraitsTest, array_and_batch_texts_and_bytes_survive_a_round_trip)
{
    struct Case
    {
        mxf::MDTypePtr Type;
        const char* Bytes;
    };
    const Case cases[] = {
        {D().Words, "0001 0002 0003"},
        {D().WordBatch, "00000003 00000002 0007 0009 000a"},
        {D().Text16, "004f 0050 0031"},
        {D().RawWords, "0001 0a0b ffff"},
        {D().Rational, "00007530 000003e9"},
        {D().TimeStamp, "07d9 03 05 0e 07 09 1e"},
        {D().Colours, "02"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Type->Name);
        const mxf::MDObjectPtr read = Read(c.Type, Bytes(c.Bytes));
        EXPECT_EQ(Encoded(read), Bytes(c.Bytes));
        const mxf::MDObjectPtr again = FromText(c.Type, read->GetString(""));
        EXPECT_EQ(again->GetString(""), read->GetString(""));
        EXPECT_TRUE(again->ValueEquals(read));
    }
}

TEST(ContainerTraitsTest, array_text_sets_elements_by_position_and_grows_only_arrays_of_no_fixed_size)
{
    const mxf::MDObjectPtr five = Read(D().Words, Bytes("0009 0009 0009 0009 0009"));
    five->SetString("1, 2, 3");
    EXPECT_EQ(five->GetString(""), "1, 2, 3, 9, 9");

    const mxf::MDObjectPtr grown = Read(D().Words, Bytes("0009"));
    grown->SetString("4,5,6");
    EXPECT_EQ(grown->GetString(""), "4, 5, 6");

    // An array of two elements has no third for the third piece.
    const mxf::MDObjectPtr fixed = mxftest::ValueOf(D().Words2);
    fixed->SetString("1, 2, 3, 4");
    EXPECT_EQ(fixed->size(), 2u);
    EXPECT_EQ(fixed->GetString(""), "1, 2");

    const mxf::MDObjectPtr raw = Read(D().RawWords, Bytes("0000"));
    raw->SetString("1 a0b,ffff");
    EXPECT_EQ(raw->GetString(""), "0001 0a0b ffff");

    const mxf::MDObjectPtr numbers = Read(D().Words, Bytes("0001 0002"));
    numbers->Traits->SetUInt(*numbers, 7);
    EXPECT_EQ(numbers->GetString(""), "7, 7");
    EXPECT_EQ(numbers->Traits->GetUInt(*numbers), 7u);
}

TEST(ContainerTraitsTest, utf16_text_is_set_from_utf8_with_surrogate_pairs_and_a_replacement_for_stray_bytes)
{
    const std::string R = "\xef\xbf\xbd"; // U+FFFD
    struct Case
    {
        std::string Text;
        const char* Units;
        std::string Shown;
    };
    const Case cases[] = {
        {"OP1a", "004f 0050 0031 0061", "OP1a"},
        {"\xc3\xa9\xe2\x82\xac", "00e9 20ac", "\xc3\xa9\xe2\x82\xac"},
        {"a\xf0\x9f\x98\x80z", "0061 d83d de00 007a", "a\xf0\x9f\x98\x80z"},
        {"A\x80z", "0041 fffd 007a", "A\xef\xbf\xbdz"},
        // Bytes that are no UTF-8 give U+FFFD, as far as they go, and the text after them stays.
        {std::string("\xe2") + "AB", "fffd 0041 0042", R + "AB"},
        {std::string("\xe2\x82") + "A", "fffd 0041", R + "A"},
        {"a\xf0\x9f\x98", "0061 fffd", "a" + R},
        {"\xc0\xaf", "fffd fffd", R + R},                                       // an overlong slash
        {"\xed\xa0\x80", "fffd fffd fffd", R + R + R},                          // a surrogate
        {"\xf4\x90\x80\x80z", "fffd fffd fffd fffd 007a", R + R + R + R + "z"}, // past U+10FFFF
        {"", "", ""},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Shown);
        const mxf::MDObjectPtr text = FromText(D().Text16, c.Text);
        EXPECT_EQ(Encoded(text), Bytes(c.Units));
        EXPECT_EQ(text->GetString("none"), c.Shown);
    }
    const mxf::MDObjectPtr ascii = FromText(D().Text7, "Tape 1");
    EXPECT_EQ(Encoded(ascii), Bytes("54 61 70 65 20 31"));
    EXPECT_EQ(ascii->GetString(""), "Tape 1");

    const std::list<std::string> split =
        mxf::SplitStringArray(Read(D().Texts, Bytes("0061 0062 0000 00e9 0000 0063")));
    EXPECT_EQ(split, (std::list<std::string>{"ab", "\xc3\xa9", "c"}));

    mxftest::ClearDiagnostics();
    const mxf::MDObjectPtr texts = Read(D().Texts, Bytes("0061 0000"));
    texts->SetString("x");
    EXPECT_EQ(texts->GetString(""), "\"a\"");
    EXPECT_EQ(mxftest::Errors(),
              std::vector<std::string>{"MDTraits_StringArray::SetString() not supported!\n"});
}

TEST(ContainerTraitsTest, a_surrogate_without_its_partner_shows_as_a_replacement_and_the_units_around_it_stay)
{
    const std::string R = "\xef\xbf\xbd"; // U+FFFD
    const std::string smile = "\xf0\x9f\x98\x80";
    struct Case
    {
        mxf::MDTypePtr Type;
        const char* Units;
        std::string Shown;
    };
    const Case cases[] = {
        {D().Text16, "d800 0041 0042", R + "AB"},
        {D().Text16, "0041 dc00 0042", "A" + R + "B"},
        {D().Text16, "0041 d800", "A" + R},
        {D().Text16, "0041 d800 0000 0042", "A" + R},
        {D().Text16, "d800 d83d de00 0041", R + smile + "A"},
        {D().Text16, "de00 d83d", R + R},
        {D().Text16, "d83d de00", smile},
        {D().Texts, "0061 d800 0000 0062 0000", "\"a" + R + "\", \"b\""},
        {D().Char16, "dc00", R},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Units);
        EXPECT_EQ(Read(c.Type, Bytes(c.Units))->GetString("none"), c.Shown);
    }
}

TEST(ContainerTraitsTest, compounds_show_and_take_their_members_and_rationals_and_time_stamps_their_own_forms)
{
    struct Case
    {
        mxf::MDTypePtr Type;
        std::string Text;
        std::string Shown;
        const char* Bytes;
    };
    const Case cases[] = {
        {D().Rational, "30000/1001", "30000/1001", "00007530 000003e9"},
        {D().Rational, "25", "25/1", "00000019 00000001"},
        {D().Rational, "16:9", "16/9", "00000010 00000009"},
        {D().Rational, "4,3", "4/3", "00000004 00000003"},
        {D().TimeStamp, "2009-03-05 14:07:09.120", "2009-03-05 14:07:09.120", "07d9 03 05 0e 07 09 1e"},
        {D().TimeStamp, "2009-03-05T14:07:09.120", "2009-03-05 14:07:09.120", "07d9 03 05 0e 07 09 1e"},
        {D().TimeStamp, "2009-03-05 14:07:09", "2009-03-05 14:07:09.000", "07d9 03 05 0e 07 09 00"},
        {D().TimeStamp, "2009-03-05", "2009-03-05 00:00:00.000", "07d9 03 05 00 00 00 00"},
        {D().TimeStamp, "12345-1-2 3:4:5.5", "12345-01-02 03:04:05.004", "3039 01 02 03 04 05 01"},
        {D().TwoLevelTimeStamp, "2009-03-05 14:07:09.120", "2009-03-05 14:07:09.120",
         "07d9 03 05 0e 07 09 1e"},
        {D().Point, "X=\"3\" Y=\"4\"", "X=\"3\" Y=\"4\"", "0003 0004"},
        {D().Point, "\"5\"", "X=\"5\" Y=\"0\"", "0005 0000"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Text);
        const mxf::MDObjectPtr value = FromText(c.Type, c.Text);
        EXPECT_EQ(value->GetString(""), c.Shown);
        EXPECT_EQ(Encoded(value), Bytes(c.Bytes));
    }
}

TEST(ContainerTraitsTest, a_compound_cut_short_notes_only_members_of_variable_size_it_did_not_reach)
{
    mxftest::ClearDiagnostics();
    std::uint64_t used = 0;
    Read(D().Rational, Bytes("00000019"), &used);
    EXPECT_EQ(used, 4u);
    EXPECT_TRUE(mxftest::Notes().empty());

    const mxf::MDObjectPtr entry = Read(D().IndexEntry, Bytes("00 00 80 0000000000000010"), &used);
    EXPECT_EQ(used, 11u);
    EXPECT_TRUE(Reported(mxftest::Notes(), "Compound ended with a variable length item SliceOffsetArray\n"));
}

TEST(ContainerTraitsTest, enumerated_values_show_their_names_and_are_set_by_name_or_number)
{
    struct Case
    {
        mxf::MDTypePtr Type;
        const char* Text;
        const char* Bytes;
        const char* Shown;
    };
    const Case cases[] = {
        {D().Colours, "Green", "02", "Green"},
        {D().Colours, "1", "01", "Red"},
        {D().ColourName, "Red", "01", "Red"},
        {D().Colours, "red", "00", "[Unknown Value 00]"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Text);
        const mxf::MDObjectPtr value = FromText(c.Type, c.Text);
        EXPECT_EQ(Encoded(value), Bytes(c.Bytes));
        EXPECT_EQ(value->GetString(""), c.Shown);
    }
    EXPECT_EQ(Read(D().Colours, Bytes("05"))->GetString(""), "[Unknown Value 05]");

    mxftest::ClearDiagnostics();
    const mxf::MDObjectPtr value = Read(D().Colours, Bytes("02"));
    value->SetString("Blue");
    EXPECT_EQ(value->GetString(""), "Green");
    EXPECT_EQ(mxftest::Errors(),
              std::vector<std::string>{
                  "Attempted to set unknown value Blue for enumerated value of type Unknown\n"});
    value->Traits->SetUInt(*value, 1);
    EXPECT_EQ(value->GetString(""), "Red");
    EXPECT_EQ(value->Traits->GetInt(*value), 1);
}

TEST(ContainerTraitsTest, a_batch_header_that_claims_more_than_is_there_reads_the_whole_items_present)
{
    struct Case
    {
        const char* Bytes;
        std::size_t Elements;
        std::uint64_t Used;
        const char* Error;
    };
    const Case cases[] = {
        {"00000003 00000002 0001 0002", 2, 12,
         "Invalid batch of type ContainerWordBatch - count = 3, item size = 2 so 0x00000006 bytes required "
         "but only "
         "0x00000004 available\n"},
        // 0x80000001 items of 2 bytes wrap round to 2 bytes in 32 bits.
        {"80000001 00000002 0001", 1, 10,
         "Invalid batch of type ContainerWordBatch - count = 2147483649, item size = 2 so 0x100000002 bytes "
         "required "
         "but only 0x00000002 available\n"},
        {"000000", 0, 0,
         "Tried to read a batch of type ContainerWordBatch but less than 8 bytes available\n"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Bytes);
        mxftest::ClearDiagnostics();
        std::uint64_t used = 0;
        const mxf::MDObjectPtr batch = Read(D().WordBatch, Bytes(c.Bytes), &used);
        EXPECT_EQ(batch->size(), c.Elements);
        EXPECT_EQ(used, c.Used);
        EXPECT_EQ(mxftest::Errors(), std::vector<std::string>{c.Error});
    }
}

// One element more than a power of two: a list grown one element at a time would hold room for nearly
// twice as many, about 100 bytes for each element of two.
TEST(ContainerTraitsTest, large_arrays_and_batches_and_their_copies_keep_room_for_their_elements_alone)
{
    constexpr std::size_t elements = 65537;
    std::vector<std::uint8_t> words(elements * 2, 0x01);
    std::vector<std::uint8_t> batch = Bytes("00010001 00000002");
    batch.insert(batch.end(), words.begin(), words.end());
    const std::pair<mxf::MDTypePtr, const std::vector<std::uint8_t>*> cases[] = {{D().Words, &words},
                                                                                 {D().WordBatch, &batch}};
    for (const auto& [type, bytes] : cases)
    {
        SCOPED_TRACE(type->Name);
        const mxf::MDObjectPtr read = Read(type, *bytes);
        ASSERT_EQ(read->size(), elements);
        EXPECT_LE(read->Children().capacity(), elements + 1);
        const mxf::MDObjectPtr copy = read->MakeCopy();
        ASSERT_EQ(copy->size(), elements);
        EXPECT_LE(copy->Children().capacity(), elements + 1);
    }
}

// Without the stop, a header of 0xffffffff items of 0 bytes makes four billion elements out of nothing.
TEST(ContainerTraitsTest, a_batch_of_items_of_no_size_stops_at_the_first_item_that_takes_nothing)
{
    std::uint64_t used = 0;
    const mxf::MDObjectPtr batch = Read(D().WordBatch, Bytes("ffffffff 00000000 0001"), &used);
    EXPECT_LE(batch->size(), 1u);
    EXPECT_EQ(used, 8u);
}

// Index entries of 15 bytes: 11 of their own and one slice offset, in a segment that claims three slices.
TEST(ContainerTraitsTest, slice_offsets_take_no_more_than_the_bytes_left_in_their_entry)
{
    mxf::MDObjectPtr segment(new mxf::MDObject(D().IndexTableSegment));
    mxf::MDObjectPtr slices(new mxf::MDObject(D().SliceCount));
    slices->SetString("3");
    segment->AppendChild(slices);
    mxf::MDObjectPtr entries(new mxf::MDObject(D().IndexEntryArray));
    segment->AppendChild(entries);
    const auto bytes = Bytes("00000002 0000000f"
                             "00 00 80 0000000000000000 00000011"
                             "00 00 00 0000000000000100 00000022");
    mxftest::ClearDiagnostics();
    EXPECT_EQ(entries->ReadValue(bytes.data(), bytes.size(), {}), bytes.size());
    ASSERT_EQ(entries->size(), 2u);
    const mxf::MDObjectPtr second = entries->Children()[1].second;
    EXPECT_EQ(second->GetString(""),
              "TemporalOffset=\"00\" KeyFrameOffset=\"00\" Flags=\"00\" StreamOffset=\"256\" "
              "SliceOffsetArray=\"34\"");
    const mxf::MDObjectPtr first = entries->Children()[0].second;
    EXPECT_EQ(first->FindChildByName("SliceOffsetArray")->size(), 1u);
    EXPECT_EQ(Encoded(entries), bytes);

    mxftest::ClearDiagnostics();
    Read(D().IndexEntry, Bytes("00 00 80 0000000000000000 00000011"));
    EXPECT_EQ(mxftest::Errors(),
              std::vector<std::string>{
                  "SliceOffsetArray not in IndexTableSegment in MDTraits_BasicCompound::ReadValue()\n"});
}

// Each index entry looks up its segment's slice count; behind twenty thousand other items, looking through
// them all again for every entry took a hundred times as long as reading the segment without them.
TEST(ContainerTraitsTest, index_entries_find_the_slice_count_in_time_that_does_not_grow_with_the_items_before)
{
    mxf::PrimerPtr tags(new mxf::Primer);
    tags->InsertTag(0x3f08, mxf::UL(D().SliceCount->TypeUL));
    tags->InsertTag(0x3f09, mxf::UL(mxftest::Bytes16("060e2b34 01010105 04040402 7f000000").data()));
    tags->InsertTag(0x3f0a, mxf::UL(D().IndexEntryArray->TypeUL));
    // Four arrays of 4364 entries of 15 bytes: 11 of their own and the offset of the one slice.
    std::vector<std::uint8_t> entries = Bytes("3f08 0001 01");
    for (int array = 0; array < 4; ++array)
    {
        for (std::uint8_t byte : Bytes("3f0a ffbc 0000110c 0000000f"))
            entries.push_back(byte);
        for (int entry = 0; entry < 4364; ++entry)
            for (std::uint8_t byte : Bytes("00 00 80 0000000000000000 00000022"))
                entries.push_back(byte);
    }
    std::vector<std::uint8_t> behind;
    for (int item = 0; item < 20000; ++item)
        for (std::uint8_t byte : Bytes("3f09 0001 00"))
            behind.push_back(byte);
    behind.insert(behind.end(), entries.begin(), entries.end());

    const auto readTime = [&](const std::vector<std::uint8_t>& bytes)
    {
        const mxf::MDObjectPtr segment(new mxf::MDObject(D().IndexTableSegment));
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(segment->ReadValue(bytes.data(), bytes.size(), tags), bytes.size());
        const auto time = std::chrono::steady_clock::now() - start;
        const mxf::MDObjectPtr last = segment->Children().back().second->Children().back().second;
        EXPECT_EQ(last->FindChildByName("SliceOffsetArray")->GetString(""), "34");
        return time;
    };
    const auto alone = readTime(entries);
    EXPECT_LT(readTime(behind), 20 * alone);
}
} // namespace
