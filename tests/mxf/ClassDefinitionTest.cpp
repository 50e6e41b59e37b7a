#include "RecordingDiagnostics.h"
#include "TestDictionary.h"

#include "mxf/ClassDefinition.h"
#include "mxf/MDOType.h"
#include "mxf/MDTraitsInt.h"
#include "mxf/MDTraitsRaw.h"
#include "mxf/TypeDefinition.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace
{

constexpr std::uint8_t Family = 0x77;

mxf::ClassRecordPtr Record(std::int32_t kind, const std::string& name, const std::string& base = "",
                           const mxf::ULPtr& label = mxftest::NewLabel(Family))
{
    mxf::ClassRecordPtr record(new mxf::ClassRecord);
    record->Class = kind;
    record->Name = name;
    record->Base = base;
    record->UL = label;
    if (kind == mxf::ClassRecord::SET)
    {
        record->MinSize = 2;
        record->MaxSize = 2;
    }
    return record;
}

mxf::ClassRecordPtr Set(const std::string& name, mxf::ClassRecordList members)
{
    mxf::ClassRecordPtr set = Record(mxf::ClassRecord::SET, name);
    set->Children = std::move(members);
    return set;
}

int Define(const mxf::ClassRecordList& records)
{
    mxftest::ClearDiagnostics();
    return mxf::DefineClassesFromRecords(records, mxf::DefaultSymbolSpace());
}

mxf::MDOTypePtr Class(const std::string& name)
{
    return mxf::MDOType::FindByName(name, mxf::DefaultSymbolSpace(), false);
}

std::vector<std::string> ChildNames(const std::string& name)
{
    const mxf::MDOTypePtr type = Class(name);
    return type ? std::vector<std::string>(type->ChildNames().begin(), type->ChildNames().end())
                : std::vector<std::string>{"(no class)"};
}

bool Noted(const std::string& text)
{
    const std::vector<std::string> notes = mxftest::Notes();
    return std::find(notes.begin(), notes.end(), text) != notes.end();
}

class ClassDefinition : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        mxftest::DefineValueType("ClassWord", 2, new mxf::MDTraits_UInt16, Family);
        mxftest::DefineValueType("ClassLong", 4, new mxf::MDTraits_UInt32, Family);
        mxftest::DefineValueType("ClassId", 16, new mxf::MDTraits_Raw, Family);
    }
};

TEST_F(ClassDefinition, sets_and_packs_take_their_formats_and_reject_sizes_out_of_range)
{
    using R = mxf::ClassRecord;
    struct Case
    {
        std::int32_t Kind, Key, Length;
        const char* Name;
        int Container; // -1: no class
        const char* Error;
    };
    const Case cases[] = {
        {R::SET, 2, 2, "LocalSet22", mxf::MDOType::SET, nullptr},
        {R::SET, 8, 2, "BadTagSet", -1, "Item BadTagSet has an invalid tag size of 8\n"},
        {R::SET, 2, 6, "BadLengthSet", -1, "Item BadLengthSet has an invalid length size of 6\n"},
        {R::PACK, 0, 3, "BerPack", mxf::MDOType::PACK, nullptr},
        {R::PACK, 0, 6, "BadPack", -1, "Item BadPack has an invalid length size of 6\n"},
        {R::CONTAINER, 0, 0, "Unspecified", -1,
         "Item Unspecified is a container of an unspecified type - is this an attempt to extend a set or "
         "pack "
         "that has not yet been defined?\n"},
        {R::DERIVED, 0, 0, "NoBase", -1, "Invalid definition for class NoBase\n"},
        {R::ITEM, 0, 0, "NoValueType", -1, "Item NoValueType is of type urn:x-ul:zz which is not known\n"},
    };
    for (const Case& c : cases)
    {
        mxf::ClassRecordPtr record = Record(c.Kind, c.Name, c.Kind == R::ITEM ? "urn:x-ul:zz" : "");
        record->MinSize = c.Key;
        record->MaxSize = c.Length;
        Define({record});
        const mxf::MDOTypePtr type = mxf::MDOType::FindByUL(*record->UL);
        if (c.Container < 0)
        {
            EXPECT_FALSE(type) << c.Name;
            EXPECT_EQ(mxftest::Errors().at(0), c.Error) << c.Name;
            continue;
        }
        ASSERT_TRUE(type) << c.Name;
        EXPECT_EQ(type->ContainerKind, c.Container) << c.Name;
        EXPECT_EQ(type->KeyFormat, c.Kind == R::SET ? c.Key : 0) << c.Name;
        EXPECT_EQ(type->LenFormat, c.Length) << c.Name;
        EXPECT_EQ(Class(c.Name), type) << c.Name;
    }
}

TEST_F(ClassDefinition, members_and_derived_classes_wait_for_a_base_listed_later)
{
    using R = mxf::ClassRecord;
    // The member of Holder and the derived set come before the classes they derive from.
    mxf::ClassRecordPtr member = Record(R::DERIVED, "LateMember", "LateItem");
    mxf::ClassRecordPtr derived = Record(R::DERIVED, "DerivedSet", "BaseSet");
    derived->MinSize = 7;
    derived->MaxSize = 5;
    mxf::ClassRecordPtr baseSet = Set("BaseSet", {Record(R::ITEM, "BaseWord", "ClassWord")});
    baseSet->MinSize = 4;
    baseSet->MaxSize = 3;
    EXPECT_EQ(Define({Set("Holder", {member}), derived, Record(R::ITEM, "LateItem", "ClassLong"), baseSet}),
              0);

    EXPECT_EQ(ChildNames("Holder"), std::vector<std::string>{"LateMember"});
    EXPECT_EQ(Class("Holder/LateMember")->ValueType->Name, "ClassLong");
    EXPECT_EQ(member->ParentUL->GetString(), Class("Holder")->TypeUL->GetString());
    ASSERT_TRUE(Class("DerivedSet"));
    EXPECT_EQ(Class("DerivedSet")->GetBase(), Class("BaseSet").GetPtr());
    EXPECT_EQ(Class("DerivedSet")->KeyFormat, 4);
    EXPECT_EQ(Class("DerivedSet")->LenFormat, 3);
    EXPECT_EQ(ChildNames("DerivedSet"), std::vector<std::string>{"BaseWord"});
    EXPECT_TRUE(Noted("Base type LateItem not found when trying to define LateMember\n"));
    EXPECT_TRUE(Noted("Deriving DerivedSet from BaseSet\n"));
    EXPECT_TRUE(mxftest::Errors().empty());
}

TEST_F(ClassDefinition, a_nested_member_that_fails_leaves_no_trace_and_is_defined_once_when_retried)
{
    using R = mxf::ClassRecord;
    mxf::ClassRecordPtr inner = Set("Inner", {Record(R::ITEM, "InnerWord", "ClassWord"),
                                              Record(R::DERIVED, "InnerLate", "NestedLateItem")});
    EXPECT_EQ(Define({Set("Outer", {inner}), Record(R::ITEM, "NestedLateItem", "ClassLong")}), 0);

    EXPECT_EQ(ChildNames("Outer"), std::vector<std::string>{"Inner"});
    EXPECT_EQ(ChildNames("Outer/Inner"), (std::vector<std::string>{"InnerWord", "InnerLate"}));
    const mxf::MDOTypePtr innerType = mxf::MDOType::FindByUL(*inner->UL);
    EXPECT_EQ(innerType, Class("Outer/Inner"));
    EXPECT_EQ(innerType->GetParent(), Class("Outer").GetPtr());
    EXPECT_EQ(Class("Outer/Inner/InnerWord"), mxf::MDOType::FindByUL(*inner->Children.front()->UL));
    EXPECT_EQ(Class("Outer/Inner/InnerWord")->GetParent(), innerType.GetPtr());
    EXPECT_FALSE(Noted("Adding Outer/Inner/InnerWord to secondary parent Outer/Inner\n"));
}

TEST_F(ClassDefinition, a_record_for_an_existing_class_extends_it_and_the_classes_derived_from_it)
{
    using R = mxf::ClassRecord;
    mxf::ClassRecordPtr base = Set("ExtendedBase", {Record(R::ITEM, "FirstWord", "ClassWord", {})});
    ASSERT_EQ(Define({base, Record(R::DERIVED, "ExtendedChild", "ExtendedBase")}), 0);
    ASSERT_EQ(ChildNames("ExtendedChild"), std::vector<std::string>{"FirstWord"});

    // Without a label the member is found by its full name; the record of the set extends it.
    mxf::ClassRecordPtr again = Record(R::EXTEND, "ExtendedBase", "", base->UL);
    again->Detail = "now with two words";
    again->Children = {Record(R::ITEM, "FirstWord", "ClassLong", {}),
                       Record(R::ITEM, "SecondWord", "ClassWord")};
    again->Children.front()->MinSize = 4;
    EXPECT_EQ(Define({again}), 0);
    EXPECT_EQ(ChildNames("ExtendedBase"), (std::vector<std::string>{"FirstWord", "SecondWord"}));
    EXPECT_EQ(ChildNames("ExtendedChild"), (std::vector<std::string>{"FirstWord", "SecondWord"}));
    EXPECT_EQ(Class("ExtendedBase")->Detail, "now with two words");
    const mxf::MDOTypePtr first = Class("ExtendedBase/FirstWord");
    EXPECT_EQ(first->ValueType->Name, "ClassLong");
    EXPECT_EQ(first->MinSize, 4);

    mxf::ClassRecordPtr unknown = Record(R::ITEM, "FirstWord", "NoSuchType", {});
    mxf::ClassRecordPtr third = Record(R::EXTEND, "ExtendedBase", "", base->UL);
    third->Children = {unknown};
    Define({third});
    EXPECT_EQ(first->ValueType->Name, "ClassLong");
    EXPECT_EQ(mxftest::Errors().at(0),
              "Attempt to redefine ExtendedBase/FirstWord to be of type NoSuchType which is not known\n");
}

TEST_F(ClassDefinition, members_added_to_a_base_reach_its_derived_classes_wherever_the_extension_stands)
{
    using R = mxf::ClassRecord;
    struct Case
    {
        const char* Prefix;
        std::vector<std::string> BaseMembers;
        bool Nested; // the extension is a member of another record
        bool ExtendSubs, OuterExtendSubs;
        std::vector<std::string> Derived;
    };
    const Case cases[] = {
        {"Top", {"A", "B"}, false, true, true, {"A", "B", "C"}},
        {"Nested", {"A", "B"}, true, true, true, {"A", "B", "C"}},
        {"Empty", {}, true, true, true, {"C"}},
        {"Kept", {"A", "B"}, true, false, true, {"A", "B"}},
        {"OuterKept", {"A", "B"}, true, true, false, {"A", "B"}},
    };
    for (const Case& c : cases)
    {
        const std::string base = std::string(c.Prefix) + "Base", derived = std::string(c.Prefix) + "Derived";
        mxf::ClassRecordList members;
        for (const std::string& name : c.BaseMembers)
            members.push_back(Record(R::ITEM, name, "ClassWord"));
        mxf::ClassRecordPtr baseRecord = Set(base, members);
        ASSERT_EQ(Define({baseRecord, Record(R::DERIVED, derived, base)}), 0) << c.Prefix;

        mxf::ClassRecordPtr extension = Record(R::EXTEND, base, "", baseRecord->UL);
        extension->Children = {Record(R::ITEM, "C", "ClassWord")};
        extension->ExtendSubs = c.ExtendSubs;
        mxf::ClassRecordPtr outer = Set(std::string(c.Prefix) + "Holder", {extension});
        outer->ExtendSubs = c.OuterExtendSubs;
        EXPECT_EQ(Define({c.Nested ? outer : extension}), 0) << c.Prefix;

        std::vector<std::string> extended = c.BaseMembers;
        extended.push_back("C");
        EXPECT_EQ(ChildNames(base), extended) << c.Prefix;
        EXPECT_EQ(ChildNames(derived), c.Derived) << c.Prefix;
    }
}

TEST_F(ClassDefinition, a_label_given_twice_inside_one_record_makes_one_class)
{
    using R = mxf::ClassRecord;
    const mxf::ULPtr label = mxftest::NewLabel(Family);
    mxf::ClassRecordPtr inner = Set("TwiceInner", {Record(R::ITEM, "TwiceWord", "ClassWord", label),
                                                   Record(R::ITEM, "TwiceWord", "ClassWord", label),
                                                   Record(R::ITEM, "Unlabelled", "ClassWord", {}),
                                                   Record(R::ITEM, "Unlabelled", "ClassLong", {})});
    ASSERT_EQ(Define({Set("TwiceOuter", {inner})}), 0);
    EXPECT_EQ(ChildNames("TwiceOuter/TwiceInner"), (std::vector<std::string>{"TwiceWord", "Unlabelled"}));
    EXPECT_EQ(mxf::MDOType::FindByUL(*label), Class("TwiceOuter/TwiceInner/TwiceWord"));
    EXPECT_EQ(Class("TwiceOuter/TwiceInner/Unlabelled")->ValueType->Name, "ClassLong");
}

TEST_F(ClassDefinition, a_class_without_members_keeps_its_reference_for_the_first_member_defined_into_it)
{
    using R = mxf::ClassRecord;
    mxf::ClassRecordPtr holder = Set("PendingHolder", {});
    holder->RefKind = 2;
    holder->RefTarget = "PendingTarget";
    ASSERT_EQ(Define({holder}), 0);
    EXPECT_EQ(Class("PendingHolder")->RefType, 2);

    // The first try of the extension fails on its second member and must hand the settings back, so that
    // the member, defined on its own in the next pass, still takes them.
    mxf::ClassRecordPtr extension = Record(R::EXTEND, "PendingHolder", "", holder->UL);
    extension->Children = {Record(R::ITEM, "First", "ClassWord"), Record(R::ITEM, "Second", "ClassWord"),
                           Record(R::DERIVED, "Never", "PendingNoSuchBase")};
    Define({Set("PendingOuter", {extension})});
    const mxf::MDOTypePtr first = Class("PendingHolder/First"), second = Class("PendingHolder/Second");
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->RefType, 2);
    EXPECT_EQ(first->RefTargetName, "PendingTarget");
    EXPECT_EQ(second->RefType, 0);
    EXPECT_EQ(Class("PendingHolder")->RefType, 0);
    EXPECT_FALSE(Class("PendingHolder/Never"));
}

TEST_F(ClassDefinition, reference_settings_for_a_class_with_members_go_to_its_16_byte_members)
{
    using R = mxf::ClassRecord;
    mxf::ClassRecordPtr id = Record(R::ITEM, "Id", "ClassId");
    id->MinSize = id->MaxSize = 16;
    mxf::ClassRecordPtr longId = Record(R::ITEM, "LongId", "ClassId");
    longId->MinSize = 16;
    longId->MaxSize = 32;
    mxf::ClassRecordPtr set = Set("SixteenSet", {id, Record(R::ITEM, "Word", "ClassWord"), longId});
    ASSERT_EQ(Define({set}), 0);

    mxf::ClassRecordPtr again = Record(R::EXTEND, "SixteenSet", "", set->UL);
    again->RefKind = 1;
    again->RefTarget = "SixteenTarget";
    ASSERT_EQ(Define({again}), 0);
    EXPECT_EQ(Class("SixteenSet")->RefType, 0);
    EXPECT_EQ(Class("SixteenSet/Id")->RefType, 1);
    EXPECT_EQ(Class("SixteenSet/Id")->RefTargetName, "SixteenTarget");
    EXPECT_EQ(Class("SixteenSet/Word")->RefType, 0);
    EXPECT_EQ(Class("SixteenSet/LongId")->RefType, 0);
}

TEST_F(ClassDefinition, a_tag_replaces_the_key_and_enters_the_static_primer)
{
    using R = mxf::ClassRecord;
    mxf::StaticPrimer(); // built before the classes, so that the definition must build it again
    mxf::ClassRecordPtr tagged = Record(R::ITEM, "TaggedWord", "ClassWord");
    tagged->Tag = 0x7e01;
    mxf::ClassRecordPtr plain = Record(R::ITEM, "KeyedWord", "ClassWord");
    mxf::ClassRecordPtr tagLater = Record(R::ITEM, "TaggedLater", "ClassWord");
    ASSERT_EQ(Define({tagged, plain, tagLater}), 0);
    mxf::ClassRecordPtr again = Record(R::ITEM, "TaggedLater", "", tagLater->UL);
    again->Tag = 0x7e02;
    ASSERT_EQ(Define({again}), 0);

    for (const auto& [record, tag] : {std::pair{tagged, mxf::Tag(0x7e01)}, std::pair{plain, mxf::Tag(0)},
                                      std::pair{tagLater, mxf::Tag(0x7e02)}})
    {
        const mxf::MDOTypePtr type = Class(record->Name);
        ASSERT_TRUE(type) << record->Name;
        mxf::DataChunk bytes(16);
        std::memcpy(bytes.Data(), record->UL->GetValue(), 16);
        const std::string label = bytes.GetString();
        EXPECT_EQ(type->GlobalKey.GetString(), label) << record->Name;
        EXPECT_EQ(type->Key.GetString(), tag ? "" : label) << record->Name;
        EXPECT_EQ(type->StaticTag, tag) << record->Name;
        if (tag)
        {
            EXPECT_EQ(mxf::MDOType::FindByTag(tag, mxf::PrimerPtr()), type) << record->Name;
        }
    }
}

TEST_F(ClassDefinition, items_keep_their_default_and_distinguished_values_as_encoded_bytes)
{
    mxf::ClassRecordPtr item = Record(mxf::ClassRecord::ITEM, "DefaultedWord", "ClassWord");
    item->HasDefault = true;
    item->Default = "258";
    item->HasDValue = true;
    item->DValue = "65535";
    ASSERT_EQ(Define({item}), 0);
    const mxf::MDOTypePtr type = Class("DefaultedWord");
    EXPECT_EQ(type->Default.GetString(), "01 02");
    EXPECT_EQ(type->DValue.GetString(), "ff ff");
}

TEST_F(ClassDefinition, items_without_reference_settings_take_them_from_their_value_type)
{
    mxf::TypeRecordPtr element(new mxf::TypeRecord);
    element->Kind = mxf::TypeRecord::BASIC;
    element->Name = "NestedElement";
    element->Size = 16;
    element->RefKind = 7;
    element->RefTarget = "TargetSet";
    mxf::TypeRecordPtr batch(new mxf::TypeRecord);
    batch->Kind = mxf::TypeRecord::MULTIPLE;
    batch->Name = "NestedBatch";
    batch->Base = "NestedElement";
    batch->ArrayKind = 1;
    ASSERT_EQ(mxf::DefineTypesFromRecords({element, batch}, mxf::DefaultSymbolSpace()), 0);

    ASSERT_EQ(Define({Record(mxf::ClassRecord::ITEM, "NestedItems", "NestedBatch")}), 0);
    const mxf::MDOTypePtr items = Class("NestedItems");
    EXPECT_EQ(items->ContainerKind, mxf::MDOType::BATCH);
    EXPECT_EQ(items->RefType, 1);
    EXPECT_TRUE(items->IsNested);
    EXPECT_EQ(items->RefTargetName, "TargetSet");
}

TEST_F(ClassDefinition, an_item_listed_in_a_second_set_becomes_a_member_of_both)
{
    using R = mxf::ClassRecord;
    mxf::ClassRecordPtr shared = Record(R::ITEM, "SharedWord", "ClassWord");
    ASSERT_EQ(Define({Set("FirstOwner", {shared})}), 0);
    mxf::ClassRecordPtr listedAgain = Record(R::ITEM, "SharedWord", "ClassWord", shared->UL);
    EXPECT_EQ(Define({Set("SecondOwner", {listedAgain})}), 0);
    EXPECT_EQ(Class("SecondOwner")->ChildList().front(), Class("FirstOwner/SharedWord"));
    EXPECT_EQ(ChildNames("FirstOwner"), std::vector<std::string>{"SharedWord"});
    EXPECT_TRUE(Noted("Adding FirstOwner/SharedWord to secondary parent SecondOwner\n"));
}

TEST_F(ClassDefinition, a_loop_of_bases_defines_nothing_and_names_every_unresolved_class)
{
    using R = mxf::ClassRecord;
    EXPECT_EQ(Define({Record(R::DERIVED, "CycleA", "CycleB"), Record(R::DERIVED, "CycleB", "CycleA")}), -1);
    EXPECT_FALSE(Class("CycleA") || Class("CycleB"));
    EXPECT_EQ(mxftest::Errors(),
              std::vector<std::string>{"Undefined base class or circular reference in class "
                                       "definitions (first unresolvable = CycleA)\n"});
    EXPECT_TRUE(Noted("Unresolved Class: CycleA\n"));
    EXPECT_TRUE(Noted("Unresolved Class: CycleB\n"));
}

TEST_F(ClassDefinition, old_style_vectors_become_batches_of_an_element_type_and_arrays_must_be_simple)
{
    using R = mxf::ClassRecord;
    mxf::ClassRecordPtr vector = Record(R::VECTOR, "OldBatch");
    mxf::ClassRecordPtr element = Record(R::ITEM, "OldElement", "ClassWord");
    element->RefKind = 1;
    element->RefTarget = "SomeSet";
    vector->Children = {element};
    mxf::ClassRecordPtr complex = Record(R::ARRAY, "OldArray");
    complex->Children = {Record(R::ITEM, "A", "ClassWord"), Record(R::ITEM, "B", "ClassWord")};
    mxf::ClassRecordPtr unknown = Record(R::ARRAY, "OldUnknown");
    unknown->Children = {Record(R::ITEM, "C", "NoSuchElement")};
    // An array's elements carry the reference; the array class itself refers to nothing.
    mxf::ClassRecordPtr refArray = Record(R::ARRAY, "OldRefArray");
    mxf::ClassRecordPtr nestedElement = Record(R::ITEM, "OldNestedElement", "ClassId");
    nestedElement->RefKind = 7;
    nestedElement->RefTarget = "SomeSet";
    refArray->Children = {nestedElement};
    Define({vector, complex, unknown, refArray});

    const mxf::MDOTypePtr array = Class("OldRefArray");
    ASSERT_TRUE(array);
    EXPECT_EQ(array->ContainerKind, mxf::MDOType::ARRAY);
    EXPECT_EQ(array->RefType, 0);
    const mxf::MDType* arrayElement = array->ValueType->GetBase();
    EXPECT_EQ(arrayElement->RefType, 1);
    EXPECT_TRUE(arrayElement->IsNested);
    EXPECT_EQ(arrayElement->RefTargetName, "SomeSet");

    const mxf::MDOTypePtr batch = Class("OldBatch");
    ASSERT_TRUE(batch);
    EXPECT_EQ(batch->ContainerKind, mxf::MDOType::BATCH);
    EXPECT_EQ(batch->RefType, 1);
    EXPECT_EQ(batch->RefTargetName, "SomeSet");
    ASSERT_EQ(batch->ValueType->Class, mxf::MDType::TYPEARRAY);
    EXPECT_EQ(batch->ValueType->GetBase()->RefType, 1);
    EXPECT_EQ(batch->ValueType->GetBase()->GetBase()->Name, "ClassWord");
    const std::vector<std::string> errors = mxftest::Errors();
    EXPECT_EQ(std::count(errors.begin(), errors.end(), "Unable to handle complex old-style array OldArray\n"),
              2);
    EXPECT_EQ(std::count(errors.begin(), errors.end(),
                         "Unable to build array of unknown item NoSuchElement in OldUnknown\n"),
              2);
    const std::vector<std::string> notes = mxftest::Notes();
    EXPECT_EQ(std::count_if(notes.begin(), notes.end(),
                            [](const std::string& note) { return note.starts_with("Old style vector"); }),
              1);
}

} // namespace
