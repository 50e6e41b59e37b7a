#include "mxf/XMLDictionary.h"

#include "mxf/BuiltInDictionary.h"
#include "mxf/ClassDefinition.h"
#include "mxf/ClassRecord.h"
#include "mxf/DataFile.h"
#include "mxf/Diagnostics.h"
#include "mxf/Hex.h"
#include "mxf/IdentifierText.h"
#include "mxf/Kinds.h"
#include "mxf/MDOType.h"
#include "mxf/TextChars.h"
#include "mxf/TypeDefinition.h"
#include "mxf/TypeRecord.h"
#include "mxf/XMLParser.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

namespace mxf
{

namespace
{

struct TypesParseState
{
    enum : std::int32_t
    {
        SECTION_START = 0,
        IN_SECTION = 1,
        IN_BASIC = 2,
        IN_INTERPRETATION = 3,
        IN_MULTIPLE = 4,
        IN_COMPOUND = 5,
        IN_COMPOUND_TYPE = 6,
        IN_ENUMERATION = 7,
        IN_ENUMERATION_TYPE = 8,
        IN_LABELS = 9,
        SECTION_CLOSED = 10,
    };
    std::int32_t State = SECTION_START;
    TypeRecordList Records;
    TypeRecordPtr Current;
    SymbolSpacePtr TypesSpace;
    bool LabelsRoot = false;
    bool KindOpened = false;
};

struct XMLDictionaryLoadState
{
    enum : std::int32_t
    {
        OUTSIDE = 0,
        IN_DICTIONARY = 1,
        IN_TYPES = 2,
        IN_CLASSES = 3,
    };
    explicit XMLDictionaryLoadState(const SymbolSpacePtr& space) : DictSpace(space), InitialSpace(space)
    {
        Types.TypesSpace = space;
    }
    std::int32_t OuterState = OUTSIDE;
    TypesParseState Types;
    SymbolSpacePtr DictSpace;
    SymbolSpacePtr InitialSpace;
    ClassRecordList ClassStack;
    ClassRecordList Classes;
    // Elements inside a class nested too deep, which are skipped with all they hold.
    std::size_t Skipped = 0;
};

// Real dictionaries nest classes a few levels; the definers and the records' release take a step per
// level, so a document may not choose the depth without bound.
constexpr std::size_t MaxClassDepth = 256;

bool Is(const char* text, const char* word)
{
    return std::strcmp(text, word) == 0;
}

bool IsYes(std::string_view text)
{
    return EqualsNoCase(text, "yes") || EqualsNoCase(text, "true");
}

// A leading decimal integer; 0 when the text starts with none.
std::int32_t LeadingInt(const char* text)
{
    return static_cast<std::int32_t>(std::strtol(text, nullptr, 10));
}

SymbolSpacePtr NamedSpace(const char* name)
{
    SymbolSpacePtr space = SymbolSpace::FindSymbolSpace(name);
    return space ? space : SymbolSpacePtr(new SymbolSpace(name));
}

// The reference kind of a "ref" word, or NotGiven for a word that names none.
std::int32_t RefKindOfWord(std::string_view word)
{
    static constexpr std::pair<const char*, std::int32_t> Words[] = {
        {"none", RefKinds::None},     {"strong", RefKinds::Strong}, {"weak", RefKinds::Weak},
        {"meta", RefKinds::Meta},     {"dict", RefKinds::Dict},     {"global", RefKinds::Global},
        {"target", RefKinds::Target}, {"nested", RefKinds::Nested}};
    for (const auto& [name, kind] : Words)
        if (EqualsNoCase(word, name))
            return kind;
    return RefKinds::NotGiven;
}

void SetRefKind(std::int32_t& refKind, const char* word, const char* element)
{
    const std::int32_t kind = RefKindOfWord(word);
    if (kind == RefKinds::NotGiven)
        XMLWarning(nullptr, "Unknown ref value ref=\"%s\" in <%s/>\n", word, element);
    else
        refKind = kind;
}

// The attributes that every type kind reads alike; false for any other name.
bool ApplyCommonTypeAttribute(TypeRecord& record, const char* name, const char* value)
{
    if (Is(name, "detail"))
        record.Detail = value;
    else if (Is(name, "baseline"))
        record.Baseline = IsYes(value);
    else if (Is(name, "ul"))
        record.UL = ULFromText(value);
    else if (Is(name, "symSpace"))
        record.SymbolSpace = NamedSpace(value);
    else
        return Is(name, "kind") || Is(name, "doc");
    return true;
}

TypeRecordPtr NewTypeRecord(const char* name, std::int32_t kind, std::int32_t size)
{
    TypeRecordPtr record(new TypeRecord);
    record->Kind = kind;
    record->Name = name;
    record->Size = size;
    return record;
}

void FinishTypeRecord(TypesParseState& types, const TypeRecordPtr& record)
{
    if (!record->SymbolSpace)
        record->SymbolSpace = types.TypesSpace;
    types.Records.push_back(record);
}

// Basic, interpretation and multiple types share their attributes but for a few that one kind alone reads.
void ParseSimpleType(TypesParseState& types, const char* name, const char** attributes, std::int32_t kind)
{
    const TypeRecordPtr record = NewTypeRecord(name, kind, kind == TypeRecord::BASIC ? 1 : 0);
    for (const char** a = attributes; *a; a += 2)
    {
        if (ApplyCommonTypeAttribute(*record, a[0], a[1]))
            continue;
        if (Is(a[0], "size"))
            record->Size = LeadingInt(a[1]);
        else if (Is(a[0], "ref"))
            SetRefKind(record->RefKind, a[1], name);
        else if (Is(a[0], "target"))
            record->RefTarget = a[1];
        else if (Is(a[0], "endian") && kind == TypeRecord::BASIC)
            record->Endian = IsYes(a[1]);
        else if (Is(a[0], "character") && kind != TypeRecord::MULTIPLE)
            record->ArrayKind = IsYes(a[1]) ? ArrayKinds::String : record->ArrayKind;
        else if (Is(a[0], "base") && kind != TypeRecord::BASIC)
            record->Base = a[1];
        else if (Is(a[0], "type") && kind == TypeRecord::MULTIPLE)
        {
            if (EqualsNoCase(a[1], "batch") || EqualsNoCase(a[1], "explicit"))
                record->ArrayKind = ArrayKinds::Batch;
            else if (EqualsNoCase(a[1], "string"))
                record->ArrayKind = ArrayKinds::String;
        }
        else if (kind == TypeRecord::BASIC)
            XMLWarning(&types, "Unexpected attribute \"%s\" in basic type \"%s\"\n", a[0], name);
        else
            XMLError(&types, "Unexpected attribute \"%s\" in basic type \"%s\"\n", a[0], name);
    }
    FinishTypeRecord(types, record);
}

void ParseCompoundType(TypesParseState& types, const char* name, const char** attributes)
{
    const TypeRecordPtr record = NewTypeRecord(name, TypeRecord::COMPOUND, 0);
    for (const char** a = attributes; *a; a += 2)
        if (!ApplyCommonTypeAttribute(*record, a[0], a[1]))
            XMLError(&types, "Unexpected attribute \"%s\" in compound type \"%s\"\n", a[0], name);
    FinishTypeRecord(types, record);
    types.Current = record;
    types.State = TypesParseState::IN_COMPOUND_TYPE;
}

void ParseEnumerationType(TypesParseState& types, const char* name, const char** attributes)
{
    const TypeRecordPtr record = NewTypeRecord(name, TypeRecord::ENUM, 0);
    bool hasType = false;
    for (const char** a = attributes; *a; a += 2)
    {
        if (ApplyCommonTypeAttribute(*record, a[0], a[1]))
            continue;
        if (Is(a[0], "type"))
        {
            record->Base = a[1];
            hasType = true;
        }
        else
            XMLError(&types, "Unexpected attribute \"%s\" in enumeration type \"%s\"\n", a[0], name);
    }
    if (!hasType)
        DiagnosticError("No value type specified for enumerated type %s\n", name);
    FinishTypeRecord(types, record);
    types.Current = record;
    types.State = TypesParseState::IN_ENUMERATION_TYPE;
}

void ParseLabelElement(TypesParseState& types, const char* name, const char** attributes)
{
    const TypeRecordPtr record = NewTypeRecord(name, TypeRecord::LABEL, 0);
    for (const char** a = attributes; *a; a += 2)
    {
        if (Is(a[0], "detail"))
            record->Detail = a[1];
        else if (Is(a[0], "ul"))
            record->UL = ULFromText(a[1]);
        else if (Is(a[0], "mask"))
            record->Value = a[1];
        else if (Is(a[0], "symSpace"))
            record->SymbolSpace = NamedSpace(a[1]);
        else if (!Is(a[0], "kind") && !Is(a[0], "doc"))
            XMLError(&types, "Unexpected attribute \"%s\" in label \"%s\"\n", a[0], name);
    }
    FinishTypeRecord(types, record);
}

void ParseCompoundMember(TypesParseState& types, const char* name, const char** attributes)
{
    const TypeRecordPtr record(new TypeRecord);
    record->Kind = TypeRecord::SUB;
    record->Name = name;
    for (const char** a = attributes; *a; a += 2)
    {
        if (Is(a[0], "detail"))
            record->Detail = a[1];
        else if (Is(a[0], "type"))
            record->Base = a[1];
        else if (Is(a[0], "size"))
            record->Size = LeadingInt(a[1]);
        else if (Is(a[0], "ul"))
            record->UL = ULFromText(a[1]);
        else if (Is(a[0], "target"))
            record->RefTarget = a[1];
        else if (!Is(a[0], "doc"))
            DiagnosticError("Unexpected attribute \"%s\" in compound item \"%s\"\n", a[0], name);
    }
    types.Current->Children.push_back(record);
}

void ParseEnumerationValue(TypesParseState& types, const char* name, const char** attributes)
{
    const TypeRecordPtr record(new TypeRecord);
    record->Kind = TypeRecord::SUB;
    record->Name = name;
    bool hasValue = false;
    for (const char** a = attributes; *a; a += 2)
    {
        if (Is(a[0], "name"))
            record->Name = a[1];
        else if (Is(a[0], "detail"))
            record->Detail = a[1];
        else if (Is(a[0], "value"))
        {
            record->Value = a[1];
            hasValue = true;
        }
        else if (!Is(a[0], "doc"))
            DiagnosticError("Unexpected attribute \"%s\" in enumerated value \"%s\"\n", a[0], name);
    }
    if (!hasValue)
    {
        DiagnosticError("No value for enumerated value %s\n", record->Name.c_str());
        return;
    }
    types.Current->Children.push_back(record);
}

// A type element outside a group: its first "kind" attribute chooses how it is read.
void ParseKindElement(TypesParseState& types, const char* name, const char** attributes)
{
    for (const char** a = attributes; *a; a += 2)
    {
        if (!Is(a[0], "kind"))
            continue;
        const std::string_view kind = a[1];
        if (EqualsNoCase(kind, "basic"))
            ParseSimpleType(types, name, attributes, TypeRecord::BASIC);
        else if (EqualsNoCase(kind, "interpretation"))
            ParseSimpleType(types, name, attributes, TypeRecord::INTERPRETATION);
        else if (EqualsNoCase(kind, "multiple"))
            ParseSimpleType(types, name, attributes, TypeRecord::MULTIPLE);
        else if (EqualsNoCase(kind, "compound"))
        {
            types.KindOpened = true;
            ParseCompoundType(types, name, attributes);
        }
        else if (EqualsNoCase(kind, "enum") || EqualsNoCase(kind, "enumeration"))
        {
            types.KindOpened = true;
            ParseEnumerationType(types, name, attributes);
        }
        else
            XMLError(&types, "Unknown type kind \"%s\" in type \"%s\"\n", a[1], name);
        return;
    }
    XMLError(&types, "Tag <%s> found when types class or item with attribute \"kind\" expected\n", name);
}

bool IsLabelsElement(const char* name)
{
    return Is(name, "Labels") || Is(name, "MXFLabels");
}

void TypesStartElement(TypesParseState& types, const char* name, const char** attributes)
{
    switch (types.State)
    {
    case TypesParseState::SECTION_START:
        types.State = TypesParseState::IN_SECTION;
        if (IsLabelsElement(name))
        {
            types.LabelsRoot = true;
            types.State = TypesParseState::IN_LABELS;
        }
        for (const char** a = attributes; *a; a += 2)
            if (Is(a[0], "symSpace"))
                types.TypesSpace = NamedSpace(a[1]);
        break;
    case TypesParseState::IN_SECTION:
        if (Is(name, "Basic"))
            types.State = TypesParseState::IN_BASIC;
        else if (Is(name, "Interpretation"))
            types.State = TypesParseState::IN_INTERPRETATION;
        else if (Is(name, "Multiple"))
            types.State = TypesParseState::IN_MULTIPLE;
        else if (Is(name, "Compound"))
            types.State = TypesParseState::IN_COMPOUND;
        else if (Is(name, "Enumeration"))
            types.State = TypesParseState::IN_ENUMERATION;
        else if (IsLabelsElement(name))
        {
            types.LabelsRoot = false;
            types.State = TypesParseState::IN_LABELS;
        }
        else
            ParseKindElement(types, name, attributes);
        break;
    case TypesParseState::IN_BASIC:
        ParseSimpleType(types, name, attributes, TypeRecord::BASIC);
        break;
    case TypesParseState::IN_INTERPRETATION:
        ParseSimpleType(types, name, attributes, TypeRecord::INTERPRETATION);
        break;
    case TypesParseState::IN_MULTIPLE:
        ParseSimpleType(types, name, attributes, TypeRecord::MULTIPLE);
        break;
    case TypesParseState::IN_COMPOUND:
        ParseCompoundType(types, name, attributes);
        break;
    case TypesParseState::IN_ENUMERATION:
        ParseEnumerationType(types, name, attributes);
        break;
    case TypesParseState::IN_LABELS:
        ParseLabelElement(types, name, attributes);
        break;
    case TypesParseState::IN_COMPOUND_TYPE:
        ParseCompoundMember(types, name, attributes);
        break;
    case TypesParseState::IN_ENUMERATION_TYPE:
        ParseEnumerationValue(types, name, attributes);
        break;
    default:
        break;
    }
}

void TypesEndElement(TypesParseState& types, const char* name)
{
    switch (types.State)
    {
    case TypesParseState::IN_SECTION:
        if (Is(name, "MXFTypes") || IsLabelsElement(name))
            types.State = TypesParseState::SECTION_CLOSED;
        break;
    case TypesParseState::IN_BASIC:
    case TypesParseState::IN_INTERPRETATION:
    case TypesParseState::IN_MULTIPLE:
    case TypesParseState::IN_COMPOUND:
    case TypesParseState::IN_ENUMERATION:
    {
        static constexpr const char* Groups[] = {"Basic", "Interpretation", "Multiple", "Compound",
                                                 "",      "Enumeration"};
        if (Is(name, Groups[types.State - TypesParseState::IN_BASIC]))
            types.State = TypesParseState::IN_SECTION;
        break;
    }
    case TypesParseState::IN_COMPOUND_TYPE:
    case TypesParseState::IN_ENUMERATION_TYPE:
        if (types.Current && types.Current->Name == name)
        {
            if (types.KindOpened)
                types.State = TypesParseState::IN_SECTION;
            else
                types.State = types.State == TypesParseState::IN_COMPOUND_TYPE
                                  ? TypesParseState::IN_COMPOUND
                                  : TypesParseState::IN_ENUMERATION;
            types.Current = nullptr;
            types.KindOpened = false;
        }
        break;
    case TypesParseState::IN_LABELS:
        if (IsLabelsElement(name))
            types.State = types.LabelsRoot ? TypesParseState::SECTION_CLOSED : TypesParseState::IN_SECTION;
        break;
    default:
        break;
    }
}

// Key bytes as a "key" attribute gives them: a URN label, else up to 32 hexadecimal bytes.
std::vector<std::uint8_t> KeyBytes(const char* text)
{
    std::uint8_t bytes[32];
    if (StartsWithNoCase(text, "urn:") && ParseIdentifierText(text, bytes))
        return {bytes, bytes + 16};
    std::string_view rest = text;
    const std::size_t count = HexBytesFromText(rest, sizeof bytes, bytes);
    return {bytes, bytes + count};
}

bool IsDecimal(std::string_view text)
{
    for (const char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

// The usage a "use" word names; an unknown word is reported and leaves the usage as it was.
void ApplyClassUse(ClassRecord& record, const char* value)
{
    const std::string_view text = value;
    static constexpr struct
    {
        const char* Word;
        std::int32_t Usage;
    } Uses[] = {{"required", 4},    {"encoder required", 3}, {"decoder required", 2},
                {"best effort", 5}, {"optional", 1},         {"dark", 7},
                {"toxic", 6}};
    bool known = false;
    for (const auto& use : Uses)
        if (EqualsNoCase(text, use.Word))
        {
            record.Usage = use.Usage;
            known = true;
        }
    if (!known)
        XMLWarning(nullptr, "Unknown use value use=\"%s\" in <%s/>", value, record.Name.c_str());
}

// The kind of class a "type" word names; sets and packs bring the key and length formats of their coding, and
// any other word names the basic type of an item.
void ApplyClassType(ClassRecord& record, const char* value, std::int32_t& keyFormat,
                    std::int32_t& lengthFormat)
{
    const std::string_view text = value;
    if (EqualsNoCase(text, "universalset"))
    {
        record.Class = ClassRecord::SET;
        keyFormat = KeyFormats::Label;
        lengthFormat = LengthFormats::BER;
    }
    else if (EqualsNoCase(text, "localset") || EqualsNoCase(text, "sublocalset"))
        record.Class = ClassRecord::SET;
    else if (EqualsNoCase(text, "fixedpack") || EqualsNoCase(text, "subfixedpack"))
    {
        record.Class = ClassRecord::PACK;
        keyFormat = KeyFormats::None;
        lengthFormat = LengthFormats::None;
    }
    else if (EqualsNoCase(text, "variablepack") || EqualsNoCase(text, "subvariablepack"))
    {
        record.Class = ClassRecord::PACK;
        keyFormat = KeyFormats::None;
    }
    else if (EqualsNoCase(text, "vector") || EqualsNoCase(text, "subvector"))
        record.Class = ClassRecord::VECTOR;
    else if (EqualsNoCase(text, "array") || EqualsNoCase(text, "subarray"))
        record.Class = ClassRecord::ARRAY;
    else
    {
        record.Class = ClassRecord::ITEM;
        record.Base = value;
    }
}

// The attributes that give a class its key: a local tag as a number, and a key of up to 4 bytes as the tag or
// a longer one kept for the caller; false for any other attribute.
bool ApplyClassKey(const char* name, const char* value, std::uint32_t& tagNumber,
                   std::unique_ptr<std::vector<std::uint8_t>>& longKey,
                   std::unique_ptr<std::vector<std::uint8_t>>& globalKey)
{
    const std::string_view text = value;
    if (Is(name, "tag") && StartsWithNoCase(text, "0x"))
        tagNumber = static_cast<std::uint32_t>(std::strtoul(value + 2, nullptr, 16));
    else if (Is(name, "tag") && IsDecimal(text))
        tagNumber = static_cast<std::uint32_t>(std::strtoul(value, nullptr, 10));
    else if (Is(name, "tag") || Is(name, "key"))
    {
        std::vector<std::uint8_t> bytes = KeyBytes(value);
        if (bytes.size() > 4)
            longKey = std::make_unique<std::vector<std::uint8_t>>(std::move(bytes));
        else
        {
            tagNumber = 0;
            for (const std::uint8_t b : bytes)
                tagNumber = (tagNumber << 8) | b;
        }
    }
    else if (Is(name, "ul") || Is(name, "globalKey"))
        globalKey = std::make_unique<std::vector<std::uint8_t>>(KeyBytes(value));
    else
        return false;
    return true;
}

// Applies one class attribute; key texts are collected for the caller to settle afterwards.
void ApplyClassAttribute(ClassRecord& record, const char* name, const char* value, std::int32_t& keyFormat,
                         std::int32_t& lengthFormat, std::uint32_t& tagNumber,
                         std::unique_ptr<std::vector<std::uint8_t>>& longKey,
                         std::unique_ptr<std::vector<std::uint8_t>>& globalKey)
{
    const std::string_view text = value;
    if (Is(name, "detail"))
        record.Detail = value;
    else if (Is(name, "use"))
        ApplyClassUse(record, value);
    else if (Is(name, "ref"))
        SetRefKind(record.RefKind, value, record.Name.c_str());
    else if (Is(name, "type"))
        ApplyClassType(record, value, keyFormat, lengthFormat);
    else if (Is(name, "minLength"))
        record.MinSize = LeadingInt(value);
    else if (Is(name, "maxLength"))
        record.MaxSize = LeadingInt(value);
    else if (Is(name, "tagFormat") || Is(name, "keyFormat"))
        keyFormat = EqualsNoCase(text, "ber") ? KeyFormats::OIDTag : LeadingInt(value);
    else if (Is(name, "lengthFormat"))
        lengthFormat = EqualsNoCase(text, "ber") ? LengthFormats::BER : LeadingInt(value);
    else if (Is(name, "default"))
    {
        record.HasDefault = true;
        record.Default = value;
    }
    else if (Is(name, "dvalue"))
    {
        record.HasDValue = true;
        record.DValue = value;
    }
    else if (Is(name, "target"))
        record.RefTarget = value;
    else if (Is(name, "base"))
        record.Base = value;
    else if (Is(name, "symSpace"))
        record.SymbolSpace = NamedSpace(value);
    else if (Is(name, "extendSubs"))
        record.ExtendSubs = IsYes(text);
    else if (Is(name, "baseline"))
        record.Baseline = IsYes(text);
    else if (!ApplyClassKey(name, value, tagNumber, longKey, globalKey) && !Is(name, "doc"))
        XMLWarning(nullptr, "Unexpected attribute '%s' in <%s/>", name, record.Name.c_str());
}

void ParseClassElement(XMLDictionaryLoadState& state, const char* name, const char** attributes)
{
    DiagnosticNote("Element : %s\n", name);
    for (const char** a = attributes; *a; a += 2)
        DiagnosticNote("  Attribute : %s = \"%s\"\n", a[0], a[1]);

    const ClassRecordPtr record(new ClassRecord);
    record->Name = name;
    const ClassRecordPtr parent = state.ClassStack.empty() ? ClassRecordPtr() : state.ClassStack.back();
    if (parent)
    {
        record->SymbolSpace = parent->SymbolSpace;
        record->ExtendSubs = parent->ExtendSubs;
    }
    else
    {
        record->ExtendSubs = true;
        record->SymbolSpace = state.DictSpace;
    }

    std::int32_t keyFormat = KeyFormats::FromBase;
    std::int32_t lengthFormat = LengthFormats::FromBase;
    std::uint32_t tagNumber = 0;
    std::unique_ptr<std::vector<std::uint8_t>> longKey;
    std::unique_ptr<std::vector<std::uint8_t>> globalKey;
    for (const char** a = attributes; *a; a += 2)
        ApplyClassAttribute(*record, a[0], a[1], keyFormat, lengthFormat, tagNumber, longKey, globalKey);

    if (record->Class == ClassRecord::EXTEND || record->Class == ClassRecord::PACK ||
        record->Class == ClassRecord::SET)
    {
        record->MinSize = keyFormat;
        record->MaxSize = lengthFormat;
    }
    if (!globalKey && longKey)
        globalKey = std::make_unique<std::vector<std::uint8_t>>(*longKey);
    if (globalKey)
    {
        if (globalKey->size() == 16)
            record->UL = new UL(globalKey->data());
        else
            DiagnosticError("Global key for %s is not 16 bytes\n", name);
    }
    if (tagNumber != 0)
        record->Tag = static_cast<std::int32_t>(tagNumber);
    else if (longKey && longKey->size() != 16)
        DiagnosticError("Local tags are currently limited to 4 bytes, even with BER, tag size for %s is %d\n",
                        name, static_cast<int>(longKey->size()));

    if (parent)
        parent->Children.push_back(record);
    state.ClassStack.push_back(record);
}

void DictStartElement(void* userData, const char* name, const char** attributes)
{
    XMLDictionaryLoadState& state = *static_cast<XMLDictionaryLoadState*>(userData);
    switch (state.OuterState)
    {
    case XMLDictionaryLoadState::OUTSIDE:
        if (Is(name, "MXFDictionary"))
        {
            state.OuterState = XMLDictionaryLoadState::IN_DICTIONARY;
            for (const char** a = attributes; *a; a += 2)
                if (Is(a[0], "symSpace"))
                    state.DictSpace = NamedSpace(a[1]);
            return;
        }
        if (!Is(name, "MXFTypes"))
        {
            DiagnosticNote("Stepping into outer level <%s>\n", name);
            return;
        }
        state.OuterState = XMLDictionaryLoadState::IN_DICTIONARY;
        [[fallthrough]];
    case XMLDictionaryLoadState::IN_DICTIONARY:
        if (Is(name, "MXFTypes") || IsLabelsElement(name))
        {
            RegisterBuiltInTraits();
            state.Types.State = TypesParseState::SECTION_START;
            state.OuterState = XMLDictionaryLoadState::IN_TYPES;
            TypesStartElement(state.Types, name, attributes);
            return;
        }
        state.OuterState = XMLDictionaryLoadState::IN_CLASSES;
        state.ClassStack.clear();
        if (!Is(name, "MXFClasses"))
        {
            ParseClassElement(state, name, attributes);
            return;
        }
        for (const char** a = attributes; *a; a += 2)
            if (Is(a[0], "symSpace"))
                state.DictSpace = NamedSpace(a[1]);
        return;
    case XMLDictionaryLoadState::IN_TYPES:
        TypesStartElement(state.Types, name, attributes);
        return;
    default:
        if (state.Skipped == 0 && state.ClassStack.size() < MaxClassDepth)
        {
            ParseClassElement(state, name, attributes);
            return;
        }
        if (state.Skipped++ == 0)
            XMLError(nullptr, "Class <%s> nested more than %d deep; skipped with what it holds", name,
                     static_cast<int>(MaxClassDepth));
        return;
    }
}

void DictEndElement(void* userData, const char* name)
{
    XMLDictionaryLoadState& state = *static_cast<XMLDictionaryLoadState*>(userData);
    switch (state.OuterState)
    {
    case XMLDictionaryLoadState::IN_CLASSES:
        if (state.Skipped > 0)
            --state.Skipped;
        else if (Is(name, "MXFDictionary"))
            state.OuterState = XMLDictionaryLoadState::OUTSIDE;
        else if (Is(name, "MXFClasses"))
        {
            state.OuterState = XMLDictionaryLoadState::IN_DICTIONARY;
            state.DictSpace = state.InitialSpace;
            state.ClassStack.clear();
        }
        else if (!state.ClassStack.empty())
        {
            if (state.ClassStack.size() == 1)
                state.Classes.push_back(state.ClassStack.back());
            state.ClassStack.pop_back();
        }
        return;
    case XMLDictionaryLoadState::IN_TYPES:
        TypesEndElement(state.Types, name);
        if (state.Types.State == TypesParseState::SECTION_CLOSED)
        {
            DefineTypesFromRecords(state.Types.Records, DefaultSymbolSpace());
            state.Types.Records.clear();
            state.OuterState = XMLDictionaryLoadState::IN_DICTIONARY;
        }
        return;
    case XMLDictionaryLoadState::IN_DICTIONARY:
        if (Is(name, "MXFDictionary"))
            state.OuterState = XMLDictionaryLoadState::OUTSIDE;
        return;
    default:
        DiagnosticNote("Stepping out of outer level <%s>\n", name);
        return;
    }
}

const ParserHandlerTable DictionaryHandlers = {DictStartElement, DictEndElement, XMLWarning, XMLError,
                                               XMLFatalError};

// What every successful load ends with: the collected classes, then the reference targets.
void FinishLoad(XMLDictionaryLoadState& state, const SymbolSpacePtr& space)
{
    if (!state.Classes.empty())
    {
        DefineClassesFromRecords(state.Classes, space);
        MDOType::BuildStaticPrimer();
    }
    MDOType::ResolveRefTargets();
}

} // namespace

int LoadXMLDictionaryFile(const char* fileName, const SymbolSpacePtr& space)
{
    XMLDictionaryLoadState state(space);
    const std::string path = FindDataFile(fileName);
    if (path.empty())
    {
        XMLFatalError(&state, "Failed to load dictionary \"%s\"\n", fileName);
        return -1;
    }
    if (!XMLParserParseFile(&DictionaryHandlers, &state, path, false))
    {
        XMLFatalError(&state, "Failed to load dictionary \"%s\"\n", path.c_str());
        return -1;
    }
    FinishLoad(state, space);
    return 0;
}

int LoadXMLDictionaryText(const std::string& text)
{
    XMLDictionaryLoadState state(DefaultSymbolSpace());
    if (!text.empty())
    {
        const std::unique_ptr<XML_ParserStruct, XMLParserFreer> parser(CreateXMLParser(false));
        if (!parser)
            XMLFatalError(&state, "Could't create an expat XML parser\n");
        else
        {
            XML_SetElementHandler(parser.get(), DictStartElement, DictEndElement);
            XML_SetUserData(parser.get(), &state);
            const int length = static_cast<int>(std::min<std::size_t>(text.size(), INT_MAX));
            void* buffer =
                length == static_cast<int>(text.size()) ? XML_GetBuffer(parser.get(), length) : nullptr;
            if (!buffer)
                XMLFatalError(&state, "Out of memory for a parser buffer of %d bytes\n", length);
            else
            {
                std::memcpy(buffer, text.data(), text.size());
                // Only the text's own bytes: a terminating zero would be junk after the root element.
                if (XML_ParseBuffer(parser.get(), length, false) == XML_STATUS_ERROR)
                    XMLFatalError(&state, "Parse error at line %d:\n%s\n",
                                  static_cast<int>(XML_GetCurrentLineNumber(parser.get())),
                                  XML_ErrorString(XML_GetErrorCode(parser.get())));
                else
                {
                    FinishLoad(state, DefaultSymbolSpace());
                    return 0;
                }
            }
        }
    }
    XMLFatalError(&state, "Failed to load dictionary from string\n");
    return -1;
}

} // namespace mxf
