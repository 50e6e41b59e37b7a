#include "mxf/RXIDictionary.h"

#include "mxf/DataFile.h"
#include "mxf/Diagnostics.h"
#include "mxf/Hex.h"
#include "mxf/IdentifierText.h"
#include "mxf/Kinds.h"
#include "mxf/Labels.h"
#include "mxf/UUID.h"
#include "mxf/XMLParser.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <utility>
#include <vector>

namespace mxf
{

namespace
{

enum : std::int32_t
{
    TYPE_ENTRY = 1,
    ELEMENT_ENTRY = 2,
    GROUP_ENTRY = 3,
    LABEL_ENTRY = 4,
};

enum : std::int32_t
{
    BEFORE_ROOT = 0,
    IN_REGISTER = 1,
    IN_ENTRY = 2,
    IN_CHILD = 3,
    OLD_FORMAT = 4,
};

struct RXIEntry
{
    std::int32_t Kind = 0;
    bool Applies = true;
    std::string Urn;
    std::string TypeRef;
    std::string SpaceName;
    std::string Sym;
    std::string KindWord;
    std::string Qualifier;
    std::string Value;
    std::string MinOccurs;
    std::string MaxOccurs;
    std::string Coding;
    std::string Name;
    std::string Detail;
    std::vector<RXIEntry> Children;
};

struct RXIRegisterContext
{
    std::string Sym;
    std::string Urn;
};

using LabelBytes = std::array<std::uint8_t, 16>;

struct RXIParseState
{
    std::int32_t State = BEFORE_ROOT;
    int Depth = 0;
    bool InTraits = false;
    std::string Namespace;
    std::string Normative;
    std::vector<std::unique_ptr<RXIEntry>> Entries;
    std::vector<RXIRegisterContext> Contexts;
    std::vector<std::pair<int, std::string>> Namespaces;
    XML_Parser Parser = nullptr;
    std::string Text;
    std::string AppName;
    int AppVersion = 0;
    bool Alias = false;
    RXIDataPtr Result;
    std::set<std::pair<std::string, std::int32_t>> UsedSymbols;
    std::map<LabelBytes, std::pair<ClassRecordPtr, ClassRecordPtr>> ElementMap; // record, owning group
    std::map<std::uint8_t, SymbolSpacePtr> CodingSpaces;
    SymbolSpacePtr Space;

    bool IsElement(const char* name, const char* local) const { return name == Namespace + "|" + local; }
    RXIEntry& Innermost() { return *Entries.back(); }
};

bool Is(const char* text, const char* word)
{
    return std::strcmp(text, word) == 0;
}

bool EndsWith(const std::string& text, const char* suffix)
{
    const std::size_t length = std::strlen(suffix);
    return text.size() >= length && text.compare(text.size() - length, length, suffix) == 0;
}

// The value of the attribute of this local name in the normative namespace, or null.
const char* Attribute(const RXIParseState& state, const char** attributes, const char* local)
{
    const std::string wanted = state.Normative + "|" + local;
    for (const char** a = attributes; *a; a += 2)
        if (wanted == a[0])
            return a[1];
    return nullptr;
}

void ReadAttribute(const RXIParseState& state, const char** attributes, const char* local, std::string& field)
{
    if (const char* value = Attribute(state, attributes, local))
        field = value;
}

void ReadEntryAttributes(const RXIParseState& state, RXIEntry& entry, const char** attributes)
{
    ReadAttribute(state, attributes, "sym", entry.Sym);
    ReadAttribute(state, attributes, "urn", entry.Urn);
    switch (entry.Kind)
    {
    case TYPE_ENTRY:
        ReadAttribute(state, attributes, "kind", entry.KindWord);
        ReadAttribute(state, attributes, "qualif", entry.Qualifier);
        ReadAttribute(state, attributes, "value", entry.Value);
        ReadAttribute(state, attributes, "target_urn", entry.TypeRef);
        ReadAttribute(state, attributes, "minOccurs", entry.MinOccurs);
        ReadAttribute(state, attributes, "maxOccurs", entry.MaxOccurs);
        break;
    case ELEMENT_ENTRY:
        // Both name the element's type; the later one in the element wins.
        for (const char** a = attributes; *a; a += 2)
            if (state.Normative + "|type_urn" == a[0] || state.Normative + "|target_urn" == a[0])
                entry.TypeRef = a[1];
        break;
    case GROUP_ENTRY:
        ReadAttribute(state, attributes, "coding", entry.Coding);
        ReadAttribute(state, attributes, "parent_urn", entry.TypeRef);
        break;
    default:
        break;
    }
}

void NewEntry(RXIParseState& state, std::int32_t kind, const char** attributes)
{
    auto entry = std::make_unique<RXIEntry>();
    entry->Kind = kind;
    if (!state.Entries.empty())
        entry->SpaceName = state.Innermost().SpaceName;
    else if (!state.Namespaces.empty())
        entry->SpaceName = state.Namespaces.back().second;
    ReadEntryAttributes(state, *entry, attributes);
    state.Entries.push_back(std::move(entry));
    state.State = IN_ENTRY;
}

void NewChild(RXIParseState& state, std::int32_t kind, const char** attributes)
{
    RXIEntry child;
    child.Kind = kind;
    ReadAttribute(state, attributes, "sym", child.Sym);
    ReadAttribute(state, attributes, "urn", child.Urn);
    if (kind == TYPE_ENTRY)
    {
        ReadAttribute(state, attributes, "type_urn", child.TypeRef);
        ReadAttribute(state, attributes, "value", child.Value);
    }
    state.Innermost().Children.push_back(std::move(child));
    state.State = IN_CHILD;
}

void PushNamespace(RXIParseState& state, const char** attributes)
{
    if (const char* uri = Attribute(state, attributes, "ns_uri"))
        state.Namespaces.emplace_back(state.Depth, uri);
}

// Opens a wildcard or stem; true when its "reg" attribute is exactly "groups", and *hasReg whether it has
// one.
bool OpenRegisterContext(RXIParseState& state, const char** attributes, bool* hasReg)
{
    RXIRegisterContext context;
    ReadAttribute(state, attributes, "sym", context.Sym);
    ReadAttribute(state, attributes, "urn", context.Urn);
    state.Contexts.push_back(std::move(context));
    PushNamespace(state, attributes);
    const char* reg = Attribute(state, attributes, "reg");
    if (hasReg)
        *hasReg = reg != nullptr;
    return reg && Is(reg, "groups");
}

void RXICharacterData(void* userData, const XML_Char* text, int length)
{
    RXIParseState& state = *static_cast<RXIParseState*>(userData);
    const void* zero = std::memchr(text, 0, static_cast<std::size_t>(length));
    state.Text.append(text, zero ? static_cast<const char*>(zero) - text : length);
}

void StartCollecting(RXIParseState& state)
{
    state.Text.clear();
    if (state.Parser)
        XML_SetCharacterDataHandler(state.Parser, RXICharacterData);
}

void StartInRegister(RXIParseState& state, const char* name, const char** attributes)
{
    if (state.IsElement(name, "leaf_types"))
        NewEntry(state, TYPE_ENTRY, attributes);
    else if (state.IsElement(name, "leaf_elements"))
        NewEntry(state, ELEMENT_ENTRY, attributes);
    else if (state.IsElement(name, "wildcard") || state.IsElement(name, "stem"))
    {
        if (OpenRegisterContext(state, attributes, nullptr))
            NewEntry(state, GROUP_ENTRY, attributes);
    }
    else if (state.IsElement(name, "leaf_groups") || state.IsElement(name, "bud_groups"))
        NewEntry(state, GROUP_ENTRY, attributes);
    else if (state.IsElement(name, "leaf_labels"))
        NewEntry(state, LABEL_ENTRY, attributes);
    else if (state.IsElement(name, "trunk") || state.IsElement(name, "node"))
        PushNamespace(state, attributes);
}

void StartInEntry(RXIParseState& state, const char* name, const char** attributes)
{
    const std::int32_t kind = state.Innermost().Kind;
    if (state.IsElement(name, "traits"))
        state.InTraits = true;
    else if (state.IsElement(name, "link_types") || state.IsElement(name, "shoot_types"))
        NewChild(state, TYPE_ENTRY, attributes);
    else if (state.IsElement(name, "link_groups") || state.IsElement(name, "shoot_groups"))
        NewChild(state, GROUP_ENTRY, attributes);
    else if (state.IsElement(name, "leaf_elements") && kind == ELEMENT_ENTRY)
        NewEntry(state, ELEMENT_ENTRY, attributes);
    else if (state.IsElement(name, "leaf_groups") && kind == GROUP_ENTRY)
        NewEntry(state, GROUP_ENTRY, attributes);
    else if (state.IsElement(name, "leaf_labels") && kind == LABEL_ENTRY)
        return;
    else if (state.IsElement(name, "wildcard") || state.IsElement(name, "stem"))
    {
        bool hasReg = false;
        if (OpenRegisterContext(state, attributes, &hasReg) || (!hasReg && kind == GROUP_ENTRY))
            NewEntry(state, GROUP_ENTRY, attributes);
    }
    else if (state.IsElement(name, "bud_groups"))
        NewEntry(state, GROUP_ENTRY, attributes);
    else if (state.InTraits)
        StartCollecting(state);
}

void RXIStartElement(void* userData, const char* name, const char** attributes)
{
    RXIParseState& state = *static_cast<RXIParseState*>(userData);
    ++state.Depth;
    switch (state.State)
    {
    case BEFORE_ROOT:
    {
        const char* bar = std::strrchr(name, '|');
        const std::string space = bar ? std::string(name, bar) : std::string();
        const char* local = bar ? bar + 1 : name;
        if (Is(local, "register"))
        {
            if (!EndsWith(space, "RXI"))
                DiagnosticNote(
                    "Dictionary file resembles RXI in that the outer tag is \"register\" but namespace is "
                    "%s\n",
                    space.c_str());
            state.Namespace = space;
            state.Normative = space + "/normative";
            state.State = IN_REGISTER;
        }
        else if (Is(name, "MXFDictionary") || Is(name, "MXFTypes"))
        {
            state.Result->OldFormat = true;
            state.State = OLD_FORMAT;
        }
        else
            DiagnosticNote("Stepping into outer level <%s>\n", name);
        break;
    }
    case IN_REGISTER:
        StartInRegister(state, name, attributes);
        break;
    case IN_ENTRY:
        StartInEntry(state, name, attributes);
        break;
    case IN_CHILD:
        if (state.IsElement(name, "traits"))
            state.InTraits = true;
        else if (state.InTraits)
            StartCollecting(state);
        break;
    default:
        break;
    }
}

void DeduplicatedNote(const std::string& symbol)
{
    DiagnosticNote("De-duplicated symbol to %s\n", symbol.c_str());
}

std::string DeduplicateSymbol(RXIParseState& state, const std::string& symbol)
{
    const std::int32_t kind = state.Innermost().Kind;
    std::string candidate = symbol;
    int n = 0;
    while (state.UsedSymbols.count({candidate, kind}))
        candidate = symbol + "_" + std::to_string(++n);
    if (n > 0)
        DeduplicatedNote(candidate);
    state.UsedSymbols.insert({candidate, kind});
    return candidate;
}

void MakeRXISymbol(RXIParseState& state)
{
    RXIEntry& entry = state.Innermost();
    std::string sym;
    if (!state.Contexts.empty() && !state.Contexts.back().Sym.empty())
        sym = state.Contexts.back().Sym;
    else if (!entry.Name.empty())
    {
        sym = entry.Name;
        DiagnosticNote("No symbol supplied for leaf %s %s\n", sym.c_str(), entry.Urn.c_str());
    }
    else if (!entry.Urn.empty())
    {
        sym = entry.Urn;
        DiagnosticNote("No symbol supplied for leaf %s\n", sym.c_str());
    }
    else
        sym = "Unknown";

    std::string clean;
    for (const char c : sym)
    {
        if (c == ' ')
            clean += '_';
        else if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
            clean += c;
    }

    if (!state.Contexts.empty() && !state.Contexts.back().Urn.empty() && !entry.Urn.empty())
    {
        const ULPtr context = ULFromText(state.Contexts.back().Urn);
        const ULPtr own = ULFromText(entry.Urn);
        if (context && own && context->GetValue()[0] == 0x06 && own->GetValue()[0] == 0x06)
        {
            int first = 0;
            while (first < 16 && context->GetValue()[first] == own->GetValue()[first])
                ++first;
            for (int i = first; i < 16; ++i)
                if (own->GetValue()[i] != context->GetValue()[i])
                {
                    char digits[3];
                    std::snprintf(digits, sizeof digits, "%02x", own->GetValue()[i]);
                    clean += digits;
                }
        }
    }
    entry.Sym = clean;
}

SymbolSpacePtr NamedSpace(const std::string& name)
{
    SymbolSpacePtr space = SymbolSpace::FindSymbolSpace(name);
    return space ? space : SymbolSpacePtr(new SymbolSpace(name));
}

ULPtr EntryLabel(const RXIEntry& entry)
{
    ULPtr label = entry.Urn.empty() ? ULPtr() : ULFromText(entry.Urn);
    return label ? label : ULFromNewUUID();
}

// The steps that every builder shares: the entry's symbol, detail, space and label, on any record kind.
template <typename Record> void ApplySharedSteps(RXIParseState& state, Record& record, bool withName)
{
    RXIEntry& entry = state.Innermost();
    if (entry.Sym.empty())
        MakeRXISymbol(state);
    if (withName)
        record.Name = DeduplicateSymbol(state, entry.Sym);
    record.Detail = entry.Detail;
    if (!entry.SpaceName.empty())
        record.SymbolSpace = NamedSpace(entry.SpaceName);
    record.UL = EntryLabel(entry);
}

void SizeFromOccurs(const RXIEntry& entry, TypeRecord& record)
{
    if (entry.MinOccurs.empty())
        return;
    record.Size = std::atoi(entry.MinOccurs.c_str());
    if (!entry.MaxOccurs.empty() && entry.MaxOccurs != entry.MinOccurs)
        DiagnosticError("leaf_types for %s has minOccurs=\"%s\" and maxOccurs=\"%s\", which is not currently "
                        "supported\n",
                        entry.Sym.c_str(), entry.MinOccurs.c_str(), entry.MaxOccurs.c_str());
}

std::int32_t CollectionRefKind(const std::string& qualifier)
{
    static constexpr std::pair<const char*, std::int32_t> Words[] = {{"strong", RefKinds::Strong},
                                                                     {"weak", RefKinds::Weak},
                                                                     {"meta", RefKinds::Meta},
                                                                     {"dict", RefKinds::Dict},
                                                                     {"global", RefKinds::Global}};
    for (const auto& [word, kind] : Words)
        if (qualifier == word)
            return kind;
    return RefKinds::None;
}

void AddMembers(const RXIEntry& entry, TypeRecord& record, bool values)
{
    for (const RXIEntry& child : entry.Children)
    {
        const TypeRecordPtr member(new TypeRecord);
        member->Kind = TypeRecord::SUB;
        member->Name = child.Sym;
        member->Detail = child.Detail;
        if (values)
            member->Value = child.Value;
        else
        {
            member->Base = child.TypeRef;
            member->UL = child.Urn.empty() ? ULPtr() : ULFromText(child.Urn);
            static const std::uint8_t Zero[16] = {};
            if (!member->UL || std::memcmp(member->UL->GetValue(), Zero, 16) == 0)
                member->UL = ULFromNewUUID();
        }
        record.Children.push_back(member);
    }
}

void BuildRXITypes(RXIParseState& state)
{
    RXIEntry& entry = state.Innermost();
    const TypeRecordPtr record(new TypeRecord);
    ApplySharedSteps(state, *record, false);
    const std::string& kind = entry.KindWord;
    if (kind == "integer" || kind == "character")
    {
        record->Kind = TypeRecord::BASIC;
        record->Size = static_cast<std::int32_t>(std::strtol(entry.Qualifier.c_str(), nullptr, 10));
        record->Endian = entry.Value == "True";
    }
    else if (kind == "string")
    {
        record->Kind = TypeRecord::MULTIPLE;
        record->Base = entry.TypeRef;
        SizeFromOccurs(entry, *record);
    }
    else if (kind == "rename")
    {
        record->Kind = TypeRecord::INTERPRETATION;
        record->Base = entry.TypeRef;
    }
    else if (kind == "reference")
    {
        record->Kind = TypeRecord::INTERPRETATION;
        record->Base = "Internal-UUID";
        record->RefTarget = entry.TypeRef;
        const std::int32_t refKind = CollectionRefKind(entry.Qualifier);
        record->RefKind =
            refKind >= RefKinds::Strong && refKind <= RefKinds::Dict ? refKind : RefKinds::Global;
    }
    else if (kind == "set" || kind == "array")
    {
        const std::int32_t refKind = CollectionRefKind(entry.Qualifier);
        record->Kind = TypeRecord::MULTIPLE;
        if (refKind == RefKinds::None)
        {
            record->ArrayKind = kind == "set" ? ArrayKinds::Batch : ArrayKinds::Plain;
            record->Base = entry.TypeRef;
            if (kind == "array")
                SizeFromOccurs(entry, *record);
        }
        else
        {
            const TypeRecordPtr item(new TypeRecord);
            item->Kind = TypeRecord::INTERPRETATION;
            item->Name = entry.Sym + "_Item";
            item->Detail = "Item in " + entry.Detail;
            item->Base = "Internal-UUID";
            item->UL = ULFromNewUUID();
            item->RefKind = refKind;
            item->RefTarget = entry.TypeRef;
            item->SymbolSpace = record->SymbolSpace;
            state.Result->TypeRecords.push_back(item);
            record->ArrayKind = ArrayKinds::Batch;
            record->Base = item->UL->GetString();
            record->RefKind = refKind;
        }
    }
    else if (kind == "record")
    {
        record->Kind = TypeRecord::COMPOUND;
        if (entry.Children.empty())
            DiagnosticNote("Empty record definition found: %s\n", entry.Sym.c_str());
        AddMembers(entry, *record, false);
    }
    else if (kind == "enumeration" || kind == "extendible")
    {
        record->Kind = TypeRecord::ENUM;
        record->Base = kind == "enumeration" ? entry.TypeRef : "Internal-UUID";
        if (entry.Children.empty())
        {
            if (kind == "enumeration")
                DiagnosticNote("Empty enumeration definition found: %s\n", entry.Sym.c_str());
            else
                DiagnosticNote("Extendible definition found with no specified values: %s\n",
                               entry.Sym.c_str());
        }
        AddMembers(entry, *record, true);
    }
    else if (kind == "stream" || kind == "opaque")
    {
        record->Kind = TypeRecord::INTERPRETATION;
        record->Base = "Internal-UInt8Array";
    }
    else if (kind == "indirect")
    {
        record->Kind = TypeRecord::INTERPRETATION;
        record->Base = "Internal-Indirect";
    }
    else
    {
        DiagnosticNote("Found type kind %s - not yet supported\n", kind.c_str());
        return;
    }
    record->Name = DeduplicateSymbol(state, entry.Sym);
    state.Result->TypeRecords.push_back(record);
}

void BuildRXILabels(RXIParseState& state)
{
    const TypeRecordPtr record(new TypeRecord);
    ApplySharedSteps(state, *record, true);
    state.Result->LabelRecords.push_back(record);
}

LabelBytes BytesOf(const UL& label)
{
    LabelBytes bytes;
    std::memcpy(bytes.data(), label.GetValue(), 16);
    return bytes;
}

void BuildRXIElements(RXIParseState& state)
{
    const ClassRecordPtr record(new ClassRecord);
    ApplySharedSteps(state, *record, true);
    record->Class = ClassRecord::ITEM;
    record->Base = state.Innermost().TypeRef;
    if (record->UL->GetArray() == InstanceUIDKey)
        record->RefKind = RefKinds::Target;
    state.ElementMap.emplace(BytesOf(*record->UL), std::make_pair(record, ClassRecordPtr()));
}

void ApplyGroupCoding(ClassRecord& record)
{
    std::int32_t kind = ClassRecord::SET;
    std::int32_t keyFormat = KeyFormats::Tag2;
    std::int32_t lengthFormat = LengthFormats::BER;
    if (record.UL && record.UL->GetValue()[0] == 0x06 && record.UL->GetValue()[5] != 0x7F)
    {
        const std::uint8_t c = record.UL->GetValue()[5];
        const std::uint8_t lengthBits = c & 0xE0;
        const std::int32_t codedLength = lengthBits == 0x20   ? LengthFormats::Bytes1
                                         : lengthBits == 0x40 ? LengthFormats::Bytes2
                                         : lengthBits == 0x60 ? LengthFormats::Bytes4
                                                              : LengthFormats::BER;
        static constexpr std::int32_t TagFormats[] = {KeyFormats::Tag1, KeyFormats::OIDTag, KeyFormats::Tag2,
                                                      KeyFormats::Tag4};
        switch (c & 0x07)
        {
        case 1:
            keyFormat = KeyFormats::Label;
            lengthFormat = LengthFormats::BER;
            break;
        case 2:
            keyFormat = KeyFormats::GlobalSet;
            lengthFormat = codedLength;
            break;
        case 3:
            keyFormat = TagFormats[(c & 0x18) >> 3];
            lengthFormat = codedLength;
            break;
        case 4:
            kind = ClassRecord::PACK;
            keyFormat = KeyFormats::None;
            lengthFormat = codedLength;
            break;
        case 5:
            kind = ClassRecord::PACK;
            keyFormat = KeyFormats::None;
            lengthFormat = LengthFormats::None;
            break;
        case 6:
            break;
        default:
            DiagnosticNote("Unknown coding type 0x%02x for %s\n", c, record.Name.c_str());
            break;
        }
    }
    record.Class = kind;
    record.MinSize = keyFormat;
    record.MaxSize = lengthFormat;
}

SymbolSpacePtr CodingSymbolSpace(std::uint8_t byte, RXIParseState& state)
{
    SymbolSpacePtr& space = state.CodingSpaces[byte];
    if (!space)
    {
        char name[16];
        std::snprintf(name, sizeof name, "Coding%02x", byte);
        space = NamedSpace(name);
    }
    return space;
}

void AddGroupMembers(RXIParseState& state, const RXIEntry& entry, const ClassRecordPtr& group)
{
    for (const RXIEntry& child : entry.Children)
    {
        if (!child.Applies)
            continue;
        const ULPtr label = child.Urn.empty() ? ULPtr() : ULFromText(child.Urn);
        const auto found = label ? state.ElementMap.find(BytesOf(*label)) : state.ElementMap.end();
        if (found == state.ElementMap.end())
        {
            DiagnosticError("Group %s contains unknown member %s\n", group->Name.c_str(), child.Sym.c_str());
            continue;
        }
        ClassRecordPtr member = found->second.first;
        if (found->second.second)
        {
            const ClassRecordPtr copy(new ClassRecord);
            copy->Name = member->Name;
            copy->Detail = member->Detail;
            copy->MinSize = member->MinSize;
            copy->MaxSize = member->MaxSize;
            copy->Tag = member->Tag;
            copy->RefKind = RefKinds::NotGiven;
            copy->Class = ClassRecord::DERIVED;
            copy->Base = member->UL->GetString();
            copy->UL = ULFromNewUUID();
            state.ElementMap.emplace(BytesOf(*copy->UL), std::make_pair(copy, group));
            member = copy;
        }
        else
            found->second.second = group;
        if (!child.Sym.empty())
        {
            DiagnosticNote("Applying alias or member name %s in place of %s in %s\n", child.Sym.c_str(),
                           member->Name.c_str(), entry.Sym.c_str());
            member->Name = child.Sym;
        }
        group->Children.push_back(member);
    }
}

void BuildRXIGroups(RXIParseState& state)
{
    RXIEntry& entry = state.Innermost();
    const ClassRecordPtr record(new ClassRecord);
    if (entry.Sym.empty())
        MakeRXISymbol(state);
    record->Name = DeduplicateSymbol(state, entry.Sym);
    record->Detail = entry.Detail;
    record->Base = entry.TypeRef;
    if (!entry.Urn.empty())
        record->UL = ULFromText(entry.Urn);

    DataChunkPtr coding;
    if (!entry.Coding.empty())
    {
        if (!record->UL)
            DiagnosticError("Group %s has a coding of %s specified, but has no identifier\n",
                            record->Name.c_str(), entry.Coding.c_str());
        else if (record->UL->GetValue()[0] != 0x06)
            DiagnosticError(
                "Group %s has a coding of %s specified, but has an identifier of %s which is not a UL\n",
                record->Name.c_str(), entry.Coding.c_str(), record->UL->GetString().c_str());
        else
        {
            coding = DataChunkFromHex(entry.Coding);
            if (coding && coding->Size() == 0)
                coding = nullptr;
        }
    }
    ApplyGroupCoding(*record);
    if (!record->UL)
        record->UL = ULFromNewUUID();
    if (!entry.SpaceName.empty())
        record->SymbolSpace = NamedSpace(entry.SpaceName);

    AddGroupMembers(state, entry, record);
    state.Result->GroupRecords.push_back(record);

    if (!coding)
        return;
    record->SymbolSpace = CodingSymbolSpace(record->UL->GetValue()[5], state);
    for (std::uint64_t i = 0; i < coding->Size(); ++i)
    {
        const std::uint8_t byte = coding->Data()[i];
        const ClassRecordPtr variant(new ClassRecord);
        variant->Name = record->Name;
        variant->Detail = record->Detail;
        variant->Tag = record->Tag;
        variant->RefKind = RefKinds::NotGiven;
        variant->UL = new UL(record->UL);
        variant->UL->GetValue()[5] = byte;
        variant->SymbolSpace = CodingSymbolSpace(byte, state);
        ApplyGroupCoding(*variant);
        variant->Class = ClassRecord::DERIVED;
        variant->Base = record->UL->GetString();
        state.Result->GroupRecords.push_back(variant);
    }
}

void MatchApplication(RXIParseState& state, RXIEntry& entry, const std::string& list)
{
    DiagnosticNote("Comparing this application \"%s\" (version=%.2f) against \"%s\"\n", state.AppName.c_str(),
                   state.AppVersion / 100.0, list.c_str());
    entry.Applies = false;
    std::size_t start = 0;
    while (start < list.size())
    {
        const std::size_t end = std::min(list.find(' ', start), list.size());
        const std::string item = list.substr(start, end - start);
        start = end + 1;
        if (item.empty())
            continue;
        DiagnosticNote(" Testing \"%s\"\n", item.c_str());
        std::size_t p = item.find_first_of("[~");
        if (p == std::string::npos)
        {
            if (item == state.AppName)
                entry.Applies = true;
            continue;
        }
        if (item.compare(0, p, state.AppName) != 0 || p != state.AppName.size())
        {
            DiagnosticNote(" ->Not a match by name \"%s\"\n", item.substr(0, p).c_str());
            continue;
        }
        if (item[p] == '[')
        {
            const std::size_t colon = item.find(':', p + 1);
            const int low = ParseVersionHundredths(
                item.substr(p + 1, colon == std::string::npos ? std::string::npos : colon - p - 1));
            int high = low;
            if (colon != std::string::npos)
            {
                high = ParseVersionHundredths(item.substr(colon + 1));
                if (high == 0)
                    high = INT_MAX;
            }
            if (state.AppVersion < low || state.AppVersion > high)
                continue;
            entry.Applies = true;
            p = item.find('~', p);
            if (p == std::string::npos)
                continue;
        }
        entry.Applies = true;
        if (state.Alias)
        {
            DiagnosticNote("  =>Alias %s to %s\n", entry.Sym.c_str(), item.substr(p + 1).c_str());
            entry.Sym = item.substr(p + 1);
        }
    }
}

void PopEntry(RXIParseState& state)
{
    state.Entries.pop_back();
    if (state.Entries.empty())
        state.State = IN_REGISTER;
}

void EndInEntry(RXIParseState& state, const char* name)
{
    const RXIEntry& entry = state.Innermost();
    const bool stem = state.IsElement(name, "stem");
    const bool wildcard = state.IsElement(name, "wildcard") && !state.Contexts.empty();
    if (entry.Kind == TYPE_ENTRY && state.IsElement(name, "leaf_types"))
    {
        if (entry.Applies)
            BuildRXITypes(state);
        PopEntry(state);
    }
    else if (entry.Kind == ELEMENT_ENTRY && state.IsElement(name, "leaf_elements"))
    {
        BuildRXIElements(state);
        PopEntry(state);
    }
    else if (entry.Kind == GROUP_ENTRY &&
             (state.IsElement(name, "leaf_groups") || stem || state.IsElement(name, "bud_groups")))
    {
        if (entry.Applies)
            BuildRXIGroups(state);
        PopEntry(state);
        if (stem && !state.Contexts.empty())
            state.Contexts.pop_back();
    }
    else if (entry.Kind == LABEL_ENTRY && state.IsElement(name, "leaf_labels"))
    {
        if (entry.Applies)
            BuildRXILabels(state);
        PopEntry(state);
    }
    else if (wildcard || stem)
    {
        if (!state.Contexts.empty())
            state.Contexts.pop_back();
        if (entry.Kind == GROUP_ENTRY)
            PopEntry(state);
    }
}

void EndInTraits(RXIParseState& state, const char* name)
{
    RXIEntry& entry = state.State == IN_ENTRY ? state.Innermost() : state.Innermost().Children.back();
    if (state.IsElement(name, "traits"))
        state.InTraits = false;
    else if (name == state.Normative + "|name")
        entry.Name = state.Text;
    else if (name == state.Normative + "|detail")
        entry.Detail = state.Text;
    else if (name == state.Namespace + "/informative|app" && !state.AppName.empty())
        MatchApplication(state, entry, state.Text);
    if (state.Parser)
        XML_SetCharacterDataHandler(state.Parser, nullptr);
}

void RXIEndElement(void* userData, const char* name)
{
    RXIParseState& state = *static_cast<RXIParseState*>(userData);
    --state.Depth;
    if (!state.Namespaces.empty() && state.Namespaces.back().first > state.Depth)
        state.Namespaces.pop_back();
    switch (state.State)
    {
    case IN_REGISTER:
        if ((state.IsElement(name, "wildcard") || state.IsElement(name, "stem")) && !state.Contexts.empty())
            state.Contexts.pop_back();
        break;
    case IN_ENTRY:
        if (state.InTraits)
            EndInTraits(state, name);
        else
            EndInEntry(state, name);
        break;
    case IN_CHILD:
        if (state.InTraits)
            EndInTraits(state, name);
        else
        {
            const std::int32_t kind = state.Innermost().Children.back().Kind;
            if ((kind == TYPE_ENTRY &&
                 (state.IsElement(name, "link_types") || state.IsElement(name, "shoot_types"))) ||
                (kind == GROUP_ENTRY &&
                 (state.IsElement(name, "link_groups") || state.IsElement(name, "shoot_groups"))))
                state.State = IN_ENTRY;
        }
        break;
    default:
        break;
    }
}

const ParserHandlerTable RXIHandlers = {RXIStartElement, RXIEndElement, XMLWarning, XMLError, XMLFatalError};

void ParseApplication(RXIParseState& state, std::string application)
{
    if (application.empty())
        return;
    const std::size_t tilde = application.rfind('~');
    if (tilde != std::string::npos)
    {
        state.Alias = true;
        application.erase(tilde);
    }
    const std::size_t bracket = application.find('[');
    if (bracket == std::string::npos)
    {
        state.AppName = application;
        state.AppVersion = INT_MAX;
    }
    else
    {
        state.AppName = application.substr(0, bracket);
        state.AppVersion = ParseVersionHundredths(application.substr(bracket + 1));
    }
}

bool ParseText(RXIParseState& state, const std::string& text)
{
    if (text.empty())
        return false;
    const std::unique_ptr<XML_ParserStruct, XMLParserFreer> parser(CreateXMLParser(false));
    if (!parser)
    {
        XMLFatalError(&state, "Could't create an expat XML parser\n");
        return false;
    }
    state.Parser = parser.get();
    XML_SetElementHandler(parser.get(), RXIStartElement, RXIEndElement);
    XML_SetUserData(parser.get(), &state);
    if (text.size() >= INT_MAX)
        return false;
    const int length = static_cast<int>(text.size());
    void* buffer = XML_GetBuffer(parser.get(), length + 1);
    if (!buffer)
    {
        XMLFatalError(&state, "Out of memory for a parser buffer of %d bytes\n", length + 1);
        return false;
    }
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    const bool parsed = XML_ParseBuffer(parser.get(), length, false) != XML_STATUS_ERROR;
    if (!parsed)
        XMLFatalError(&state, "Parse error at line %d:\n%s\n",
                      static_cast<int>(XML_GetCurrentLineNumber(parser.get())),
                      XML_ErrorString(XML_GetErrorCode(parser.get())));
    state.Parser = nullptr;
    return parsed;
}

} // namespace

int ParseVersionHundredths(const std::string& text)
{
    // Counted wide and held at INT_MAX, so that a long run of digits means every later version rather
    // than overflowing.
    constexpr std::int64_t Most = INT_MAX;
    std::int64_t value = 0;
    bool point = false;
    int decimals = 0;
    for (const char c : text)
    {
        if (c == ' ')
        {
            if (value != 0 || point)
                break;
        }
        else if (c == '.')
        {
            if (point)
                break;
            point = true;
        }
        else if (c >= '0' && c <= '9')
        {
            value = std::min(value * 10 + (c - '0'), Most);
            if (point)
                ++decimals;
        }
        else
            break;
    }
    const std::int64_t scale = !point || decimals == 0 ? 100 : decimals == 1 ? 10 : 1;
    return static_cast<int>(std::min(value * scale, Most));
}

RXIDataPtr ParseRXI(const std::string& fileName, const std::string& text, const SymbolSpacePtr& space,
                    const std::string& application)
{
    RXIParseState state;
    state.Result = new RXIData;
    state.Space = space;
    ParseApplication(state, application);
    if (!fileName.empty())
    {
        const std::string path = FindDataFile(fileName);
        if (path.empty() || !XMLParserParseFile(&RXIHandlers, &state, path, true, &state.Parser))
        {
            XMLFatalError(&state, "Failed to load dictionary \"%s\"\n",
                          path.empty() ? fileName.c_str() : path.c_str());
            return nullptr;
        }
    }
    else if (!ParseText(state, text))
    {
        XMLFatalError(&state, "Failed to load dictionary from XML");
        return nullptr;
    }
    if (!state.Result->OldFormat)
        for (const auto& [bytes, element] : state.ElementMap)
            if (!element.second)
                state.Result->ElementRecords.push_back(element.first);
    return state.Result;
}

RXIDataPtr ParseRXIFile(const std::string& fileName, const SymbolSpacePtr& space,
                        const std::string& application)
{
    return ParseRXI(fileName, std::string(), space, application);
}

RXIDataPtr ParseRXIText(const std::string& text, const SymbolSpacePtr& space, const std::string& application)
{
    return ParseRXI(std::string(), text, space, application);
}

} // namespace mxf
