#include "ContainerDictionary.h"

#include "CodingDictionary.h"
#include "TestBytes.h"
#include "TestDictionary.h"

#include "mxf/MDTraitsArray.h"
#include "mxf/MDTraitsCompound.h"
#include "mxf/MDTraitsEnum.h"
#include "mxf/MDTraitsInt.h"
#include "mxf/MDTraitsRaw.h"
#include "mxf/SymbolSpace.h"

#include <cstring>
#include <initializer_list>
#include <utility>

namespace mxftest
{

namespace
{

constexpr std::uint8_t Family = 0x61;

mxf::MDTypePtr Multiple(const std::string& name, const mxf::MDTypePtr& element, std::int32_t size,
                        mxf::MDTraits* traits, int arrayClass = 0)
{
    mxf::MDTypePtr type = mxf::MDType::DefineMultiple(name, name, element, NewLabel(Family), size);
    type->Traits = traits;
    type->ArrayClass = arrayClass;
    return type;
}

// Members are types of their own, named as the members, as the dictionary defines them.
mxf::MDTypePtr Compound(const std::string& name, mxf::MDTraits* traits,
                        std::initializer_list<std::pair<const char*, mxf::MDTypePtr>> members)
{
    mxf::MDTypePtr type = mxf::MDType::DefineCompound(name, name, NewLabel(Family));
    type->Traits = traits;
    for (const auto& [memberName, memberType] : members)
        type->InsertChild(memberName,
                          mxf::MDType::DefineInterpretation(memberName, "", memberType, NewLabel(Family), 0));
    return type;
}

mxf::MDOTypePtr Registered(int kind, const std::string& name, const mxf::MDTypePtr& type, const char* label,
                           int keyFormat = 0, int lenFormat = 0, const mxf::MDOTypePtr& parent = {})
{
    mxf::MDOTypePtr made = new mxf::MDOType(kind, parent ? parent->FullName() + "/" : "", name, name, type,
                                            keyFormat, lenFormat, 0, 0, 0);
    made->TypeUL = label ? new mxf::UL(Bytes16(label).data()) : NewLabel(Family);
    made->GlobalKey.Resize(16);
    std::memcpy(made->GlobalKey.Data(), made->TypeUL->GetValue(), 16);
    made->Key.Resize(16);
    std::memcpy(made->Key.Data(), made->TypeUL->GetValue(), 16);
    if (parent)
    {
        made->SetParent(parent);
        parent->InsertChild(made);
    }
    made->Register();
    mxf::DefaultSymbolSpace()->AddSymbol(made->FullName(), made->TypeUL);
    return made;
}

mxf::MDOTypePtr Set(const std::string& name, const char* label)
{
    return Registered(mxf::MDOType::SET, name, {}, label, 2, 2);
}

mxf::MDOTypePtr Item(const std::string& name, const mxf::MDTypePtr& type, const char* label)
{
    return Registered(mxf::MDOType::ITEM, name, type, label);
}

} // namespace

ContainerDictionary::ContainerDictionary()
{
    CodingDictionary::Get(); // InstanceUID and the stand-ins
    U8 = DefineValueType("ContainerU8", 1, new mxf::MDTraits_UInt8, Family);
    U16 = DefineValueType("ContainerU16", 2, new mxf::MDTraits_UInt16, Family);
    U32 = DefineValueType("ContainerU32", 4, new mxf::MDTraits_UInt32, Family);
    U64 = DefineValueType("ContainerU64", 8, new mxf::MDTraits_UInt64, Family);
    Int64 = DefineValueType("ContainerInt64", 8, new mxf::MDTraits_Int64, Family);
    Char7 = DefineValueType("ContainerChar7", 1, new mxf::MDTraits_ISO7, Family);
    Char16 = DefineValueType("ContainerChar16", 2, new mxf::MDTraits_UTF16, Family);
    Uuid = DefineValueType("ContainerUUID", 16, new mxf::MDTraits_UUID, Family);
    Label = DefineValueType("ContainerLabel", 16, new mxf::MDTraits_Label, Family);

    Words = Multiple("ContainerWords", U16, 0, new mxf::MDTraits_BasicArray);
    Words2 = Multiple("ContainerWords2", U16, 2, new mxf::MDTraits_BasicArray);
    Words4 = Multiple("ContainerWords4", U16, 4, new mxf::MDTraits_BasicArray);
    WordBatch = Multiple("ContainerWordBatch", U16, 0, new mxf::MDTraits_BasicArray, 1);
    Text7 = Multiple("ContainerText7", Char7, 0, new mxf::MDTraits_BasicStringArray);
    Text16 = Multiple("ContainerText16", Char16, 0, new mxf::MDTraits_UTF16String);
    Texts = Multiple("ContainerTexts", Char16, 0, new mxf::MDTraits_StringArray);
    // The type by which string arrays are split.
    const mxf::MDTypePtr utf16 = Multiple("UTF16String", Char16, 0, new mxf::MDTraits_UTF16String);
    mxf::DefaultSymbolSpace()->AddSymbol("UTF16String", utf16->TypeUL);
    RawNumbers = Multiple("ContainerRawNumbers", U32, 0, new mxf::MDTraits_RawArray);
    RawWords = Multiple("ContainerRawWords", U16, 0, new mxf::MDTraits_RawArray);

    Rational =
        Compound("ContainerRational", new mxf::MDTraits_Rational, {{"Numerator", U32}, {"Denominator", U32}});
    TimeStamp = Compound("ContainerTimeStamp", new mxf::MDTraits_TimeStamp,
                         {{"Year", U16},
                          {"Month", U8},
                          {"Day", U8},
                          {"Hours", U8},
                          {"Minutes", U8},
                          {"Seconds", U8},
                          {"msBy4", U8}});
    const mxf::MDTypePtr date = Compound("ContainerDate", new mxf::MDTraits_BasicCompound,
                                         {{"Year", U16}, {"Month", U8}, {"Day", U8}});
    const mxf::MDTypePtr time = Compound("ContainerTime", new mxf::MDTraits_BasicCompound,
                                         {{"Hours", U8}, {"Minutes", U8}, {"Seconds", U8}, {"msBy4", U8}});
    TwoLevelTimeStamp =
        Compound("ContainerTwoLevelTimeStamp", new mxf::MDTraits_TimeStamp, {{"Date", date}, {"Time", time}});
    Point = Compound("ContainerPoint", new mxf::MDTraits_BasicCompound, {{"X", U16}, {"Y", U16}});

    Colours = mxf::MDType::DefineEnumeration("ContainerColours", "", U8, NewLabel(Family));
    Colours->Traits = new mxf::MDTraits_BasicEnum;
    Colours->AddEnumeratedValueText("Red", "1");
    Colours->AddEnumeratedValueText("Green", "2");
    ColourName = mxf::MDType::DefineInterpretation("ContainerColourName", "", Colours, NewLabel(Family), 0);

    const mxf::MDTypePtr slices = Multiple("SliceOffsetArray", U32, 0, new mxf::MDTraits_BasicArray);
    IndexEntry =
        Compound("ContainerIndexEntry", new mxf::MDTraits_BasicCompound,
                 {{"TemporalOffset", U8}, {"KeyFrameOffset", U8}, {"Flags", U8}, {"StreamOffset", U64}});
    IndexEntry->InsertChild("SliceOffsetArray", slices);
    IndexEntries = Multiple("ContainerIndexEntries", IndexEntry, 0, new mxf::MDTraits_BasicArray, 1);
    IndexTableSegment = Set("IndexTableSegment", "060e2b34 02530101 0d010201 01100100");
    SliceCount = Item("SliceCount", U8, "060e2b34 01010104 04040401 01000000");
    IndexEntryArray = Item("IndexEntryArray", IndexEntries, "060e2b34 01010105 04040402 05000000");

    // The rest of what ffmpeg writes into header metadata and index segments.
    const mxf::MDTypePtr uuids = Multiple("ContainerUUIDBatch", Uuid, 0, new mxf::MDTraits_BasicArray, 1);
    const mxf::MDTypePtr labels = Multiple("ContainerLabelBatch", Label, 0, new mxf::MDTraits_BasicArray, 1);
    const mxf::MDTypePtr version =
        Compound("ContainerVersion", new mxf::MDTraits_BasicCompound,
                 {{"Major", U16}, {"Minor", U16}, {"Patch", U16}, {"Build", U16}, {"Release", U16}});
    const mxf::MDTypePtr delta = Compound("ContainerDeltaEntry", new mxf::MDTraits_BasicCompound,
                                          {{"PosTableIndex", U8}, {"Slice", U8}, {"ElementDelta", U32}});
    const mxf::MDTypePtr deltas =
        Multiple("ContainerDeltaEntries", delta, 0, new mxf::MDTraits_BasicArray, 1);
    const mxf::MDTypePtr primerEntry = Compound("ContainerPrimerEntry", new mxf::MDTraits_BasicCompound,
                                                {{"LocalTag", U16}, {"UID", Label}});
    const mxf::MDTypePtr primerEntries =
        Multiple("ContainerPrimerEntries", primerEntry, 0, new mxf::MDTraits_BasicArray, 1);

    Set("Preface", "060e2b34 02530101 0d010101 01012f00");
    Set("Identification", "060e2b34 02530101 0d010101 01013000");
    Set("ContentStorage", "060e2b34 02530101 0d010101 01011800");
    Set("Track", "060e2b34 02530101 0d010101 01013b00");
    Item("LastModifiedDate", TimeStamp, "060e2b34 01010102 07020110 02040000");
    Item("Version", U16, "060e2b34 01010102 03010201 05000000");
    Item("ObjectModelVersion", U32, "060e2b34 01010102 03010201 04000000");
    Item("Identifications", uuids, "060e2b34 01010102 06010104 06040000");
    Item("ContentStorageRef", Uuid, "060e2b34 01010102 06010104 02010000");
    Item("OperationalPattern", Label, "060e2b34 01010105 01020203 00000000");
    Item("EssenceContainers", labels, "060e2b34 01010105 01020210 02010000");
    Item("DMSchemes", labels, "060e2b34 01010105 01020210 02020000");
    Item("ThisGenerationUID", Uuid, "060e2b34 01010102 05200701 01000000");
    Item("CompanyName", Text16, "060e2b34 01010102 05200701 02010000");
    Item("ProductName", Text16, "060e2b34 01010102 05200701 03010000");
    Item("ProductVersion", version, "060e2b34 01010102 05200701 04000000");
    Item("VersionString", Text16, "060e2b34 01010102 05200701 05010000");
    Item("Platform", Text16, "060e2b34 01010102 05200701 06010000");
    Item("ModificationDate", TimeStamp, "060e2b34 01010102 07020110 02030000");
    Item("ToolkitVersion", version, "060e2b34 01010102 05200701 0a000000");
    Item("Packages", uuids, "060e2b34 01010102 06010104 05010000");
    Item("EditRate", Rational, "060e2b34 01010102 05300405 00000000");
    Item("Origin", Int64, "060e2b34 01010102 07020103 01030000");
    Item("TrackID", U32, "060e2b34 01010102 01070101 00000000");
    Item("IndexEditRate", Rational, "060e2b34 01010105 05300406 00000000");
    Item("DeltaEntryArray", deltas, "060e2b34 01010105 04040401 06000000");

    const mxf::MDOTypePtr partition =
        Registered(mxf::MDOType::PACK, "ClosedCompleteHeader", {}, "060e2b34 02050101 0d010201 01020400");
    const std::pair<const char*, mxf::MDTypePtr> members[] = {
        {"MajorVersion", U16},
        {"MinorVersion", U16},
        {"KAGSize", U32},
        {"ThisPartition", U64},
        {"PreviousPartition", U64},
        {"FooterPartition", U64},
        {"HeaderByteCount", U64},
        {"IndexByteCount", U64},
        {"IndexSID", U32},
        {"BodyOffset", U64},
        {"BodySID", U32},
        {"PartitionPattern", Label},
        {"PartitionContainers", labels},
    };
    for (const auto& [name, type] : members)
        Registered(mxf::MDOType::ITEM, name, type, nullptr, 0, 0, partition);
    const mxf::MDOTypePtr primer =
        Registered(mxf::MDOType::PACK, "PrimerPack", {}, "060e2b34 02050101 0d010201 01050100");
    Registered(mxf::MDOType::ITEM, "LocalTagEntries", primerEntries, nullptr, 0, 0, primer);
}

const ContainerDictionary& ContainerDictionary::Get()
{
    static const ContainerDictionary dictionary;
    return dictionary;
}

} // namespace mxftest
