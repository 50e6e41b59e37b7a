#include "RecordingDiagnostics.h"

#include "mxf/SymbolSpace.h"

#include <gtest/gtest.h>

namespace
{

mxf::ULPtr MakeUL(std::uint8_t last)
{
    std::uint8_t bytes[16] = {0x06, 0x0e, 0x2b, 0x34, 0x01, 0x01, 0x01, 0x01};
    bytes[15] = last;
    return new mxf::UL(bytes);
}

TEST(SymbolSpaces, first_definition_of_a_symbol_stays)
{
    const mxf::SymbolSpacePtr space = new mxf::SymbolSpace("test:first-definition");
    const mxf::ULPtr first = MakeUL(1);
    EXPECT_TRUE(space->AddSymbol("Name", first));
    EXPECT_FALSE(space->AddSymbol("Name", MakeUL(2)));
    EXPECT_EQ(space->FindSymbol("Name", false), first);
    EXPECT_FALSE(space->FindSymbol("name", false)); // case matters
}

TEST(SymbolSpaces, search_all_finds_symbols_of_other_registered_spaces)
{
    const mxf::SymbolSpacePtr here = new mxf::SymbolSpace("test:search-here");
    const mxf::SymbolSpacePtr there = new mxf::SymbolSpace("test:search-there");
    const mxf::ULPtr label = MakeUL(3);
    ASSERT_TRUE(there->AddSymbol("OnlyThere", label));

    EXPECT_FALSE(here->FindSymbol("OnlyThere", false));
    EXPECT_EQ(here->FindSymbol("OnlyThere", true), label);
    EXPECT_FALSE(here->FindSymbol("Nowhere", true));
    EXPECT_EQ(mxf::SymbolSpace::FindSymbolSpace("test:search-there"), there);
    EXPECT_FALSE(mxf::SymbolSpace::FindSymbolSpace("test:never-made"));
}

TEST(SymbolSpaces, duplicate_name_is_reported_and_the_first_space_keeps_it)
{
    const mxf::SymbolSpacePtr& defaultSpace = mxf::DefaultSymbolSpace();
    ASSERT_TRUE(defaultSpace);
    EXPECT_EQ(defaultSpace->GetName(), mxf::DefaultSymbolSpaceName);

    mxftest::ClearDiagnostics();
    {
        const mxf::SymbolSpacePtr impostor = new mxf::SymbolSpace(mxf::DefaultSymbolSpaceName);
        ASSERT_TRUE(impostor->AddSymbol("ImpostorOnly", MakeUL(4)));
    }
    const std::vector<std::string> expected = {std::string("Duplicate symbol space name \"") +
                                               mxf::DefaultSymbolSpaceName + "\"\n"};
    EXPECT_EQ(mxftest::Errors(), expected);
    EXPECT_EQ(mxf::SymbolSpace::FindSymbolSpace(mxf::DefaultSymbolSpaceName), defaultSpace);
    EXPECT_FALSE(defaultSpace->FindSymbol("ImpostorOnly", true)); // the unregistered space is gone
}

} // namespace
