#include "mxf/ClassRecord.h"
#include "mxf/TypeRecord.h"

#include <gtest/gtest.h>

namespace
{

// The builders take a field left as made for "not given": a reference kind of -1 (not 0, which says "no
// reference"), no label, no symbol space, no kind, sizes and flags of 0, and class extensions that reach
// derived classes.
TEST(DictionaryRecords, new_records_hold_the_values_that_mean_not_given)
{
    const mxf::TypeRecordPtr type(new mxf::TypeRecord);
    EXPECT_EQ(type->Kind, 0);
    EXPECT_EQ(type->Size, 0);
    EXPECT_EQ(type->ArrayKind, 0);
    EXPECT_EQ(type->RefKind, -1);
    EXPECT_FALSE(type->Endian);
    EXPECT_FALSE(type->Baseline);
    EXPECT_FALSE(type->UL);
    EXPECT_FALSE(type->SymbolSpace);
    EXPECT_TRUE(type->Name.empty() && type->Base.empty() && type->Value.empty() && type->RefTarget.empty());
    EXPECT_TRUE(type->Children.empty());

    const mxf::ClassRecordPtr cls(new mxf::ClassRecord);
    EXPECT_EQ(cls->Class, mxf::ClassRecord::EXTEND);
    EXPECT_EQ(cls->MinSize, 0);
    EXPECT_EQ(cls->MaxSize, 0);
    EXPECT_EQ(cls->Usage, 0);
    EXPECT_EQ(cls->Tag, 0);
    EXPECT_EQ(cls->RefKind, -1);
    EXPECT_TRUE(cls->ExtendSubs);
    EXPECT_FALSE(cls->Baseline);
    EXPECT_FALSE(cls->HasDefault);
    EXPECT_FALSE(cls->HasDValue);
    EXPECT_FALSE(cls->UL);
    EXPECT_FALSE(cls->ParentUL);
    EXPECT_FALSE(cls->SymbolSpace);
    EXPECT_TRUE(cls->Name.empty() && cls->Base.empty() && cls->RefTarget.empty());
    EXPECT_TRUE(cls->Children.empty());
}

TEST(DictionaryRecords, releasing_the_last_pointer_releases_the_whole_member_tree)
{
    mxf::ParentPtr<mxf::ClassRecord> member;
    mxf::ParentPtr<mxf::TypeRecord> value;
    {
        mxf::ClassRecordPtr set(new mxf::ClassRecord);
        mxf::ClassRecordPtr pack(new mxf::ClassRecord);
        mxf::ClassRecordPtr item(new mxf::ClassRecord);
        pack->Children.push_back(item);
        set->Children.push_back(pack);
        member = item;
        mxf::TypeRecordPtr enumeration(new mxf::TypeRecord);
        enumeration->Children.push_back(mxf::TypeRecordPtr(new mxf::TypeRecord));
        value = enumeration->Children.front();
        ASSERT_TRUE(member.GetPtr() && value.GetPtr());
    }
    EXPECT_FALSE(member.GetPtr());
    EXPECT_FALSE(value.GetPtr());
}

} // namespace
