// Type and class definitions carried as metadata objects, built from the meta-classes of the built-in
// dictionary document, loaded into a symbol space of their own and used at once.
#include "DictionaryDocuments.h"
#include "FileBytes.h"
#include "RecordingDiagnostics.h"

#include "mxf/DictionaryLoad.h"
#include "mxf/IdentifierText.h"
#include "mxf/MDOType.h"
#include "mxf/MDObject.h"
#include "mxf/MDType.h"
#include "mxf/MetaDictionary.h"
#include "mxf/Partition.h"
#include "mxf/SymbolSpace.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace
{

using mxf::MDObjectPtr;
using mxf::UL;
using mxftest::operator+;

UL Label(const char* hex)
{
    return UL(mxf::ULFromText(hex));
}

const UL Identification = Label("06 0e 2b 34 01 01 01 02 06 01 01 07 13 00 00 00");
const UL DefinitionName = Label("06 0e 2b 34 01 01 01 02 03 02 04 01 02 01 00 00");
const UL TypeDefinitions = Label("06 0e 2b 34 01 01 01 02 06 01 01 07 08 00 00 00");
const UL ClassDefinitions = Label("06 0e 2b 34 01 01 01 02 06 01 01 07 07 00 00 00");
const UL ParentClass = Label("06 0e 2b 34 01 01 01 02 06 01 01 07 01 00 00 00");
const UL Properties = Label("06 0e 2b 34 01 01 01 02 06 01 01 07 02 00 00 00");
const UL PropertyType = Label("06 0e 2b 34 01 01 01 02 06 01 01 07 04 00 00 00");
const UL IsOptional = Label("06 0e 2b 34 01 01 01 02 03 01 02 02 01 00 00 00");
const UL LocalIdentification = Label("06 0e 2b 34 01 01 01 02 06 01 01 07 05 00 00 00");
const UL IsUniqueIdentifier = Label("06 0e 2b 34 01 01 01 02 06 01 01 07 06 00 00 00");
const UL Size = Label("06 0e 2b 34 01 01 01 02 03 01 02 03 01 00 00 00");
const UL ReferencedType = Label("06 0e 2b 34 01 01 01 02 06 01 01 07 09 00 00 00");
const UL WeakReferencedType = Label("06 0e 2b 34 01 01 01 02 06 01 01 07 0a 00 00 00");
const UL FixedArrayElementType = Label("06 0e 2b 34 01 01 01 02 06 01 01 07 0c 00 00 00");
const UL ElementCount = Label("06 0e 2b 34 01 01 01 02 03 01 02 03 03 00 00 00");
const UL VariableArrayElementType = Label("06 0e 2b 34 01 01 01 02 06 01 01 07 0d 00 00 00");
const UL SetElementType = Label("06 0e 2b 34 01 01 01 02 06 01 01 07 0e 00 00 00");
const UL StringElementType = Label("06 0e 2b 34 01 01 01 02 06 01 01 07 0f 00 00 00");
const UL RenamedType = Label("06 0e 2b 34 01 01 01 02 06 01 01 07 12 00 00 00");
const UL MemberTypes = Label("06 0e 2b 34 01 01 01 02 06 01 01 07 11 00 00 00");
const UL MemberNames = Label("06 0e 2b 34 01 01 01 02 03 01 02 03 06 00 00 00");
const UL ElementType = Label("06 0e 2b 34 01 01 01 02 06 01 01 07 0b 00 00 00");
const UL ElementValues = Label("06 0e 2b 34 01 01 01 02 03 01 02 03 05 00 00 00");
const UL ElementNames = Label("06 0e 2b 34 01 01 01 02 03 01 02 03 04 00 00 00");

// Builds definition objects with identifiers of a private range; each test takes its own group number so
// that what one load defines never meets another's.
class Definitions
{
public:
    explicit Definitions(std::uint8_t group) : Group(group) {}

    // The identifier text of the n-th definition of a kind (1 types, 2 classes, 3 properties).
    std::string Id(std::uint8_t kind, std::uint8_t n) const
    {
        const std::uint8_t prefix[3][2] = {{0x01, 0x04}, {0x02, 0x53}, {0x01, 0x01}};
        const std::uint8_t bytes[16] = {0x06,
                                        0x0e,
                                        0x2b,
                                        0x34,
                                        prefix[kind - 1][0],
                                        prefix[kind - 1][1],
                                        0x01,
                                        0x01,
                                        0x0f,
                                        0x7f,
                                        kind,
                                        Group,
                                        n,
                                        0,
                                        0,
                                        0};
        return UL(bytes).GetString();
    }

    MDObjectPtr Make(const char* metaClass, const std::string& name, const std::string& id) const
    {
        const mxf::MDOTypePtr type = mxftest::ClassNamed(metaClass);
        EXPECT_TRUE(type) << metaClass;
        MDObjectPtr definition(new mxf::MDObject(type));
        if (!id.empty())
            definition->SetChildString(Identification, id);
        if (!name.empty())
            definition->SetChildString(DefinitionName, name);
        return definition;
    }

    MDObjectPtr Type(const char* metaClass, std::uint8_t n, const std::string& name) const
    {
        return Make(metaClass, name, Id(1, n));
    }

    static void Refer(const MDObjectPtr& owner, const UL& property, const MDObjectPtr& target)
    {
        owner->AddChild(property)->MakeReference(target);
    }

    static void Append(const MDObjectPtr& owner, const UL& list, const MDObjectPtr& target)
    {
        owner->AddChild(list)->AddChild()->MakeReference(target);
    }

    // A string array value: each text in big-endian UTF-16, ended by 0x0000.
    static void SetStrings(const MDObjectPtr& owner, const UL& property,
                           const std::vector<std::string>& texts)
    {
        std::vector<std::uint8_t> bytes;
        for (const std::string& text : texts)
        {
            for (const char c : text)
                bytes.insert(bytes.end(), {0, static_cast<std::uint8_t>(c)});
            bytes.insert(bytes.end(), {0, 0});
        }
        owner->AddChild(property)->ReadValue(bytes.data(), bytes.size(), mxf::PrimerPtr());
    }

    std::uint8_t Group;
};

class MetaDictionary : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        mxftest::ClearDiagnostics();
        ASSERT_EQ(mxf::LoadDictionaryFromFile(MXF_DICTIONARY_DOCUMENT, mxf::DefaultSymbolSpace(), ""), 0);
    }

    void SetUp() override { mxftest::ClearDiagnostics(); }

    static mxf::MDTypePtr TypeIn(const mxf::SymbolSpacePtr& space, const std::string& name)
    {
        return mxf::MDType::FindByName(name, space, false);
    }
};

// A group of every kind of type definition and two classes, each list holding definitions before those
// they refer to.
struct Extension
{
    explicit Extension(std::uint8_t group) : D(group)
    {
        const MDObjectPtr u16 = D.Type("TypeDefinitionInteger", 1, "MetaUInt16");
        u16->AddChild(Size)->SetString("2");
        const MDObjectPtr character = D.Type("TypeDefinitionCharacter", 2, "MetaChar");
        const MDObjectPtr text = D.Type("TypeDefinitionString", 3, "MetaText");
        D.Refer(text, StringElementType, character);
        const MDObjectPtr triple = D.Type("TypeDefinitionFixedArray", 4, "MetaTriple");
        triple->SetChildString(FixedArrayElementType, D.Id(1, 1));
        triple->AddChild(ElementCount)->SetString("3");
        const MDObjectPtr list = D.Type("TypeDefinitionVariableArray", 5, "MetaList");
        D.Refer(list, VariableArrayElementType, u16);
        const MDObjectPtr set = D.Type("TypeDefinitionSet", 6, "MetaSet");
        D.Refer(set, SetElementType, u16);
        const MDObjectPtr count = D.Type("TypeDefinitionRename", 7, "MetaCount");
        D.Refer(count, RenamedType, u16);
        const MDObjectPtr stream = D.Type("TypeDefinitionStream", 8, "MetaStream");
        const MDObjectPtr point = D.Type("TypeDefinitionRecord", 9, "MetaPoint");
        D.Append(point, MemberTypes, u16);
        D.Append(point, MemberTypes, count);
        D.SetStrings(point, MemberNames, {"X", "Y"});
        const MDObjectPtr colour = D.Type("TypeDefinitionEnumeration", 10, "MetaColour");
        D.Refer(colour, ElementType, u16);
        for (const char* value : {"0", "1", "2"})
            colour->AddChild(ElementValues)->AddChild()->SetString(value);
        D.SetStrings(colour, ElementNames, {"Red", "Green", "Blue"});
        const MDObjectPtr strong = D.Type("TypeDefinitionStrongObjectReference", 11, "MetaPartRef");
        const MDObjectPtr weak = D.Type("TypeDefinitionWeakObjectReference", 12, "MetaThingRef");

        const MDObjectPtr part = D.Make("ClassDefinition", "MetaPart", D.Id(2, 2));
        const MDObjectPtr thing = D.Make("ClassDefinition", "MetaThing", D.Id(2, 1));
        D.Refer(part, ParentClass, thing);
        // A parent of the dictionary's own, named by its label and not listed in the group; the weak
        // reference to it does not keep it.
        Interchange = D.Make("ClassDefinition", "",
                             Label("06 0e 2b 34 02 53 01 01 0d 01 01 01 01 01 01 00").GetString());
        D.Refer(thing, ParentClass, Interchange);
        D.Refer(strong, ReferencedType, part);
        D.Refer(weak, WeakReferencedType, thing);
        Property(thing, 1, "Count", 0x7f01, D.Id(1, 7), 0);
        Property(thing, 2, "Where", 0x7f02, D.Id(1, 9), Absent);
        Property(thing, 3, "Label", 0x7f03, D.Id(1, 3), 1);
        Property(thing, 4, "Colour", 0x7f04, D.Id(1, 10), 1);
        Property(part, 5, "Triple", 0x7f05, D.Id(1, 4), 1, true);
        Property(part, 6, "Values", 0x7f06, D.Id(1, 5), 1);

        Group = D.Make("MetaDictionary", "", "");
        for (const MDObjectPtr& type :
             {point, colour, text, strong, weak, triple, list, set, count, u16, character, stream})
            D.Append(Group, TypeDefinitions, type);
        for (const MDObjectPtr& type : {part, thing})
            D.Append(Group, ClassDefinitions, type);
    }

    void Property(const MDObjectPtr& owner, std::uint8_t n, const std::string& name, std::uint16_t tag,
                  const std::string& type, int optional, bool unique = false)
    {
        const MDObjectPtr property = D.Make("PropertyDefinition", name, D.Id(3, n));
        property->SetChildString(PropertyType, type);
        property->AddChild(LocalIdentification)->SetString(std::to_string(tag));
        if (optional != Absent)
            property->AddChild(IsOptional)->SetString(std::to_string(optional));
        if (unique)
            property->AddChild(IsUniqueIdentifier)->SetString("1");
        D.Append(owner, Properties, property);
    }

    static constexpr int Absent = -1;
    Definitions D;
    MDObjectPtr Interchange;
    MDObjectPtr Group;
};

TEST_F(MetaDictionary, every_kind_of_type_definition_becomes_a_type_in_the_space_given)
{
    Extension extension(1);
    const mxf::SymbolSpacePtr space(new mxf::SymbolSpace("urn:test:meta-types"));
    EXPECT_TRUE(mxf::LoadMetaDefinitions(extension.Group, space));

    struct Case
    {
        const char* name;
        int typeClass;
        int arrayClass;
        std::int32_t size;
        const char* base;
    };
    const Case cases[] = {
        {"MetaUInt16", mxf::MDType::BASIC, 0, 2, ""},
        {"MetaChar", mxf::MDType::BASIC, 0, 2, ""},
        {"MetaText", mxf::MDType::TYPEARRAY, 2, 0, "MetaChar"},
        {"MetaTriple", mxf::MDType::TYPEARRAY, 1, 3, "MetaUInt16"},
        {"MetaList", mxf::MDType::TYPEARRAY, 1, 0, "MetaUInt16"},
        {"MetaSet", mxf::MDType::TYPEARRAY, 1, 0, "MetaUInt16"},
        {"MetaCount", mxf::MDType::INTERPRETATION, 0, 2, "MetaUInt16"},
        {"MetaStream", mxf::MDType::INTERPRETATION, 0, 0, "RAW"},
        {"MetaPoint", mxf::MDType::COMPOUND, 0, 0, ""},
        {"MetaColour", mxf::MDType::ENUM, 0, 2, "MetaUInt16"},
        {"MetaPartRef", mxf::MDType::INTERPRETATION, 0, 16, "StrongRef"},
        {"MetaThingRef", mxf::MDType::INTERPRETATION, 0, 16, "WeakRef"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        const mxf::MDTypePtr type = TypeIn(space, c.name);
        ASSERT_TRUE(type);
        EXPECT_FALSE(mxftest::TypeNamed(c.name)) << "defined in the default space";
        EXPECT_EQ(type->Class, c.typeClass);
        EXPECT_EQ(type->ArrayClass, c.arrayClass);
        EXPECT_EQ(type->Size, c.size);
        EXPECT_EQ(type->GetBase() ? type->GetBase()->Name : "", c.base);
    }
    EXPECT_EQ(TypeIn(space, "MetaPoint")->ChildNames(), (std::list<std::string>{"X", "Y"}));
    std::vector<std::string> colours;
    for (const auto& [name, value] : TypeIn(space, "MetaColour")->EnumValues())
        colours.push_back(name + "=" + value->GetString(""));
    // A new integer type has no traits of its own name, so its values show as bytes.
    EXPECT_EQ(colours, (std::vector<std::string>{"Red=00 00", "Green=01 00", "Blue=02 00"}));
    EXPECT_EQ(TypeIn(space, "MetaPartRef")->EffectiveRefKind(), 1);
    EXPECT_EQ(TypeIn(space, "MetaThingRef")->EffectiveRefKind(), 2);
    EXPECT_EQ(mxftest::Errors(), (std::vector<std::string>{}));
}

TEST_F(MetaDictionary, class_definitions_become_sets_whose_objects_code_and_decode_at_once)
{
    Extension extension(2);
    const mxf::SymbolSpacePtr space(new mxf::SymbolSpace("urn:test:meta-classes"));
    ASSERT_TRUE(mxf::LoadMetaDefinitions(extension.Group, space));

    const mxf::MDOTypePtr thing = mxf::MDOType::FindByName("MetaThing", space, false);
    const mxf::MDOTypePtr part = mxf::MDOType::FindByName("MetaPart", space, false);
    ASSERT_TRUE(thing);
    ASSERT_TRUE(part);
    EXPECT_FALSE(mxftest::ClassNamed("MetaPart")) << "defined in the default space";
    EXPECT_EQ(part->GetBase(), thing.GetPtr());
    EXPECT_EQ(thing->GetBase(), mxftest::ClassNamed("InterchangeObject").GetPtr());
    EXPECT_EQ(mxf::MDOType::FindByUL(UL(mxf::ULFromText(extension.D.Id(2, 2)))), part);
    std::list<std::string> inherited = mxftest::ClassNamed("InterchangeObject")->ChildNames();
    for (const char* own : {"Count", "Where", "Label", "Colour", "Triple", "Values"})
        inherited.push_back(own);
    EXPECT_EQ(part->ChildNames(), inherited);

    struct Member
    {
        const char* name;
        std::uint16_t tag;
        std::int32_t usage;
        const char* type;
        std::int32_t refType;
    };
    for (const Member& m :
         {Member{"Count", 0x7f01, 4, "MetaCount", 0}, Member{"Where", 0x7f02, 1, "MetaPoint", 0},
          Member{"Label", 0x7f03, 1, "MetaText", 0}, Member{"Colour", 0x7f04, 1, "MetaColour", 0},
          Member{"Triple", 0x7f05, 1, "MetaTriple", 6}, Member{"Values", 0x7f06, 1, "MetaList", 0}})
    {
        SCOPED_TRACE(m.name);
        const auto member = part->ChildrenByName().find(m.name);
        ASSERT_NE(member, part->ChildrenByName().end());
        EXPECT_EQ(member->second->StaticTag, m.tag);
        EXPECT_EQ(member->second->Usage, m.usage);
        ASSERT_TRUE(member->second->ValueType);
        EXPECT_EQ(member->second->ValueType->Name, m.type);
        EXPECT_EQ(member->second->RefType, m.refType);
    }

    // An object of the new class, coded with local tags and decoded from its bytes.
    MDObjectPtr object(new mxf::MDObject(part));
    object->AddChild(UL(mxf::ULFromText(extension.D.Id(3, 1))))->SetString("05 00");
    object->AddChild(UL(mxf::ULFromText(extension.D.Id(3, 4))))->SetString("Blue");
    const MDObjectPtr values = object->AddChild(UL(mxf::ULFromText(extension.D.Id(3, 6))));
    values->AddChild()->SetString("01 02");
    values->AddChild()->SetString("03 04");
    const mxf::PrimerPtr primer(new mxf::Primer);
    const mxf::DataChunkPtr bytes = object->EncodeValue(primer);
    ASSERT_TRUE(bytes);

    MDObjectPtr decoded(new mxf::MDObject(part));
    EXPECT_EQ(decoded->ReadValue(bytes->Data(), bytes->Size(), primer), bytes->Size());
    EXPECT_EQ(decoded->FindChildByName("Count")->GetString(""), "05 00");
    EXPECT_EQ(decoded->FindChildByName("Colour")->GetString(""), "Blue");
    EXPECT_EQ(decoded->FindChildByName("Values")->size(), 2u);
    EXPECT_EQ(decoded->FindChildByName("Values")->GetString(""), values->GetString(""));
    EXPECT_EQ(primer->Tags().count(0x7f06), 1u);
    EXPECT_EQ(mxftest::Errors(), (std::vector<std::string>{}));
}

TEST_F(MetaDictionary, a_second_load_of_the_same_group_leaves_each_class_with_one_set_of_members)
{
    Extension extension(3);
    const mxf::SymbolSpacePtr space(new mxf::SymbolSpace("urn:test:meta-again"));
    ASSERT_TRUE(mxf::LoadMetaDefinitions(extension.Group, space));
    const std::list<std::string> members = mxf::MDOType::FindByName("MetaPart", space, false)->ChildNames();
    mxftest::ClearDiagnostics();
    EXPECT_TRUE(mxf::LoadMetaDefinitions(extension.Group, space));
    const mxf::MDOTypePtr part = mxf::MDOType::FindByName("MetaPart", space, false);
    ASSERT_TRUE(part);
    EXPECT_EQ(part->ChildNames(), members);
    EXPECT_EQ(TypeIn(space, "MetaPoint")->ChildNames(), (std::list<std::string>{"X", "Y"}));
    EXPECT_EQ(TypeIn(space, "MetaColour")->EnumValues().size(), 3u);
    MDObjectPtr object(new mxf::MDObject(part));
    object->AddChild(UL(mxf::ULFromText(extension.D.Id(3, 1))))->SetString("05 00");
    EXPECT_EQ(object->FindChildByName("Count")->GetString(""), "05 00");
    // Record members are given new labels on every load; the type definer keeps the first and says so.
    const std::vector<std::string> errors = mxftest::Errors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].rfind("Member X of MetaPoint has UL ", 0), 0u) << errors[0];
    EXPECT_EQ(mxftest::Notes(), (std::vector<std::string>{}));
}

// A small group for one fault: a class with one property of the given type, and whatever the case adds.
struct SmallGroup
{
    explicit SmallGroup(std::uint8_t group) : D(group), Group(D.Make("MetaDictionary", "", ""))
    {
        Class = D.Make("ClassDefinition", "Small" + std::to_string(group), D.Id(2, 1));
        Property = D.Make("PropertyDefinition", "Item", D.Id(3, 1));
        Property->SetChildString(PropertyType, D.Id(1, 1));
        Property->AddChild(LocalIdentification)->SetString("32512");
        D.Append(Class, Properties, Property);
        D.Append(Group, ClassDefinitions, Class);
    }

    MDObjectPtr AddType(const char* metaClass, const std::string& name, std::uint8_t n = 1)
    {
        const MDObjectPtr type = D.Type(metaClass, n, name);
        D.Append(Group, TypeDefinitions, type);
        return type;
    }

    Definitions D;
    MDObjectPtr Group;
    MDObjectPtr Class;
    MDObjectPtr Property;
    MDObjectPtr Keep; // a definition that only a weak reference names
};

TEST_F(MetaDictionary, unusable_definitions_are_reported_and_the_rest_still_loads)
{
    struct Case
    {
        const char* name;
        void (*build)(SmallGroup&);
        bool result;
        const char* message;      // the start of a message of either hook
        const char* propertyType; // the value type of the class's item; empty: no such class
    };
    const Case cases[] = {
        // The class builder defines the class without the item it cannot type, and counts that a success.
        {"property of a type that no definition gives",
         [](SmallGroup& g) { g.AddType("TypeDefinitionInteger", "Other", 2); }, true,
         "Item Item is of type [060e2b34.0104.0101.0f7f010a.01000000] which is not known\n", ""},
        {"parent class that no definition gives",
         [](SmallGroup& g)
         {
             g.AddType("TypeDefinitionInteger", "Byte");
             g.Keep = g.D.Make("ClassDefinition", "", g.D.Id(2, 9));
             g.D.Refer(g.Class, ParentClass, g.Keep);
         },
         false, "Base type [060e2b34.0253.0101.0f7f020", ""},
        {"no type list",
         [](SmallGroup& g)
         {
             g.Property->SetChildString(PropertyType,
                                        Label("06 0e 2b 34 01 04 01 01 01 01 01 00 00 00 00 00").GetString());
         },
         false,
         "Unable to load types from MetaDictionary at 0x00000000 in memory buffer, no TypeDefinitions list "
         "found\n",
         "UInt8"},
        {"class that is its own parent",
         [](SmallGroup& g)
         {
             g.AddType("TypeDefinitionInteger", "Byte");
             g.D.Refer(g.Class, ParentClass, g.Class);
         },
         true, "Found a self referenced ClassDef for class Small13\n", "Byte"},
        {"list entry without target",
         [](SmallGroup& g)
         {
             g.AddType("TypeDefinitionInteger", "Byte");
             g.Group->AddChild(TypeDefinitions)->AddChild();
         },
         true, "Missing target for type definition strong reference at 0x00000000\n", "Byte"},
        {"type definition of a class not handled",
         [](SmallGroup& g)
         {
             g.AddType("TypeDefinitionInteger", "Byte");
             g.AddType("TypeDefinitionIndirect", "Anything", 2);
         },
         true, "Skipping Anything\n", "Byte"},
        {"type definition without identifier",
         [](SmallGroup& g)
         {
             g.AddType("TypeDefinitionInteger", "Byte");
             g.D.Append(g.Group, TypeDefinitions, g.D.Make("TypeDefinitionStream", "Nameless", ""));
         },
         true, "No valid Type ID for TypeDefinitionStream at 0x00000000 in memory buffer\n", "Byte"},
        {"record with more member types than names",
         [](SmallGroup& g)
         {
             const MDObjectPtr byte = g.AddType("TypeDefinitionInteger", "Byte", 2);
             const MDObjectPtr record = g.AddType("TypeDefinitionRecord", "Pair");
             for (int i = 0; i < 3; ++i)
                 g.D.Append(record, MemberTypes, byte);
             g.D.SetStrings(record, MemberNames, {"A", "B"});
         },
         true, "Mismatch of MemberTypes and MemberNames counts: Types = 3, Names = 2\n", "Pair"},
        {"fixed array of more elements than an item can hold",
         [](SmallGroup& g)
         {
             const MDObjectPtr array = g.AddType("TypeDefinitionFixedArray", "Huge");
             array->SetChildString(FixedArrayElementType,
                                   Label("06 0e 2b 34 01 04 01 01 01 01 01 00 00 00 00 00").GetString());
             array->AddChild(ElementCount)->SetString("100000");
         },
         true, "TypeDefinition for Fixed Array \"Huge\" has 100000 elements, more than an item can hold\n",
         "Huge"},
        {"classes that are each other's parent",
         [](SmallGroup& g)
         {
             g.AddType("TypeDefinitionInteger", "Byte");
             g.Keep = g.D.Make("ClassDefinition", "Other", g.D.Id(2, 2));
             g.D.Refer(g.Keep, ParentClass, g.Class);
             g.D.Refer(g.Class, ParentClass, g.Keep);
             g.D.Append(g.Group, ClassDefinitions, g.Keep);
         },
         false, "Undefined base class or circular reference in class definitions", ""},
        {"enumeration without element type",
         [](SmallGroup& g) { g.AddType("TypeDefinitionEnumeration", "Choice"); }, true,
         "TypeDefinition for Enumaration \"Choice\" has no valid base type\n", "Choice"},
        {"string without element type", [](SmallGroup& g) { g.AddType("TypeDefinitionString", "Words"); },
         true, "TypeDefinition for String \"Words\" has no valid base type\n", "Words"},
    };
    std::uint8_t group = 10;
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        SmallGroup small(group);
        c.build(small);
        const mxf::SymbolSpacePtr space(new mxf::SymbolSpace("urn:test:meta-small-" + std::to_string(group)));
        mxftest::ClearDiagnostics();
        EXPECT_EQ(mxf::LoadMetaDefinitions(small.Group, space), c.result);
        EXPECT_TRUE(mxftest::Reported(c.message));
        const mxf::MDOTypePtr type = mxf::MDOType::FindByName("Small" + std::to_string(group), space, false);
        if (*c.propertyType)
        {
            ASSERT_TRUE(type);
            const auto item = type->ChildrenByName().find("Item");
            ASSERT_NE(item, type->ChildrenByName().end());
            ASSERT_TRUE(item->second->ValueType);
            EXPECT_EQ(item->second->ValueType->Name, c.propertyType);
        }
        else
            EXPECT_FALSE(type && type->ChildrenByName().count("Item"));
        ++group;
    }
}

TEST_F(MetaDictionary, a_parent_class_without_identifier_is_given_the_one_its_subclass_names_it_by)
{
    SmallGroup small(31);
    small.AddType("TypeDefinitionInteger", "Byte");
    const MDObjectPtr parent = small.D.Make("ClassDefinition", "Parentless", "");
    small.D.Refer(small.Class, ParentClass, parent);
    small.D.Append(small.Group, ClassDefinitions, parent);
    const mxf::SymbolSpacePtr space(new mxf::SymbolSpace("urn:test:meta-parentless"));
    EXPECT_TRUE(mxf::LoadMetaDefinitions(small.Group, space));

    const std::string given = parent->GetChildString(Identification, "");
    EXPECT_FALSE(given.empty());
    const mxf::MDOTypePtr base = mxf::MDOType::FindByName("Parentless", space, false);
    ASSERT_TRUE(base);
    EXPECT_EQ(UL(base->TypeUL), UL(mxf::ULFromText(given)));
    const mxf::MDOTypePtr derived = mxf::MDOType::FindByName("Small31", space, false);
    ASSERT_TRUE(derived);
    EXPECT_EQ(derived->GetBase(), base.GetPtr());
    EXPECT_FALSE(mxftest::Reported("No valid Class ID"));
}

TEST_F(MetaDictionary, a_scheme_feeds_each_definition_of_its_one_list_to_the_right_half)
{
    Definitions d(30);
    const MDObjectPtr byte = d.Type("TypeDefinitionInteger", 1, "SchemeByte");
    const MDObjectPtr set = d.Make("ClassDefinition", "SchemeSet", d.Id(2, 1));
    const MDObjectPtr item = d.Make("PropertyDefinition", "Item", d.Id(3, 1));
    item->SetChildString(PropertyType, d.Id(1, 1));
    item->AddChild(LocalIdentification)->SetString("32512");
    d.Append(set, Properties, item);
    const MDObjectPtr stray = d.Make("PropertyDefinition", "Stray", d.Id(3, 2));
    stray->SetChildString(PropertyType, d.Id(1, 1));

    const MDObjectPtr scheme = d.Make("ExtensionScheme", "", "");
    for (const MDObjectPtr& definition : {set, stray, byte})
        d.Append(scheme, Label("06 0e 2b 34 01 01 01 0d 06 01 01 07 1f 00 00 00"), definition);
    const mxf::SymbolSpacePtr space(new mxf::SymbolSpace("urn:test:meta-scheme"));
    EXPECT_TRUE(mxf::LoadMetaDefinitions(scheme, space));

    ASSERT_TRUE(TypeIn(space, "SchemeByte"));
    EXPECT_FALSE(TypeIn(space, "SchemeSet"));
    const mxf::MDOTypePtr type = mxf::MDOType::FindByName("SchemeSet", space, false);
    ASSERT_TRUE(type);
    EXPECT_EQ(type->ChildNames(), (std::list<std::string>{"Item"}));
    // A scheme's properties keep no local tag of their own.
    EXPECT_EQ(type->ChildrenByName().at("Item")->StaticTag, 0u);
    EXPECT_FALSE(mxf::MDOType::FindByName("Stray", space, false));
    EXPECT_FALSE(mxftest::Reported("Skipping"));
}

// Every object that the group reaches through its references, the group first.
void Collect(const MDObjectPtr& object, std::vector<MDObjectPtr>& objects,
             std::set<const mxf::MDObject*>& seen)
{
    if (!seen.insert(object.GetPtr()).second)
        return;
    objects.push_back(object);
    std::vector<MDObjectPtr> pending{object};
    while (!pending.empty())
    {
        const MDObjectPtr next = pending.back();
        pending.pop_back();
        for (const auto& [label, child] : *next)
        {
            if (const MDObjectPtr target(child->GetReferencedObject()); target)
                Collect(target, objects, seen);
            pending.push_back(child);
        }
    }
}

TEST_F(MetaDictionary, an_extension_group_written_to_a_header_partition_and_read_back_loads_the_same)
{
    Extension extension(40);
    std::vector<MDObjectPtr> objects;
    std::set<const mxf::MDObject*> seen;
    Collect(extension.Group, objects, seen);
    const mxf::PrimerPtr primer(new mxf::Primer);
    const mxf::DataChunkPtr sets(new mxf::DataChunk);
    for (const MDObjectPtr& object : objects)
        object->EncodeObject(sets, nullptr, primer, 4);
    std::vector<std::pair<std::uint16_t, std::string>> entries;
    for (const auto& [tag, label] : primer->Tags())
    {
        std::string hex;
        for (const std::uint8_t byte : label.GetArray())
            hex += "0123456789abcdef"[byte >> 4], hex += "0123456789abcdef"[byte & 15];
        entries.emplace_back(tag, hex);
    }
    const mxftest::ByteString metadata =
        mxftest::PrimerPack(entries) + mxftest::ByteString(sets->Data(), sets->Data() + sets->Size());

    const mxf::MXFFilePtr file =
        mxftest::MemoryFile(mxftest::PartitionPack("0204", metadata.size()) + metadata);
    const mxf::PartitionPtr partition = file->ReadPartition();
    ASSERT_TRUE(partition);
    EXPECT_EQ(partition->ReadMetadata(), metadata.size());
    MDObjectPtr group;
    for (const MDObjectPtr& object : partition->TopLevelObjects)
        if (object->IsKindOf(UL(mxftest::ClassNamed("MetaDictionary")->TypeUL)))
            group = object;
    ASSERT_TRUE(group);
    EXPECT_EQ(mxftest::Errors(), (std::vector<std::string>{}));

    const mxf::SymbolSpacePtr space(new mxf::SymbolSpace("urn:test:meta-file"));
    EXPECT_TRUE(mxf::LoadMetaDefinitions(group, space));
    EXPECT_EQ(mxftest::Errors(), (std::vector<std::string>{}));
    for (const char* name :
         {"MetaUInt16", "MetaChar", "MetaText", "MetaTriple", "MetaList", "MetaSet", "MetaCount",
          "MetaStream", "MetaPoint", "MetaColour", "MetaPartRef", "MetaThingRef"})
        EXPECT_TRUE(TypeIn(space, name)) << name;
    EXPECT_EQ(TypeIn(space, "MetaList")->GetBase(), TypeIn(space, "MetaUInt16").GetPtr());
    EXPECT_EQ(TypeIn(space, "MetaColour")->EnumValues().size(), 3u);
    const mxf::MDOTypePtr part = mxf::MDOType::FindByName("MetaPart", space, false);
    ASSERT_TRUE(part);
    EXPECT_EQ(part->GetBase(), mxf::MDOType::FindByName("MetaThing", space, false).GetPtr());
    EXPECT_EQ(part->ChildrenByName().at("Values")->StaticTag, 0x7f06u);
    EXPECT_EQ(part->ChildrenByName().at("Count")->Usage, 4);
}

} // namespace
