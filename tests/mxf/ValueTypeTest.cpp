#include "RecordingDiagnostics.h"
#include "TestBytes.h"
#include "TestDictionary.h"

#include "mxf/MDTraitsInt.h"
#include "mxf/MDTraitsRaw.h"
#include "mxf/MDType.h"
#include "mxf/SymbolSpace.h"

#include <gtest/gtest.h>

namespace
{

using mxftest::Bytes16;

mxf::ULPtr MakeUL(const char* hex)
{
    return new mxf::UL(Bytes16(hex).data());
}

mxf::ULPtr Label()
{
    return mxftest::NewLabel(0x72);
}

TEST(ValueTypes, labels_find_types_under_any_version_byte_only_when_they_are_smpte_labels)
{
    const mxf::MDTypePtr smpte = mxf::MDType::DefineBasic(
        "VersionedType", "", MakeUL("06 0e 2b 34 72 01 01 02 0f 01 00 00 00 00 00 01"), 4);
    const mxf::MDTypePtr other = mxf::MDType::DefineBasic(
        "PrivateType", "", MakeUL("80 0e 2b 34 72 01 01 02 0f 01 00 00 00 00 00 01"), 4);

    struct Case
    {
        const char* Label;
        const mxf::MDType* Found;
    };
    const Case cases[] = {
        {"06 0e 2b 34 72 01 01 02 0f 01 00 00 00 00 00 01", smpte.GetPtr()},
        {"06 0e 2b 34 72 01 01 05 0f 01 00 00 00 00 00 01", smpte.GetPtr()},
        {"06 0e 2b 34 72 01 01 05 0f 01 00 00 00 00 00 02", nullptr},
        {"80 0e 2b 34 72 01 01 02 0f 01 00 00 00 00 00 01", other.GetPtr()},
        {"80 0e 2b 34 72 01 01 05 0f 01 00 00 00 00 00 01", nullptr},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Label);
        EXPECT_EQ(mxf::MDType::FindByUL(mxf::UL(Bytes16(c.Label).data())).GetPtr(), c.Found);
    }
}

TEST(ValueTypes, names_are_found_through_the_symbol_spaces)
{
    const mxf::SymbolSpacePtr space = new mxf::SymbolSpace("urn:test:value-types");
    const mxf::MDTypePtr inDefault = mxftest::DefineValueType("NamedInDefault", 1, nullptr, 0x72);
    const mxf::ULPtr otherLabel = Label();
    const mxf::MDTypePtr inOther = mxf::MDType::DefineBasic("NamedInOther", "", otherLabel, 1);
    space->AddSymbol("NamedInOther", otherLabel);

    struct Case
    {
        const char* Name;
        const mxf::SymbolSpacePtr* Space; // null: none given
        bool SearchAll;
        const mxf::MDType* Found;
    };
    const mxf::SymbolSpacePtr none;
    const Case cases[] = {
        {"NamedInDefault", &none, false, inDefault.GetPtr()},
        {"::NamedInDefault", &space, true, inDefault.GetPtr()},
        {"::NamedInOther", &space, true, nullptr}, // the default space only
        {"urn:test:value-types::NamedInOther", &none, false, inOther.GetPtr()},
        {"urn:test:no-such-space::NamedInDefault", &none, true, nullptr},
        {"NamedInOther", &none, false, nullptr},
        {"NamedInOther", &none, true, inOther.GetPtr()},
        {"NamedInOther", &space, false, inOther.GetPtr()},
        {"NotNamedAnywhere", &none, true, nullptr},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(mxf::MDType::FindByName(c.Name, *c.Space, c.SearchAll).GetPtr(), c.Found);
    }
}

TEST(ValueTypes, definers_set_class_size_traits_and_what_an_interpretation_takes_from_its_base)
{
    const mxf::MDTypePtr basic = mxf::MDType::DefineBasic("DefinedBasic", "a byte", Label(), 1);
    basic->Traits = new mxf::MDTraits_UInt8;
    basic->RefType = 2;
    basic->RefTargetName = "Target";
    const mxf::MDTypePtr same = mxf::MDType::DefineInterpretation("DefinedSame", "", basic, Label(), 0);
    const mxf::MDTypePtr wider = mxf::MDType::DefineInterpretation("DefinedWider", "", basic, Label(), 2);
    const mxf::MDTypePtr multiple = mxf::MDType::DefineMultiple("DefinedArray", "bytes", basic, Label(), 3);
    const mxf::MDTypePtr named = mxf::MDType::DefineMultipleNamed("DefinedNamedArray", basic, Label());
    const mxf::MDTypePtr compound = mxf::MDType::DefineCompound("DefinedCompound", "", Label());
    const mxf::MDTypePtr enumeration = mxf::MDType::DefineEnumeration("DefinedEnum", "", basic, Label());

    EXPECT_EQ(basic->Class, mxf::MDType::BASIC);
    EXPECT_EQ(basic->Detail, "a byte");
    EXPECT_EQ(same->Class, mxf::MDType::INTERPRETATION);
    EXPECT_EQ(same->Size, 1);
    EXPECT_EQ(wider->Size, 2);
    EXPECT_EQ(same->Traits, basic->Traits);
    EXPECT_EQ(same->RefType, 2);
    EXPECT_EQ(same->RefTargetName, "Target");
    EXPECT_EQ(same->GetBase(), basic.GetPtr());
    EXPECT_EQ(multiple->Class, mxf::MDType::TYPEARRAY);
    EXPECT_EQ(multiple->Size, 3);
    EXPECT_EQ(multiple->Traits, mxf::DefaultTraits());
    EXPECT_EQ(multiple->GetBase(), basic.GetPtr());
    EXPECT_EQ(named->Detail, "DefinedNamedArray");
    EXPECT_EQ(named->Size, 0);
    EXPECT_EQ(compound->Class, mxf::MDType::COMPOUND);
    EXPECT_EQ(compound->GetBase(), nullptr);
    EXPECT_EQ(enumeration->Class, mxf::MDType::ENUM);
    EXPECT_EQ(enumeration->Size, 1);
    EXPECT_EQ(enumeration->Traits, mxf::DefaultTraits());
    EXPECT_EQ(basic->RefType, 2);
    EXPECT_EQ(compound->RefType, -1);
}

TEST(ValueTypes, a_later_type_of_a_name_takes_the_name_and_the_earlier_keeps_its_label)
{
    const mxf::ULPtr firstLabel = Label();
    const mxf::MDTypePtr first = mxf::MDType::DefineBasic("TwiceNamed", "", firstLabel, 1);
    const mxf::MDTypePtr second = mxf::MDType::DefineBasic("TwiceNamed", "", Label(), 1);
    const mxf::MDTraitsPtr traits = new mxf::MDTraits_Int8;
    ASSERT_TRUE(mxf::RegisterTraits("test::TwiceNamed", traits));
    // Binding by name reaches the types the name stands for now.
    mxf::MDType::BindTraitsByName("TwiceNamed", "test::TwiceNamed");
    EXPECT_EQ(second->Traits, traits);
    EXPECT_EQ(first->Traits, mxf::DefaultTraits());
    EXPECT_EQ(mxf::MDType::FindByUL(*firstLabel), first);
}

TEST(ValueTypes, effective_queries_look_through_interpretations_and_enumerations)
{
    const mxf::MDTypePtr byte = mxf::MDType::DefineBasic("EffByte", "", Label(), 1);
    const mxf::MDTypePtr word = mxf::MDType::DefineBasic("EffWord", "", Label(), 4);
    const mxf::MDTypePtr empty = mxf::MDType::DefineBasic("EffEmpty", "", Label(), 0);
    const mxf::MDTypePtr boolean = mxf::MDType::DefineInterpretation("EffBoolean", "", byte, Label(), 0);
    const mxf::MDTypePtr enumeration = mxf::MDType::DefineEnumeration("EffEnum", "", boolean, Label());
    const mxf::MDTypePtr renamedEnum =
        mxf::MDType::DefineInterpretation("EffEnumAgain", "", enumeration, Label(), 0);
    const mxf::MDTypePtr bytes = mxf::MDType::DefineMultiple("EffBytes", "", byte, Label(), 0);
    const mxf::MDTypePtr sixteen = mxf::MDType::DefineInterpretation("EffSixteen", "", bytes, Label(), 16);
    const mxf::MDTypePtr empties = mxf::MDType::DefineMultiple("EffEmpties", "", empty, Label(), 5);
    const mxf::MDTypePtr emptiesAsTen =
        mxf::MDType::DefineInterpretation("EffEmptiesTen", "", empties, Label(), 10);
    const mxf::MDTypePtr loose = mxf::MDType::DefineMultiple("EffLoose", "", mxf::MDTypePtr(), Label(), 7);
    const mxf::MDTypePtr pair = mxf::MDType::DefineCompound("EffPair", "", Label());
    pair->InsertChild("A", word);
    pair->InsertChild("B", word);
    const mxf::MDTypePtr holed = mxf::MDType::DefineCompound("EffHoled", "", Label());
    holed->InsertChild("A", word);
    holed->InsertChild("B", empty);
    const mxf::MDTypePtr none = mxf::MDType::DefineCompound("EffNone", "", Label());

    struct Case
    {
        const mxf::MDTypePtr* Type;
        const mxf::MDTypePtr* Effective;
        const mxf::MDType* Base;
        std::uint32_t Size;
    };
    const Case cases[] = {
        {&byte, &byte, nullptr, 1},
        {&boolean, &byte, byte.GetPtr(), 1},
        {&enumeration, &byte, byte.GetPtr(), 1},
        {&renamedEnum, &byte, byte.GetPtr(), 1},
        {&bytes, &bytes, byte.GetPtr(), 0},
        {&sixteen, &bytes, byte.GetPtr(), 16},
        {&empties, &empties, empty.GetPtr(), 5},
        {&emptiesAsTen, &empties, empty.GetPtr(), 5}, // elements without a size: the multiple's own
        {&loose, &loose, nullptr, 7},
        {&pair, &pair, nullptr, 8},
        {&holed, &holed, nullptr, 0},
        {&none, &none, nullptr, 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE((*c.Type)->Name);
        EXPECT_EQ((*c.Type)->EffectiveType(), c.Effective->GetPtr());
        EXPECT_EQ((*c.Type)->EffectiveClass(), (*c.Effective)->Class);
        EXPECT_EQ((*c.Type)->EffectiveBase().GetPtr(), c.Base);
        EXPECT_EQ((*c.Type)->EffectiveSize(), c.Size);
    }
    EXPECT_EQ(&renamedEnum->EnumValues(), &enumeration->EnumValues());
    EXPECT_NE(&enumeration->EnumValues(), &byte->EnumValues());
}

TEST(ValueTypes, reference_kinds_nesting_and_targets_are_inherited_until_one_is_given)
{
    const mxf::MDTypePtr plain = mxf::MDType::DefineBasic("RefPlain", "", Label(), 16);
    const mxf::MDTypePtr strong = mxf::MDType::DefineBasic("RefStrong", "", Label(), 16);
    strong->RefType = 1;
    strong->IsNested = true;
    strong->RefTargetName = "Track";
    const mxf::MDTypePtr overPlain = mxf::MDType::DefineInterpretation("RefOverPlain", "", plain, Label(), 0);
    const mxf::MDTypePtr overStrong =
        mxf::MDType::DefineInterpretation("RefOverStrong", "", strong, Label(), 0);
    overStrong->RefType = -1; // taken from the base when it was defined; let the base decide
    overStrong->RefTargetName.clear();
    const mxf::MDTypePtr arrayOfStrong = mxf::MDType::DefineMultiple("RefArray", "", overStrong, Label(), 0);
    const mxf::MDTypePtr weakArray = mxf::MDType::DefineMultiple("RefWeakArray", "", strong, Label(), 0);
    weakArray->RefType = 2;
    weakArray->RefTargetName = "Other";
    const mxf::MDTypePtr compound = mxf::MDType::DefineCompound("RefCompound", "", Label());
    compound->InsertChild("Member", strong);

    struct Case
    {
        const mxf::MDTypePtr* Type;
        std::int32_t Kind;
        bool Nested;
        const char* Target;
    };
    const Case cases[] = {
        {&plain, 0, false, ""},          {&strong, 1, true, "Track"},        {&overPlain, 0, false, ""},
        {&overStrong, 1, true, "Track"}, {&arrayOfStrong, 1, true, "Track"}, {&weakArray, 2, true, "Other"},
        {&compound, 0, false, ""},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE((*c.Type)->Name);
        EXPECT_EQ((*c.Type)->EffectiveRefKind(), c.Kind);
        EXPECT_EQ((*c.Type)->IsNestedRef(), c.Nested);
        EXPECT_EQ((*c.Type)->EffectiveRefTargetName(), c.Target);
    }
}

TEST(ValueTypes, binding_traits_reaches_the_type_and_its_interpretations_without_a_binding)
{
    const mxf::MDTraitsPtr int8 = new mxf::MDTraits_Int8;
    const mxf::MDTraitsPtr raw = new mxf::MDTraits_Raw;
    ASSERT_TRUE(mxf::RegisterTraits("test::BindInt8", int8));
    ASSERT_TRUE(mxf::RegisterTraits("test::BindRaw", raw));
    const mxf::MDTypePtr base = mxf::MDType::DefineBasic("BindBase", "", Label(), 1);
    const mxf::MDTypePtr follower = mxf::MDType::DefineInterpretation("BindFollower", "", base, Label(), 0);
    const mxf::MDTypePtr own = mxf::MDType::DefineInterpretation("BindOwn", "", base, Label(), 0);
    mxf::MDType::BindTraitsByName("BindOwn", "test::BindRaw");

    EXPECT_TRUE(mxf::MDType::BindTraitsByName("BindBase", "test::BindInt8"));
    EXPECT_EQ(base->Traits, int8);
    EXPECT_EQ(follower->Traits, int8);
    EXPECT_EQ(own->Traits, raw);

    // Traits that are not registered bind the default traits.
    EXPECT_TRUE(mxf::MDType::BindTraitsByName("BindBase", "test::NotRegistered"));
    EXPECT_EQ(base->Traits, mxf::DefaultTraits());
    EXPECT_EQ(follower->Traits, mxf::DefaultTraits());
    EXPECT_EQ(own->Traits, raw);
}

TEST(ValueTypes, binding_by_label_reaches_the_type_under_any_version_byte)
{
    const mxf::MDTraitsPtr int16 = new mxf::MDTraits_Int16;
    ASSERT_TRUE(mxf::RegisterTraits("test::BindByLabel", int16));
    const mxf::MDTypePtr base = mxf::MDType::DefineBasic(
        "BindByLabelBase", "", MakeUL("06 0e 2b 34 72 01 01 03 0f 02 00 00 00 00 00 01"), 2);
    const mxf::MDTypePtr follower =
        mxf::MDType::DefineInterpretation("BindByLabelFollower", "", base, Label(), 0);
    const mxf::MDTypePtr unrelated = mxf::MDType::DefineBasic("BindByLabelOther", "", Label(), 2);

    EXPECT_TRUE(mxf::MDType::BindTraitsByUL(
        mxf::UL(Bytes16("06 0e 2b 34 72 01 01 07 0f 02 00 00 00 00 00 01").data()), "test::BindByLabel"));
    EXPECT_EQ(base->Traits, int16);
    EXPECT_EQ(unrelated->Traits, mxf::DefaultTraits());
    // The interpretation follows only a binding of its base's own label.
    EXPECT_EQ(follower->Traits, mxf::DefaultTraits());
    mxf::MDType::BindTraitsByUL(*base->TypeUL, "test::BindByLabel");
    EXPECT_EQ(follower->Traits, int16);
}

TEST(ValueTypes, traits_lookups_fall_back_to_the_binding_then_the_traits_of_the_fallback_name)
{
    const mxf::MDTraitsPtr basic = new mxf::MDTraits_UInt32;
    const mxf::MDTraitsPtr named = new mxf::MDTraits_UInt16;
    ASSERT_TRUE(mxf::RegisterTraits("test::LookupBasic", basic));
    ASSERT_TRUE(mxf::RegisterTraits("test::LookupNamed", named));
    mxf::MDType::BindTraitsByName("Test-Default-Basic", "test::LookupBasic");
    const mxf::ULPtr label = Label();
    mxf::MDType::BindTraitsByUL(*label, "test::LookupNamed");

    EXPECT_FALSE(mxf::MDType::TraitsByName("LookupUnbound", ""));
    EXPECT_EQ(mxf::MDType::TraitsByName("LookupUnbound", "Test-Default-Basic"), basic);
    EXPECT_EQ(mxf::MDType::TraitsByName("LookupUnbound", "test::LookupNamed"), named);
    EXPECT_FALSE(mxf::MDType::TraitsByName("LookupUnbound", "test::NotRegistered"));
    EXPECT_EQ(mxf::MDType::TraitsByName("Test-Default-Basic", ""), basic);
    EXPECT_EQ(mxf::MDType::TraitsByUL(*label, ""), named);
    EXPECT_FALSE(mxf::MDType::TraitsByUL(*Label(), ""));
    EXPECT_EQ(mxf::MDType::TraitsByUL(*Label(), "Test-Default-Basic"), basic);
}

TEST(ValueTypes, compound_members_keep_their_order_and_the_first_of_a_name)
{
    const mxf::MDTypePtr word = mxf::MDType::DefineBasic("MemberWord", "", Label(), 4);
    const mxf::MDTypePtr byte = mxf::MDType::DefineBasic("MemberByte", "", Label(), 1);
    const mxf::MDTypePtr compound = mxf::MDType::DefineCompound("MemberCompound", "", Label());
    compound->InsertChild("Z", word);
    compound->InsertChild("A", byte);
    compound->InsertChild("Z", byte);
    EXPECT_EQ(compound->ChildOrder(), (std::list<mxf::MDTypePtr>{word, byte, byte}));
    EXPECT_EQ(compound->ChildNames(), (std::list<std::string>{"Z", "A", "Z"}));
    ASSERT_EQ(compound->Members().size(), 2u);
    EXPECT_EQ(compound->Members().at("Z"), word);
}

} // namespace
