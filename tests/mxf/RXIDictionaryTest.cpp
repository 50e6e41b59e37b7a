#include "DictionaryDocuments.h"
#include "RecordingDiagnostics.h"
#include "TestDictionary.h"

#include "mxf/BuiltInDictionary.h"
#include "mxf/ClassDefinition.h"

#include "mxf/DictionaryLoad.h"
#include "mxf/RXIDictionary.h"

#include <gtest/gtest.h>

namespace
{

// A register document in the RXI namespace with the normative attributes prefixed "r".
std::string Register(const std::string& body, const std::string& space = "urn:x:RXI")
{
    return "<?xml version=\"1.0\"?>\n<reg:register xmlns:reg=\"" + space + "\" xmlns:r=\"" + space +
           "/normative\" xmlns:i=\"" + space + "/informative\">\n" + body + "</reg:register>\n";
}

mxf::RXIDataPtr Parse(const std::string& document, const std::string& application = "")
{
    static int count = 0;
    const std::string path = mxftest::WriteTempFile("register" + std::to_string(++count) + ".xml", document);
    mxftest::ClearDiagnostics();
    return mxf::ParseRXIFile(path, mxf::DefaultSymbolSpace(), application);
}

std::vector<std::string> Names(const mxf::TypeRecordList& records)
{
    std::vector<std::string> names;
    for (const auto& record : records)
        names.push_back(record->Name);
    return names;
}

std::vector<std::string> Names(const mxf::ClassRecordList& records)
{
    std::vector<std::string> names;
    for (const auto& record : records)
        names.push_back(record->Name);
    return names;
}

TEST(RXIDictionary, version_texts_read_as_hundredths)
{
    const std::pair<const char*, int> cases[] = {{"1", 100},    {"1.5", 150},    {"1.25", 125},
                                                 {" 2", 200},   {"1.234", 1234}, {"abc", 0},
                                                 {"2.50", 250}, {"2.505", 2505}};
    for (const auto& [text, hundredths] : cases)
        EXPECT_EQ(mxf::ParseVersionHundredths(text), hundredths) << text;
}

TEST(RXIDictionary, documents_of_the_library_format_are_told_apart_from_register_documents)
{
    for (const char* root : {"<MXFDictionary/>", "<MXFTypes/>"})
    {
        const mxf::RXIDataPtr fromFile = Parse(root);
        ASSERT_TRUE(fromFile);
        EXPECT_TRUE(fromFile->OldFormat);
        const mxf::RXIDataPtr fromText = mxf::ParseRXIText(root, mxf::DefaultSymbolSpace(), "");
        ASSERT_TRUE(fromText);
        EXPECT_TRUE(fromText->OldFormat);
    }
    const mxf::RXIDataPtr other = Parse("<a><b/></a>");
    ASSERT_TRUE(other);
    EXPECT_FALSE(other->OldFormat);
    EXPECT_EQ(mxftest::Notes(), (std::vector<std::string>{"Stepping into outer level <a>\n",
                                                          "Stepping into outer level <b>\n"}));

    const mxf::RXIDataPtr registerData = Parse(Register(""));
    ASSERT_TRUE(registerData);
    EXPECT_FALSE(registerData->OldFormat);
    EXPECT_TRUE(mxftest::Notes().empty());
    ASSERT_TRUE(Parse(Register("", "urn:x:other")));
    EXPECT_EQ(mxftest::Notes(),
              (std::vector<std::string>{"Dictionary file resembles RXI in that the outer tag is "
                                        "\"register\" but namespace is urn:x:other\n"}));
}

TEST(RXIDictionary, unreadable_documents_give_no_result)
{
    mxftest::ClearDiagnostics();
    EXPECT_FALSE(mxf::ParseRXIFile("/nonexistent/register.xml", mxf::DefaultSymbolSpace(), ""));
    EXPECT_EQ(mxftest::Errors(),
              (std::vector<std::string>{
                  "XML FATAL ERROR: Failed to load dictionary \"/nonexistent/register.xml\"\n\n"}));
    EXPECT_FALSE(Parse("<reg:register xmlns:reg=\"urn:x:RXI\">"));
    EXPECT_TRUE(mxftest::Reported("XML FATAL ERROR: Parse error at line 1:\nno element found\n"));
    mxftest::ClearDiagnostics();
    EXPECT_FALSE(mxf::ParseRXIText("", mxf::DefaultSymbolSpace(), ""));
    EXPECT_EQ(mxftest::Errors(),
              (std::vector<std::string>{"XML FATAL ERROR: Failed to load dictionary from XML\n"}));
}

TEST(RXIDictionary, type_entries_become_type_records_by_kind)
{
    const mxf::RXIDataPtr data = Parse(Register(R"(
<reg:leaf_types r:sym="RtWord" r:urn="urn:smpte:ul:060e2b34.7f040101.01010200.00000000" r:kind="integer" r:qualif="2" r:value="True">
  <reg:traits><r:name>Word</r:name><r:detail>Two bytes</r:detail></reg:traits></reg:leaf_types>
<reg:leaf_types r:sym="RtWord" r:urn="urn:smpte:ul:060e2b34.7f040101.01010300.00000000" r:kind="rename" r:target_urn="urn:smpte:ul:060e2b34.7f040101.01010200.00000000"/>
<reg:leaf_types r:sym="RtRefs" r:urn="urn:smpte:ul:060e2b34.7f040101.05010000.00000000" r:kind="set" r:qualif="strong" r:target_urn="urn:smpte:ul:060e2b34.7f530101.0d010101.01010100"/>
<reg:leaf_types r:sym="RtFour" r:kind="array" r:minOccurs="4" r:maxOccurs="4" r:target_urn="urn:smpte:ul:060e2b34.7f040101.01010200.00000000"/>
<reg:leaf_types r:sym="RtSome" r:kind="array" r:minOccurs="4" r:maxOccurs="8"/>
<reg:leaf_types r:sym="RtPair" r:kind="record">
  <reg:link_types r:sym="First" r:type_urn="urn:smpte:ul:060e2b34.7f040101.01010200.00000000"/>
  <reg:link_types r:sym="Second" r:urn="urn:smpte:ul:060e2b34.7f040101.03010102.00000000"/></reg:leaf_types>
<reg:leaf_types r:sym="RtMode" r:kind="enumeration" r:target_urn="urn:smpte:ul:060e2b34.7f040101.01010200.00000000">
  <reg:link_types r:sym="Off" r:value="0"><reg:traits><r:detail>off</r:detail></reg:traits></reg:link_types>
  <reg:link_types r:sym="On" r:value="1"/></reg:leaf_types>
<reg:leaf_types r:sym="RtOdd" r:kind="weird"/>
<reg:leaf_elements r:sym="RtWord" r:urn="urn:smpte:ul:060e2b34.7f010101.01010300.00000000"/>
)"));
    ASSERT_TRUE(data);
    EXPECT_EQ(Names(data->TypeRecords),
              (std::vector<std::string>{"RtWord", "RtWord_1", "RtRefs_Item", "RtRefs", "RtFour", "RtSome",
                                        "RtPair", "RtMode"}));
    const std::vector<mxf::TypeRecordPtr> t(data->TypeRecords.begin(), data->TypeRecords.end());
    EXPECT_EQ(t[0]->Kind, mxf::TypeRecord::BASIC);
    EXPECT_EQ(t[0]->Size, 2);
    EXPECT_TRUE(t[0]->Endian);
    EXPECT_EQ(t[0]->Detail, "Two bytes");
    EXPECT_EQ(t[1]->Kind, mxf::TypeRecord::INTERPRETATION);
    EXPECT_EQ(t[1]->Base, "urn:smpte:ul:060e2b34.7f040101.01010200.00000000");
    EXPECT_EQ(t[2]->Kind, mxf::TypeRecord::INTERPRETATION);
    EXPECT_EQ(t[2]->RefKind, 1);
    EXPECT_EQ(t[2]->Base, "Internal-UUID");
    EXPECT_EQ(t[3]->Kind, mxf::TypeRecord::MULTIPLE);
    EXPECT_EQ(t[3]->ArrayKind, 1);
    EXPECT_EQ(t[3]->RefKind, 1);
    EXPECT_EQ(t[3]->Base, t[2]->UL->GetString());
    EXPECT_EQ(t[4]->Size, 4);
    EXPECT_EQ(t[5]->Size, 4);
    EXPECT_TRUE(mxftest::Reported(
        "leaf_types for RtSome has minOccurs=\"4\" and maxOccurs=\"8\", which is not currently supported\n"));
    ASSERT_EQ(t[6]->Children.size(), 2u);
    EXPECT_EQ(t[6]->Children.front()->Base, "urn:smpte:ul:060e2b34.7f040101.01010200.00000000");
    ASSERT_EQ(t[7]->Children.size(), 2u);
    EXPECT_EQ(t[7]->Children.front()->Detail, "off");
    EXPECT_EQ(t[7]->Children.back()->Value, "1");
    EXPECT_TRUE(mxftest::Reported("De-duplicated symbol to RtWord_1\n"));
    // Types and elements are named apart: the element keeps the name the types already have.
    EXPECT_EQ(Names(data->ElementRecords), (std::vector<std::string>{"RtWord"}));
    EXPECT_TRUE(mxftest::Reported("Found type kind weird - not yet supported\n"));
}

TEST(RXIDictionary, groups_take_elements_as_members_and_share_them_through_derived_copies)
{
    const mxf::RXIDataPtr data = Parse(Register(R"(
<reg:leaf_elements r:sym="ReId" r:urn="urn:smpte:ul:060e2b34.01010101.01011502.00000000" r:type_urn="urn:smpte:ul:060e2b34.7f040101.01030300.00000000"/>
<reg:leaf_elements r:sym="ReLonely" r:urn="urn:smpte:ul:060e2b34.7f010101.01010100.00000000"/>
<reg:leaf_elements r:sym="ReName" r:urn="urn:smpte:ul:060e2b34.7f010101.01010200.00000000"/>
<reg:leaf_groups r:sym="RgFirst" r:urn="urn:smpte:ul:060e2b34.7f530101.0d010101.01010100">
  <reg:link_groups r:urn="urn:smpte:ul:060e2b34.01010101.01011502.00000000"/>
  <reg:link_groups r:sym="Title" r:urn="urn:smpte:ul:060e2b34.7f010101.01010200.00000000"/>
  <reg:link_groups r:sym="Ghost" r:urn="urn:smpte:ul:060e2b34.7f010101.0101ff00.00000000"/></reg:leaf_groups>
<reg:leaf_groups r:sym="RgSecond" r:urn="urn:smpte:ul:060e2b34.7f7f0101.0d010101.01010200" r:coding="53 13" r:parent_urn="urn:smpte:ul:060e2b34.7f530101.0d010101.01010100">
  <reg:link_groups r:urn="urn:smpte:ul:060e2b34.01010101.01011502.00000000"/></reg:leaf_groups>
<reg:leaf_groups r:sym="RgNoUL" r:urn="{12345678-1234-1234-1234-123456789abc}" r:coding="53"/>
<reg:leaf_groups r:sym="RgPack" r:urn="urn:smpte:ul:060e2b34.7f050101.0d010101.01010300"/>
)"));
    ASSERT_TRUE(data);
    EXPECT_EQ(Names(data->ElementRecords), (std::vector<std::string>{"ReLonely"}));
    EXPECT_EQ(Names(data->GroupRecords),
              (std::vector<std::string>{"RgFirst", "RgSecond", "RgSecond", "RgSecond", "RgNoUL", "RgPack"}));
    const std::vector<mxf::ClassRecordPtr> g(data->GroupRecords.begin(), data->GroupRecords.end());

    EXPECT_EQ(Names(g[0]->Children), (std::vector<std::string>{"ReId", "Title"}));
    EXPECT_EQ(g[0]->Children.front()->RefKind, 6); // InstanceUID
    EXPECT_TRUE(mxftest::Reported("Group RgFirst contains unknown member Ghost\n"));
    EXPECT_TRUE(mxftest::Reported("Applying alias or member name Title in place of ReName in RgFirst\n"));
    EXPECT_EQ(g[0]->MinSize, 2); // byte 6 0x53: 2-byte tags and lengths
    EXPECT_EQ(g[0]->MaxSize, 2);

    // The element is the first group's member; the second group gets a derived copy with a label of its own.
    const mxf::ClassRecordPtr copy = g[1]->Children.front();
    EXPECT_EQ(copy->Class, mxf::ClassRecord::DERIVED);
    EXPECT_EQ(copy->Name, "ReId");
    EXPECT_EQ(copy->Base, g[0]->Children.front()->UL->GetString());
    EXPECT_NE(copy->UL->GetString(), copy->Base);

    // Byte 6 0x7f: the default layout; the group moves to its coding space, each variant to its own.
    EXPECT_EQ(g[1]->Class, mxf::ClassRecord::SET);
    EXPECT_EQ(g[1]->MinSize, 2);
    EXPECT_EQ(g[1]->MaxSize, 3);
    EXPECT_EQ(g[1]->Base, "urn:smpte:ul:060e2b34.7f530101.0d010101.01010100");
    EXPECT_EQ(g[1]->SymbolSpace->GetName(), "Coding7f");
    struct Variant
    {
        int Index;
        std::uint8_t Byte;
        const char* Space;
        int KeyFormat;
        int LengthFormat;
    } variants[] = {{2, 0x53, "Coding53", 2, 2}, {3, 0x13, "Coding13", 2, 3}};
    for (const Variant& v : variants)
    {
        const mxf::ClassRecordPtr& variant = g[v.Index];
        EXPECT_EQ(variant->Class, mxf::ClassRecord::DERIVED);
        EXPECT_EQ(variant->UL->GetValue()[5], v.Byte);
        EXPECT_EQ(variant->SymbolSpace->GetName(), v.Space);
        EXPECT_EQ(variant->MinSize, v.KeyFormat);
        EXPECT_EQ(variant->MaxSize, v.LengthFormat);
        EXPECT_EQ(variant->Base, g[1]->UL->GetString());
    }
    EXPECT_TRUE(mxftest::Reported("Group RgNoUL has a coding of 53 specified, but has an identifier of "));

    // Byte 6 0x05: a pack, with neither keys nor lengths.
    EXPECT_EQ(g[5]->Class, mxf::ClassRecord::PACK);
    EXPECT_EQ(g[5]->MinSize, 0);
    EXPECT_EQ(g[5]->MaxSize, 0);
}

TEST(RXIDictionary, stems_give_symbols_to_entries_that_have_none)
{
    const mxf::RXIDataPtr data = Parse(Register(R"(
<reg:stem r:sym="Bar" r:urn="urn:smpte:ul:060e2b34.01010102.00000000.00000000">
  <reg:leaf_labels r:urn="urn:smpte:ul:060e2b34.01010105.00000000.00000000"/>
</reg:stem>
<reg:stem r:sym="Baz" r:urn="urn:smpte:ul:060e2b34.01010102.00000000.00000000">
  <reg:leaf_labels r:urn="urn:smpte:ul:060e2b34.01010102.00000000.0000002a"/>
</reg:stem>
<reg:leaf_labels r:urn="urn:smpte:ul:060e2b34.01010102.00000000.0000002b"><reg:traits><r:name>Named label</r:name></reg:traits></reg:leaf_labels>
)"));
    ASSERT_TRUE(data);
    EXPECT_EQ(Names(data->LabelRecords), (std::vector<std::string>{"Bar05", "Baz2a", "Named_label"}));
}

TEST(RXIDictionary, entries_are_chosen_by_application_and_version)
{
    struct Case
    {
        const char* Application;
        const char* List;
        bool Applies;
        const char* Name;
    } cases[] = {
        {"Edit[2.5]", "Edit[1.0:3.0]", true, "RaEntry"}, {"Edit[2.5]", "Edit[3.0:]", false, ""},
        {"Edit[2.5]", "Edit", true, "RaEntry"},          {"Edit[2.5]", "Play", false, ""},
        {"Edit~", "Edit~EditName", true, "EditName"},    {"Edit[2.5]~", "Play[1] Edit[2:3]~Alt", true, "Alt"},
    };
    for (const Case& c : cases)
    {
        const mxf::RXIDataPtr data = Parse(
            Register(std::string(
                         "<reg:leaf_labels r:sym=\"RaEntry\" r:urn=\"urn:smpte:ul:060e2b34.7f010101.09090909."
                         "09090909\"><reg:traits><i:app>") +
                     c.List + "</i:app></reg:traits></reg:leaf_labels>"),
            c.Application);
        ASSERT_TRUE(data) << c.List;
        EXPECT_EQ(Names(data->LabelRecords),
                  c.Applies ? std::vector<std::string>{c.Name} : std::vector<std::string>{})
            << c.Application << " " << c.List;
    }
    EXPECT_TRUE(mxftest::Reported(" ->Not a match by name \"Play\"\n"));

    // An element is built whatever its application list says.
    const mxf::RXIDataPtr elements = Parse(
        Register("<reg:leaf_elements r:sym=\"RaElement\" r:urn=\"urn:smpte:ul:060e2b34.7f010101.09090909."
                 "0909090a\"><reg:traits><i:app>Play</i:app></reg:traits></reg:leaf_elements>"),
        "Edit[2.5]");
    ASSERT_TRUE(elements);
    EXPECT_EQ(Names(elements->ElementRecords), (std::vector<std::string>{"RaElement"}));
}

TEST(RXIDictionary, register_documents_load_through_the_entry_points)
{
    const std::string path = mxftest::WriteTempFile("load.xml", Register(R"(
<reg:leaf_types r:sym="RlByte" r:urn="urn:smpte:ul:060e2b34.7f040101.0a0a0100.00000000" r:kind="integer" r:qualif="1"/>
<reg:leaf_elements r:sym="RlValue" r:urn="urn:smpte:ul:060e2b34.7f010101.0a0a0200.00000000" r:type_urn="urn:smpte:ul:060e2b34.7f040101.0a0a0100.00000000"/>
<reg:leaf_groups r:sym="RlSet" r:urn="urn:smpte:ul:060e2b34.7f530101.0a0a0300.00000000">
  <reg:link_groups r:urn="urn:smpte:ul:060e2b34.7f010101.0a0a0200.00000000"/></reg:leaf_groups>
)"));
    mxftest::ClearDiagnostics();
    EXPECT_EQ(mxf::LoadDictionaryFromFile(path.c_str(), mxf::DefaultSymbolSpace(), ""), 0);
    ASSERT_TRUE(mxftest::TypeNamed("RlByte"));
    EXPECT_EQ(mxftest::TypeNamed("RlByte")->Size, 1);
    EXPECT_EQ(mxftest::MemberNames(mxftest::ClassNamed("RlSet")), (std::vector<std::string>{"RlValue"}));
    // Loading it again updates what exists and defines nothing twice.
    const mxf::MDTypePtr firstType = mxftest::TypeNamed("RlByte");
    const mxf::MDOTypePtr firstClass = mxftest::ClassNamed("RlSet");
    const mxf::MDOTypePtr firstElement = mxftest::ClassNamed("RlValue");
    EXPECT_EQ(mxf::LoadDictionaryFromFile(path.c_str(), mxf::DefaultSymbolSpace(), ""), 0);
    EXPECT_EQ(mxftest::TypeNamed("RlByte"), firstType);
    EXPECT_EQ(mxftest::ClassNamed("RlSet"), firstClass);
    EXPECT_EQ(mxftest::ClassNamed("RlValue"), firstElement);
    EXPECT_EQ(firstClass->ChildList().size(), 1u);
    EXPECT_EQ(mxftest::MemberNames(firstClass), (std::vector<std::string>{"RlValue"}));

    const std::string xml =
        mxftest::WriteTempFile("old.xml", "<MXFTypes><Basic><RlOldByte size=\"1\"/></Basic></MXFTypes>");
    EXPECT_EQ(mxf::LoadDictionaryFromFile(xml.c_str(), mxf::DefaultSymbolSpace(), ""), 0);
    EXPECT_TRUE(mxftest::TypeNamed("RlOldByte"));
    EXPECT_EQ(mxf::LoadDictionaryFromText("<MXFTypes><Basic><RlTextByte size=\"1\"/></Basic></MXFTypes>", ""),
              0);
    EXPECT_TRUE(mxftest::TypeNamed("RlTextByte"));

    EXPECT_EQ(mxf::LoadDictionaryFromFile("/nonexistent/x.xml", mxf::DefaultSymbolSpace(), ""), -1);
    EXPECT_EQ(mxf::LoadDictionaryFromText("<MXFTypes>", ""), 0); // a text's missing end is not seen
    EXPECT_EQ(mxf::LoadDictionaryFromText("<MXFTypes></x>", ""), -1);
}

TEST(RXIDictionary, a_register_document_of_types_only_defines_them_and_resolves_waiting_targets)
{
    // A set whose reference target is defined after it, outside any document load, waits unresolved.
    mxf::ClassRecordList sets;
    for (const char* name : {"RoHolder", "RoTarget"})
    {
        mxf::ClassRecordPtr set(new mxf::ClassRecord);
        set->Class = mxf::ClassRecord::SET;
        set->Name = name;
        set->UL = mxftest::NewLabel(0x7e);
        set->MinSize = set->MaxSize = 2;
        sets.push_back(set);
    }
    sets.front()->RefKind = 2;
    sets.front()->RefTarget = "RoTarget";
    ASSERT_EQ(mxf::DefineClassesFromRecords(sets, mxf::DefaultSymbolSpace()), 0);
    const mxf::MDOTypePtr holder = mxftest::ClassNamed("RoHolder");
    ASSERT_TRUE(holder);
    ASSERT_FALSE(holder->GetRefTarget());

    // The built-in dictionary is in place first, as a load puts it, so that its primer is the one there is.
    mxf::InitBuiltInDictionary();
    const mxf::PrimerPtr primer = mxf::StaticPrimer();
    const std::string path = mxftest::WriteTempFile("types.xml", Register(R"(
<reg:leaf_types r:sym="RoByte" r:urn="urn:smpte:ul:060e2b34.7f040101.0b0b0100.00000000" r:kind="integer" r:qualif="1"/>
)"));
    mxftest::ClearDiagnostics();
    EXPECT_EQ(mxf::LoadDictionaryFromFile(path.c_str(), mxf::DefaultSymbolSpace(), ""), 0);
    EXPECT_TRUE(mxftest::TypeNamed("RoByte"));
    EXPECT_EQ(holder->GetRefTarget(), mxftest::ClassNamed("RoTarget").GetPtr());
    // No classes came, so the static primer is the one there was.
    EXPECT_EQ(mxf::StaticPrimer(), primer);
}

} // namespace
