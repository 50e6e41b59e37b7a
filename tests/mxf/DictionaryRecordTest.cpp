#include "mxf/ClassRecord.h"
#include "mxf/TypeRecord.h"

#include <gtest/gtest.h>

namespace
{

TEST(DictionaryRecords, new_records_say_nothing_is_given_and_class_extensions_reach_derived_classes)
{
    const mxf::TypeRecordPtr type(new mxf::TypeRecord);
    EXPECT_EQ(type->RefKind, -1);
    EXPECT_EQ(type->Kind + type->Size + type->ArrayKind, 0);
    EXPECT_FALSE(type->UL || type->SymbolSpace || type->Endian || type->Baseline);

    const mxf::ClassRecordPtr cls(new mxf::ClassRecord);
    EXPECT_EQ(cls->RefKind, -1);
    EXPECT_TRUE(cls->ExtendSubs);
    EXPECT_FALSE(cls->Baseline || cls->HasDefault || cls->HasDValue);
    EXPECT_EQ(cls->Class + cls->MinSize + cls->MaxSize + cls->Usage + cls->Tag, 0);
    EXPECT_FALSE(cls->UL || cls->ParentUL || cls->SymbolSpace);
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
