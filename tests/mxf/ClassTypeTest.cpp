#include "RecordingDiagnostics.h"
#include "TestBytes.h"
#include "TestDictionary.h"

#include "mxf/IdentifierText.h"
#include "mxf/MDOType.h"
#include "mxf/MDTraitsInt.h"
#include "mxf/Primer.h"
#include "mxf/SymbolSpace.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace
{

using mxftest::Bytes16;

constexpr std::uint8_t Family = 0x73;

mxf::ULPtr MakeUL(const char* hex)
{
    return new mxf::UL(Bytes16(hex).data());
}

mxf::MDOTypePtr Class(int kind, const std::string& name, mxf::Tag tag = 0, const mxf::MDOTypePtr& parent = {})
{
    return mxftest::DefineClass(kind, name, mxf::MDTypePtr(), Family, tag, parent);
}

std::vector<std::string> Names(const std::list<mxf::MDOTypePtr>& children)
{
    std::vector<std::string> names;
    for (const mxf::MDOTypePtr& child : children)
        names.push_back(child->Name);
    return names;
}

std::vector<std::string> ErrorsNaming(const std::string& text)
{
    std::vector<std::string> errors = mxftest::Errors();
    std::erase_if(errors, [&](const std::string& error) { return error.find(text) == std::string::npos; });
    return errors;
}

TEST(ClassTypes, labels_find_classes_under_any_version_byte_of_an_smpte_label)
{
    const mxf::MDOTypePtr type =
        new mxf::MDOType(mxf::MDOType::SET, "", "VersionedClass", "", {}, 2, 2, 0, 0, 0);
    type->TypeUL = MakeUL("06 0e 2b 34 73 01 01 02 0f 01 00 00 00 00 00 01");
    type->Register();
    EXPECT_EQ(
        mxf::MDOType::FindByUL(mxf::UL(Bytes16("06 0e 2b 34 73 01 01 05 0f 01 00 00 00 00 00 01").data())),
        type);
    EXPECT_FALSE(
        mxf::MDOType::FindByUL(mxf::UL(Bytes16("06 0e 2b 34 73 01 01 05 0f 01 00 00 00 00 00 02").data())));
}

TEST(ClassTypes, construction_gives_the_type_name_and_no_upper_size_for_zero)
{
    const mxf::MDTypePtr word = mxftest::DefineValueType("ConstructedWord", 4, nullptr, Family);
    const mxf::MDOType item(mxf::MDOType::ITEM, "Set/", "Item", "an item", word, 0, 0, 4, 0, 3);
    EXPECT_EQ(item.TypeName, "ConstructedWord");
    EXPECT_EQ(item.FullName(), "Set/Item");
    EXPECT_EQ(item.MaxSize, -1);
    EXPECT_EQ(item.MinSize, 4);
    EXPECT_EQ(item.StaticTag, 0u);
    const mxf::MDOType set(mxf::MDOType::SET, "", "Set", "", {}, 2, 2, 0, 12, 0);
    EXPECT_EQ(set.TypeName, "Set");
    EXPECT_EQ(set.MaxSize, 12);
    const mxf::MDOType derived;
    EXPECT_EQ(derived.LenFormat, 3);
    EXPECT_EQ(derived.MaxSize, -1);
}

TEST(ClassTypes, names_and_child_names_are_found_through_the_symbol_spaces)
{
    const mxf::MDOTypePtr parent = Class(mxf::MDOType::SET, "NamedParent");
    const mxf::MDOTypePtr child = Class(mxf::MDOType::ITEM, "NamedChild", 0x7301, parent);
    EXPECT_EQ(mxf::MDOType::FindByName("NamedParent"), parent);
    EXPECT_EQ(mxf::MDOType::FindByName("NamedParent/NamedChild"), child);
    EXPECT_EQ(mxf::MDOType::FindByName("::NamedParent/NamedChild"), child);
    EXPECT_FALSE(mxf::MDOType::FindByName("NamedChild"));
    EXPECT_FALSE(mxf::MDOType::FindByName("urn:test:no-such-space::NamedParent", {}, true));
    EXPECT_EQ(parent->FindChildByUL(*child->TypeUL), child);
    EXPECT_EQ(child->GetParent(), parent.GetPtr());
}

TEST(ClassTypes, a_child_is_found_by_its_label_or_its_value_types_label)
{
    const mxf::MDTypePtr valueType = mxftest::DefineValueType("ChildByTypeLabel", 2, nullptr, Family);
    const mxf::MDOTypePtr parent = Class(mxf::MDOType::PACK, "ChildLookupParent");
    const mxf::MDOTypePtr byOwn = Class(mxf::MDOType::ITEM, "ByOwnLabel", 0, parent);
    const mxf::MDOTypePtr byType =
        mxftest::DefineClass(mxf::MDOType::ITEM, "ByTypeLabel", valueType, Family, 0, parent);
    mxf::UL ownAtOtherVersion(*byOwn->TypeUL);
    ownAtOtherVersion.GetValue()[7] = 0x09;
    EXPECT_EQ(parent->FindChildByUL(ownAtOtherVersion), byOwn);
    EXPECT_EQ(parent->FindChildByUL(*valueType->TypeUL), byType);
    EXPECT_FALSE(parent->FindChildByUL(*mxftest::NewLabel(Family)));
}

TEST(ClassTypes, the_name_map_keeps_the_first_child_of_a_name_while_the_lists_keep_both)
{
    const mxf::MDOTypePtr parent = Class(mxf::MDOType::PACK, "TwiceParent");
    const mxf::MDOTypePtr first = Class(mxf::MDOType::ITEM, "Twice", 0, parent);
    const mxf::MDOTypePtr second = Class(mxf::MDOType::ITEM, "Twice");
    const auto [entry, inserted] = parent->InsertChild(second);
    EXPECT_FALSE(inserted);
    EXPECT_EQ(entry->second, first);
    EXPECT_EQ(parent->ChildList(), (std::list<mxf::MDOTypePtr>{first, second}));
    EXPECT_EQ(parent->ChildNames(), (std::list<std::string>{"Twice", "Twice"}));
    EXPECT_EQ(parent->ChildrenByName().size(), 1u);
}

TEST(ClassTypes, a_derived_class_inherits_fields_formats_and_children_and_keeps_its_name)
{
    const mxf::MDOTypePtr grand = Class(mxf::MDOType::SET, "InheritGrand");
    const mxf::MDTypePtr word = mxftest::DefineValueType("InheritWord", 4, nullptr, Family);
    const mxf::MDOTypePtr base =
        new mxf::MDOType(mxf::MDOType::PACK, "InheritGrand/", "InheritBase", "the base", word, 0, 2, 3, 9, 5);
    base->TypeUL = mxftest::NewLabel(Family);
    base->Key.Resize(2);
    std::memcpy(base->Key.Data(), "\x3c\x0a", 2);
    base->GlobalKey.Resize(16);
    base->StaticTag = 0x3c0a;
    base->Default.Resize(1);
    base->Default.Data()[0] = 0x2a;
    base->RefType = 2;
    base->RefTargetName = "InheritGrand";
    base->SetParent(grand);
    base->Register();
    const mxf::MDOTypePtr a = Class(mxf::MDOType::ITEM, "A", 0, base);
    const mxf::MDOTypePtr b = Class(mxf::MDOType::ITEM, "B", 0, base);
    mxf::DefaultSymbolSpace()->AddSymbol("InheritGrand", grand->TypeUL);
    mxf::MDOType::ResolveRefTargets();
    ASSERT_EQ(base->GetRefTarget(), grand.GetPtr());

    struct Case
    {
        int KeyFormat;
        int LenFormat;
        int Kind; // after inheriting
        int KeyAfter;
        int LenAfter;
    };
    const Case cases[] = {
        {7, 5, mxf::MDOType::PACK, 0, 2}, // both taken from the base
        {2, 5, mxf::MDOType::SET, 2, 2},  // keyed items make a pack a set
        {7, 3, mxf::MDOType::PACK, 0, 3},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.KeyFormat * 10 + c.LenFormat);
        mxf::MDOTypePtr derived = new mxf::MDOType;
        derived->Name = "InheritDerived";
        derived->TypeUL = mxftest::NewLabel(Family);
        derived->IsNested = true;
        derived->KeyFormat = c.KeyFormat;
        derived->LenFormat = c.LenFormat;
        derived->InheritFromBase(base);
        EXPECT_EQ(derived->ContainerKind, c.Kind);
        EXPECT_EQ(derived->KeyFormat, c.KeyAfter);
        EXPECT_EQ(derived->LenFormat, c.LenAfter);
        EXPECT_EQ(derived->Name, "InheritDerived");
        EXPECT_TRUE(derived->IsNested);
        EXPECT_EQ(derived->FullName(), "InheritGrand/InheritDerived");
        EXPECT_EQ(derived->Detail, "the base");
        EXPECT_EQ(derived->ValueType, word);
        EXPECT_EQ(derived->TypeName, "InheritWord");
        EXPECT_EQ(derived->StaticTag, 0x3c0au);
        EXPECT_EQ(derived->Key.GetString(), "3c 0a");
        EXPECT_EQ(derived->GlobalKey.Size(), 16u);
        EXPECT_EQ(derived->Default.GetString(), "2a");
        EXPECT_EQ(derived->MinSize, 3);
        EXPECT_EQ(derived->MaxSize, 9);
        EXPECT_EQ(derived->Usage, 5);
        EXPECT_EQ(derived->RefType, 2);
        EXPECT_EQ(derived->GetBase(), base.GetPtr());
        EXPECT_EQ(derived->GetParent(), grand.GetPtr());
        EXPECT_EQ(derived->GetRefTarget(), grand.GetPtr());
        EXPECT_EQ(derived->RefTargetName, "InheritGrand");
        EXPECT_EQ(Names(derived->ChildList()), (std::vector<std::string>{"A", "B"}));
        EXPECT_EQ(derived->ChildrenByName().size(), 2u);
    }

    // A set whose items carry no keys becomes a pack.
    const mxf::MDOTypePtr set = Class(mxf::MDOType::SET, "InheritSet");
    mxf::MDOTypePtr unkeyed = new mxf::MDOType;
    unkeyed->KeyFormat = 0;
    unkeyed->InheritFromBase(set);
    EXPECT_EQ(unkeyed->ContainerKind, mxf::MDOType::PACK);
}

TEST(ClassTypes, children_an_ancestor_gains_go_in_after_the_common_leading_children)
{
    const mxf::MDOTypePtr ancestor = Class(mxf::MDOType::SET, "MergeAncestor");
    const mxf::MDOTypePtr a = Class(mxf::MDOType::ITEM, "a", 0, ancestor);
    const mxf::MDOTypePtr b = Class(mxf::MDOType::ITEM, "b", 0, ancestor);
    mxf::MDOTypePtr derived = new mxf::MDOType;
    derived->KeyFormat = 7;
    derived->LenFormat = 5;
    derived->InheritFromBase(ancestor);
    derived->InsertChild(Class(mxf::MDOType::ITEM, "x"));
    derived->InsertChild(Class(mxf::MDOType::ITEM, "y"));
    mxf::MDOTypePtr single = new mxf::MDOType;
    single->InheritFromBase(ancestor);
    single->InsertChild(Class(mxf::MDOType::ITEM, "own"));

    ancestor->InsertChild(Class(mxf::MDOType::ITEM, "c"));
    single->MergeBaseChildren(ancestor);
    EXPECT_EQ(Names(single->ChildList()), (std::vector<std::string>{"a", "b", "c", "own"}));
    EXPECT_EQ(single->ChildNames(), (std::list<std::string>{"a", "b", "c", "own"}));

    ancestor->InsertChild(Class(mxf::MDOType::ITEM, "e"));
    derived->MergeBaseChildren(ancestor);
    EXPECT_EQ(Names(derived->ChildList()), (std::vector<std::string>{"a", "b", "c", "x", "e", "y"}));
    EXPECT_EQ(derived->ChildNames(), (std::list<std::string>{"a", "b", "c", "x", "e", "y"}));
    EXPECT_EQ(derived->ChildrenByName().size(), 6u);
}

TEST(ClassTypes, instance_uids_are_recognised_whatever_their_version_byte)
{
    const mxf::MDOTypePtr with = Class(mxf::MDOType::SET, "WithInstanceUID");
    const mxf::MDOTypePtr without = Class(mxf::MDOType::SET, "WithoutInstanceUID");
    Class(mxf::MDOType::ITEM, "Other", 0, without);
    mxf::MDOTypePtr instanceUID =
        new mxf::MDOType(mxf::MDOType::ITEM, "", "InstanceUID", "", {}, 0, 0, 16, 16, 0);
    instanceUID->TypeUL = MakeUL("06 0e 2b 34 01 01 01 05 01 01 15 02 00 00 00 00");
    with->InsertChild(instanceUID);
    EXPECT_TRUE(with->HasInstanceUID());
    EXPECT_FALSE(without->HasInstanceUID());
}

TEST(ClassTypes, reference_targets_resolve_by_name_or_label_text_and_are_retried_later)
{
    const mxf::MDOTypePtr target = Class(mxf::MDOType::SET, "RefTargetClass");
    const mxf::MDOTypePtr byName = Class(mxf::MDOType::ITEM, "RefByName");
    byName->RefTargetName = "RefTargetClass";
    const mxf::MDOTypePtr byLabel = Class(mxf::MDOType::ITEM, "RefByLabel");
    byLabel->RefTargetName = mxf::UL(target->TypeUL).GetString();
    const mxf::MDOTypePtr missing = Class(mxf::MDOType::ITEM, "RefMissing");
    missing->RefTargetName = "RefTargetLater";

    mxftest::ClearDiagnostics();
    mxf::MDOType::ResolveRefTargets();
    EXPECT_EQ(byName->GetRefTarget(), target.GetPtr());
    EXPECT_EQ(byLabel->GetRefTarget(), target.GetPtr());
    EXPECT_EQ(missing->GetRefTarget(), nullptr);
    EXPECT_EQ(ErrorsNaming("RefMissing"),
              std::vector<std::string>{
                  "Type RefMissing specifies an unknown reference target type of RefTargetLater\n"});

    const mxf::MDOTypePtr later = Class(mxf::MDOType::SET, "RefTargetLater");
    mxftest::ClearDiagnostics();
    mxf::MDOType::ResolveRefTargets();
    EXPECT_EQ(missing->GetRefTarget(), later.GetPtr());
    EXPECT_TRUE(ErrorsNaming("RefMissing").empty());
}

TEST(ClassTypes, tags_find_classes_through_the_given_primer_or_the_static_primer)
{
    const mxf::MDOTypePtr tagged = Class(mxf::MDOType::ITEM, "TaggedClass", 0x7355);
    const mxf::MDOTypePtr keyless =
        new mxf::MDOType(mxf::MDOType::ITEM, "Root/", "KeylessClass", "", {}, 0, 0, 0, 0, 0);
    keyless->TypeUL = mxftest::NewLabel(Family);
    keyless->StaticTag = 0x7356;
    keyless->Register();

    mxftest::ClearDiagnostics();
    const mxf::PrimerPtr built = mxf::MDOType::BuildStaticPrimer();
    EXPECT_EQ(mxf::StaticPrimer(), built);
    EXPECT_EQ(
        ErrorsNaming("KeylessClass"),
        std::vector<std::string>{
            "Dictionary entry for \"Root/KeylessClass\" has a 2-byte tag, but doesn't have a 16-byte UL\n"});
    EXPECT_EQ(mxf::MDOType::FindByTag(0x7355, mxf::PrimerPtr()), tagged);
    EXPECT_FALSE(mxf::MDOType::FindByTag(0x7356, mxf::PrimerPtr()));
    // The class stays registered: without its tag it troubles no static primer built later.
    keyless->StaticTag = 0;
    mxf::MDOType::BuildStaticPrimer();

    const mxf::PrimerPtr primer = new mxf::Primer;
    EXPECT_FALSE(mxf::MDOType::FindByTag(0x7355, primer));
    primer->InsertTag(0x8001, *tagged->TypeUL);
    EXPECT_EQ(mxf::MDOType::FindByTag(0x8001, primer), tagged);
}

TEST(ClassTypes, a_primer_gives_a_label_its_class_static_tag_before_a_dynamic_one)
{
    const mxf::MDOTypePtr tagged = Class(mxf::MDOType::ITEM, "TagForClass", 0x3c0a);
    const mxf::PrimerPtr primer = new mxf::Primer;
    EXPECT_EQ(primer->TagFor(tagged->TypeUL, 0), 0x3c0au);
    EXPECT_EQ(primer->Tags().at(0x3c0a), *tagged->TypeUL);
    const mxf::ULPtr fresh = mxftest::NewLabel(Family);
    EXPECT_EQ(primer->TagFor(fresh, 0x3c0a), 0xffffu); // the preferred tag stands for another label
    EXPECT_EQ(primer->TagFor(fresh, 0), 0xffffu);
    EXPECT_EQ(primer->TagFor(fresh, 0xffff), 0xffffu);
    EXPECT_EQ(primer->TagFor(mxftest::NewLabel(Family), 0), 0xfffeu);
}

} // namespace
