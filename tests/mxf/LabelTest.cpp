#include "TestBytes.h"

#include "mxf/Label.h"
#include "mxf/UUID.h"

#include <gtest/gtest.h>

namespace
{

using mxftest::Bytes16;

// Each test uses labels of its own first bytes: the registries live as long as the test program.
mxf::ULPtr MakeUL(const char* hex)
{
    return new mxf::UL(Bytes16(hex).data());
}

TEST(Labels, first_exact_label_of_a_ul_stays_and_names_it_in_text)
{
    const mxf::ULPtr label = MakeUL("06 0e 2b 34 7e 01 01 01 0d 01 02 01 01 02 04 00");
    EXPECT_TRUE(mxf::Label::Register("First", "the first", label, nullptr));
    EXPECT_FALSE(mxf::Label::Register("Second", "the second", label, nullptr));
    EXPECT_EQ(mxf::Label::Find(*label)->GetName(), "First");
    EXPECT_EQ(label->GetString(), "First - the first");
    // Held as a UUID (top bit of byte 9 clear, SMPTE prefix), the label is looked up too.
    EXPECT_EQ(mxf::UUID::FormatString(label->GetValue(), -1), "First - the first");
}

TEST(Labels, masked_lookup_prefers_exact_then_fewest_wildcards_then_the_last)
{
    const auto mask8 = Bytes16("00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 ff");
    const auto mask4 = Bytes16("00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 0f");
    const auto maskLow4 = Bytes16("00 00 00 00 00 00 00 00 00 00 00 00 00 00 f0 00");
    const char* family = "06 0e 2b 34 7d 01 01 01 0d 01 02 01 01 02 00 00";
    ASSERT_TRUE(mxf::Label::Register("Wide", "", MakeUL(family), mask8.data()));
    ASSERT_TRUE(mxf::Label::Register("Narrow", "", MakeUL(family), mask4.data()));
    ASSERT_TRUE(mxf::Label::Register(
        "NarrowToo", "", MakeUL("06 0e 2b 34 7d 01 01 01 0d 01 02 01 01 02 00 03"), maskLow4.data()));
    ASSERT_TRUE(mxf::Label::Register("Exact", "", MakeUL("06 0e 2b 34 7d 01 01 01 0d 01 02 01 01 02 00 09"),
                                     nullptr));

    struct Case
    {
        const char* UL;
        const char* Name; // empty: no label
    };
    const Case cases[] = {
        {"06 0e 2b 34 7d 01 01 01 0d 01 02 01 01 02 00 f0", "Wide"},
        {"06 0e 2b 34 7d 01 01 01 0d 01 02 01 01 02 00 05", "Narrow"},
        {"06 0e 2b 34 7d 01 01 01 0d 01 02 01 01 02 00 09", "Exact"},
        // Narrow and NarrowToo both match with 4 wildcard bits: the later in UL order wins.
        {"06 0e 2b 34 7d 01 01 01 0d 01 02 01 01 02 00 03", "NarrowToo"},
        {"06 0e 2b 34 7d 01 01 01 0d 01 02 01 01 02 10 03", "NarrowToo"},
        {"06 0e 2b 34 7d 01 01 01 0d 01 02 01 01 03 00 00", ""},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.UL);
        const mxf::LabelPtr found = mxf::Label::Find(mxf::UL(Bytes16(c.UL).data()));
        EXPECT_EQ(found ? found->GetName() : std::string(), c.Name);
    }
}

} // namespace
