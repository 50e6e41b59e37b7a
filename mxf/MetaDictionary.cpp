#include "mxf/MetaDictionary.h"

#include "mxf/ClassDefinition.h"
#include "mxf/ClassRecord.h"
#include "mxf/Diagnostics.h"
#include "mxf/Hex.h"
#include "mxf/IdentifierText.h"
#include "mxf/Kinds.h"
#include "mxf/Labels.h"
#include "mxf/StringArray.h"
#include "mxf/TypeDefinition.h"
#include "mxf/UUID.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <list>
#include <optional>

namespace mxf
{

namespace
{

UL MetaClass(std::uint8_t code)
{
    return UL(FamilyLabel(MetaClassPrefix, std::array{code}));
}

// The eight bytes given follow the family's prefix.
UL MetaProperty(std::array<std::uint8_t, 8> tail)
{
    return UL(FamilyLabel(MetaPropertyPrefix, tail));
}

UL TypeLabel(std::uint8_t code)
{
    return UL(FamilyLabel(MetaTypePrefix, std::array{code}));
}

const UL ExtensionScheme = MetaClass(0x26);
const UL TypeDefinitionClass = MetaClass(0x03);
const UL ClassDefinitionClass = MetaClass(0x01);
const UL TypeDefinitionInteger = MetaClass(0x04);
const UL TypeDefinitionCharacter = MetaClass(0x23);
const UL TypeDefinitionStrongObjectReference = MetaClass(0x05);
const UL TypeDefinitionWeakObjectReference = MetaClass(0x06);
const UL TypeDefinitionFixedArray = MetaClass(0x08);
const UL TypeDefinitionVariableArray = MetaClass(0x09);
const UL TypeDefinitionSet = MetaClass(0x0a);
const UL TypeDefinitionString = MetaClass(0x0b);
const UL TypeDefinitionRename = MetaClass(0x0e);
const UL TypeDefinitionStream = MetaClass(0x0c);
const UL TypeDefinitionRecord = MetaClass(0x0d);
const UL TypeDefinitionEnumeration = MetaClass(0x07);

const UL InterchangeObject(InterchangeObjectKey);
const UL StrongRef = TypeLabel(0x02);
const UL WeakRef = TypeLabel(0x01);

const UL TypeDefinitions = MetaProperty({0x06, 0x01, 0x01, 0x07, 0x08, 0x00, 0x00, 0x00});
const UL ClassDefinitions = MetaProperty({0x06, 0x01, 0x01, 0x07, 0x07, 0x00, 0x00, 0x00});
const UL MetaDefinitionIdentification = MetaProperty({0x06, 0x01, 0x01, 0x07, 0x13, 0x00, 0x00, 0x00});
const UL MetaDefinitionName = MetaProperty({0x03, 0x02, 0x04, 0x01, 0x02, 0x01, 0x00, 0x00});
const UL MetaDefinitionDescription = MetaProperty({0x06, 0x01, 0x01, 0x07, 0x14, 0x01, 0x00, 0x00});
const UL ParentClass = MetaProperty({0x06, 0x01, 0x01, 0x07, 0x01, 0x00, 0x00, 0x00});
const UL Properties = MetaProperty({0x06, 0x01, 0x01, 0x07, 0x02, 0x00, 0x00, 0x00});
const UL PropertyType = MetaProperty({0x06, 0x01, 0x01, 0x07, 0x04, 0x00, 0x00, 0x00});
const UL IsOptional = MetaProperty({0x03, 0x01, 0x02, 0x02, 0x01, 0x00, 0x00, 0x00});
const UL LocalIdentification = MetaProperty({0x06, 0x01, 0x01, 0x07, 0x05, 0x00, 0x00, 0x00});
const UL IsUniqueIdentifier = MetaProperty({0x06, 0x01, 0x01, 0x07, 0x06, 0x00, 0x00, 0x00});
const UL Size = MetaProperty({0x03, 0x01, 0x02, 0x03, 0x01, 0x00, 0x00, 0x00});
const UL ReferencedType = MetaProperty({0x06, 0x01, 0x01, 0x07, 0x09, 0x00, 0x00, 0x00});
const UL WeakReferencedType = MetaProperty({0x06, 0x01, 0x01, 0x07, 0x0a, 0x00, 0x00, 0x00});
const UL FixedArrayElementType = MetaProperty({0x06, 0x01, 0x01, 0x07, 0x0c, 0x00, 0x00, 0x00});
const UL ElementCount = MetaProperty({0x03, 0x01, 0x02, 0x03, 0x03, 0x00, 0x00, 0x00});
const UL VariableArrayElementType = MetaProperty({0x06, 0x01, 0x01, 0x07, 0x0d, 0x00, 0x00, 0x00});
const UL SetElementType = MetaProperty({0x06, 0x01, 0x01, 0x07, 0x0e, 0x00, 0x00, 0x00});
const UL StringElementType = MetaProperty({0x06, 0x01, 0x01, 0x07, 0x0f, 0x00, 0x00, 0x00});
const UL RenamedType = MetaProperty({0x06, 0x01, 0x01, 0x07, 0x12, 0x00, 0x00, 0x00});
const UL MemberTypes = MetaProperty({0x06, 0x01, 0x01, 0x07, 0x11, 0x00, 0x00, 0x00});
const UL MemberNames = MetaProperty({0x03, 0x01, 0x02, 0x03, 0x06, 0x00, 0x00, 0x00});
const UL ElementType = MetaProperty({0x06, 0x01, 0x01, 0x07, 0x0b, 0x00, 0x00, 0x00});
const UL ElementValues = MetaProperty({0x03, 0x01, 0x02, 0x03, 0x05, 0x00, 0x00, 0x00});
const UL ElementNames = MetaProperty({0x03, 0x01, 0x02, 0x03, 0x04, 0x00, 0x00, 0x00});

using Bytes16 = std::array<std::uint8_t, 16>;

// The longest value of an item in a local set with 2-byte lengths, the only kind of class defined here.
constexpr std::uint32_t MaxItemBytes = 0xffff;

// The first 16 bytes of the encoded MetaDefinitionIdentification; none when it is missing or shorter.
std::optional<Bytes16> IdentifierOf(const MDObject& definition)
{
    const MDObjectPtr child = definition.FindChildByUL(MetaDefinitionIdentification);
    if (!child)
        return std::nullopt;
    const DataChunkPtr encoded = child->EncodeValue(PrimerPtr());
    if (!encoded || encoded->Size() < 16)
        return std::nullopt;
    Bytes16 bytes;
    std::memcpy(bytes.data(), encoded->Data(), 16);
    return bytes;
}

// The identifier of a class or property definition in stored order, a random one (reported) when it has
// none.
Bytes16 ClassIdentifier(const MDObject& definition, const char* message)
{
    if (const std::optional<Bytes16> id = IdentifierOf(definition))
        return *id;
    DiagnosticError(message, definition.FullName().c_str(), definition.SourceLocation().c_str());
    const UUID fresh;
    return fresh.GetArray();
}

MDObjectPtr TargetOf(const MDObjectPtr& reference)
{
    return reference ? MDObjectPtr(reference->GetReferencedObject()) : MDObjectPtr();
}

std::string IdentifierText(const MDObjectPtr& definition)
{
    return definition->GetChildString(MetaDefinitionIdentification, std::string());
}

void ReportMissingTarget(const char* what, const MDObjectPtr& reference)
{
    DiagnosticError("Missing target for %s definition strong reference at 0x%s\n", what,
                    HexText64(reference->AbsoluteLocation(), 8).c_str());
}

ClassRecordPtr PropertyRecord(const MDObject& property, bool scheme)
{
    const Bytes16 id = ClassIdentifier(property, "No valid Property ID for %s at %s\n");
    const std::string idText = UUID::FormatString(id.data(), -1);
    ClassRecordPtr record(new ClassRecord);
    record->Class = ClassRecord::ITEM;
    record->MinSize = 0;
    record->MaxSize = 0;
    record->Name = property.GetChildString(MetaDefinitionName, idText);
    record->Detail = property.GetChildString(MetaDefinitionDescription, record->Name);
    record->Usage = property.GetChildInt(IsOptional, 1) != 0 ? 1 : 4;
    record->Base = property.GetChildString(PropertyType, std::string());
    record->UL = new UL(id.data());
    record->Tag = scheme ? 0 : static_cast<std::int32_t>(property.GetChildUInt(LocalIdentification));
    record->RefKind =
        property.GetChildInt(IsUniqueIdentifier, 0) != 0 ? RefKinds::Target : RefKinds::NotGiven;
    record->ExtendSubs = true;
    return record;
}

ClassRecordPtr ClassRecordFromDefinition(const MDObjectPtr& definition, bool scheme)
{
    const Bytes16 id = ClassIdentifier(*definition, "No valid Class ID for %s at %s\n");
    const std::string idText = UUID::FormatString(id.data(), -1);
    ClassRecordPtr record(new ClassRecord);
    record->Class = ClassRecord::SET;
    record->Name = definition->GetChildString(MetaDefinitionName, idText);
    record->Detail = definition->GetChildString(MetaDefinitionDescription, record->Name);
    record->Usage = 1;

    const MDObjectPtr parent = TargetOf(definition->FindChildByUL(ParentClass));
    if (!parent)
        DiagnosticError("No parent class specified for %s of %s at %s\n", definition->FullName().c_str(),
                        definition->GetChildString(MetaDefinitionName, "unnamed class").c_str(),
                        definition->SourceLocation().c_str());
    else if (parent == definition)
        DiagnosticNote("Found a self referenced ClassDef for class %s\n",
                       definition->GetChildString(MetaDefinitionName, "unnamed class").c_str());
    else
    {
        record->Base = IdentifierText(parent);
        if (record->Base.empty())
        {
            // The parent is named by an identifier it is given now, so that its own record derives the same.
            const UUID fresh;
            record->Base = UUID::FormatString(fresh.GetValue(), -1);
            parent->SetChildString(MetaDefinitionIdentification, record->Base);
        }
    }

    record->MinSize = KeyFormats::Tag2;
    record->MaxSize = LengthFormats::Bytes2;
    record->UL = new UL(id.data());
    record->RefKind = RefKinds::NotGiven;
    record->ExtendSubs = true;

    if (const MDObjectPtr properties = definition->FindChildByUL(Properties))
        for (const MDObject::Child& entry : *properties)
        {
            if (!entry.second)
                continue;
            const MDObjectPtr property = TargetOf(entry.second);
            if (!property)
            {
                ReportMissingTarget("class", entry.second);
                continue;
            }
            record->Children.push_back(PropertyRecord(*property, scheme));
        }
    return record;
}

// Makes the record an interpretation of the fallback type after a definition it could not use.
void Fallback(TypeRecord& record, const char* base)
{
    record.Kind = TypeRecord::INTERPRETATION;
    record.Base = base;
}

// The base of an array, set or string: the identifier text of the element type's definition.
void ElementBase(TypeRecord& record, const MDObject& definition, const UL& property, const char* message,
                 const char* fallback)
{
    if (const MDObjectPtr element = TargetOf(definition.FindChildByUL(property)))
    {
        record.Base = IdentifierText(element);
        return;
    }
    DiagnosticError(message, record.Name.c_str());
    Fallback(record, fallback);
}

void RecordMembers(TypeRecord& record, const MDObjectPtr& definition)
{
    const MDObjectPtr types = definition->FindChildByUL(MemberTypes);
    if (!types)
    {
        DiagnosticError("TypeDefinition for Record \"%s\" has no list of member types\n",
                        record.Name.c_str());
        Fallback(record, "UnknownType");
        return;
    }
    const MDObjectPtr namesValue = definition->FindChildByUL(MemberNames);
    const std::list<std::string> names = namesValue ? SplitStringArray(namesValue) : std::list<std::string>();
    if (types->size() != names.size())
    {
        DiagnosticError("Mismatch of MemberTypes and MemberNames counts: Types = %d, Names = %d\n",
                        static_cast<int>(types->size()), static_cast<int>(names.size()));
        Fallback(record, "UnknownType");
        return;
    }
    auto name = names.begin();
    for (const MDObject::Child& entry : *types)
    {
        const std::string& memberName = *name++;
        const MDObjectPtr member = TargetOf(entry.second);
        if (!member)
        {
            DiagnosticError("%s has sub-item %s which does not reference a valid definition\n",
                            definition->FullName().c_str(), memberName.c_str());
            continue;
        }
        record.Children.push_back(RecordMemberTypeRecord(member, memberName));
    }
}

void EnumerationValues(TypeRecord& record, const MDObject& definition)
{
    const MDObjectPtr elementType = TargetOf(definition.FindChildByUL(ElementType));
    if (!elementType)
    {
        DiagnosticError("TypeDefinition for Enumaration \"%s\" has no valid base type\n",
                        record.Name.c_str());
        Fallback(record, "UnknownType");
        return;
    }
    const MDObjectPtr values = definition.FindChildByUL(ElementValues);
    if (!values)
    {
        DiagnosticError("TypeDefinition for Enumaration \"%s\" has no list of element values\n",
                        record.Name.c_str());
        return;
    }
    record.Base = IdentifierText(elementType);
    const MDObjectPtr namesValue = definition.FindChildByUL(ElementNames);
    const std::list<std::string> names = namesValue ? SplitStringArray(namesValue) : std::list<std::string>();
    if (values->size() != names.size())
    {
        DiagnosticError("Mismatch of ElementValues and ElementNames in enumerated type %s counts: Values = "
                        "%d, Names = %d\n",
                        record.Name.c_str(), static_cast<int>(values->size()),
                        static_cast<int>(names.size()));
        return;
    }
    int index = 0;
    for (const std::string& name : names)
    {
        TypeRecordPtr value(new TypeRecord);
        value->Kind = TypeRecord::SUB;
        value->UL = ULFromNewUUID();
        value->Name = name;
        value->Detail = name;
        if (const MDObjectPtr element = values->FindChildByIndex(index++))
            value->Value = element->GetString(std::string());
        record.Children.push_back(value);
    }
}

// The records of one list: a scheme's definitions of the wanted class, every definition of a group's list.
template <typename Make>
void WalkList(const MDObjectPtr& list, const char* what, bool scheme, const UL& wanted, Make make)
{
    for (const MDObject::Child& entry : *list)
    {
        if (!entry.second)
            continue;
        const MDObjectPtr target = TargetOf(entry.second);
        if (!target)
        {
            ReportMissingTarget(what, entry.second);
            continue;
        }
        if (scheme && !target->IsKindOf(wanted))
            continue;
        make(target);
    }
}

// The identifier, name, description and label every type record carries, whatever its kind.
void IdentifyType(TypeRecord& r, const MDObject& definition)
{
    // Types are named by their identifier held as a UUID, halves swapped; the label is the identifier.
    std::array<std::uint8_t, 16> uuid;
    if (const std::optional<Bytes16> id = IdentifierOf(definition))
        uuid = SwapHalves(id->data());
    else
    {
        DiagnosticError("No valid Type ID for %s at %s\n", definition.FullName().c_str(),
                        definition.SourceLocation().c_str());
        const UUID fresh;
        uuid = fresh.GetArray();
    }
    const std::string idText = UUID::FormatString(uuid.data(), -1);

    r.Name = definition.GetChildString(MetaDefinitionName, idText);
    r.Detail = definition.GetChildString(MetaDefinitionDescription, r.Name);
    r.UL = new UL(SwapHalves(uuid.data()).data());
}

// Integers and characters, held in the file's byte order; false where the definition is of another kind.
bool ReadBasicType(TypeRecord& r, const MDObject& d)
{
    if (!d.IsKindOf(TypeDefinitionInteger) && !d.IsKindOf(TypeDefinitionCharacter))
        return false;
    r.Kind = TypeRecord::BASIC;
    r.Endian = true;
    r.Size = d.GetChildInt(Size, d.IsKindOf(TypeDefinitionInteger) ? 1 : 2);
    return true;
}

// References to sets, strong or weak; false where the definition is of another kind.
bool ReadReferenceType(TypeRecord& r, const MDObject& d)
{
    if (d.IsKindOf(TypeDefinitionStrongObjectReference))
    {
        r.Kind = TypeRecord::INTERPRETATION;
        r.Base = StrongRef.GetString();
        r.RefKind = RefKinds::Strong;
        if (const MDObjectPtr target = TargetOf(d.FindChildByUL(ReferencedType)))
            r.RefTarget = IdentifierText(target);
        else
        {
            DiagnosticError(
                "TypeDefinition for Strong Object Reference \"%s\" has no valid base ReferencedType\n",
                r.Name.c_str());
            r.RefTarget = InterchangeObject.GetString();
        }
    }
    else if (d.IsKindOf(TypeDefinitionWeakObjectReference))
    {
        r.Kind = TypeRecord::INTERPRETATION;
        r.Base = WeakRef.GetString();
        if (const MDObjectPtr target = TargetOf(d.FindChildByUL(WeakReferencedType)))
        {
            r.RefKind = RefKinds::Weak;
            r.RefTarget = IdentifierText(target);
        }
        else
            r.RefKind = RefKinds::Global;
    }
    else
        return false;
    return true;
}

// Arrays of one element type, of fixed or variable count, sets and strings; false where the definition is of
// another kind.
bool ReadArrayType(TypeRecord& r, const MDObject& d)
{
    if (d.IsKindOf(TypeDefinitionFixedArray))
    {
        r.Kind = TypeRecord::MULTIPLE;
        r.ArrayKind = ArrayKinds::Batch;
        r.Base = d.GetChildString(FixedArrayElementType, std::string());
        // Every object of the type is made with this many elements, so a count from the file is bounded by
        // what an item of these classes (2-byte lengths) could hold at one byte an element.
        const std::uint32_t count = d.GetChildUInt(ElementCount);
        if (count > MaxItemBytes)
        {
            DiagnosticError(
                "TypeDefinition for Fixed Array \"%s\" has %u elements, more than an item can hold\n",
                r.Name.c_str(), count);
            Fallback(r, "UnknownType");
        }
        else
            r.Size = static_cast<std::int32_t>(count);
    }
    else if (d.IsKindOf(TypeDefinitionVariableArray))
    {
        r.Kind = TypeRecord::MULTIPLE;
        r.ArrayKind = ArrayKinds::Batch;
        ElementBase(r, d, VariableArrayElementType,
                    "TypeDefinition for Variable Array \"%s\" has no valid base type\n", "UnknownType");
    }
    else if (d.IsKindOf(TypeDefinitionSet))
    {
        r.Kind = TypeRecord::MULTIPLE;
        r.ArrayKind = ArrayKinds::Batch;
        ElementBase(r, d, SetElementType, "TypeDefinition for Set \"%s\" has no valid base type\n",
                    "UnknownType");
    }
    else if (d.IsKindOf(TypeDefinitionString))
    {
        r.Kind = TypeRecord::MULTIPLE;
        r.ArrayKind = ArrayKinds::String;
        ElementBase(r, d, StringElementType, "TypeDefinition for String \"%s\" has no valid base type\n",
                    "UTF16");
    }
    else
        return false;
    return true;
}

// Another type under a new name, and streams read as raw bytes; false where the definition is of another
// kind.
bool ReadInterpretedType(TypeRecord& r, const MDObject& d)
{
    if (d.IsKindOf(TypeDefinitionRename))
    {
        r.Kind = TypeRecord::INTERPRETATION;
        if (const MDObjectPtr renamed = d.FindChildByUL(RenamedType))
        {
            const MDObjectPtr target = TargetOf(renamed);
            r.Base = target ? IdentifierText(target) : renamed->GetString(std::string());
        }
    }
    else if (d.IsKindOf(TypeDefinitionStream))
    {
        r.Kind = TypeRecord::INTERPRETATION;
        r.Base = "RAW";
    }
    else
        return false;
    return true;
}

// Records of named members and enumerations of named values; false where the definition is of another kind.
bool ReadCompoundType(TypeRecord& r, const MDObjectPtr& definition)
{
    if (definition->IsKindOf(TypeDefinitionRecord))
    {
        r.Kind = TypeRecord::COMPOUND;
        RecordMembers(r, definition);
    }
    else if (definition->IsKindOf(TypeDefinitionEnumeration))
    {
        r.Kind = TypeRecord::ENUM;
        EnumerationValues(r, *definition);
    }
    else
        return false;
    return true;
}

} // namespace

TypeRecordPtr RecordMemberTypeRecord(const MDObjectPtr& memberType, const std::string& memberName)
{
    TypeRecordPtr record(new TypeRecord);
    record->Kind = TypeRecord::SUB;
    record->UL = ULFromNewUUID();
    record->Name = memberName;
    record->Detail = memberName;
    if (const MDObjectPtr id = memberType->FindChildByUL(MetaDefinitionIdentification))
        record->Base = id->GetString(std::string());
    else
    {
        DiagnosticError("TypeDefinition for record item \"%s\" has no valid base type\n", memberName.c_str());
        record->Base = "UnknownType";
    }
    return record;
}

TypeRecordPtr TypeRecordFromDefinition(const MDObjectPtr& definition)
{
    TypeRecordPtr record(new TypeRecord);
    TypeRecord& r = *record;
    const MDObject& d = *definition;
    IdentifyType(r, d);
    if (ReadBasicType(r, d) || ReadReferenceType(r, d) || ReadArrayType(r, d) || ReadInterpretedType(r, d) ||
        ReadCompoundType(r, definition))
        return record;
    DiagnosticNote("Skipping %s\n", r.Name.c_str());
    return TypeRecordPtr();
}

bool LoadMetaDefinitions(const MDObjectPtr& group, const SymbolSpacePtr& space)
{
    const bool scheme = group->IsKindOf(ExtensionScheme);

    bool typesDone = false;
    const MDObjectPtr typeList =
        scheme ? group->FindChildByName("MetaDefinitions") : group->FindChildByUL(TypeDefinitions);
    if (!typeList)
        DiagnosticError("Unable to load types from %s at %s, no TypeDefinitions list found\n",
                        group->FullName().c_str(), group->SourceLocation().c_str());
    else
    {
        TypeRecordList types;
        WalkList(typeList, "type", scheme, TypeDefinitionClass,
                 [&types](const MDObjectPtr& definition)
                 {
                     if (TypeRecordPtr record = TypeRecordFromDefinition(definition))
                         types.push_back(record);
                 });
        typesDone = DefineTypesFromRecords(types, space) == 0;
    }

    const MDObjectPtr classList =
        scheme ? group->FindChildByName("MetaDefinitions") : group->FindChildByUL(ClassDefinitions);
    if (!classList)
    {
        DiagnosticError("Unable to load classes from %s at %s, no ClassDefinitions list found\n",
                        group->FullName().c_str(), group->SourceLocation().c_str());
        return false;
    }
    ClassRecordList classes;
    WalkList(classList, "class", scheme, ClassDefinitionClass,
             [&classes, scheme](const MDObjectPtr& definition)
             { classes.push_back(ClassRecordFromDefinition(definition, scheme)); });
    const bool classesDone = DefineClassesFromRecords(classes, space) == 0;
    return typesDone && classesDone;
}

} // namespace mxf
