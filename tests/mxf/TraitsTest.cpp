#include "RecordingDiagnostics.h"
#include "TestBytes.h"
#include "TestDictionary.h"

#include "mxf/MDTraitsInt.h"
#include "mxf/MDTraitsRaw.h"
#include "mxf/SymbolSpace.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace
{

using mxftest::Bytes;

const mxf::MDTraitsPtr Int8 = new mxf::MDTraits_Int8;
const mxf::MDTraitsPtr UInt8 = new mxf::MDTraits_UInt8;
const mxf::MDTraitsPtr ISO7 = new mxf::MDTraits_ISO7;
const mxf::MDTraitsPtr Int16 = new mxf::MDTraits_Int16;
const mxf::MDTraitsPtr UInt16 = new mxf::MDTraits_UInt16;
const mxf::MDTraitsPtr UTF16 = new mxf::MDTraits_UTF16;
const mxf::MDTraitsPtr Int32 = new mxf::MDTraits_Int32;
const mxf::MDTraitsPtr UInt32 = new mxf::MDTraits_UInt32;
const mxf::MDTraitsPtr Int64 = new mxf::MDTraits_Int64;
const mxf::MDTraitsPtr UInt64 = new mxf::MDTraits_UInt64;
const mxf::MDTraitsPtr Raw = new mxf::MDTraits_Raw;
const mxf::MDTraitsPtr UUIDTraits = new mxf::MDTraits_UUID;
const mxf::MDTraitsPtr LabelTraits = new mxf::MDTraits_Label;
const mxf::MDTraitsPtr UMIDTraits = new mxf::MDTraits_UMID;

// A value object of a new type with the traits and fixed size (0: any size); hex, when given, becomes its
// value bytes whatever the type's size.
mxf::MDObjectPtr Value(const mxf::MDTraitsPtr& traits, std::int32_t size, const char* hex = nullptr)
{
    static int count = 0;
    const mxf::MDTypePtr type =
        mxftest::DefineValueType("TraitsTest" + std::to_string(++count), size, traits.GetPtr(), 0x71);
    mxf::MDObjectPtr object = mxftest::ValueOf(type);
    if (hex)
    {
        const std::vector<std::uint8_t> bytes = Bytes(hex);
        object->Value.Resize(bytes.size());
        if (!bytes.empty())
            std::memcpy(object->Value.Data(), bytes.data(), bytes.size());
    }
    return object;
}

std::vector<std::uint8_t> ValueBytes(const mxf::MDObject& object)
{
    return mxftest::Bytes(object.Value.Data(), object.Value.Size());
}

TEST(ScalarTraits, integers_store_big_endian_and_read_back_by_width_and_sign)
{
    struct Case
    {
        const mxf::MDTraitsPtr* Traits;
        std::int32_t Size;
        std::int64_t Set; // through SetInt64
        const char* Bytes;
        const char* Text;
        std::int32_t Int;
        std::uint32_t UInt;
        std::int64_t Int64;
        std::uint64_t UInt64;
    };
    const Case cases[] = {
        {&Int8, 1, -1, "ff", "-1", -1, 255, -1, 255},
        {&UInt8, 1, 10, "0a", "0a", 10, 10, 10, 10},
        // The unsigned 1- and 2-byte members share the signed reading of GetInt.
        {&UInt8, 1, 255, "ff", "ff", -1, 255, -1, 255},
        {&Int16, 2, -2, "ff fe", "-2", -2, 65534, -2, 65534},
        {&UInt16, 2, 0xfffe, "ff fe", "65534", -2, 65534, -2, 65534},
        {&Int16, 2, 0x12345, "23 45", "9029", 0x2345, 0x2345, 0x2345, 0x2345},
        {&Int32, 4, -5, "ff ff ff fb", "-5", -5, 0xfffffffb, -5, 0xfffffffb},
        {&UInt32, 4, 0xffffffff, "ff ff ff ff", "4294967295", -1, 0xffffffff, -1, 0xffffffff},
        {&Int64, 8, -3, "ff ff ff ff ff ff ff fd", "-3", -3, 0xfffffffd, -3, 0xfffffffffffffffd},
        {&UInt64, 8, -1, "ff ff ff ff ff ff ff ff", "18446744073709551615", -1, 0xffffffff, -1,
         0xffffffffffffffff},
        {&Int64, 8, 0x0102030405060708, "01 02 03 04 05 06 07 08", "72623859790382856", 0x05060708,
         0x05060708, 0x0102030405060708, 0x0102030405060708},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE((*c.Traits)->Name() + " " + c.Text);
        mxf::MDObjectPtr object = Value(*c.Traits, c.Size);
        (*c.Traits)->SetInt64(*object, c.Set);
        EXPECT_EQ(ValueBytes(*object), Bytes(c.Bytes));
        EXPECT_EQ((*c.Traits)->GetString(*object), c.Text);
        EXPECT_EQ((*c.Traits)->GetInt(*object), c.Int);
        EXPECT_EQ((*c.Traits)->GetUInt(*object), c.UInt);
        EXPECT_EQ((*c.Traits)->GetInt64(*object), c.Int64);
        EXPECT_EQ((*c.Traits)->GetUInt64(*object), c.UInt64);
    }
}

TEST(ScalarTraits, eight_byte_integers_extend_32_bit_values_by_their_sign)
{
    mxf::MDObjectPtr object = Value(Int64, 8);
    Int64->SetInt(*object, -2);
    EXPECT_EQ(ValueBytes(*object), Bytes("ff ff ff ff ff ff ff fe"));
    Int64->SetUInt(*object, 0xfffffffe);
    EXPECT_EQ(ValueBytes(*object), Bytes("00 00 00 00 ff ff ff fe"));
    // A value of any size is made 8 bytes long.
    mxf::MDObjectPtr unsized = Value(UInt64, 0);
    UInt64->SetUInt64(*unsized, 7);
    EXPECT_EQ(ValueBytes(*unsized), Bytes("00 00 00 00 00 00 00 07"));
}

TEST(ScalarTraits, integer_texts_are_hexadecimal_after_0x_else_decimal_as_atoi_reads_them)
{
    struct Case
    {
        const mxf::MDTraitsPtr* Traits;
        std::int32_t Size;
        const char* Text;
        const char* Bytes;
    };
    const Case cases[] = {
        {&Int16, 2, "0x1A", "00 1a"},
        {&Int16, 2, "0X1A", "00 00"},
        {&Int16, 2, "x1A", "00 00"},
        {&Int16, 2, " 42", "00 2a"},
        {&Int16, 2, "0x", "00 00"}, // two characters: atoi
        {&Int16, 2, "0xg", "00 00"},
        {&Int16, 2, "-7", "ff f9"},
        {&Int16, 2, "\t+12abc", "00 0c"},
        {&UInt8, 1, "300", "2c"},
        {&Int32, 4, "99999999999", "7f ff ff ff"},
        {&Int32, 4, "-99999999999", "80 00 00 00"},
        {&UInt32, 4, "0xFFFFFFFF", "ff ff ff ff"},
        {&Int32, 4, "0x-1a", "ff ff ff e6"},
        {&Int64, 8, "-9223372036854775808", "80 00 00 00 00 00 00 00"},
        {&Int64, 8, "99999999999999999999", "7f ff ff ff ff ff ff ff"},
        {&UInt64, 8, "0x10", "00 00 00 00 00 00 00 00"}, // decimal only
        {&Int64, 8, "", "00 00 00 00 00 00 00 00"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE((*c.Traits)->Name() + " \"" + c.Text + "\"");
        mxf::MDObjectPtr object = Value(*c.Traits, c.Size);
        (*c.Traits)->SetString(*object, c.Text);
        EXPECT_EQ(ValueBytes(*object), Bytes(c.Bytes));
    }
}

TEST(ScalarTraits, integers_report_values_of_the_wrong_size)
{
    mxftest::ClearDiagnostics();
    mxf::MDObjectPtr empty = Value(Int8, 0);
    EXPECT_EQ(Int8->GetInt(*empty), 0);
    EXPECT_TRUE(mxftest::Errors().empty());

    struct Case
    {
        const mxf::MDTraitsPtr* Traits;
        const char* Bytes;
        const char* Message;
    };
    const Case cases[] = {
        {&Int8, "01 02 03", "Tried to read a 1-byte value from an MDObject that has size 3\n"},
        {&UInt16, "01", "Tried to read a 2-byte value from an MDObject that has size 1\n"},
        {&UInt32, "01 02", "Tried to read a 4-byte value from an MDObject that has size 2\n"},
        {&Int64, "01 02 03 04", "Tried to read an 8-byte value from an MDObject that has size 4\n"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Message);
        mxftest::ClearDiagnostics();
        mxf::MDObjectPtr object = Value(*c.Traits, 0, c.Bytes);
        EXPECT_EQ((*c.Traits)->GetInt(*object), 0);
        EXPECT_EQ(mxftest::Errors(), std::vector<std::string>{c.Message});
    }

    // A type whose fixed size is not the integer's width keeps its value.
    mxftest::ClearDiagnostics();
    mxf::MDObjectPtr wide = Value(Int16, 4);
    Int16->SetInt(*wide, 7);
    EXPECT_EQ(ValueBytes(*wide), Bytes("00 00 00 00"));
    EXPECT_EQ(mxftest::Errors(),
              std::vector<std::string>{
                  "Tried to set an MDObject to a 2-byte value, but could not set length to 2\n"});
    mxftest::ClearDiagnostics();
    mxf::MDObjectPtr narrow = Value(Int64, 4);
    Int64->SetInt64(*narrow, 7);
    EXPECT_EQ(mxftest::Errors(),
              std::vector<std::string>{
                  "Tried to set an MDObject to a 8-byte value, but could not set length to 8\n"});
}

TEST(ScalarTraits, integers_read_the_widest_value_the_buffer_and_the_type_allow)
{
    struct Case
    {
        const mxf::MDTraitsPtr* Traits;
        std::int32_t Size;
        const char* Buffer;
        std::uint64_t Used;
        const char* Bytes;
    };
    const Case cases[] = {
        {&Int8, 1, "ff 7f", 1, "ff"},
        {&Int16, 0, "80 00 01", 2, "80 00"},
        {&Int16, 0, "", 0, "00 00"},
        {&UInt16, 2, "12 34 56", 2, "12 34"},
        {&Int32, 4, "01 02 03 04 05 06 07 08", 4, "01 02 03 04"},
        // Without a fixed size the reading is 8 bytes wide and then cut to the traits' width.
        {&UInt8, 0, "01 02 03 04 05 06 07 08", 8, "08"},
        {&Int32, 0, "ff fe", 2, "ff ff ff fe"},
        {&UInt32, 0, "ff fe", 2, "00 00 ff fe"},
        {&UInt64, 8, "01 02 03 04 05 06 07 08 09", 8, "01 02 03 04 05 06 07 08"},
        {&UInt64, 0, "80 00 00 01", 4, "00 00 00 00 80 00 00 01"},
        // The signed 8-byte member reads with the default: the bytes as they are, zeros to the type's size.
        {&Int64, 8, "01 02 03", 3, "01 02 03 00 00 00 00 00"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE((*c.Traits)->Name() + " " + c.Buffer);
        mxf::MDObjectPtr object = Value(*c.Traits, c.Size);
        const std::vector<std::uint8_t> buffer = Bytes(c.Buffer);
        EXPECT_EQ((*c.Traits)->ReadValue(*object, buffer.data(), buffer.size(), 0), c.Used);
        EXPECT_EQ(ValueBytes(*object), Bytes(c.Bytes));
    }
}

TEST(ScalarTraits, default_reading_takes_no_more_than_the_buffer_holds)
{
    // The buffer lives on the heap at its exact size, so a sanitizer sees any read past it.
    const std::vector<std::uint8_t> buffer = Bytes("0a 0b");
    mxf::MDObjectPtr counted = Value(Raw, 0);
    EXPECT_EQ(Raw->ReadValue(*counted, buffer.data(), buffer.size(), 3), 2u);
    EXPECT_EQ(ValueBytes(*counted), Bytes("0a 0b"));

    mxf::MDObjectPtr fixed = Value(Raw, 4, "ff ff ff ff");
    EXPECT_EQ(Raw->ReadValue(*fixed, buffer.data(), buffer.size(), 2), 2u);
    EXPECT_EQ(ValueBytes(*fixed), Bytes("0a 0b 00 00"));

    mxf::MDObjectPtr shorter = Value(UUIDTraits, 1);
    EXPECT_EQ(UUIDTraits->ReadValue(*shorter, buffer.data(), buffer.size(), 0), 1u);
    EXPECT_EQ(ValueBytes(*shorter), Bytes("0a"));
}

TEST(ScalarTraits, unsupported_operations_are_reported_with_the_traits_name)
{
    mxf::MDObjectPtr object = Value(mxf::DefaultTraits(), 0, "01");
    object->Name = "Thing";
    const mxf::MDTraits& traits = *mxf::DefaultTraits();
    EXPECT_EQ(traits.Name(), "mxf::MDTraits_DefaultTraits");

    struct Case
    {
        const char* Operation;
        std::function<std::string()> Call; // the result as text
    };
    const Case cases[] = {
        {"SetInt",
         [&]
         {
             traits.SetInt(*object, 1);
             return ValueBytes(*object) == Bytes("01") ? "kept" : "changed";
         }},
        {"SetInt64",
         [&]
         {
             traits.SetInt64(*object, 1);
             return std::string("kept");
         }},
        {"SetUInt",
         [&]
         {
             traits.SetUInt(*object, 1);
             return std::string("kept");
         }},
        {"SetUInt64",
         [&]
         {
             traits.SetUInt64(*object, 1);
             return std::string("kept");
         }},
        {"SetString",
         [&]
         {
             traits.SetString(*object, "2");
             return ValueBytes(*object) == Bytes("01") ? "kept" : "changed";
         }},
        {"GetInt", [&] { return std::to_string(traits.GetInt(*object)); }},
        {"GetInt64", [&] { return std::to_string(traits.GetInt64(*object)); }},
        {"GetUInt", [&] { return std::to_string(traits.GetUInt(*object)); }},
        {"GetUInt64", [&] { return std::to_string(traits.GetUInt64(*object)); }},
        {"GetString", [&] { return traits.GetString(*object, 3); }},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Operation);
        mxftest::ClearDiagnostics();
        const std::string result = c.Call();
        const std::string operation = c.Operation;
        EXPECT_EQ(result, operation.starts_with("Set") ? "kept" : operation == "GetString" ? "Base" : "0");
        EXPECT_EQ(mxftest::Errors(),
                  std::vector<std::string>{"Called " + operation +
                                           "() on Thing which has traits of "
                                           "mxf::MDTraits_DefaultTraits and does not support " +
                                           operation + "()\n"});
    }

    // Raw bytes take no numbers either.
    mxftest::ClearDiagnostics();
    Raw->SetUInt(*object, 1);
    EXPECT_EQ(mxftest::Errors(),
              std::vector<std::string>{"Called SetUInt() on Thing which has traits of "
                                       "mxf::MDTraits_Raw and does not support SetUInt()\n"});
}

TEST(ScalarTraits, characters_are_one_byte_of_iso7_or_one_utf16_unit_shown_in_utf8)
{
    struct Case
    {
        const mxf::MDTraitsPtr* Traits;
        const char* Text;
        const char* Bytes;
        const char* Shown; // GetString of the stored bytes
    };
    const Case cases[] = {
        {&ISO7, "Hello", "48", "H"},
        {&ISO7, "", "00", ""},
        {&UTF16, "A", "00 41", "A"},
        {&UTF16, "\xc3\xa9", "00 e9", "\xc3\xa9"},
        {&UTF16, "\xe2\x82\xac", "20 ac", "\xe2\x82\xac"},
        {&UTF16, "\xed\xa0\x80", "ff fd", "\xef\xbf\xbd"}, // a surrogate is no character
        {&UTF16, "\xff", "ff fd", "\xef\xbf\xbd"},
        {&UTF16, "\xc3", "ff fd", "\xef\xbf\xbd"},             // cut short
        {&UTF16, "\xf0\x9f\x98\x80", "ff fd", "\xef\xbf\xbd"}, // beyond the basic plane
        {&UTF16, "", "00 00", ""},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE((*c.Traits)->Name() + " " + c.Bytes);
        mxf::MDObjectPtr object = Value(*c.Traits, 0);
        (*c.Traits)->SetString(*object, c.Text);
        EXPECT_EQ(ValueBytes(*object), Bytes(c.Bytes));
        EXPECT_EQ((*c.Traits)->GetString(*object), c.Shown);
    }
}

TEST(ScalarTraits, raw_bytes_read_numbers_from_their_leading_bytes)
{
    struct Case
    {
        const char* Bytes;
        std::int32_t Int;
        std::uint32_t UInt;
        std::int64_t Int64;
        std::uint64_t UInt64;
    };
    const Case cases[] = {
        {"", 0, 0, 0, 0},
        {"ff", 255, 255, 255, 255},
        {"ff fe", -2, 65534, -2, 65534},
        {"ff fe 01", -2, 65534, -2, 65534},
        {"ff ff ff fe 01", -2, 0xfffffffe, -2, 0xfffffffe},
        {"01 02 03 04 05 06 07 88 09", static_cast<std::int32_t>(0x05060788), 0x05060788, 0x0102030405060788,
         0x0102030405060788},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Bytes);
        mxf::MDObjectPtr object = Value(Raw, 0, c.Bytes);
        EXPECT_EQ(Raw->GetInt(*object), c.Int);
        EXPECT_EQ(Raw->GetUInt(*object), c.UInt);
        EXPECT_EQ(Raw->GetInt64(*object), c.Int64);
        EXPECT_EQ(Raw->GetUInt64(*object), c.UInt64);
        EXPECT_EQ(Raw->GetString(*object), c.Bytes);
    }
}

TEST(ScalarTraits, raw_text_gives_one_byte_per_run_of_digits_into_the_value_as_sized)
{
    struct Case
    {
        std::int32_t Size;
        const char* Text;
        const char* Bytes;
    };
    const Case cases[] = {
        {4, "6 0e 2b", "06 0e 2b 00"}, {1, "123", "23"},      {2, "0102", "02 00"},
        {2, "01 02 03", "01 02"},      {3, "zz", "00 00 00"}, {0, "01 02", ""},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Text);
        mxf::MDObjectPtr object = Value(Raw, c.Size);
        Raw->SetString(*object, c.Text);
        EXPECT_EQ(ValueBytes(*object), Bytes(c.Bytes));
    }
}

TEST(IdentifierTraits, show_their_text_form_or_what_is_wrong_with_the_value)
{
    struct Case
    {
        const mxf::MDTraitsPtr* Traits;
        const char* Bytes;
        const char* Text;
    };
    const Case cases[] = {
        {&UUIDTraits, "5a 3c 91 e2 07 4d 4b 1f 8c 66 d0 13 7a 29 e5 b4",
         "{5a3c91e2-074d-4b1f-8c66-d0137a29e5b4}"},
        {&UUIDTraits, "01 02 03 04 05 06 07 08", "<Invalid-UUID = 01 02 03 04 05 06 07 08>"},
        {&UUIDTraits, "", "<Zero-Length UUID>"},
        {&LabelTraits, "06 0e 2b 34 71 01 01 01 0d 01 02 01 01 02 04 00 ff",
         "[060e2b34.7101.0101.0d010201.01020400]"},
        {&LabelTraits, "06 0e 2b", "<Invalid-Label = 06 0e 2b>"},
        {&LabelTraits, "", "<Zero-Length Label>"},
        {&UMIDTraits,
         "06 0a 2b 34 01 01 01 01 01 01 0f 20 13 00 00 00 "
         "0d 01 02 01 01 02 04 00 06 0e 2b 34 71 01 01 01",
         "[060a2b34.0101.0101.01010f20],13,00,00,00,[060e2b34.7101.0101.0d010201.01020400]"},
        {&UMIDTraits, "06 0a", "<Invalid-UMID = 06 0a>"},
        {&UMIDTraits, "", "<Zero-Length UMID>"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Text);
        mxf::MDObjectPtr object = Value(*c.Traits, 0, c.Bytes);
        EXPECT_EQ((*c.Traits)->GetString(*object), c.Text);
        EXPECT_EQ((*c.Traits)->GetString(*object, -1), c.Text);
        EXPECT_TRUE((*c.Traits)->HandlesArrayAsValue());
    }
    EXPECT_FALSE(Raw->HandlesArrayAsValue());
    EXPECT_FALSE(Int8->HandlesArrayAsValue());
}

TEST(IdentifierTraits, texts_become_as_many_bytes_as_the_value_holds)
{
    struct Case
    {
        const mxf::MDTraitsPtr* Traits;
        std::int32_t Size;
        const char* Text;
        const char* Bytes;
    };
    const Case cases[] = {
        {&UUIDTraits, 16, "urn:oid:1.3.52.2.4.1.2.1.1.1.1.1.1.1.1.1",
         "01 01 01 01 01 01 01 01 06 0e 2b 34 02 04 01 02"},
        {&UUIDTraits, 2, "urn:oid:101", "0a 01"},
        {&UUIDTraits, 16, "{5a3c91e2-074d-4b1f-8c66-d0137a29e5b4}",
         "5a 3c 91 e2 07 4d 4b 1f 8c 66 d0 13 7a 29 e5 b4"},
        // Labels written for a UUID are held with their halves exchanged.
        {&UUIDTraits, 16, "[060e2b34.0101.0101.0d010201.01020400]",
         "0d 01 02 01 01 02 04 00 06 0e 2b 34 01 01 01 01"},
        {&UUIDTraits, 16, "URN:SMPTE:UL:060e2b34.0101.0101.0d010201.01020400",
         "0d 01 02 01 01 02 04 00 06 0e 2b 34 01 01 01 01"},
        {&UUIDTraits, 16, "urn:x-ul:060e2b34.0101.0101.0d010201.01020400",
         "0d 01 02 01 01 02 04 00 06 0e 2b 34 01 01 01 01"},
        {&UUIDTraits, 16, "01 2 0304", "01 02 03 04 00 00 00 00 00 00 00 00 00 00 00 00"},
        {&UUIDTraits, 4, "0102030405060708", "01 02 03 04"},
        {&UUIDTraits, 16, "01[02", "01 02 00 00 00 00 00 00 00 00 00 00 00 00 00 00"}, // a late bracket
        {&LabelTraits, 16, "{00112233-4455-6677-8899-aabbccddeeff}",
         "88 99 aa bb cc dd ee ff 00 11 22 33 44 55 66 77"},
        {&LabelTraits, 16, "urn:uuid:00112233-4455-6677-8899-aabbccddeeff",
         "88 99 aa bb cc dd ee ff 00 11 22 33 44 55 66 77"},
        {&LabelTraits, 16, "[00112233.4455.6677.8899aabb.ccddeeff]",
         "00 11 22 33 44 55 66 77 88 99 aa bb cc dd ee ff"},
        {&LabelTraits, 16, "urn:oid:1.3.52.4.1.1.13.1.2.1.1.2.4.0",
         "06 0e 2b 34 04 01 01 0d 01 02 01 01 02 04 00 00"},
        {&LabelTraits, 16, "not a symbol", "0a 0b 00 00 00 00 00 00 00 00 00 00 00 00 00 00"},
        {&UMIDTraits, 32,
         "urn:smpte:umid:[060a2b34.0101.0101.01010f20],13,00,00,00,[060e2b34.7101.0101.0d010201.01020400]",
         "06 0a 2b 34 01 01 01 01 01 01 0f 20 13 00 00 00 0d 01 02 01 01 02 04 00 06 0e 2b 34 71 01 01 01"},
        {&UMIDTraits, 32, "060a2b34010101010101 0f201300 0000 [aa]",
         "06 0a 2b 34 01 01 01 01 01 01 0f 20 13 00 00 00 00 00 00 00 00 00 00 00 aa 00 00 00 00 00 00 00"},
        {&UMIDTraits, 32, "060a2b34010101010101 0f201300 0000 aa [bb]",
         "06 0a 2b 34 01 01 01 01 01 01 0f 20 13 00 00 00 aa bb 00 00 00 00 00 00 00 00 00 00 00 00 00 00"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE((*c.Traits)->Name() + " " + c.Text);
        mxf::MDObjectPtr object = Value(*c.Traits, c.Size);
        (*c.Traits)->SetString(*object, c.Text);
        EXPECT_EQ(ValueBytes(*object), Bytes(c.Bytes));
    }
}

TEST(IdentifierTraits, a_label_is_found_by_its_symbol_before_the_first_blank)
{
    const mxf::ULPtr label = mxftest::NewLabel(0x71);
    ASSERT_TRUE(mxf::DefaultSymbolSpace()->AddSymbol("TraitsTestLabelSymbol", label));
    mxf::MDObjectPtr object = Value(LabelTraits, 0);
    LabelTraits->SetString(*object, "TraitsTestLabelSymbol and any text after it");
    EXPECT_EQ(ValueBytes(*object), mxftest::Bytes(label->GetValue(), 16));
}

TEST(IdentifierTraits, the_text_of_each_identifier_reads_back_to_its_bytes)
{
    const char* identifiers[][2] = {
        {"UUID", "5a 3c 91 e2 07 4d 4b 1f 8c 66 d0 13 7a 29 e5 b4"},
        {"UUID", "06 0e 2b 34 71 01 01 01 0d 01 02 01 01 02 04 00"},
        {"UUID", "0d 01 02 01 01 02 04 00 06 0e 2b 34 71 01 01 01"},
        {"Label", "06 0e 2b 34 71 01 01 01 0d 01 02 01 01 02 04 00"},
        {"Label", "8c 66 d0 13 7a 29 e5 b4 5a 3c 91 e2 07 4d 4b 1f"},
        {"UMID", "06 0a 2b 34 01 01 01 01 01 01 0f 20 13 00 00 00 "
                 "0d 01 02 01 01 02 04 00 06 0e 2b 34 71 01 01 01"},
        {"UMID", "06 0a 2b 34 01 01 01 01 01 01 0f 20 13 00 00 00 "
                 "5a 3c 91 e2 07 4d 4b 1f 8c 66 d0 13 7a 29 e5 b4"},
    };
    for (const auto& [kind, hex] : identifiers)
    {
        SCOPED_TRACE(hex);
        const mxf::MDTraitsPtr& traits = std::string(kind) == "UUID"    ? UUIDTraits
                                         : std::string(kind) == "Label" ? LabelTraits
                                                                        : UMIDTraits;
        mxf::MDObjectPtr shown = Value(traits, 0, hex);
        mxf::MDObjectPtr read = Value(traits, static_cast<std::int32_t>(shown->Value.Size()));
        traits->SetString(*read, traits->GetString(*shown));
        EXPECT_EQ(ValueBytes(*read), Bytes(hex));
    }
}

TEST(TraitsRegistry, the_first_traits_of_a_name_stay)
{
    const mxf::MDTraitsPtr first = new mxf::MDTraits_Int8;
    const mxf::MDTraitsPtr second = new mxf::MDTraits_Int8;
    mxftest::ClearDiagnostics();
    EXPECT_TRUE(mxf::RegisterTraits("test::TraitsRegistry", first));
    EXPECT_FALSE(mxf::RegisterTraits("test::TraitsRegistry", second));
    EXPECT_EQ(mxftest::Errors(),
              std::vector<std::string>{
                  "Internal error - two traits defined with the name \"test::TraitsRegistry\"\n"});
    EXPECT_EQ(mxf::LookupTraits("test::TraitsRegistry"), first);
    EXPECT_FALSE(mxf::LookupTraits("test::NotRegistered"));
    EXPECT_EQ(mxf::DefaultTraits(), mxf::DefaultTraits());
}

TEST(TraitsRegistry, every_traits_class_is_named_after_itself)
{
    const std::pair<const mxf::MDTraitsPtr*, const char*> names[] = {
        {&Int8, "mxf::MDTraits_Int8"},         {&UInt8, "mxf::MDTraits_UInt8"},
        {&ISO7, "mxf::MDTraits_ISO7"},         {&Int16, "mxf::MDTraits_Int16"},
        {&UInt16, "mxf::MDTraits_UInt16"},     {&UTF16, "mxf::MDTraits_UTF16"},
        {&Int32, "mxf::MDTraits_Int32"},       {&UInt32, "mxf::MDTraits_UInt32"},
        {&Int64, "mxf::MDTraits_Int64"},       {&UInt64, "mxf::MDTraits_UInt64"},
        {&Raw, "mxf::MDTraits_Raw"},           {&UUIDTraits, "mxf::MDTraits_UUID"},
        {&LabelTraits, "mxf::MDTraits_Label"}, {&UMIDTraits, "mxf::MDTraits_UMID"},
    };
    for (const auto& [traits, name] : names)
        EXPECT_EQ((*traits)->Name(), name);
}

} // namespace
