#include "RecordingDiagnostics.h"
#include "TestBytes.h"

#include "mxf/IdentifierText.h"
#include "mxf/UL.h"
#include "mxf/UMID.h"
#include "mxf/UUID.h"

#include <gtest/gtest.h>

#include <cstring>

namespace
{

using mxftest::Bytes;
using mxftest::Bytes16;

TEST(Identifiers, text_forms_of_labels_uuids_and_umids)
{
    struct Case
    {
        const char* Kind;
        const char* Bytes;
        const char* Text;
    };
    const Case cases[] = {
        {"UL", "06 0e 2b 34 01 01 01 01 0d 01 02 01 01 02 04 00", "[060e2b34.0101.0101.0d010201.01020400]"},
        {"UL", "8c 66 d0 13 7a 29 e5 b4 5a 3c 91 e2 07 4d 4b 1f", "{5a3c91e2-074d-4b1f-8c66-d0137a29e5b4}"},
        {"UUID", "5a 3c 91 e2 07 4d 4b 1f 8c 66 d0 13 7a 29 e5 b4", "{5a3c91e2-074d-4b1f-8c66-d0137a29e5b4}"},
        {"UUID", "06 0e 2b 34 01 01 01 01 0d 01 02 01 01 02 04 00", "{060e2b34-0101-0101-0d01-020101020400}"},
        // A label held as a UUID with its halves swapped prints as the label.
        {"UUID", "0d 01 02 01 01 02 04 00 06 0e 2b 34 01 01 01 01", "[060e2b34.0101.0101.0d010201.01020400]"},
        {"UMID",
         "06 0a 2b 34 01 01 01 05 01 01 0d 20 13 00 00 00 5a 3c 91 e2 07 4d 4b 1f 8c 66 d0 13 7a 29 e5 b4",
         "[060a2b34.0101.0105.01010d20],13,00,00,00,{5a3c91e2-074d-4b1f-8c66-d0137a29e5b4}"},
        {"UMID",
         "06 0a 2b 34 01 01 01 05 01 01 0d 20 13 00 00 00 0d 01 02 01 01 02 04 00 06 0e 2b 34 01 01 01 01",
         "[060a2b34.0101.0105.01010d20],13,00,00,00,[060e2b34.0101.0101.0d010201.01020400]"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Text);
        const std::vector<std::uint8_t> bytes = Bytes(c.Bytes);
        const std::string kind = c.Kind;
        const std::string text = kind == "UL"     ? mxf::UL::FormatString(bytes.data(), -1)
                                 : kind == "UUID" ? mxf::UUID::FormatString(bytes.data(), -1)
                                                  : mxf::UMID::FormatString(bytes.data(), -1);
        EXPECT_EQ(text, c.Text);
    }
}

TEST(Identifiers, unknown_output_format_is_reported_and_the_standard_form_used)
{
    const auto bytes = Bytes16("06 0e 2b 34 01 01 01 01 0d 01 02 01 01 02 04 00");
    mxftest::ClearDiagnostics();
    EXPECT_EQ(mxf::UL::FormatString(bytes.data(), 99), "[060e2b34.0101.0101.0d010201.01020400]");
    const std::vector<std::string> expected = {"Unknown OutputFormat 99 in UL::FormatString()\n"};
    EXPECT_EQ(mxftest::Errors(), expected);
}

TEST(Identifiers, new_uuids_are_random_version_4_and_print_alike_as_ul)
{
    const mxf::UUID first;
    const mxf::UUID second;
    EXPECT_NE(first.GetArray(), second.GetArray());
    EXPECT_EQ(first.GetValue()[6] & 0xf0, 0x40);
    EXPECT_EQ(first.GetValue()[8] & 0xc0, 0x80);

    const std::string text = mxf::UUID::FormatString(first.GetValue(), -1);
    ASSERT_EQ(text.size(), 38u);
    EXPECT_EQ(text.front(), '{');
    EXPECT_EQ(text.back(), '}');
    EXPECT_EQ(text.find_first_not_of("0123456789abcdef-", 1), 37u);
    EXPECT_EQ(mxf::UL::FormatString(mxf::SwapHalves(first.GetValue()).data(), -1), text);

    const mxf::ULPtr fromUUID = mxf::ULFromNewUUID();
    EXPECT_EQ(fromUUID->GetValue()[0] & 0xc0, 0x80); // the variant bits lead a UUID held as a UL
    EXPECT_EQ(fromUUID->GetString().front(), '{');
}

TEST(Identifiers, matches_ignores_the_version_byte_and_the_layout_byte_of_group_keys)
{
    struct Case
    {
        const char* A;
        const char* B;
        bool Matches;
    };
    const Case cases[] = {
        {"06 0e 2b 34 01 01 01 01 0d 01 02 01 01 02 04 00", "06 0e 2b 34 01 01 01 05 0d 01 02 01 01 02 04 00",
         true},
        {"06 0e 2b 34 02 53 01 01 0d 01 01 01 01 01 2f 00", "06 0e 2b 34 02 13 01 01 0d 01 01 01 01 01 2f 00",
         true},
        {"16 0e 2b 34 02 53 01 01 0d 01 01 01 01 01 2f 00", "16 0e 2b 34 02 13 01 01 0d 01 01 01 01 01 2f 00",
         false},
        {"06 0e 2b 34 01 53 01 01 0d 01 01 01 01 01 2f 00", "06 0e 2b 34 01 13 01 01 0d 01 01 01 01 01 2f 00",
         false},
        {"06 0e 2b 34 01 01 01 01 0d 01 02 01 01 02 04 00", "06 0e 2b 34 01 01 02 01 0d 01 02 01 01 02 04 00",
         false},
        {"06 0e 2b 34 01 01 01 01 0d 01 02 01 01 02 04 00", "06 0e 2b 34 01 01 01 01 0d 01 02 01 01 02 04 01",
         false},
        {"06 0e 2b 34 01 01 01 01 0d 01 02 01 01 02 04 00", "07 0e 2b 34 01 01 01 01 0d 01 02 01 01 02 04 00",
         false},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(std::string(c.A) + " / " + c.B);
        const mxf::UL a(Bytes16(c.A).data());
        const mxf::UL b(Bytes16(c.B).data());
        EXPECT_EQ(a.Matches(b), c.Matches);
    }
}

TEST(Identifiers, parse_identifier_text)
{
    struct Case
    {
        const char* Text;
        bool Complete;
        const char* Bytes; // the output, which starts as all ee
    };
    const Case cases[] = {
        {"06 0e 2b 34 01 01 01 01 0d 01 02 01 01 02 04 00", true,
         "06 0e 2b 34 01 01 01 01 0d 01 02 01 01 02 04 00"},
        {"06.0E.2b.34.01.01.01.01.0d.01.02.01.01.02.04.00", true,
         "06 0e 2b 34 01 01 01 01 0d 01 02 01 01 02 04 00"},
        {"{00112233-4455-6677-8899-aabbccddeeff}", true, "88 99 aa bb cc dd ee ff 00 11 22 33 44 55 66 77"},
        {"urn:uuid:00112233-4455-6677-8899-aabbccddeeff", true,
         "88 99 aa bb cc dd ee ff 00 11 22 33 44 55 66 77"},
        {"URN:UUID:00112233-4455-6677-8899-aabbccddeeff", true,
         "88 99 aa bb cc dd ee ff 00 11 22 33 44 55 66 77"},
        {"urn:smpte:ul:060e2b34.01010101.0d010201.01020400", true,
         "06 0e 2b 34 01 01 01 01 0d 01 02 01 01 02 04 00"},
        {"urn:x-ul:060e2b34.0101.0101.0d010201.01020400", true,
         "06 0e 2b 34 01 01 01 01 0d 01 02 01 01 02 04 00"},
        {"060e2b34.0101.0101.0d010201", false, "06 0e 2b 34 01 01 01 01 0d 01 02 01 00 ee ee ee"},
        {"6 e 2b", false, "06 0e 2b 00 ee ee ee ee ee ee ee ee ee ee ee ee"},
        {"urn:oid:1.3.52.4.1.1.13.1.2.1.1.2.4.0", false, "06 0e 2b 34 04 01 01 0d 01 02 01 01 02 04 00 00"},
        {"06 0e 2b 34 01 01 0g", false, "06 0e 2b 34 01 01 ee ee ee ee ee ee ee ee ee ee"},
        // A 16th value from a trailing single digit leaves no room for the end's zero.
        {"06 0e 2b 34 01 01 01 01 0d 01 02 01 01 02 04 5", true,
         "06 0e 2b 34 01 01 01 01 0d 01 02 01 01 02 04 05"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Text);
        std::uint8_t out[17];
        std::memset(out, 0xee, sizeof out);
        EXPECT_EQ(mxf::ParseIdentifierText(c.Text, out), c.Complete);
        EXPECT_EQ(Bytes(out, 16), Bytes(c.Bytes));
        EXPECT_EQ(out[16], 0xee);
    }
    EXPECT_FALSE(mxf::ULFromText("060e2b34.0101.0101.0d010201"));
    EXPECT_EQ(mxf::ULFromText("{00112233-4455-6677-8899-aabbccddeeff}")->GetString(),
              "{00112233-4455-6677-8899-aabbccddeeff}");
}

TEST(Identifiers, ul_text_constructor_recognises_each_form)
{
    struct Case
    {
        const char* Text;
        const char* Bytes;
    };
    const Case cases[] = {
        {"[060e2b34.0101.0101.81028302.0405067f]", "06 0e 2b 34 01 01 01 01 82 82 04 05 06 7f 00 00"},
        {"[060e2b34.0101.0101.0d010201.01020400]", "06 0e 2b 34 01 01 01 01 0d 01 02 01 01 02 04 00"},
        {"  [060E2B34.0101.0101.0D010201.01020400] trailing",
         "06 0e 2b 34 01 01 01 01 0d 01 02 01 01 02 04 00"},
        {"urn:x-ul:060e2b34.0101.0101.0d010201.01020400", "06 0e 2b 34 01 01 01 01 0d 01 02 01 01 02 04 00"},
        {"urn:x-ul:060e2b34.0101.0101.0d010201", "06 0e 2b 34 01 01 01 01 0d 01 02 01 00 00 00 00"},
        {"06.0e.2b.34.01.01.01.01.0d.01.02.01.01.02.04.00",
         "06 0e 2b 34 01 01 01 01 0d 01 02 01 01 02 04 00"},
        {"0x060e2b34010101010d01020101020400", "06 0e 2b 34 01 01 01 01 0d 01 02 01 01 02 04 00"},
        {"{00112233-4455-6677-8899-aabbccddeeff}", "88 99 aa bb cc dd ee ff 00 11 22 33 44 55 66 77"},
        // Halves swapped back to an SMPTE label: its second half is read in base 128.
        {"{81028302-0405-067f-060e-2b3401010101}", "06 0e 2b 34 01 01 01 01 82 82 04 05 06 7f 00 00"},
        {"urn:uuid:00112233-4455-6677-8899-aabbccddeeff", "00 11 22 33 44 55 66 77 88 99 aa bb cc dd ee ff"},
        // 06 0A labels read only bytes 9-12 in base 128.
        {"[060a2b34.0101.0101.81020304.05060708]", "06 0a 2b 34 01 01 01 01 82 03 04 00 00 00 00 00"},
        {"[160a2b34.0101.0101.81020304.05060708]", "16 0a 2b 34 01 01 01 01 81 02 03 04 05 06 07 08"},
        {"Unknown", "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"},
        {"urn:oid:1.3.52.4.1.1.13", "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"},
        {"URN:X-UL:060e2b34.0101.0101.0d010201.01020400", "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Text);
        const mxf::UL label{std::string_view(c.Text)};
        EXPECT_EQ(Bytes(label.GetValue(), 16), Bytes(c.Bytes));
    }
}

} // namespace
