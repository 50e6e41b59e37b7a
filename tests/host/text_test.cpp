#include "vnservice/CFactory.h"
#include "vnservice/CFileName.h"
#include "win/CodePage.h"
#include "win/WideString.h"
#include "win/WinError.h"

#include <gtest/gtest.h>

namespace
{
struct Conversion
{
    unsigned CodePage;
    std::string Bytes;
    WString Wide;
};

TEST(CodePages, convert_non_ascii_and_non_bmp_names_both_ways)
{
    const Conversion cases[] = {
        {CP_UTF8, "plain.txt", u"plain.txt"},
        {CP_UTF8, "na\xC3\xAFve/\xE6\x97\xA5\xE6\x9C\xAC", u"na\u00EFve/\u65E5\u672C"},
        {CP_UTF8, "clef \xF0\x9D\x84\x9E", u"clef \U0001D11E"},
        {CP_OEMCP, "caf\x82 \x9B", u"caf\u00E9 \u00A2"},
        {CP_UTF7, "a+AOk-b", u"a\u00E9b"},
        {CP_UTF8, "", u""},
    };
    for (const auto& c : cases)
    {
        WString wide;
        EXPECT_EQ(MultiByteToWide(c.CodePage, c.Bytes, wide), ERROR_SUCCESS) << c.Bytes;
        EXPECT_EQ(wide, c.Wide) << c.Bytes;
        std::string bytes;
        EXPECT_EQ(WideToMultiByte(c.CodePage, c.Wide, bytes), ERROR_SUCCESS) << c.Bytes;
        EXPECT_EQ(bytes, c.Bytes);
    }
}

TEST(CodePages, refuse_what_does_not_convert_instead_of_guessing)
{
    WString wide = u"left over";
    EXPECT_EQ(MultiByteToWide(CP_UTF8, "bad \xC3 byte", wide), ERROR_NO_UNICODE_TRANSLATION);
    EXPECT_TRUE(wide.empty());
    std::string bytes = "left over";
    const char16_t loneSurrogate[] = {u'a', 0xD800, u'b'};
    EXPECT_EQ(WideToMultiByte(CP_UTF8, WStringView(loneSurrogate, 3), bytes), ERROR_NO_UNICODE_TRANSLATION);
    EXPECT_TRUE(bytes.empty());
    EXPECT_EQ(WideToMultiByte(CP_OEMCP, u"\u65E5", bytes), ERROR_NO_UNICODE_TRANSLATION);
    EXPECT_EQ(MultiByteToWide(12345, "x", wide), ERROR_INVALID_PARAMETER);
}

TEST(CodePages, a_conversion_that_fails_midway_leaves_no_state_for_the_next)
{
    // Each case fails inside a multi-byte or encoded run; the same code page then converts afresh.
    const Conversion cases[] = {
        {CP_UTF7, "+AOk\xFF", u"b+-c"},
        {CP_UTF8, "caf\xC3", u"caf\u00E9"},
    };
    for (const auto& c : cases)
    {
        WString wide;
        EXPECT_EQ(MultiByteToWide(c.CodePage, c.Bytes, wide), ERROR_NO_UNICODE_TRANSLATION) << c.Bytes;
        std::string bytes;
        ASSERT_EQ(WideToMultiByte(c.CodePage, c.Wide, bytes), ERROR_SUCCESS);
        EXPECT_EQ(MultiByteToWide(c.CodePage, bytes, wide), ERROR_SUCCESS) << bytes;
        EXPECT_EQ(wide, c.Wide) << bytes;
    }
    const char16_t loneSurrogate[] = {u'\u00E9', 0xD800};
    std::string bytes;
    EXPECT_EQ(WideToMultiByte(CP_UTF7, WStringView(loneSurrogate, 2), bytes), ERROR_NO_UNICODE_TRANSLATION);
    EXPECT_EQ(WideToMultiByte(CP_UTF7, u"x+y", bytes), ERROR_SUCCESS);
    EXPECT_EQ(bytes, "x+-y");
}

TEST(WideText, orders_by_utf16_code_units_not_code_points)
{
    // U+FFFD is one unit 0xFFFD; U+1F600 is the pair D83D DE00, which sorts first by units.
    EXPECT_GT(CompareNoCase(u"\uFFFD", u"\U0001F600"), 0);
    EXPECT_LT(CompareNoCase(u"abc", u"abd"), 0);
    EXPECT_EQ(CompareNoCase(u"ReadMe.TXT", u"readme.txt"), 0);
    EXPECT_NE(CompareNoCase(u"\u00C9", u"\u00E9"), 0); // folding is that of A-Z only
    EXPECT_LT(CompareNoCase(u"ab", u"abc"), 0);

    CFactory<CArchiveFileSystem> factory;
    struct : CFactory<CArchiveFileSystem>::Instance
    {
        CArchiveFileSystem* Create(CSystem*) override { return nullptr; }
    } a, b, c;
    factory.Register(&a, u"\uFFFD");
    factory.Register(&b, u"\U0001F600");
    factory.Register(&c, u"Z");
    std::vector<WString> order;
    for (const auto& [name, instance] : factory.NameMap)
        order.push_back(name);
    EXPECT_EQ(order, (std::vector<WString>{u"Z", u"\U0001F600", u"\uFFFD"}));
}

TEST(WideText, bounded_copy_refuses_text_that_does_not_fit_with_its_terminator)
{
    char16_t field[4] = {u'x', u'x', u'x', u'x'};
    EXPECT_EQ(BoundedCopy(field, 4, u"abc"), 0);
    EXPECT_EQ(WString(field), u"abc");
    EXPECT_EQ(BoundedCopy(field, 4, u"abcd"), ERANGE_COPY);
    EXPECT_EQ(field[0], 0);
}

TEST(FileNames, compare_ignoring_the_case_of_ascii_letters)
{
    CFileName name;
    ASSERT_EQ(name.FromMultiByte(CP_OEMCP, "VANTRELFORMAT.XML"), ERROR_SUCCESS);
    EXPECT_EQ(name.Compare(u"VantrelFormat.xml"), 0);
    EXPECT_NE(name.Compare(u"VantrelFormat.xm"), 0);
}
} // namespace
