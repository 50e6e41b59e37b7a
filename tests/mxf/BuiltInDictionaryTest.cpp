// The built-in dictionary's core as metadata objects find it: its internal types, the stand-ins for what
// the dictionary does not know, and the traits bound to type names.
#include "mxf/BuiltInDictionary.h"
#include "mxf/MDOType.h"
#include "mxf/MDObject.h"

#include <gtest/gtest.h>

namespace
{

mxf::MDTypePtr Type(const std::string& name)
{
    return mxf::MDType::FindByName(name, mxf::DefaultSymbolSpace(), false);
}

TEST(BuiltInDictionary, the_core_holds_the_internal_types_the_stand_ins_and_their_traits)
{
    const mxf::MDObjectPtr first(new mxf::MDObject(mxf::MDOTypePtr()));
    struct Case
    {
        const char* Name;
        int Class;
        const char* Traits;
    };
    const Case cases[] = {
        {"Internal-UInt8", mxf::MDType::BASIC, "mxf::MDTraits_UInt8"},
        {"Internal-UInt8Array", mxf::MDType::TYPEARRAY, nullptr},
        {"UnknownType", mxf::MDType::TYPEARRAY, "mxf::MDTraits_Raw"},
        {"Internal-UUID", mxf::MDType::TYPEARRAY, "mxf::MDTraits_UUID"},
        {"Internal-UUIDSet", mxf::MDType::TYPEARRAY, nullptr},
        {"Internal-Indirect", mxf::MDType::COMPOUND, nullptr},
    };
    for (const Case& c : cases)
    {
        const mxf::MDTypePtr type = Type(c.Name);
        ASSERT_TRUE(type) << c.Name;
        EXPECT_EQ(type->Class, c.Class) << c.Name;
        // The types bound by name; the others were defined before the traits were bound.
        if (c.Traits)
        {
            EXPECT_EQ(type->Traits->Name(), c.Traits) << c.Name;
        }
    }
    EXPECT_EQ(Type("Internal-UUID")->Size, 16);
    EXPECT_EQ(Type("Internal-UUIDSet")->ArrayClass, 1);
    EXPECT_EQ(std::vector<std::string>(Type("Internal-Indirect")->ChildNames().begin(),
                                       Type("Internal-Indirect")->ChildNames().end()),
              (std::vector<std::string>{"Order", "Type", "Data"}));

    const mxf::MDOTypePtr unknown = mxf::MDOType::FindByName("Unknown", mxf::DefaultSymbolSpace(), false);
    ASSERT_TRUE(unknown);
    EXPECT_EQ(unknown->ValueType, Type("UnknownType"));
    EXPECT_EQ(unknown->Usage, 1);
    const mxf::MDOTypePtr unknownSet =
        mxf::MDOType::FindByName("UnknownSet", mxf::DefaultSymbolSpace(), false);
    ASSERT_TRUE(unknownSet);
    EXPECT_EQ(unknownSet->ContainerKind, mxf::MDOType::SET);
    EXPECT_EQ(unknownSet->KeyFormat, 2);
    EXPECT_EQ(unknownSet->LenFormat, 2);
}

TEST(BuiltInDictionary, type_names_are_bound_to_traits_exactly_as_written)
{
    const mxf::MDObjectPtr first(new mxf::MDObject(mxf::MDOTypePtr()));
    const std::pair<const char*, const char*> cases[] = {
        {"UInt16", "mxf::MDTraits_UInt16"},
        {"Uint16", "mxf::MDTraits_UInt16"},
        {"UTF", "mxf::MDTraits_ISO7"},
        {"UTFString", "mxf::MDTraits_BasicStringArray"},
        {"Timestamp", "mxf::MDTraits_TimeStamp"},
        {"TimeStamp", ""},
        {"Default-Enum", "mxf::MDTraits_BasicEnum"},
        {"UID", "mxf::MDTraits_Label"},
    };
    for (const auto& [typeName, traitsName] : cases)
    {
        const mxf::MDTraitsPtr traits = mxf::MDType::TraitsByName(typeName, std::string());
        EXPECT_EQ(traits ? traits->Name() : "", traitsName) << typeName;
    }
    const std::uint8_t int32Label[16] = {0x06, 0x0e, 0x2b, 0x34, 0x01, 0x04, 0x01, 0x01,
                                         0x01, 0x01, 0x07, 0x00, 0x00, 0x00, 0x00, 0x00};
    EXPECT_EQ(mxf::MDType::TraitsByUL(mxf::UL(int32Label), std::string())->Name(), "mxf::MDTraits_Int32");
    // One traits object serves every binding of its name.
    EXPECT_EQ(mxf::MDType::TraitsByName("Uint8", std::string()), mxf::LookupTraits("mxf::MDTraits_UInt8"));
    EXPECT_EQ(mxf::MDType::TraitsByName("Internal-UInt8", std::string()),
              mxf::LookupTraits("mxf::MDTraits_UInt8"));
}

} // namespace
