#include "RecordingDiagnostics.h"
#include "TestDictionary.h"

#include "mxf/Label.h"
#include "mxf/TypeDefinition.h"

#include <gtest/gtest.h>

#include <cstring>

namespace
{

constexpr std::uint8_t Family = 0x76;

mxf::TypeRecordPtr Record(std::int32_t kind, const std::string& name, const std::string& base = "",
                          const mxf::ULPtr& label = mxftest::NewLabel(Family))
{
    mxf::TypeRecordPtr record(new mxf::TypeRecord);
    record->Kind = kind;
    record->Name = name;
    record->Base = base;
    record->UL = label;
    record->Size = kind == mxf::TypeRecord::BASIC ? 2 : 0;
    return record;
}

mxf::TypeRecordPtr Member(const std::string& name, const std::string& base, const mxf::ULPtr& label = {})
{
    return Record(mxf::TypeRecord::SUB, name, base, label);
}

int Define(const mxf::TypeRecordList& records)
{
    mxftest::ClearDiagnostics();
    return mxf::DefineTypesFromRecords(records, mxf::DefaultSymbolSpace());
}

mxf::MDTypePtr Type(const std::string& name)
{
    return mxf::MDType::FindByName(name, mxf::DefaultSymbolSpace(), false);
}

std::vector<std::string> MemberNames(const mxf::MDTypePtr& compound)
{
    return {compound->ChildNames().begin(), compound->ChildNames().end()};
}

TEST(TypeDefinition, records_that_name_a_later_base_are_deferred_and_defined_in_a_later_pass)
{
    using R = mxf::TypeRecord;
    // Each chain lists its types child before base; the first pass defines only what has its base.
    const mxf::TypeRecordList records = {
        Record(R::INTERPRETATION, "DeferTop", "DeferMiddle"), Record(R::MULTIPLE, "DeferMiddle", "DeferBase"),
        Record(R::ENUM, "DeferEnum", "DeferBase"), Record(R::BASIC, "DeferBase")};
    const std::string baseText = records.back()->UL->GetString();
    (*std::next(records.begin(), 2))->Base = baseText; // a base may be named by its label text
    EXPECT_EQ(Define(records), 0);
    ASSERT_TRUE(Type("DeferTop") && Type("DeferMiddle") && Type("DeferEnum"));
    EXPECT_EQ(Type("DeferTop")->GetBase(), Type("DeferMiddle").GetPtr());
    EXPECT_EQ(Type("DeferMiddle")->GetBase(), Type("DeferBase").GetPtr());
    EXPECT_EQ(Type("DeferEnum")->GetBase(), Type("DeferBase").GetPtr());
    EXPECT_EQ(mxftest::Notes(),
              (std::vector<std::string>{
                  "Interpretation \"DeferTop\" is based on (as yet) undefined base \"DeferMiddle\"\n",
                  "Multiple \"DeferMiddle\" is based on (as yet) undefined base \"DeferBase\"\n",
                  "Enumeration \"DeferEnum\" is based on (as yet) undefined base \"" + baseText + "\"\n",
                  "Interpretation \"DeferTop\" is based on (as yet) undefined base \"DeferMiddle\"\n"}));
    EXPECT_TRUE(mxftest::Errors().empty());
}

TEST(TypeDefinition, a_pass_that_defines_nothing_names_every_unresolved_type)
{
    using R = mxf::TypeRecord;
    const mxf::TypeRecordList records = {Record(R::INTERPRETATION, "LoopA", "LoopB"),
                                         Record(R::INTERPRETATION, "LoopB", "LoopA"),
                                         Record(R::MULTIPLE, "BadText", "06.0e.2b.34.zz")};
    EXPECT_EQ(Define(records), -1);
    EXPECT_FALSE(Type("LoopA") || Type("LoopB") || Type("BadText"));
    EXPECT_EQ(mxftest::Errors(),
              std::vector<std::string>{"Undefined base type or circular reference in types "
                                       "definitions (first unresolvable = LoopA)\n"});
    const std::vector<std::string> notes = mxftest::Notes();
    EXPECT_EQ(std::vector<std::string>(notes.end() - 3, notes.end()),
              (std::vector<std::string>{"Unresolved Type: LoopA\n", "Unresolved Type: LoopB\n",
                                        "Unresolved Type: BadText\n"}));
}

TEST(TypeDefinition, new_types_take_traits_flags_and_reference_settings_from_their_records)
{
    using R = mxf::TypeRecord;
    // Without a label a type gets a new one and its traits by name only. "Uint16" is bound to traits like
    // "Uint16", and no other test of the program defines it, so the name finds this type alone.
    mxf::TypeRecordPtr word = Record(R::BASIC, "Uint16", "", mxf::ULPtr());
    word->Endian = true;
    word->Baseline = true;
    mxf::TypeRecordPtr nested = Record(R::BASIC, "NestedReference");
    nested->RefKind = 7;
    nested->RefTarget = "SomeSet";
    mxf::TypeRecordPtr text = Record(R::INTERPRETATION, "CharacterWord", "Uint16");
    text->ArrayKind = 2;
    mxf::TypeRecordPtr batch = Record(R::MULTIPLE, "WordBatch", "Uint16");
    batch->ArrayKind = 1;
    mxf::TypeRecordPtr stray = Record(R::SUB, "StrayMember", "Uint16", mxf::ULPtr());
    EXPECT_EQ(Define({word, nested, text, batch, stray}), 0);

    ASSERT_TRUE(word->UL);
    const mxf::MDTypePtr defined = mxf::MDType::FindByUL(*word->UL);
    ASSERT_EQ(defined, Type("Uint16"));
    EXPECT_EQ(defined->Traits->Name(), "mxf::MDTraits_UInt16");
    EXPECT_TRUE(defined->Endian && defined->Baseline);
    EXPECT_EQ(word->SymbolSpace, mxf::DefaultSymbolSpace());
    EXPECT_EQ(Type("NestedReference")->RefType, 1);
    EXPECT_TRUE(Type("NestedReference")->IsNested);
    EXPECT_EQ(Type("NestedReference")->RefTargetName, "SomeSet");
    EXPECT_TRUE(Type("CharacterWord")->Character);
    EXPECT_EQ(Type("CharacterWord")->Traits->Name(), "mxf::MDTraits_UInt16");
    EXPECT_EQ(Type("WordBatch")->ArrayClass, 1);
    // A member outside a compound is skipped, yet gets a space and a label.
    EXPECT_FALSE(Type("StrayMember"));
    EXPECT_TRUE(stray->UL && stray->SymbolSpace);
}

TEST(TypeDefinition, a_record_with_the_label_of_an_existing_type_only_updates_it)
{
    using R = mxf::TypeRecord;
    mxf::TypeRecordPtr first = Record(R::BASIC, "UpdatedType");
    ASSERT_EQ(Define({first}), 0);
    mxf::TypeRecordPtr again = Record(R::BASIC, "OtherName", "", first->UL);
    again->Endian = true;
    again->RefKind = 2;
    EXPECT_EQ(Define({again}), 0);
    EXPECT_FALSE(Type("OtherName"));
    EXPECT_TRUE(Type("UpdatedType")->Endian);
    EXPECT_EQ(Type("UpdatedType")->RefType, 2);
    EXPECT_EQ(mxftest::Notes(), std::vector<std::string>{
                                    first->UL->GetString() +
                                    " is assigned to type UpdatedType - the dictionary entry named OtherName "
                                    "has the same identifier so simply updates parts of the definition\n"});
}

TEST(TypeDefinition, compounds_keep_the_first_of_two_members_and_reject_clashing_redefinitions)
{
    using R = mxf::TypeRecord;
    ASSERT_EQ(Define({Record(R::BASIC, "PartWord")}), 0);
    const mxf::ULPtr xLabel = mxftest::NewLabel(Family);
    mxf::TypeRecordPtr point = Record(R::COMPOUND, "Point");
    point->Children = {Member("X", "PartWord", xLabel), Member("Y", "PartWord"), Member("X", "PartWord")};
    EXPECT_EQ(Define({point}), 0);
    EXPECT_EQ(MemberNames(Type("Point")), (std::vector<std::string>{"X", "Y"}));
    EXPECT_EQ(mxftest::Errors(),
              std::vector<std::string>{"Tried to define two sub-items called \"X\" in type Point\n"});

    struct Case
    {
        const char* Name;
        mxf::TypeRecordPtr Member;
        std::vector<std::string> Errors;
        std::vector<std::string> Notes;
    };
    const mxf::ULPtr otherLabel = mxftest::NewLabel(Family);
    const Case cases[] = {
        {"same name, other label",
         Member("X", "PartWord", otherLabel),
         {"Member X of Point has UL " + otherLabel->GetString() +
          " in new dictionary, but already found member with that name and UL " + xLabel->GetString() + "\n"},
         {}},
        {"other name, same label",
         Member("Z", "PartWord", xLabel),
         {"Member Z of Point has UL " + xLabel->GetString() +
          " in new dictionary, but already found member with that UL named X\n"},
         {}},
        {"same member again",
         Member("Y", "PartWord"),
         {},
         {"Skipping redefinition of sub-item Y of Point\n"}},
        {"a new member", Member("W", "PartWord"), {}, {}},
    };
    for (const Case& c : cases)
    {
        mxf::TypeRecordPtr again = Record(R::COMPOUND, "Point", "", point->UL);
        again->Children = {c.Member};
        EXPECT_EQ(Define({again}), 0) << c.Name;
        EXPECT_EQ(mxftest::Errors(), c.Errors) << c.Name;
        EXPECT_EQ(mxftest::Notes(), c.Notes) << c.Name;
    }
    EXPECT_EQ(MemberNames(Type("Point")), (std::vector<std::string>{"X", "Y", "W"}));
}

TEST(TypeDefinition, enumerations_gain_their_values_when_defined_and_when_listed_again)
{
    using R = mxf::TypeRecord;
    mxf::TypeRecordPtr word = Record(R::BASIC, "EnumWord");
    ASSERT_EQ(Define({word}), 0);
    mxf::TypeRecordPtr colours = Record(R::ENUM, "Colours", "EnumWord");
    mxf::TypeRecordPtr red = Member("Red", "");
    red->Value = "1";
    colours->Children = {red};
    ASSERT_EQ(Define({colours}), 0);
    mxf::TypeRecordPtr again = Record(R::ENUM, "Colours", "EnumWord", colours->UL);
    mxf::TypeRecordPtr green = Member("Green", "");
    green->Value = "2";
    again->Children = {green};
    ASSERT_EQ(Define({again}), 0);

    const mxf::MDTypePtr type = Type("Colours");
    ASSERT_EQ(type->EnumValues().size(), 2u);
    EXPECT_EQ(type->EnumValues()[0].first, "Red");
    EXPECT_EQ(type->EnumValues()[1].first, "Green");
    EXPECT_EQ(type->GetBase(), Type("EnumWord").GetPtr());
}

TEST(TypeDefinition, labels_register_with_an_optional_mask_and_a_symbol_only_when_new)
{
    using R = mxf::TypeRecord;
    mxf::TypeRecordPtr plain = Record(R::LABEL, "PlainLabel");
    mxf::TypeRecordPtr masked = Record(R::LABEL, "MaskedLabel");
    masked->Value = "00 00 00 00 00 00 00 ff";
    mxf::TypeRecordPtr clash = Record(R::LABEL, "ClashingLabel", "", plain->UL);
    EXPECT_EQ(Define({plain, masked, clash}), 0);

    const mxf::LabelPtr found = mxf::Label::Find(*plain->UL);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->GetName(), "PlainLabel");
    EXPECT_FALSE(found->HasMask());
    std::uint8_t anyVersion[16];
    std::memcpy(anyVersion, masked->UL->GetValue(), 16);
    anyVersion[7] = 0x42;
    const mxf::LabelPtr familyMember = mxf::Label::Find(mxf::UL(anyVersion));
    ASSERT_TRUE(familyMember);
    EXPECT_EQ(familyMember->GetName(), "MaskedLabel");
    EXPECT_TRUE(mxf::FindNamedLabel("MaskedLabel", {}, false));
    EXPECT_FALSE(mxf::FindNamedLabel("ClashingLabel", {}, false));
    EXPECT_EQ(mxftest::Notes(), std::vector<std::string>{"Label with UL " + plain->UL->GetString() +
                                                         " already exists with name ClashingLabel \n"});
}

} // namespace
