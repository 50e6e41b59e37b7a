#include "RecordingDiagnostics.h"
#include "TestBytes.h"
#include "TestDictionary.h"

#include "mxf/MDObject.h"
#include "mxf/MDTraitsInt.h"
#include "mxf/MDTraitsRaw.h"

#include <gtest/gtest.h>

#include <cstring>

namespace
{

using mxftest::Bytes;
using mxftest::Bytes16;

constexpr std::uint8_t Family = 0x74;

// A small dictionary: value types, a set, a pack with defaults, arrays and a batch.
struct Dictionary
{
    mxf::MDTypePtr Byte, Word, Triple, Words, WordBatch, Ratio;
    mxf::MDOTypePtr Set, Zeta, Alpha, Beta, Pack, First, Second, Third, Array, TripleItem, Batch, Refs;

    Dictionary()
    {
        mxftest::DefineUnknownEntries();
        Byte = mxftest::DefineValueType("ObjByte", 1, new mxf::MDTraits_UInt8, Family);
        Word = mxftest::DefineValueType("ObjWord", 2, new mxf::MDTraits_UInt16, Family);
        Triple = mxf::MDType::DefineMultiple("ObjTriple", "", Byte, mxftest::NewLabel(Family), 3);
        Words = mxf::MDType::DefineMultiple("ObjWords", "", Word, mxftest::NewLabel(Family), 0);
        WordBatch = mxf::MDType::DefineMultiple("ObjWordBatch", "", Word, mxftest::NewLabel(Family), 0);
        WordBatch->ArrayClass = 1;
        Ratio = mxf::MDType::DefineCompound("ObjRatio", "", mxftest::NewLabel(Family));
        Ratio->InsertChild("Numerator", Word);
        Ratio->InsertChild("Denominator", Byte);

        Set = Class(mxf::MDOType::SET, "ObjSet", {});
        Zeta = Class(mxf::MDOType::ITEM, "ObjZeta", Ratio, 0x7401, Set);
        Alpha = Class(mxf::MDOType::ITEM, "ObjAlpha", Word, 0x7402, Set);
        Beta = Class(mxf::MDOType::ITEM, "ObjBeta", Byte, 0x7403, Set);
        Pack = Class(mxf::MDOType::PACK, "ObjPack", {});
        First = Class(mxf::MDOType::ITEM, "First", Word, 0, Pack);
        First->Default.Resize(2);
        std::memcpy(First->Default.Data(), "\x00\x07", 2);
        Second = Class(mxf::MDOType::ITEM, "Second", Byte, 0, Pack);
        Third = Class(mxf::MDOType::ITEM, "Third", Ratio, 0, Pack);
        Array = Class(mxf::MDOType::ARRAY, "ObjArray", Words);
        Array->MinSize = 2;
        TripleItem = Class(mxf::MDOType::ITEM, "ObjTripleItem", Triple);
        Batch = Class(mxf::MDOType::BATCH, "ObjBatch", WordBatch);
        Refs = Class(mxf::MDOType::ARRAY, "ObjRefs", Words);
        Refs->RefType = 2;
        Refs->MinSize = 1;
        mxf::MDOType::BuildStaticPrimer();
    }

    static mxf::MDOTypePtr Class(int kind, const std::string& name, const mxf::MDTypePtr& type,
                                 mxf::Tag tag = 0, const mxf::MDOTypePtr& parent = {})
    {
        return mxftest::DefineClass(kind, name, type, Family, tag, parent);
    }

    static const Dictionary& Get()
    {
        static const Dictionary dictionary;
        return dictionary;
    }
};

std::vector<std::string> ChildNames(const mxf::MDObject& object)
{
    std::vector<std::string> names;
    for (const auto& [label, child] : object)
        names.push_back(child->Name);
    return names;
}

std::vector<std::uint8_t> ValueBytes(const mxf::MDObject& object)
{
    return mxftest::Bytes(object.Value.Data(), object.Value.Size());
}

const std::string ZeroLabelText = "[00000000.0000.0000.00000000.00000000]";

TEST(MetadataObjects, an_object_for_a_set_label_is_an_empty_set_named_after_its_class)
{
    const Dictionary& d = Dictionary::Get();
    const mxf::MDObjectPtr shared = new mxf::MDObject(d.Set->TypeUL);
    const mxf::MDObjectPtr copied = new mxf::MDObject(mxf::UL(d.Set->TypeUL));
    for (const mxf::MDObjectPtr& set : {shared, copied})
    {
        EXPECT_EQ(set->ClassType, d.Set);
        EXPECT_FALSE(set->IsValue);
        EXPECT_EQ(set->ValueHolder, nullptr);
        EXPECT_TRUE(set->empty());
        EXPECT_EQ(set->Name, "ObjSet");
        EXPECT_EQ(set->Tag, 0u);
        EXPECT_EQ(set->ContainerKind(), mxf::MDObject::KindSet);
        EXPECT_EQ(*set->ObjectUL, *d.Set->TypeUL);
    }
    EXPECT_EQ(shared->ObjectUL, d.Set->TypeUL);
    EXPECT_NE(copied->ObjectUL, d.Set->TypeUL);
}

TEST(MetadataObjects, a_value_item_holds_a_zero_value_of_its_types_size)
{
    const Dictionary& d = Dictionary::Get();
    const mxf::MDObjectPtr item = new mxf::MDObject(d.Alpha);
    EXPECT_TRUE(item->IsValue);
    EXPECT_EQ(item->ValueHolder, item.GetPtr());
    EXPECT_EQ(item->ValueType, d.Word);
    EXPECT_EQ(item->Traits, d.Word->Traits);
    EXPECT_EQ(item->FindTraits(), d.Word->Traits);
    EXPECT_EQ(ValueBytes(*item), Bytes("00 00"));
    EXPECT_EQ(item->Tag, 0x7402u);
    EXPECT_EQ(item->ObjectUL, d.Alpha->TypeUL);
    EXPECT_EQ(item->ContainerKind(), mxf::MDObject::KindValue);
    // The value goes through the traits of the type.
    item->Traits->SetUInt(*item->ValueHolder, 0x1234);
    EXPECT_EQ(ValueBytes(*item), Bytes("12 34"));
}

TEST(MetadataObjects, an_object_from_a_value_type_is_of_class_unknown_and_holds_the_registered_type)
{
    const Dictionary& d = Dictionary::Get();
    const mxf::MDObjectPtr value = new mxf::MDObject(d.Word.GetPtr());
    EXPECT_EQ(value->ClassType, mxf::MDOType::FindByName("Unknown"));
    EXPECT_EQ(value->ValueType, d.Word);
    EXPECT_EQ(value->Name, "ObjWord");
    EXPECT_TRUE(value->RefKindFromValueType);
    EXPECT_FALSE(value->ObjectUL);
    EXPECT_EQ(ValueBytes(*value), Bytes("00 00"));

    // A type whose label another type has taken gives that other type.
    const mxf::ULPtr label = mxftest::NewLabel(Family);
    const mxf::MDTypePtr earlier = mxf::MDType::DefineBasic("ObjEarlier", "", label, 1);
    const mxf::MDTypePtr later = mxf::MDType::DefineBasic("ObjLater", "", label, 4);
    const mxf::MDObjectPtr replaced = new mxf::MDObject(earlier.GetPtr());
    EXPECT_EQ(replaced->ValueType, later);
    EXPECT_EQ(replaced->Value.Size(), 4u);
    // A type of no registered label falls back on "UnknownType".
    const mxf::MDObjectPtr none = new mxf::MDObject(static_cast<mxf::MDType*>(nullptr));
    EXPECT_EQ(none->Name, "UnknownType");
}

TEST(MetadataObjects, a_new_pack_holds_one_member_per_class_in_order_with_its_default)
{
    const Dictionary& d = Dictionary::Get();
    const mxf::MDObjectPtr pack = new mxf::MDObject(d.Pack);
    EXPECT_EQ(pack->ContainerKind(), mxf::MDObject::KindPack);
    ASSERT_EQ(ChildNames(*pack), (std::vector<std::string>{"First", "Second", "Third"}));
    EXPECT_EQ(ValueBytes(*pack->FindChildByName("First")), Bytes("00 07"));
    EXPECT_EQ(ValueBytes(*pack->FindChildByName("Second")), Bytes("00"));
    // A compound value holds one value per member type, in member order.
    const mxf::MDObjectPtr third = pack->FindChildByName("Third");
    EXPECT_EQ(ChildNames(*third), (std::vector<std::string>{"ObjWord", "ObjByte"}));
    EXPECT_EQ(third->FullName(), "ObjPack/Third");
    EXPECT_EQ(third->Children()[0].second->FullName(), "ObjPack/Third/ObjWord");
    EXPECT_EQ(pack->Children()[1].first, *d.Second->TypeUL);
    EXPECT_EQ(third->Children()[0].first, mxf::UL()); // values made from a type have no key
}

TEST(MetadataObjects, arrays_and_batches_hold_their_element_objects)
{
    const Dictionary& d = Dictionary::Get();
    struct Case
    {
        const mxf::MDOTypePtr* Class;
        int Kind;
        bool IsValue;
        std::size_t Elements;
    };
    const Case cases[] = {
        {&d.TripleItem, mxf::MDObject::KindArray, true, 3}, // the type's fixed count
        {&d.Array, mxf::MDObject::KindArray, true, 2},      // the class's least count
        {&d.Batch, mxf::MDObject::KindBatch, true, 0},
        {&d.Refs, mxf::MDObject::KindArray, false, 1}, // references are held as children
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE((*c.Class)->Name);
        const mxf::MDObjectPtr object = new mxf::MDObject(*c.Class);
        EXPECT_EQ(object->ContainerKind(), c.Kind);
        EXPECT_EQ(object->IsValue, c.IsValue);
        EXPECT_EQ(object->ValueHolder, object.GetPtr());
        EXPECT_EQ(object->size(), c.Elements);
        for (const auto& [label, element] : *object)
            EXPECT_EQ(element->Parent.GetPtr(), object.GetPtr());
    }

    const mxf::MDObjectPtr triple = new mxf::MDObject(d.TripleItem);
    EXPECT_EQ(ValueBytes(*triple->FindChildByIndex(2)), Bytes("00"));
    triple->SetItemCount(7);
    EXPECT_EQ(triple->size(), 3u);
    const mxf::MDObjectPtr words = new mxf::MDObject(d.Array);
    words->SetItemCount(5);
    EXPECT_EQ(words->size(), 5u);
    EXPECT_EQ(words->FindChildByIndex(4)->ValueType, d.Word);
    words->SetItemCount(1);
    EXPECT_EQ(words->size(), 1u);
    words->SetItemCount(0);
    EXPECT_TRUE(words->empty());
}

TEST(MetadataObjects, a_tag_resolves_through_the_given_primer_then_the_static_primer)
{
    const Dictionary& d = Dictionary::Get();
    const mxf::PrimerPtr primer = new mxf::Primer;
    primer->InsertTag(0x8100, *d.Alpha->TypeUL);

    struct Case
    {
        mxf::Tag Tag;
        bool WithPrimer;
        std::string Name;
        const mxf::MDOType* Class;
        const char* Error; // empty: none
    };
    const mxf::MDOType* unknown = mxf::MDOType::FindByName("Unknown").GetPtr();
    const Case cases[] = {
        {0x8100, true, "ObjAlpha", d.Alpha.GetPtr(), ""},
        {0x7403, true, "ObjBeta", d.Beta.GetPtr(),
         "Metadata object with Tag \"74.03\" doesn't exist in specified Primer\n"},
        {0x7403, false, "ObjBeta", d.Beta.GetPtr(), ""},
        {0x0042, true, "Unknown 00.42 " + ZeroLabelText, unknown, ""}, // small tags are not reported
        {0x0a0b, false, "Unknown 0a.0b " + ZeroLabelText, unknown, ""},
        {0x10000, false, "Unknown 0x10000 " + ZeroLabelText, unknown, ""},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Name);
        mxftest::ClearDiagnostics();
        const mxf::MDObjectPtr object = new mxf::MDObject(c.Tag, c.WithPrimer ? primer : mxf::PrimerPtr());
        EXPECT_EQ(object->Name, c.Name);
        EXPECT_EQ(object->ClassType.GetPtr(), c.Class);
        EXPECT_EQ(object->Tag, c.Tag);
        EXPECT_EQ(mxftest::Errors(),
                  *c.Error ? std::vector<std::string>{c.Error} : std::vector<std::string>{});
    }

    // The primer's label wins over the class's own tag, and is the object's own copy.
    const mxf::MDObjectPtr fromPrimer = new mxf::MDObject(0x8100, primer);
    EXPECT_EQ(*fromPrimer->ObjectUL, *d.Alpha->TypeUL);
    EXPECT_NE(fromPrimer->ObjectUL, d.Alpha->TypeUL);
    EXPECT_EQ(ValueBytes(*fromPrimer), Bytes("00 00"));
    const mxf::MDObjectPtr unresolved = new mxf::MDObject(0x0a0b, mxf::PrimerPtr());
    // The class "Unknown" holds a value, of the library's "UnknownType": an array of bytes.
    EXPECT_TRUE(unresolved->IsValue);
    EXPECT_EQ(unresolved->ValueType->Name, "UnknownType");
    EXPECT_EQ(unresolved->ContainerKind(), mxf::MDObject::KindArray);
}

TEST(MetadataObjects, an_unresolved_label_names_the_object_after_it)
{
    mxftest::DefineUnknownEntries();
    const mxf::ULPtr label = new mxf::UL(Bytes16("06 0e 2b 34 74 7f 01 01 0d 01 02 01 01 02 04 00").data());
    const mxf::MDObjectPtr unresolved = new mxf::MDObject(label);
    EXPECT_EQ(unresolved->Name, "Unknown [060e2b34.747f.0101.0d010201.01020400]");
    EXPECT_EQ(unresolved->ClassType, mxf::MDOType::FindByName("Unknown"));
    EXPECT_EQ(unresolved->ObjectUL, label);
    // The abstract object's label, under any version byte, says nothing more.
    const mxf::MDObjectPtr abstract =
        new mxf::MDObject(mxf::UL(Bytes16("06 0e 2b 34 02 53 01 05 0d 01 01 01 01 01 7f 00").data()));
    EXPECT_EQ(abstract->Name, "Unknown");
    // A label of a value type gives a value of that type.
    const Dictionary& d = Dictionary::Get();
    const mxf::MDObjectPtr value = new mxf::MDObject(d.Byte->TypeUL);
    EXPECT_EQ(value->Name, "ObjByte");
    EXPECT_EQ(value->ValueType, d.Byte);
    EXPECT_EQ(ValueBytes(*value), Bytes("00"));
}

TEST(MetadataObjects, children_are_added_by_class_by_label_and_in_turn)
{
    const Dictionary& d = Dictionary::Get();
    const mxf::MDObjectPtr set = new mxf::MDObject(d.Set);
    set->AddChild(d.Alpha);
    set->AddChild(d.Alpha);
    EXPECT_EQ(ChildNames(*set), (std::vector<std::string>{"ObjAlpha", "ObjAlpha"}));
    const mxf::MDObjectPtr beta = set->AddChild(*d.Beta->TypeUL);
    EXPECT_EQ(set->AddChild(*d.Beta->TypeUL), beta);
    EXPECT_EQ(beta->ClassType, d.Beta);
    const mxf::MDObjectPtr stranger = set->AddChild(*mxftest::NewLabel(Family));
    EXPECT_TRUE(stranger->Name.starts_with("Unknown [060e2b34.7401.0101"));
    EXPECT_EQ(set->size(), 4u);

    // Without an argument the child classes come in turn, in the order of their names.
    const mxf::MDObjectPtr cycling = new mxf::MDObject(d.Set);
    for (int i = 0; i < 4; ++i)
        cycling->AddChild();
    EXPECT_EQ(ChildNames(*cycling), (std::vector<std::string>{"ObjAlpha", "ObjBeta", "ObjZeta", "ObjAlpha"}));

    // Arrays add an element of their type, also an array made from its value type alone.
    const mxf::MDObjectPtr array = new mxf::MDObject(d.Array);
    EXPECT_EQ(array->AddChild()->ValueType, d.Word);
    EXPECT_EQ(array->size(), 3u);
    const mxf::MDObjectPtr words = new mxf::MDObject(d.Words.GetPtr());
    ASSERT_TRUE(words->AddChild());
    EXPECT_EQ(words->size(), 1u);

    mxftest::ClearDiagnostics();
    const mxf::MDObjectPtr item = set->AddChild(d.Alpha);
    EXPECT_FALSE(item->AddChild());
    EXPECT_EQ(mxftest::Errors(),
              std::vector<std::string>{
                  "Attempted to AddChild() to ObjSet/ObjAlpha which has no child types declared\n"});
}

TEST(MetadataObjects, children_are_removed_and_replaced_by_class)
{
    const Dictionary& d = Dictionary::Get();
    const mxf::MDObjectPtr set = new mxf::MDObject(d.Set);
    set->AddChild(d.Alpha);
    const mxf::MDObjectPtr beta = set->AddChild(d.Beta);
    set->AddChild(d.Alpha);
    set->RemoveChild(d.Alpha);
    EXPECT_EQ(ChildNames(*set), (std::vector<std::string>{"ObjBeta"}));
    const mxf::MDObjectPtr newBeta = new mxf::MDObject(d.Beta);
    EXPECT_TRUE(set->AddChild(newBeta, true));
    ASSERT_EQ(set->size(), 1u);
    EXPECT_EQ(set->Children()[0].second, newBeta);
    EXPECT_TRUE(set->AddChild(new mxf::MDObject(d.Alpha), false));
    EXPECT_EQ(ChildNames(*set), (std::vector<std::string>{"ObjBeta", "ObjAlpha"}));
}

TEST(MetadataObjects, children_are_found_by_name_label_and_index)
{
    const Dictionary& d = Dictionary::Get();
    const mxf::MDObjectPtr set = new mxf::MDObject(d.Set);
    const mxf::MDObjectPtr beta = set->AddChild(d.Beta);
    const mxf::MDObjectPtr alpha = set->AddChild(d.Alpha);
    const mxf::MDObjectPtr zeta = set->AddChild(d.Zeta);
    EXPECT_EQ(set->FindChildByName("ObjAlpha"), alpha);
    EXPECT_FALSE(set->FindChildByName("objalpha"));
    mxf::UL alphaAtOtherVersion(d.Alpha->TypeUL);
    alphaAtOtherVersion.GetValue()[7] = 0x0c;
    EXPECT_EQ(set->FindChildByUL(alphaAtOtherVersion), alpha);
    EXPECT_EQ(zeta->FindChildByUL(*d.Byte->TypeUL), zeta->Children()[1].second); // by the value type's label

    // In a set the index names a member class in class order: Zeta, Alpha, Beta.
    struct Case
    {
        int Index;
        const mxf::MDObject* Found;
    };
    const Case cases[] = {
        {0, zeta.GetPtr()}, {1, alpha.GetPtr()}, {2, beta.GetPtr()}, {3, nullptr}, {-1, nullptr}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Index);
        EXPECT_EQ(set->FindChildByIndex(c.Index).GetPtr(), c.Found);
    }
    const mxf::MDObjectPtr withoutZeta = new mxf::MDObject(d.Set);
    withoutZeta->AddChild(d.Alpha);
    EXPECT_FALSE(withoutZeta->FindChildByIndex(0));
    const mxf::MDObjectPtr array = new mxf::MDObject(d.Array);
    EXPECT_EQ(array->FindChildByIndex(1), array->Children()[1].second);
    EXPECT_FALSE(array->FindChildByIndex(2));
}

TEST(MetadataObjects, names_and_positions_run_from_the_top_most_parent)
{
    const Dictionary& d = Dictionary::Get();
    const mxf::MDObjectPtr set = new mxf::MDObject(d.Set);
    set->Location = 1000;
    set->KeyLengthSize = 17;
    const mxf::MDObjectPtr zeta = set->AddChild(d.Zeta);
    zeta->Location = 20;
    zeta->KeyLengthSize = 4;
    const mxf::MDObjectPtr numerator = zeta->Children()[0].second;
    numerator->Location = 2;

    EXPECT_EQ(numerator->FullName(), "ObjSet/ObjZeta/ObjWord");
    EXPECT_EQ(set->AbsoluteLocation(), 1000u);
    EXPECT_EQ(zeta->AbsoluteLocation(), 1037u);
    EXPECT_EQ(numerator->AbsoluteLocation(), 1043u);
    EXPECT_EQ(numerator->SourceName(), "memory buffer");
    EXPECT_EQ(zeta->SourceLocation(), "0x0000040d in memory buffer");
}

TEST(MetadataObjects, kinds_are_found_through_base_classes_and_value_type_bases)
{
    const Dictionary& d = Dictionary::Get();
    const mxf::MDTypePtr flag =
        mxf::MDType::DefineInterpretation("ObjFlag", "", d.Byte, mxftest::NewLabel(Family), 0);
    const mxf::MDOTypePtr base = Dictionary::Class(mxf::MDOType::ITEM, "ObjKindBase", flag);
    mxf::MDOTypePtr derived = new mxf::MDOType;
    derived->Name = "ObjKindDerived";
    derived->TypeUL = mxftest::NewLabel(Family);
    derived->InheritFromBase(base);
    derived->Register();
    derived->ValueType = d.Word;
    const mxf::MDObjectPtr object = new mxf::MDObject(derived);

    EXPECT_TRUE(object->IsKindOf(*derived->TypeUL));
    EXPECT_TRUE(object->IsKindOf(*base->TypeUL));
    EXPECT_TRUE(object->IsKindOf(*d.Word->TypeUL));
    EXPECT_TRUE(object->IsKindOf(*flag->TypeUL));   // the base class's value type
    EXPECT_TRUE(object->IsKindOf(*d.Byte->TypeUL)); // and what that type interprets
    EXPECT_FALSE(object->IsKindOf(*d.Set->TypeUL));
}

TEST(MetadataObjects, reference_kinds_come_from_the_class_or_for_plain_values_from_the_type)
{
    const Dictionary& d = Dictionary::Get();
    EXPECT_EQ(mxf::MDObjectPtr(new mxf::MDObject(d.Refs))->RefKind(), 2);
    EXPECT_EQ(mxf::MDObjectPtr(new mxf::MDObject(d.Alpha))->RefKind(), 0);
    const mxf::MDTypePtr strong = mxf::MDType::DefineBasic("ObjStrongRef", "", mxftest::NewLabel(Family), 16);
    strong->RefType = 1;
    const mxf::MDTypePtr inherit =
        mxf::MDType::DefineInterpretation("ObjInheritRef", "", strong, mxftest::NewLabel(Family), 0);
    inherit->RefType = -1;
    EXPECT_EQ(mxf::MDObjectPtr(new mxf::MDObject(inherit.GetPtr()))->RefKind(), 1);
    EXPECT_EQ(mxf::MDObjectPtr(new mxf::MDObject(d.Word.GetPtr()))->RefKind(), 0);
}

TEST(MetadataObjects, a_tree_frees_itself_when_its_root_goes)
{
    const Dictionary& d = Dictionary::Get();
    mxf::MDObjectPtr root = new mxf::MDObject(d.Set);
    const mxf::MDObjectPtr kept = root->AddChild(d.Zeta);
    mxf::MDObjectParent rootWatch(root);
    mxf::MDObjectParent leafWatch(mxf::MDObjectPtr(root->AddChild(d.Zeta)->Children()[0].second));
    mxf::MDObjectParent packWatch(mxf::MDObjectPtr(root->AddChild(mxf::MDOTypePtr(d.Pack))));
    ASSERT_TRUE(leafWatch.GetPtr());

    root = nullptr;
    EXPECT_EQ(rootWatch.GetPtr(), nullptr);
    EXPECT_EQ(leafWatch.GetPtr(), nullptr);
    EXPECT_EQ(packWatch.GetPtr(), nullptr);
    // A child held elsewhere outlives its parent and then stands alone.
    EXPECT_EQ(kept->Parent.GetPtr(), nullptr);
    EXPECT_EQ(kept->FullName(), "ObjZeta");
    EXPECT_EQ(kept->Children()[0].second->FullName(), "ObjZeta/ObjWord");
}

} // namespace
