#include "FileSystems/PoolReelFS/CActiveCircleTarFile.h"
#include "win/CodePage.h"

#include <gtest/gtest.h>

#include <string>

namespace
{
std::string Field(const char* field, std::size_t width)
{
    std::string_view text(field, width);
    return std::string(text.substr(0, text.find('\0')));
}

// A name of `length` bytes, letters cycling, with '/' at the positions given.
std::string Name(std::size_t length, std::initializer_list<std::size_t> slashes)
{
    std::string name(length, 'a');
    for (std::size_t i = 0; i < length; ++i)
        name[i] = static_cast<char>('a' + i % 26);
    for (std::size_t slash : slashes)
        name[slash] = '/';
    return name;
}

TEST(StoreName, splits_long_names_at_a_slash_into_prefix_and_name)
{
    const struct
    {
        const char* Case;
        std::string Name;
        std::size_t NameStart, NameLength; // where the name field's bytes come from
        std::size_t PrefixLength;          // the prefix field holds the name's first bytes
        bool PathRecord;
    } cases[] = {
        {"fits the name field", Name(100, {50}), 0, 100, 0, false},
        {"last slash at 30 of 120", Name(120, {10, 30}), 31, 89, 30, false},
        {"last slash on the last 99 bytes, at 51 of 150", Name(150, {51}), 52, 98, 51, false},
        {"last slash at 155, the longest prefix", Name(200, {155}), 156, 44, 155, false},
        {"last slash at 156: prefix up to an earlier slash", Name(200, {40, 156}), 157, 43, 40, true},
        {"only slash at 170 of 200: the first 155 bytes as prefix", Name(200, {170}), 171, 29, 155, true},
        {"no slash in 150 bytes", Name(150, {}), 0, 100, 150, true},
        {"slash at 50 of 150, just before the last 99 bytes", Name(150, {50}), 51, 99, 50, true},
        {"slashes early and in the middle of 256 bytes", Name(256, {10, 100}), 11, 100, 10, true},
        {"first slash past 155 of 400", Name(400, {160}), 161, 100, 155, true},
        {"a leading slash is no place to end the prefix", Name(200, {0, 170}), 171, 29, 155, true},
    };
    for (const auto& c : cases)
    {
        CActiveCircleTarFile tar;
        EXPECT_EQ(tar.StoreName(c.Name), c.PathRecord) << c.Case;
        EXPECT_EQ(Field(tar.Header[0].Name, sizeof tar.Header[0].Name),
                  c.Name.substr(c.NameStart, c.NameLength))
            << c.Case;
        EXPECT_EQ(Field(tar.Header[0].Prefix, sizeof tar.Header[0].Prefix), c.Name.substr(0, c.PrefixLength))
            << c.Case;

        // Built as a header, a split name reads back whole; any other gets its record.
        CFileName built;
        ASSERT_EQ(built.FromMultiByte(CP_UTF8, c.Name), 0u);
        ASSERT_TRUE(tar.BuildHeader(CVolumeID(), built).IsSuccess()) << c.Case;
        EXPECT_EQ(tar.PaxLength != 0, c.PathRecord) << c.Case;
        CFileName read;
        ASSERT_TRUE(tar.GetName(CP_UTF8, read).IsSuccess()) << c.Case;
        EXPECT_EQ(read.ToUtf8(), c.Name) << c.Case;
    }
}
} // namespace
