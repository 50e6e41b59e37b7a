#include "CodingDictionary.h"

#include "RecordingDiagnostics.h"
#include "TestDictionary.h"

#include "mxf/MDTraitsInt.h"
#include "mxf/MDTraitsRaw.h"

namespace mxftest
{

namespace
{

constexpr std::uint8_t Family = 0x60;

constexpr std::uint8_t PartitionArrayBytes[16] = {0x80, 0x62, 0xc1, 0x08, 0xa8, 0x0d, 0xeb, 0xfe,
                                                  0x3a, 0x9d, 0xc8, 0xe1, 0x7e, 0x83, 0xb6, 0x4b};

mxf::MDOTypePtr Item(const std::string& name, const mxf::MDTypePtr& type, mxf::Tag tag = 0,
                     const mxf::MDOTypePtr& parent = {})
{
    return DefineClass(mxf::MDOType::ITEM, name, type, Family, tag, parent);
}

mxf::MDOTypePtr Container(int kind, const std::string& name, int keyFormat, int lenFormat,
                          const mxf::MDTypePtr& type = {})
{
    mxf::MDOTypePtr made = DefineClass(kind, name, type, Family);
    made->KeyFormat = keyFormat;
    made->LenFormat = lenFormat;
    return made;
}

} // namespace

CodingDictionary::CodingDictionary()
{
    DefineUnknownEntries();
    U8 = DefineValueType("CodingU8", 1, new mxf::MDTraits_UInt8, Family);
    U16 = DefineValueType("CodingU16", 2, new mxf::MDTraits_UInt16, Family);
    U32 = DefineValueType("CodingU32", 4, new mxf::MDTraits_UInt32, Family);
    Uuid = DefineValueType("CodingUUID", 16, new mxf::MDTraits_UUID, Family);
    Raw = DefineValueType("CodingRaw", 0, new mxf::MDTraits_Raw, Family);
    Interpreted = mxf::MDType::DefineInterpretation("CodingU32Too", "", U32, NewLabel(Family), 0);
    U32Elements = mxf::MDType::DefineMultiple("CodingU32Elements", "", U32, NewLabel(Family), 0);
    U32Elements->Traits = mxf::MDTraitsPtr();
    U32Batch = mxf::MDType::DefineMultiple("CodingU32Batch", "", U32, NewLabel(Family), 0);
    U32Batch->ArrayClass = 1;
    U32Batch->Traits = mxf::MDTraitsPtr();

    Set = Container(mxf::MDOType::SET, "CodingSet", 2, 2);
    Word = Item("Word", U16);
    Long = Item("Long", U32);
    Bytes = Item("Bytes", Raw);
    Plain = Item("Plain", Raw);
    InstanceUID = new mxf::MDOType(mxf::MDOType::ITEM, "", "InstanceUID", "", Uuid, 0, 0, 0, 0, 0);
    InstanceUID->TypeUL = new mxf::UL(mxf::InstanceUIDLabel());
    InstanceUID->Register();
    StrongRef = Item("StrongRef", Uuid);
    StrongRef->RefType = 1;
    WeakRef = Item("WeakRef", Uuid);
    WeakRef->RefType = 2;
    Tags = new mxf::Primer;
    Tags->InsertTag(0x6001, mxf::UL(Word->TypeUL));
    Tags->InsertTag(0x6002, mxf::UL(Long->TypeUL));
    Tags->InsertTag(0x6003, mxf::UL(Bytes->TypeUL));
    Tags->InsertTag(0x3c0a, mxf::InstanceUIDLabel());
    Tags->InsertTag(0x6004, mxf::UL(StrongRef->TypeUL));

    ShortTagSet = Container(mxf::MDOType::SET, "CodingShortTagSet", 1, 3);
    ShortA = Item("ShortA", U8, 0x0a, ShortTagSet);
    ShortB = Item("ShortB", U16, 0x0b, ShortTagSet);
    OidSet = Container(mxf::MDOType::SET, "CodingOidSet", 6, 1);
    OidItem = Item("OidItem", U8, 128, OidSet);
    LabelSet = Container(mxf::MDOType::SET, "CodingLabelSet", 3, 3);
    WideTagSet = Container(mxf::MDOType::SET, "CodingWideTagSet", 4, 2);

    FixedPack = Container(mxf::MDOType::PACK, "CodingFixedPack", 0, 0);
    PackWord = Item("PackWord", U16, 0, FixedPack);
    PackArray = Item("PackArray", Raw, 0, FixedPack);
    PackArray->TypeUL = new mxf::UL(PartitionArrayBytes);
    PackLong = Item("PackLong", U32, 0, FixedPack);
    LengthPack = Container(mxf::MDOType::PACK, "CodingLengthPack", 0, 1);
    LengthA = Item("LengthA", U16, 0, LengthPack);
    LengthB = Item("LengthB", Raw, 0, LengthPack);

    Nested = Item("Nested", Raw);
    Nested->RefType = 1;
    Nested->IsNested = true;
    Nested->RefTargetName = "CodingLengthPack";
    NestedSet = Item("NestedSet", Raw, 0x6006);
    NestedSet->RefType = 1;
    NestedSet->IsNested = true;
    NestedSet->RefTargetName = "CodingSet";
    mxf::MDOType::ResolveRefTargets();
    Tags->InsertTag(0x6005, mxf::UL(Nested->TypeUL));
    Tags->InsertTag(0x6006, mxf::UL(NestedSet->TypeUL));

    Batch = Container(mxf::MDOType::BATCH, "CodingBatch", 0, 0, U32Batch);
    Array = Container(mxf::MDOType::ARRAY, "CodingArray", 0, 0, U32Elements);
    OldArray = Container(mxf::MDOType::ARRAY, "CodingOldArray", 0, 0, U32Elements);
    Item("OldWord", U16, 0, OldArray);
    Item("OldByte", U8, 0, OldArray);
    mxf::MDOType::BuildStaticPrimer();
    // What resolving and rebuilding reported of other tests' classes is not a test's own message.
    ClearDiagnostics();
}

const CodingDictionary& CodingDictionary::Get()
{
    static const CodingDictionary dictionary;
    return dictionary;
}

} // namespace mxftest
