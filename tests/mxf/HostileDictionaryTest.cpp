// Dictionary documents as a damaged or hostile source may write them: versions of more digits than a
// number holds, and classes nested deeper than any real dictionary.
#include "RecordingDiagnostics.h"

#include "mxf/MDOType.h"
#include "mxf/RXIDictionary.h"
#include "mxf/XMLDictionary.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

namespace
{

TEST(HostileDictionary, versions_of_more_digits_than_a_number_holds_mean_every_later_version)
{
    const struct
    {
        const char* Text;
        int Hundredths;
    } cases[] = {
        {"2.5", 250},
        {"21474836", 2147483600},
        {"21474837", INT_MAX},
        {"99999999999999999999999", INT_MAX},
        {"1.99999999999999999999", INT_MAX},
        {"99999999999999999999.5", INT_MAX},
    };
    for (const auto& c : cases)
        EXPECT_EQ(mxf::ParseVersionHundredths(c.Text), c.Hundredths) << c.Text;
}

TEST(HostileDictionary, classes_nested_far_deeper_than_real_ones_are_skipped_below_the_depth_limit)
{
    mxftest::ClearDiagnostics();
    // Local sets within local sets; below the depth that is read, plain elements.
    constexpr int Depth = 300000;
    constexpr int Read = 256;
    std::string document = "<MXFDictionary><MXFClasses>";
    char key[8];
    for (int i = 0; i < Read; ++i)
    {
        std::snprintf(key, sizeof key, "%02x %02x", i >> 8, i & 0xff);
        document += "<DeepNest" + std::to_string(i) +
                    " type=\"localSet\" globalKey=\"06 0e 2b 34 7f 53 01 01 0d 01 01 01 7e " + key + " 00\">";
    }
    for (int i = Read; i < Depth; ++i)
        document += "<DeepNest" + std::to_string(Read) + ">";
    for (int i = Depth - 1; i >= Read; --i)
        document += "</DeepNest" + std::to_string(Read) + ">";
    for (int i = Read - 1; i >= 0; --i)
        document += "</DeepNest" + std::to_string(i) + ">";
    document += "</MXFClasses></MXFDictionary>";
    EXPECT_EQ(mxf::LoadXMLDictionaryText(document), 0);
    EXPECT_TRUE(mxf::MDOType::FindByName("DeepNest0", mxf::DefaultSymbolSpace(), false));
    EXPECT_TRUE(mxf::MDOType::FindByName("DeepNest0/DeepNest1", mxf::DefaultSymbolSpace(), false));
    // Classes other tests left waiting for their reference targets are reported again by each load: the
    // nesting is reported once, for the first level not read.
    const std::vector<std::string> errors = mxftest::Errors();
    std::vector<std::string> nesting;
    std::copy_if(errors.begin(), errors.end(), std::back_inserter(nesting),
                 [](const std::string& error) { return error.find(" nested ") != std::string::npos; });
    EXPECT_EQ(nesting,
              std::vector<std::string>{
                  "XML ERROR: Class <DeepNest256> nested more than 256 deep; skipped with what it holds\n"});
}

} // namespace
