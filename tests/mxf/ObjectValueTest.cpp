#include "CodingDictionary.h"
#include "RecordingDiagnostics.h"
#include "TestBytes.h"
#include "TestDictionary.h"

#include "mxf/MDObject.h"
#include "mxf/MDTraitsInt.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace
{

using mxftest::Bytes;
using mxftest::CodingDictionary;

const CodingDictionary& D()
{
    return CodingDictionary::Get();
}

mxf::MDObjectPtr SetOf(const std::vector<std::uint8_t>& bytes)
{
    mxf::MDObjectPtr set(new mxf::MDObject(D().Set));
    set->ReadValue(bytes.data(), bytes.size(), D().Tags);
    return set;
}

mxf::MDObjectPtr RawOf(const std::vector<std::uint8_t>& bytes)
{
    mxf::MDObjectPtr value = mxftest::ValueOf(CodingDictionary::Get().Raw);
    value->Value.Resize(bytes.size());
    if (!bytes.empty())
        std::memcpy(value->Value.Data(), bytes.data(), bytes.size());
    return value;
}

mxf::MDObjectPtr ValueOf(const mxf::MDTypePtr& type, const std::string& text)
{
    mxf::MDObjectPtr value = mxftest::ValueOf(type);
    value->SetString(text);
    return value;
}

TEST(ObjectValueTest, child_values_are_read_by_label_with_defaults_for_what_is_missing)
{
    const mxf::MDObjectPtr set = SetOf(Bytes("6001 0002 0105"));
    const mxf::UL word(D().Word->TypeUL);
    const mxf::UL missing(D().Long->TypeUL);
    EXPECT_EQ(set->GetChildInt(word, 7), 0x105);
    EXPECT_EQ(set->GetChildInt(missing, 7), 7);
    EXPECT_EQ(set->GetChildInt64(missing), 0);
    EXPECT_EQ(set->GetChildUInt(word), 0x105u);
    EXPECT_EQ(set->GetChildString(word, "none"), "261");
    EXPECT_EQ(set->GetChildString(missing, "none"), "none");

    // A child that holds no value gives 0, not the default.
    const mxf::MDObjectPtr holder(new mxf::MDObject(D().Set));
    holder->AppendChild(new mxf::MDObject(D().ShortTagSet));
    EXPECT_EQ(holder->GetChildInt(mxf::UL(D().ShortTagSet->TypeUL), 7), 0);

    set->SetChildString(missing, "70000");
    EXPECT_EQ(set->size(), 2u);
    EXPECT_EQ(set->GetChildString(missing, ""), "70000");
    set->SetChildString(word, "12");
    EXPECT_EQ(set->GetChildInt(word), 12);
    EXPECT_EQ(set->GetString("no text"), "no text");
}

TEST(ObjectValueTest, values_compare_by_their_encodings)
{
    struct Case
    {
        mxf::MDObjectPtr A, B;
        bool Equal;
        const char* What;
    };
    const Case cases[] = {
        {ValueOf(D().U32, "5"), ValueOf(D().U32, "5"), true, "same type, same bytes"},
        {ValueOf(D().U32, "5"), ValueOf(D().U32, "6"), false, "same type, other bytes"},
        {RawOf(Bytes("0102")), RawOf(Bytes("010203")), false, "different lengths"},
        {ValueOf(D().U32, "5"), ValueOf(D().Interpreted, "5"), true, "value types are not compared"},
        {SetOf(Bytes("6001 0002 0001")), SetOf(Bytes("6001 0002 0001")), true, "sets of one class"},
        {SetOf({}), mxf::MDObjectPtr(new mxf::MDObject(D().ShortTagSet)), false, "sets of two classes"},
        {ValueOf(D().U32, "5"), SetOf({}), false, "a value and a set"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.What);
        EXPECT_EQ(c.A->ValueEquals(c.B), c.Equal);
        EXPECT_EQ(c.B->ValueEquals(c.A), c.Equal);
    }
}

TEST(ObjectValueTest, values_of_one_effective_type_are_copied_by_bytes_and_others_through_text)
{
    const mxf::MDObjectPtr interpreted = ValueOf(D().Interpreted, "0");
    interpreted->SetValueFrom(ValueOf(D().U32, "70000"));
    EXPECT_EQ(interpreted->GetString(""), "70000");

    const mxf::MDObjectPtr word = ValueOf(D().U16, "0");
    word->SetValueFrom(ValueOf(D().U32, "300"));
    EXPECT_EQ(word->Value.Size(), 2u);
    EXPECT_EQ(word->GetString(""), "300");

    // A longer value takes the source's length, so no bytes of its own are left over.
    const mxf::MDObjectPtr raw = RawOf(Bytes("010203"));
    raw->SetValueFrom(RawOf(Bytes("0a")));
    EXPECT_EQ(raw->GetString(""), "0a");
}

TEST(ObjectValueTest, a_reference_takes_the_instance_uid_of_its_target_and_gives_one_to_a_target_without)
{
    const mxf::MDObjectPtr target = SetOf(Bytes("6001 0002 0001"));
    const mxf::MDObjectPtr weak(new mxf::MDObject(D().WeakRef));
    mxftest::ClearDiagnostics();
    EXPECT_TRUE(weak->MakeReference(target));
    const mxf::MDObjectPtr instance = target->FindChildByUL(mxf::InstanceUIDLabel());
    ASSERT_TRUE(instance);
    ASSERT_EQ(instance->Value.Size(), 16u);
    EXPECT_TRUE(weak->ValueEquals(instance));
    EXPECT_EQ(weak->GetReferencedObject().GetPtr(), target.GetPtr());
    EXPECT_TRUE(mxftest::Notes().empty());

    // A second reference to it takes the same identifier.
    const mxf::MDObjectPtr again(new mxf::MDObject(D().WeakRef));
    again->MakeReference(target);
    EXPECT_TRUE(again->ValueEquals(weak));

    const mxf::MDObjectPtr plain(new mxf::MDObject(D().Plain));
    plain->MakeReference(target);
    EXPECT_EQ(mxftest::Notes(),
              std::vector<std::string>{"Attempting to reference CodingSet from Plain (which is "
                                       "not a reference source)\n"});
    mxftest::ClearDiagnostics();
    plain->MakeReference(target, true);
    EXPECT_TRUE(mxftest::Notes().empty());
}

TEST(ObjectValueTest, a_strong_reference_keeps_its_target_alive_and_a_weak_one_does_not)
{
    const mxf::MDObjectPtr strong(new mxf::MDObject(D().StrongRef));
    const mxf::MDObjectPtr weak(new mxf::MDObject(D().WeakRef));
    {
        const mxf::MDObjectPtr kept = SetOf({});
        const mxf::MDObjectPtr dropped = SetOf({});
        strong->MakeReference(kept);
        weak->SetReferencedObject(dropped);
    }
    const mxf::MDObjectParent kept = strong->GetReferencedObject();
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->Name, "CodingSet");
    EXPECT_FALSE(weak->GetReferencedObject());

    const mxf::MDObjectPtr relinked(new mxf::MDObject(D().StrongRef));
    {
        const mxf::MDObjectPtr target = SetOf({});
        relinked->SetReferencedObject(target);
    }
    EXPECT_TRUE(relinked->GetReferencedObject());
}

TEST(ObjectValueTest, a_copy_of_a_set_has_its_items_but_no_instance_uid)
{
    const mxf::MDObjectPtr set = SetOf(Bytes("3c0a 0010 00112233445566778899aabbccddeeff  6001 0002 0005"));
    ASSERT_EQ(set->size(), 2u);
    const mxf::MDObjectPtr copy = set->MakeCopy();
    ASSERT_EQ(copy->size(), 1u);
    EXPECT_EQ(copy->Children()[0].second->Name, "Word");
    EXPECT_EQ(copy->GetChildInt(mxf::UL(D().Word->TypeUL)), 5);
    EXPECT_NE(copy->Children()[0].second.GetPtr(), set->Children()[1].second.GetPtr());
    EXPECT_FALSE(copy->Parent);
}

TEST(ObjectValueTest, a_copy_of_a_pack_keeps_one_member_each_in_the_order_of_the_pack)
{
    mxf::MDObjectPtr pack(new mxf::MDObject(D().FixedPack));
    const auto bytes = Bytes("0001 aabbcc 00000005");
    pack->ReadValue(bytes.data(), bytes.size(), {});
    const mxf::MDObjectPtr copy = pack->MakeCopy();
    ASSERT_EQ(copy->size(), 3u);
    EXPECT_EQ(copy->Children()[0].second->Name, "PackWord");
    EXPECT_EQ(copy->Children()[1].second->Name, "PackArray");
    EXPECT_EQ(copy->Children()[2].second->Name, "PackLong");
    EXPECT_TRUE(copy->ValueEquals(pack));
}

TEST(ObjectValueTest, a_copy_of_a_plain_value_keeps_its_value_type_and_a_strong_reference_copy_is_noted)
{
    const mxf::MDObjectPtr value = ValueOf(D().U32, "42");
    const mxf::MDObjectPtr copy = value->MakeCopy();
    EXPECT_EQ(copy->ValueType.GetPtr(), D().U32.GetPtr());
    EXPECT_EQ(copy->GetString(""), "42");

    const mxf::MDObjectPtr target = SetOf({});
    const mxf::MDObjectPtr strong(new mxf::MDObject(D().StrongRef));
    strong->MakeReference(target);
    mxftest::ClearDiagnostics();
    const mxf::MDObjectPtr strongCopy = strong->MakeCopy();
    EXPECT_EQ(strongCopy->GetReferencedObject().GetPtr(), target.GetPtr());
    EXPECT_TRUE(strongCopy->ValueEquals(strong));
    EXPECT_EQ(mxftest::Notes(), std::vector<std::string>{"Copy made of StrongRef which is a StrongRef!\n"});
}

TEST(ObjectValueTest, an_array_copy_holds_the_copied_elements_only)
{
    const mxf::MDTypePtr pair =
        mxf::MDType::DefineMultiple("CodingPair", "", D().U32, mxftest::NewLabel(0x60), 2);
    pair->Traits = mxf::MDTraitsPtr();
    const mxf::MDObjectPtr array = mxftest::ValueOf(pair);
    ASSERT_EQ(array->size(), 2u);
    array->Children()[1].second->SetString("9");
    const mxf::MDObjectPtr copy = array->MakeCopy();
    ASSERT_EQ(copy->size(), 2u);
    EXPECT_EQ(copy->Children()[1].second->GetString(""), "9");
}

TEST(ObjectValueTest, enumerated_values_are_added_once_by_name_and_by_value)
{
    const mxf::MDTypePtr colours =
        mxf::MDType::DefineEnumeration("CodingColours", "", D().U8, mxftest::NewLabel(0x60));
    mxftest::ClearDiagnostics();
    EXPECT_TRUE(colours->AddEnumeratedValueText("Red", "1"));
    EXPECT_TRUE(colours->AddEnumeratedValueText("Green", "2"));
    EXPECT_TRUE(colours->AddEnumeratedValueText("Red", "1"));
    EXPECT_FALSE(colours->AddEnumeratedValueText("Red", "3"));
    EXPECT_FALSE(colours->AddEnumeratedValueText("Blue", "2"));
    EXPECT_FALSE(D().U8->AddEnumeratedValue("Red", ValueOf(D().U8, "1")));
    EXPECT_EQ(colours->EnumValues().size(), 2u);
    EXPECT_EQ(
        mxftest::Errors(),
        (std::vector<std::string>{
            "Attempted to add enumerated value named Red to type CodingColours, which already has a value of "
            "this name with a different value\n",
            "Attempted to add enumerated value of 02 to type CodingColours, which already has this value\n",
            "Attempted to add enumerated value Red to type CodingU8, which is not an enumeration\n"}));
}

} // namespace
