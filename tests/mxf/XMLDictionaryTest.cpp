#include "DictionaryDocuments.h"
#include "RecordingDiagnostics.h"

#include "mxf/Label.h"
#include "mxf/MDOType.h"
#include "mxf/MDType.h"
#include "mxf/XMLDictionary.h"
#include "mxf/XMLParser.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace
{

using mxftest::ClassNamed;
using mxftest::TypeNamed;

// The basic types that the documents below build on, loaded once.
void LoadBasicTypes()
{
    static const int loaded = mxf::LoadXMLDictionaryText(R"(<MXFTypes><Basic>
  <UInt8 size="1"/><UInt16 size="2" endian="yes"/><UInt32 size="4" endian="yes"/><UUID size="16"/>
</Basic></MXFTypes>)");
    ASSERT_EQ(loaded, 0);
}

int Load(const std::string& text)
{
    LoadBasicTypes();
    mxftest::ClearDiagnostics();
    return mxf::LoadXMLDictionaryText(text);
}

TEST(XMLDictionary, types_of_every_kind_are_defined_from_groups_and_kind_attributes)
{
    ASSERT_EQ(Load(R"(<MXFDictionary><MXFTypes>
  <Basic><XtInt24 detail="three bytes" size="3" endian="yes" ul="06.0e.2b.34.7f.01.01.01.01.00.00.00.00.00.00.01"/></Basic>
  <Interpretation>
    <XtChar base="UInt16" character="true" baseline="yes"/>
    <XtRef base="UUID" ref="Weak" target="XtTarget"/>
  </Interpretation>
  <Multiple>
    <XtBatch base="UInt8" type="Batch"/>
    <XtString base="XtChar" type="String"/>
    <XtFour base="UInt32" size="4" type="Implicit"/>
  </Multiple>
  <Compound><XtPair baseline="yes"><First type="UInt8"/><Second type="XtInt24" detail="b"/></XtPair></Compound>
  <Enumeration><XtMode type="UInt8"><Off value="0"/><On value="1" name="Lit"/><Lost detail="no value"/></XtMode></Enumeration>
  <XtKinded kind="Interpretation" base="UInt8"/>
  <XtKindedEnum kind="enum" type="UInt16"><A value="7"/></XtKindedEnum>
  <XtAfterKinded kind="basic" size="2"/>
</MXFTypes></MXFDictionary>)"),
              0);

    const mxf::MDTypePtr int24 = TypeNamed("XtInt24");
    ASSERT_TRUE(int24);
    EXPECT_EQ(int24->Class, mxf::MDType::BASIC);
    EXPECT_EQ(int24->Size, 3);
    EXPECT_TRUE(int24->Endian);
    EXPECT_EQ(int24->Detail, "three bytes");
    ASSERT_TRUE(int24->TypeUL);
    EXPECT_EQ(int24->TypeUL->GetValue()[15], 1);

    const mxf::MDTypePtr character = TypeNamed("XtChar");
    ASSERT_TRUE(character);
    EXPECT_TRUE(character->Character);
    EXPECT_TRUE(character->Baseline);
    ASSERT_TRUE(TypeNamed("XtRef"));
    EXPECT_EQ(TypeNamed("XtRef")->RefType, 2);
    EXPECT_EQ(TypeNamed("XtRef")->RefTargetName, "XtTarget");
    EXPECT_EQ(TypeNamed("XtBatch")->ArrayClass, 1);
    EXPECT_EQ(TypeNamed("XtString")->ArrayClass, 2);
    EXPECT_EQ(TypeNamed("XtFour")->ArrayClass, 0);
    EXPECT_EQ(TypeNamed("XtFour")->Size, 4);

    const mxf::MDTypePtr pair = TypeNamed("XtPair");
    ASSERT_TRUE(pair);
    EXPECT_TRUE(pair->Baseline);
    EXPECT_EQ(std::vector<std::string>(pair->ChildNames().begin(), pair->ChildNames().end()),
              (std::vector<std::string>{"First", "Second"}));

    const mxf::MDTypePtr mode = TypeNamed("XtMode");
    ASSERT_TRUE(mode);
    ASSERT_EQ(mode->EnumValues().size(), 2u);
    EXPECT_TRUE(mxftest::Reported("No value for enumerated value Lost\n"));

    EXPECT_EQ(TypeNamed("XtKinded")->Class, mxf::MDType::INTERPRETATION);
    EXPECT_EQ(TypeNamed("XtKindedEnum")->EnumValues().size(), 1u);
    // After a type opened by "kind" closes, the section reads single type elements again.
    ASSERT_TRUE(TypeNamed("XtAfterKinded"));
    EXPECT_EQ(TypeNamed("XtAfterKinded")->Size, 2);
}

TEST(XMLDictionary, labels_with_and_without_masks_are_registered)
{
    ASSERT_EQ(Load(R"(<MXFDictionary><MXFLabels>
  <XlExact detail="exact" ul="06 0e 2b 34 7f 02 01 01  01 00 00 00 00 00 00 00"/>
  <XlFamily detail="family" ul="urn:smpte:ul:060e2b34.7f020101.02000000.00000000" mask="00.00.00.00.00.00.00.00.00.00.00.00.00.00.00.ff"/>
</MXFLabels></MXFDictionary>)"),
              0);
    const std::uint8_t exact[16] = {0x06, 0x0e, 0x2b, 0x34, 0x7f, 0x02, 0x01, 0x01, 0x01};
    const std::uint8_t member[16] = {0x06, 0x0e, 0x2b, 0x34, 0x7f, 0x02, 0x01, 0x01,
                                     0x02, 0,    0,    0,    0,    0,    0,    0x42};
    const mxf::LabelPtr found = mxf::Label::Find(mxf::UL(exact));
    ASSERT_TRUE(found);
    EXPECT_EQ(found->GetName(), "XlExact");
    const mxf::LabelPtr family = mxf::Label::Find(mxf::UL(member));
    ASSERT_TRUE(family);
    EXPECT_EQ(family->GetName(), "XlFamily");
    EXPECT_TRUE(family->HasMask());
}

TEST(XMLDictionary, class_attributes_set_formats_keys_and_sizes)
{
    ASSERT_EQ(Load(R"(<MXFDictionary><MXFClasses>
  <XcEarly keyFormat="2" type="universalSet" globalKey="06 0e 2b 34 7f 53 01 01 0d 01 01 01 01 01 01 00"/>
  <XcLate type="universalSet" keyFormat="2" lengthFormat="BER" globalKey="06 0e 2b 34 7f 53 01 01 0d 01 01 01 01 01 02 00"/>
  <XcPlain type="localSet" globalKey="06 0e 2b 34 7f 53 01 01 0d 01 01 01 01 01 03 00"/>
  <XcPack type="fixedPack" globalKey="06 0e 2b 34 7f 05 01 01 0d 01 01 01 01 01 04 00">
    <XcHex type="UInt8" tag="0x7f0a" use="Required" globalKey="06 0e 2b 34 7f 01 01 01 01 01 01 01 00 00 00 00"/>
    <XcDecimal type="UInt8" tag="32522" globalKey="06 0e 2b 34 7f 01 01 01 01 01 01 02 00 00 00 00"/>
    <XcTwoBytes type="UInt8" key="7f 0a" globalKey="06 0e 2b 34 7f 01 01 01 01 01 01 03 00 00 00 00"/>
    <XcThreeBytes type="UInt8" key="01 02 03" globalKey="06 0e 2b 34 7f 01 01 01 01 01 01 04 00 00 00 00"/>
    <XcLongKey type="UInt8" key="06 0e 2b 34 7f 01 01 01 01 01 01 05 00 00 00 00"/>
    <XcUnbounded type="UInt8" minLength="2" maxLength="unbounded" use="best effort" globalKey="06 0e 2b 34 7f 01 01 01 01 01 01 06 00 00 00 00"/>
  </XcPack>
</MXFClasses></MXFDictionary>)"),
              0);
    struct Case
    {
        const char* Name;
        int KeyFormat;
        int LenFormat;
    } cases[] = {{"XcEarly", 3, 3}, {"XcLate", 2, 3}, {"XcPack", 0, 0}};
    for (const Case& c : cases)
    {
        const mxf::MDOTypePtr type = ClassNamed(c.Name);
        ASSERT_TRUE(type) << c.Name;
        EXPECT_EQ(type->KeyFormat, c.KeyFormat) << c.Name;
        EXPECT_EQ(type->LenFormat, c.LenFormat) << c.Name;
    }
    EXPECT_EQ(ClassNamed("XcPlain")->ContainerKind, mxf::MDOType::SET);

    const mxf::MDOTypePtr pack = ClassNamed("XcPack");
    ASSERT_EQ(mxftest::MemberNames(pack),
              (std::vector<std::string>{"XcHex", "XcDecimal", "XcTwoBytes", "XcThreeBytes", "XcLongKey",
                                        "XcUnbounded"}));
    const auto& members = pack->ChildrenByName();
    EXPECT_EQ(members.at("XcHex")->StaticTag, 32522);
    EXPECT_EQ(members.at("XcHex")->Usage, 4);
    EXPECT_EQ(members.at("XcDecimal")->StaticTag, 32522);
    EXPECT_EQ(members.at("XcTwoBytes")->StaticTag, 32522);
    EXPECT_EQ(members.at("XcThreeBytes")->StaticTag, 66051);
    // A 16-byte key without a global key becomes the label and gives no tag.
    EXPECT_EQ(members.at("XcLongKey")->StaticTag, 0);
    ASSERT_EQ(members.at("XcLongKey")->GlobalKey.Size(), 16u);
    EXPECT_EQ(members.at("XcLongKey")->GlobalKey.Data()[11], 5);
    EXPECT_EQ(members.at("XcUnbounded")->MinSize, 2);
    EXPECT_EQ(members.at("XcUnbounded")->MaxSize, -1); // a greatest length of 0 is none
    EXPECT_EQ(members.at("XcUnbounded")->Usage, 5);
}

TEST(XMLDictionary, classes_derive_and_later_sections_extend_them)
{
    const char* const document = R"(<MXFDictionary>
<MXFClasses>
  <XbBase type="localSet" globalKey="06 0e 2b 34 7f 53 01 01 0d 01 01 01 02 01 01 00">
    <XbId type="UUID" key="7f 0b" globalKey="06 0e 2b 34 7f 01 01 01 02 01 01 01 00 00 00 00"/>
  </XbBase>
  <XbDerived base="XbBase" type="localSet" globalKey="06 0e 2b 34 7f 53 01 01 0d 01 01 01 02 01 02 00">
    <XbOwn type="UInt8" key="80 01" globalKey="06 0e 2b 34 7f 01 01 01 02 01 01 02 00 00 00 00"/>
  </XbDerived>
</MXFClasses>
<MXFClasses>
  <XbBase><XbLater type="UInt16" key="80 02" globalKey="06 0e 2b 34 7f 01 01 01 02 01 01 03 00 00 00 00"/></XbBase>
</MXFClasses>
</MXFDictionary>)";
    ASSERT_EQ(Load(document), 0);
    EXPECT_EQ(mxftest::MemberNames(ClassNamed("XbBase")), (std::vector<std::string>{"XbId", "XbLater"}));
    EXPECT_EQ(mxftest::MemberNames(ClassNamed("XbDerived")),
              (std::vector<std::string>{"XbId", "XbLater", "XbOwn"}));
    EXPECT_EQ(ClassNamed("XbDerived")->GetBase(), ClassNamed("XbBase").GetPtr());

    // The same document again defines nothing twice.
    const mxf::MDOTypePtr base = ClassNamed("XbBase"), derived = ClassNamed("XbDerived");
    ASSERT_EQ(Load(document), 0);
    EXPECT_EQ(ClassNamed("XbBase"), base);
    EXPECT_EQ(ClassNamed("XbDerived"), derived);
    EXPECT_EQ(derived->ChildList().size(), 3u);
    EXPECT_EQ(mxftest::MemberNames(derived), (std::vector<std::string>{"XbId", "XbLater", "XbOwn"}));
}

TEST(XMLDictionary, symbol_spaces_follow_sections)
{
    ASSERT_EQ(Load(R"(<MXFDictionary>
<MXFTypes symSpace="XsTypes"><Interpretation><XsFirst base="UInt8"/></Interpretation></MXFTypes>
<MXFTypes><Interpretation><XsSecond base="UInt8"/><XsOwn base="UInt8" symSpace="XsOther"/></Interpretation></MXFTypes>
<MXFClasses symSpace="XsClasses"><XsInSection type="UInt8" globalKey="06 0e 2b 34 7f 01 01 01 03 01 01 01 00 00 00 00"/></MXFClasses>
<MXFClasses><XsAfter type="UInt8" globalKey="06 0e 2b 34 7f 01 01 01 03 01 01 02 00 00 00 00"/></MXFClasses>
</MXFDictionary>)"),
              0);
    const mxf::SymbolSpacePtr types = mxf::SymbolSpace::FindSymbolSpace("XsTypes");
    ASSERT_TRUE(types);
    // The types space named once holds every later type record that names no space of its own.
    EXPECT_TRUE(mxf::MDType::FindByName("XsFirst", types));
    EXPECT_TRUE(mxf::MDType::FindByName("XsSecond", types));
    EXPECT_FALSE(TypeNamed("XsSecond"));
    EXPECT_TRUE(mxf::MDType::FindByName("XsOwn", mxf::SymbolSpace::FindSymbolSpace("XsOther")));
    EXPECT_TRUE(mxf::MDOType::FindByName("XsInSection", mxf::SymbolSpace::FindSymbolSpace("XsClasses")));
    EXPECT_FALSE(ClassNamed("XsInSection"));
    EXPECT_TRUE(ClassNamed("XsAfter"));
}

TEST(XMLDictionary, the_root_and_what_stands_around_or_directly_in_it_decide_how_elements_are_read)
{
    // A dictionary inside an element of no meaning is still read; the element is stepped through.
    ASSERT_EQ(Load(R"(<Wrapper><MXFDictionary symSpace="XrSpace">
<XrWrapped type="UInt8" globalKey="06 0e 2b 34 7f 01 01 01 03 02 01 01 00 00 00 00"/>
</MXFDictionary></Wrapper>)"),
              0);
    EXPECT_TRUE(mxf::MDOType::FindByName("XrWrapped", mxf::SymbolSpace::FindSymbolSpace("XrSpace")));
    EXPECT_FALSE(ClassNamed("XrWrapped"));
    EXPECT_TRUE(mxftest::Reported("Stepping into outer level <Wrapper>\n"));
    EXPECT_TRUE(mxftest::Reported("Stepping out of outer level <Wrapper>\n"));

    // A class standing directly in the dictionary opens a class section that lasts to its end: a later
    // types section is read as classes, and defines no type.
    Load(R"(<MXFDictionary>
<XrDirect type="UInt8" globalKey="06 0e 2b 34 7f 01 01 01 03 02 01 02 00 00 00 00"/>
<MXFTypes><Interpretation><XrNotAType base="UInt8"/></Interpretation></MXFTypes>
</MXFDictionary>)");
    EXPECT_TRUE(ClassNamed("XrDirect"));
    EXPECT_FALSE(TypeNamed("XrNotAType"));

    // A document of types alone has the root "MXFTypes".
    ASSERT_EQ(Load("<MXFTypes><Interpretation><XrTypeOnly base=\"UInt8\"/></Interpretation></MXFTypes>"), 0);
    EXPECT_TRUE(TypeNamed("XrTypeOnly"));
}

TEST(XMLDictionary, bad_entries_are_reported_and_skipped)
{
    struct Case
    {
        const char* Document;
        const char* Message;
    } cases[] = {
        {"<MXFTypes><XeNoKind base=\"UInt8\"/></MXFTypes>",
         "XML ERROR: Tag <XeNoKind> found when types class or item with attribute \"kind\" expected\n"},
        {"<MXFTypes><XeOdd kind=\"odd\"/></MXFTypes>",
         "XML ERROR: Unknown type kind \"odd\" in type \"XeOdd\"\n"},
        {"<MXFTypes><Interpretation><XeAttr base=\"UInt8\" colour=\"red\"/></Interpretation></MXFTypes>",
         "XML ERROR: Unexpected attribute \"colour\" in basic type \"XeAttr\"\n"},
        {"<MXFTypes><Compound><XeComp size=\"2\"><M type=\"UInt8\" "
         "odd=\"1\"/></XeComp></Compound></MXFTypes>",
         "XML ERROR: Unexpected attribute \"size\" in compound type \"XeComp\"\n"},
        {"<MXFTypes><Compound><XeComp2><M type=\"UInt8\" odd=\"1\"/></XeComp2></Compound></MXFTypes>",
         "Unexpected attribute \"odd\" in compound item \"M\"\n"},
        {"<MXFTypes><Enumeration><XeEnum><A value=\"1\"/></XeEnum></Enumeration></MXFTypes>",
         "No value type specified for enumerated type XeEnum\n"},
        {"<MXFDictionary><MXFLabels><XeLabel ul=\"06.0e.2b.34.7f.09.00.00.00.00.00.00.00.00.00.01\" "
         "size=\"1\"/>"
         "</MXFLabels></MXFDictionary>",
         "XML ERROR: Unexpected attribute \"size\" in label \"XeLabel\"\n"},
        {"<MXFDictionary><MXFClasses><XeShortKey type=\"UInt8\" globalKey=\"01 02 03 04 05 "
         "06\"/></MXFClasses>"
         "</MXFDictionary>",
         "Global key for XeShortKey is not 16 bytes\n"},
        {"<MXFDictionary><MXFClasses><XeLongTag type=\"UInt8\" key=\"01 02 03 04 "
         "05\"/></MXFClasses></MXFDictionary>",
         "Local tags are currently limited to 4 bytes, even with BER, tag size for XeLongTag is 5\n"},
        {"<Outer><Inner/></Outer>", "Stepping into outer level <Inner>\n"},
    };
    for (const Case& c : cases)
    {
        EXPECT_EQ(Load(c.Document), 0) << c.Document;
        EXPECT_TRUE(mxftest::Reported(c.Message)) << c.Message;
    }
    EXPECT_FALSE(TypeNamed("XeNoKind"));
    EXPECT_FALSE(TypeNamed("XeOdd"));
    ASSERT_TRUE(TypeNamed("XeAttr"));
}

TEST(XMLDictionary, text_loads_fail_only_for_empty_or_malformed_documents)
{
    EXPECT_EQ(Load(""), -1);
    EXPECT_EQ(mxftest::Errors(),
              (std::vector<std::string>{"XML FATAL ERROR: Failed to load dictionary from string\n\n"}));

    EXPECT_EQ(Load("<MXFDictionary><MXFTypes></MXFDictionary>"), -1);
    EXPECT_EQ(mxftest::Errors(),
              (std::vector<std::string>{"XML FATAL ERROR: Parse error at line 1:\nmismatched tag\n\n",
                                        "XML FATAL ERROR: Failed to load dictionary from string\n\n"}));

    // A document cut before its closing root tag keeps the sections it completed.
    EXPECT_EQ(
        Load("<MXFDictionary><MXFTypes><Interpretation><XtCut base=\"UInt8\"/></Interpretation></MXFTypes>"),
        0);
    EXPECT_TRUE(TypeNamed("XtCut"));

    // Whatever stands after the root element (a comment, blank lines) is part of a well-formed document.
    EXPECT_EQ(Load("<MXFTypes><Interpretation><XtTrailed base=\"UInt8\"/></Interpretation></MXFTypes>\n"
                   "<!-- end -->\n\n"),
              0);
    EXPECT_TRUE(TypeNamed("XtTrailed"));
}

// Allocates like the C library, but refuses the large blocks that parse buffers need.
void* SmallMalloc(std::size_t size)
{
    return size >= 4096 ? nullptr : std::malloc(size);
}
void* SmallRealloc(void* block, std::size_t size)
{
    return size >= 4096 ? nullptr : std::realloc(block, size);
}

TEST(XMLDictionary, a_parser_buffer_that_cannot_be_had_fails_the_load)
{
    const XML_Memory_Handling_Suite small = {SmallMalloc, SmallRealloc, std::free};
    const std::string text = "<MXFTypes><Interpretation><XtBig base=\"UInt8\"/></Interpretation></MXFTypes>" +
                             std::string(5000, ' ');
    const std::string path = mxftest::WriteTempFile("big.xml", text);
    mxf::SetXMLParserMemory(&small);
    const int fromText = Load(text);
    const std::vector<std::string> textErrors = mxftest::Errors();
    const int fromFile = mxf::LoadXMLDictionaryFile(path.c_str(), mxf::DefaultSymbolSpace());
    mxf::SetXMLParserMemory(nullptr);

    EXPECT_EQ(fromText, -1);
    ASSERT_FALSE(textErrors.empty());
    EXPECT_EQ(textErrors.front(), "XML FATAL ERROR: Out of memory for a parser buffer of 5075 bytes\n\n");
    EXPECT_EQ(fromFile, -1);
    EXPECT_TRUE(mxftest::Reported("XML FATAL ERROR: Out of memory for a parser buffer of 65536 bytes\n"));
    EXPECT_FALSE(TypeNamed("XtBig"));
}

TEST(XMLDictionary, file_loads_report_the_name_they_could_not_use)
{
    LoadBasicTypes();
    mxftest::ClearDiagnostics();
    EXPECT_EQ(mxf::LoadXMLDictionaryFile("/nonexistent/none.xml", mxf::DefaultSymbolSpace()), -1);
    EXPECT_EQ(mxftest::Errors(),
              (std::vector<std::string>{
                  "XML FATAL ERROR: Failed to load dictionary \"/nonexistent/none.xml\"\n\n"}));

    mxftest::ClearDiagnostics();
    EXPECT_FALSE(mxf::XMLParserParseFile(nullptr, nullptr, "/nonexistent/none.xml", false));
    EXPECT_EQ(mxftest::Errors(),
              (std::vector<std::string>{"No handler defined in call to XMLParserParseFile()\n"}));

    const std::string empty = mxftest::WriteTempFile("empty.xml", "");
    mxftest::ClearDiagnostics();
    EXPECT_EQ(mxf::LoadXMLDictionaryFile(empty.c_str(), mxf::DefaultSymbolSpace()), -1);
    EXPECT_EQ(mxftest::Errors(),
              (std::vector<std::string>{"XML FATAL ERROR: Parse error at line 1:\nno element found\n\n",
                                        "XML FATAL ERROR: Failed to load dictionary \"" + empty + "\"\n\n"}));

    // Types sections that closed before a parse error stay defined; the classes collected are dropped.
    const std::string broken = mxftest::WriteTempFile(
        "broken.xml",
        "<MXFDictionary>\n<MXFTypes><Interpretation><XfKept base=\"UInt8\"/></Interpretation></MXFTypes>\n"
        "<MXFClasses><XfDropped type=\"UInt8\" globalKey=\"06 0e 2b 34 7f 01 01 01 04 01 01 01 00 00 00 "
        "00\"/>"
        "</MXFClasses>\n<oops></MXFDictionary>");
    mxftest::ClearDiagnostics();
    EXPECT_EQ(mxf::LoadXMLDictionaryFile(broken.c_str(), mxf::DefaultSymbolSpace()), -1);
    EXPECT_TRUE(TypeNamed("XfKept"));
    EXPECT_FALSE(ClassNamed("XfDropped"));
    EXPECT_TRUE(mxftest::Reported("Parse error at line 4:\nmismatched tag\n"));

    const std::string good = mxftest::WriteTempFile(
        "good.xml",
        "<MXFDictionary><MXFClasses><XfClass type=\"UInt8\" "
        "globalKey=\"06 0e 2b 34 7f 01 01 01 04 01 01 02 00 00 00 00\"/></MXFClasses></MXFDictionary>");
    EXPECT_EQ(mxf::LoadXMLDictionaryFile(good.c_str(), mxf::DefaultSymbolSpace()), 0);
    EXPECT_TRUE(ClassNamed("XfClass"));
}

} // namespace
