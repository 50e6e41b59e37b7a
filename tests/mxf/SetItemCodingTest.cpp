#include "CodingDictionary.h"
#include "RecordingDiagnostics.h"
#include "TestBytes.h"
#include "TestDictionary.h"

#include "mxf/BuiltInDictionary.h"
#include "mxf/MDObject.h"
#include "mxf/MDTraitsRaw.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{

using mxftest::Bytes;

constexpr std::uint8_t Family = 0x62;

// A set of 2-byte tags and lengths holding a batch, an array value and a word, each under a tag of Tags.
class SetItemCoding : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        const mxftest::CodingDictionary& d = mxftest::CodingDictionary::Get();
        Set = mxftest::DefineClass(mxf::MDOType::SET, "ItemCodingSet", {}, Family);
        Batch = mxftest::DefineClass(mxf::MDOType::BATCH, "ItemCodingBatch", d.U32Batch, Family, 0, Set);
        Elements =
            mxftest::DefineClass(mxf::MDOType::ITEM, "ItemCodingElements", d.U32Elements, Family, 0, Set);
        Tags = new mxf::Primer;
        Tags->InsertTag(0x6201, mxf::UL(Batch->TypeUL));
        Tags->InsertTag(0x6202, mxf::UL(Elements->TypeUL));
        Tags->InsertTag(0x6001, mxf::UL(d.Word->TypeUL));
    }
    static void TearDownTestSuite() { Tags = mxf::PrimerPtr(); }

    static mxf::MDObjectPtr Read(const std::vector<std::uint8_t>& bytes, std::uint64_t& used)
    {
        mxftest::ClearDiagnostics();
        mxf::MDObjectPtr set(new mxf::MDObject(Set));
        used = set->ReadValue(bytes.data(), bytes.size(), Tags);
        return set;
    }
    static std::vector<std::string> ChildNames(const mxf::MDObject& object)
    {
        std::vector<std::string> names;
        for (const auto& [label, child] : object.Children())
            names.push_back(child->Name + "=" + std::to_string(child->size()));
        return names;
    }

    static inline mxf::MDOTypePtr Set, Batch, Elements;
    static inline mxf::PrimerPtr Tags;
};

// A batch stated as 0xFFFF bytes long takes the rest of the set, and the set goes on after what it read.
TEST_F(SetItemCoding, a_batch_of_length_ffff_takes_what_it_reads_and_the_next_item_follows)
{
    std::uint64_t used = 0;
    const mxf::MDObjectPtr set =
        Read(Bytes("6201 ffff  00000002 00000004 00000001 00000002  6001 0002 0007"), used);
    EXPECT_EQ(used, 26u);
    ASSERT_EQ(ChildNames(*set), (std::vector<std::string>{"ItemCodingBatch=2", "Word=0"}));
    EXPECT_EQ(set->Children()[1].second->GetString(""), "7");
    EXPECT_EQ(mxftest::Errors(),
              (std::vector<std::string>{
                  "Not enough bytes for value for ItemCodingSet at 0x00000000 in memory buffer\n",
                  "Malformed batch found in ItemCodingSet/ItemCodingBatch at 0x00000000 in memory buffer - "
                  "item size = 4, count = 2, but bytes = 14\n"}));
}

TEST_F(SetItemCoding, an_item_that_reads_less_than_its_length_is_reported_and_the_next_item_follows)
{
    std::uint64_t used = 0;
    const mxf::MDObjectPtr set = Read(Bytes("6201 0014  00000001 00000004 00000009 aabbccdd 00000000"
                                            "  6001 0002 0007"),
                                      used);
    EXPECT_EQ(used, 30u);
    EXPECT_EQ(ChildNames(*set), (std::vector<std::string>{"ItemCodingBatch=1", "Word=0"}));
    EXPECT_EQ(mxftest::Errors(),
              (std::vector<std::string>{
                  "Malformed batch found in ItemCodingSet/ItemCodingBatch at 0x00000000 in memory buffer - "
                  "item size = 4, count = 1, but bytes = 12\n",
                  "Failed to read complete ItemCodingSet/ItemCodingBatch value at 0x00000000 in memory "
                  "buffer - specified length=20, read=12\n"}));
}

// The elements of an array value are read without lengths of their own, so they are written without,
// whatever length format the item's class has.
TEST_F(SetItemCoding, the_elements_of_an_array_value_are_written_without_lengths)
{
    const auto bytes = Bytes("6202 0008  00000001 00000002");
    std::uint64_t used = 0;
    const mxf::MDObjectPtr set = Read(bytes, used);
    ASSERT_EQ(ChildNames(*set), std::vector<std::string>{"ItemCodingElements=2"});
    ASSERT_EQ(Elements->LenFormat, 3);
    const mxf::DataChunkPtr encoded = set->EncodeValue(Tags);
    EXPECT_EQ(Bytes(encoded->Data(), encoded->Size()), bytes);
}

// Identifiers defined as multiples of bytes are one value of their size, not elements; an item of such a
// type is an array class, as the class builder makes it.
TEST(IdentifierValues, identifier_items_hold_one_run_of_bytes_of_their_size)
{
    mxf::InitBuiltInDictionary();
    const mxf::MDTypePtr byte = mxf::MDType::FindByName("Internal-UInt8", mxf::DefaultSymbolSpace(), false);
    ASSERT_TRUE(byte);
    struct Case
    {
        const char* Name;
        mxf::MDTraits* Traits;
        std::int32_t Size;
    };
    const Case cases[] = {{"IdUUIDBytes", new mxf::MDTraits_UUID, 16},
                          {"IdLabelBytes", new mxf::MDTraits_Label, 16},
                          {"IdUMIDBytes", new mxf::MDTraits_UMID, 32}};
    for (const Case& c : cases)
    {
        const mxf::MDTypePtr type =
            mxf::MDType::DefineMultiple(c.Name, "", byte, mxftest::NewLabel(Family), c.Size);
        type->Traits = c.Traits;
        const mxf::MDOTypePtr item =
            mxftest::DefineClass(mxf::MDOType::ARRAY, std::string(c.Name) + "Item", type, Family);
        for (const mxf::MDObjectPtr& object :
             {mxf::MDObjectPtr(new mxf::MDObject(item)), mxftest::ValueOf(type)})
        {
            EXPECT_TRUE(object->IsValue) << c.Name;
            EXPECT_EQ(object->size(), 0u) << c.Name;
            EXPECT_EQ(object->Value.Size(), static_cast<std::uint64_t>(c.Size)) << c.Name;
            EXPECT_EQ(object->EncodeValue(mxf::PrimerPtr())->Size(), static_cast<std::uint64_t>(c.Size))
                << c.Name;
        }
    }
}

} // namespace
