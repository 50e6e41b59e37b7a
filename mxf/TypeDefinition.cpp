#include "mxf/TypeDefinition.h"

#include "mxf/BuiltInDictionary.h"
#include "mxf/Diagnostics.h"
#include "mxf/Hex.h"
#include "mxf/IdentifierText.h"
#include "mxf/Kinds.h"
#include "mxf/Label.h"
#include "mxf/UUID.h"

#include <string_view>
#include <vector>

namespace mxf
{

namespace
{

enum class Outcome
{
    Done,
    Deferred,
};

MDTypePtr FindBaseType(const std::string& base)
{
    return FindTypeByNameOrUL(base, DefaultSymbolSpace(), false);
}

std::string ULTextOf(const ULPtr& label)
{
    return label ? label->GetString() : std::string();
}

// One pass over one record list.
class TypePass
{
public:
    explicit TypePass(TypeRecordList& deferred) : Deferred(deferred) {}

    void Define(const TypeRecordPtr& record, const SymbolSpacePtr& space);

private:
    Outcome Basic(TypeRecord& r, MDTypePtr type);
    Outcome Interpretation(TypeRecord& r, MDTypePtr type);
    Outcome Multiple(TypeRecord& r, MDTypePtr type);
    Outcome Compound(TypeRecord& r, MDTypePtr type);
    Outcome Enumeration(TypeRecord& r, MDTypePtr type);
    void DefineLabel(TypeRecord& r);

    // The member types of a compound, one for each member record; false when the record is dropped.
    bool CompoundMembers(TypeRecord& r, const MDTypePtr& existing, const std::vector<MDTypePtr>& bases,
                         std::vector<MDTypePtr>& members);
    void PairMembers(TypeRecord& r, MDType& compound, bool isNew, const std::vector<MDTypePtr>& members);

    static MDTypePtr BaseOf(const TypeRecord& r, const char* kind);
    void Complete(TypeRecord& r, MDType& type, bool isNew, const char* defaultTraits) const;
    void NewType(TypeRecord& r, MDType& type, const char* defaultTraits) const;
    static void ApplyRefSettings(TypeRecord& r, MDType& type);

    TypeRecordList& Deferred;
    bool Generated = false;
};

void TypePass::Define(const TypeRecordPtr& record, const SymbolSpacePtr& space)
{
    TypeRecord& r = *record;
    if (!r.SymbolSpace)
        r.SymbolSpace = space;
    Generated = !r.UL;
    if (Generated)
        r.UL = ULFromNewUUID();
    MDTypePtr existing = MDType::FindByUL(*r.UL);
    if (existing && !r.Name.empty() && r.Name != existing->Name)
        DiagnosticNote("%s is assigned to type %s - the dictionary entry named %s has the same identifier so "
                       "simply updates parts of the definition\n",
                       r.UL->GetString().c_str(), existing->Name.c_str(), r.Name.c_str());

    Outcome outcome = Outcome::Done;
    switch (r.Kind)
    {
    case TypeRecord::BASIC:
        outcome = Basic(r, existing);
        break;
    case TypeRecord::INTERPRETATION:
        outcome = Interpretation(r, existing);
        break;
    case TypeRecord::MULTIPLE:
        outcome = Multiple(r, existing);
        break;
    case TypeRecord::COMPOUND:
        outcome = Compound(r, existing);
        break;
    case TypeRecord::ENUM:
        outcome = Enumeration(r, existing);
        break;
    case TypeRecord::LABEL:
        DefineLabel(r);
        break;
    default:
        break; // a member or value outside its parent, or no kind at all
    }
    if (outcome == Outcome::Deferred)
        Deferred.push_back(record);
}

// The traits of a new type, and its symbol.
void TypePass::NewType(TypeRecord& r, MDType& type, const char* defaultTraits) const
{
    MDTraitsPtr traits;
    if (!Generated)
        traits = MDType::TraitsByUL(*r.UL, std::string());
    if (!traits)
        traits = MDType::TraitsByName(r.Name, defaultTraits);
    if (traits)
        type.Traits = traits;
    r.SymbolSpace->AddSymbol(r.Name, r.UL);
}

void TypePass::ApplyRefSettings(TypeRecord& r, MDType& type)
{
    if (r.RefKind == RefKinds::Nested)
    {
        type.RefType = RefKinds::Strong;
        type.IsNested = true;
    }
    else if (r.RefKind != RefKinds::NotGiven)
        type.RefType = r.RefKind;
    if (!r.RefTarget.empty())
        type.RefTargetName = r.RefTarget;
}

// The base of an interpretation, multiple or enumeration; null, and noted, while it is not defined.
MDTypePtr TypePass::BaseOf(const TypeRecord& r, const char* kind)
{
    MDTypePtr base = FindBaseType(r.Base);
    if (!base)
        DiagnosticNote("%s \"%s\" is based on (as yet) undefined base \"%s\"\n", kind, r.Name.c_str(),
                       r.Base.c_str());
    return base;
}

// The rest of a basic, interpretation or multiple type, new or existing.
void TypePass::Complete(TypeRecord& r, MDType& type, bool isNew, const char* defaultTraits) const
{
    type.Baseline = r.Baseline;
    if (isNew)
        NewType(r, type, defaultTraits);
    ApplyRefSettings(r, type);
}

Outcome TypePass::Basic(TypeRecord& r, MDTypePtr type)
{
    const bool isNew = !type;
    if (isNew)
        type = MDType::DefineBasic(r.Name, r.Detail, r.UL, r.Size);
    if (r.Endian)
        type->Endian = true;
    if (r.ArrayKind == ArrayKinds::String)
        type->Character = true;
    Complete(r, *type, isNew, "Default-Basic");
    return Outcome::Done;
}

Outcome TypePass::Interpretation(TypeRecord& r, MDTypePtr type)
{
    const MDTypePtr base = BaseOf(r, "Interpretation");
    if (!base)
        return Outcome::Deferred;
    const bool isNew = !type;
    if (isNew)
        type = MDType::DefineInterpretation(r.Name, r.Detail, base, r.UL, r.Size);
    if (r.ArrayKind == ArrayKinds::String)
        type->Character = true;
    Complete(r, *type, isNew, "");
    return Outcome::Done;
}

Outcome TypePass::Multiple(TypeRecord& r, MDTypePtr type)
{
    const MDTypePtr element = BaseOf(r, "Multiple");
    if (!element)
        return Outcome::Deferred;
    const bool isNew = !type;
    if (isNew)
        type = MDType::DefineMultiple(r.Name, r.Detail, element, r.UL, r.Size);
    if (r.ArrayKind != ArrayKinds::Plain)
        type->ArrayClass = r.ArrayKind;
    Complete(r, *type, isNew, "Default-Array");
    return Outcome::Done;
}

Outcome TypePass::Compound(TypeRecord& r, MDTypePtr type)
{
    std::vector<MDTypePtr> bases;
    for (const TypeRecordPtr& c : r.Children)
    {
        bases.push_back(FindBaseType(c->Base));
        if (!bases.back())
        {
            DiagnosticNote("Compound item \"%s\" in \"%s\" is based on (as yet) undefined base \"%s\"\n",
                           c->Name.c_str(), r.Name.c_str(), c->Base.c_str());
            return Outcome::Deferred;
        }
    }
    std::vector<MDTypePtr> members;
    if (!CompoundMembers(r, type, bases, members))
        return Outcome::Done;
    const bool isNew = !type;
    if (isNew)
    {
        type = MDType::DefineCompound(r.Name, r.Detail, r.UL);
        NewType(r, *type, "Default-Compound");
    }
    type->Baseline = r.Baseline;
    PairMembers(r, *type, isNew, members);
    return Outcome::Done;
}

bool TypePass::CompoundMembers(TypeRecord& r, const MDTypePtr& existing, const std::vector<MDTypePtr>& bases,
                               std::vector<MDTypePtr>& members)
{
    // An existing compound's member of the same name (and a matching label) is used again; a clash of
    // name or label with another identity drops the record. Members it does not have are made anew.
    static const std::map<std::string, MDTypePtr> none;
    members.assign(r.Children.size(), MDTypePtr());
    std::size_t index = 0;
    for (const TypeRecordPtr& c : r.Children)
    {
        for (const auto& [name, member] : existing ? existing->Members() : none)
        {
            const bool sameName = name == c->Name;
            const bool sameUL = c->UL && member->TypeUL && member->TypeUL->Matches(*c->UL);
            if (!sameName && !sameUL)
                continue;
            if (sameName && (!c->UL || sameUL))
                members[index] = member;
            else if (sameName)
            {
                DiagnosticError("Member %s of %s has UL %s in new dictionary, but already found member with "
                                "that name and UL %s\n",
                                c->Name.c_str(), r.Name.c_str(), ULTextOf(c->UL).c_str(),
                                ULTextOf(member->TypeUL).c_str());
                return false;
            }
            else
            {
                DiagnosticError("Member %s of %s has UL %s in new dictionary, but already found member with "
                                "that UL named %s\n",
                                c->Name.c_str(), r.Name.c_str(), ULTextOf(c->UL).c_str(), name.c_str());
                return false;
            }
            break;
        }
        ++index;
    }
    index = 0;
    for (const TypeRecordPtr& c : r.Children)
    {
        if (!members[index])
            members[index] =
                DefineNamedInterpretation(c->Name, bases[index], c->UL ? c->UL : ULFromNewUUID(), c->Size);
        ++index;
    }
    return true;
}

void TypePass::PairMembers(TypeRecord& r, MDType& compound, bool isNew, const std::vector<MDTypePtr>& members)
{
    auto member = members.begin();
    for (const TypeRecordPtr& c : r.Children)
    {
        const MDTypePtr& memberType = *member++;
        bool sameUL = false;
        for (const MDTypePtr& had : compound.ChildOrder())
            sameUL = sameUL || (c->UL && had->TypeUL && *had->TypeUL == *c->UL);
        if (compound.Members().contains(c->Name))
        {
            if (isNew)
                DiagnosticError("Tried to define two sub-items called \"%s\" in type %s\n", c->Name.c_str(),
                                r.Name.c_str());
            else
                DiagnosticNote("Skipping redefinition of sub-item %s of %s\n", c->Name.c_str(),
                               r.Name.c_str());
        }
        else if (sameUL)
        {
            if (isNew)
                DiagnosticError("Tried to define two sub-items with UL \"%s\" in type %s\n",
                                c->UL->GetString().c_str(), r.Name.c_str());
            else
                DiagnosticNote("Skipping redefinition of sub-item %s of %s\n", c->UL->GetString().c_str(),
                               r.Name.c_str());
        }
        else
            compound.InsertChild(c->Name, memberType);
    }
}

Outcome TypePass::Enumeration(TypeRecord& r, MDTypePtr type)
{
    const MDTypePtr valueType = BaseOf(r, "Enumeration");
    if (!valueType)
        return Outcome::Deferred;
    if (!type)
    {
        type = MDType::DefineEnumeration(r.Name, r.Detail, valueType, r.UL);
        if (!type)
        {
            DiagnosticError("Failed to build enumerated type %s\n", r.Name.c_str());
            return Outcome::Done;
        }
        NewType(r, *type, "Default-Enum");
    }
    type->Baseline = r.Baseline;
    for (const TypeRecordPtr& c : r.Children)
        type->AddEnumeratedValueText(c->Name, c->Value);
    return Outcome::Done;
}

void TypePass::DefineLabel(TypeRecord& r)
{
    // Mask bytes that the text does not reach stay 0: those bits must match.
    std::uint8_t mask[16] = {};
    std::string_view text = r.Value;
    const bool masked = !r.Value.empty() && HexBytesFromText(text, sizeof mask, mask) > 0;
    if (Label::Register(r.Name, r.Detail, r.UL, masked ? mask : nullptr))
    {
        r.SymbolSpace->AddSymbol(r.Name, r.UL);
        return;
    }
    if (const LabelPtr known = Label::Find(*r.UL); known && known->GetName() != r.Name)
        DiagnosticNote("Label with UL %s already exists with name %s \n", r.UL->GetString().c_str(),
                       r.Name.c_str());
}

} // namespace

MDTypePtr FindTypeByNameOrUL(const std::string& name, const SymbolSpacePtr& space, bool searchAll)
{
    if (MDTypePtr type = MDType::FindByName(name, space, searchAll))
        return type;
    const ULPtr label = ULFromText(name);
    return label ? MDType::FindByUL(*label) : MDTypePtr();
}

MDTypePtr DefineNamedInterpretation(const std::string& name, const MDTypePtr& base, const ULPtr& label,
                                    std::int32_t size)
{
    return MDType::DefineInterpretation(name, name, base, label, size);
}

int DefineTypesFromRecords(const TypeRecordList& records, const SymbolSpacePtr& space)
{
    InitBuiltInDictionary();
    TypeRecordList deferred;
    TypePass pass(deferred);
    for (const TypeRecordPtr& record : records)
        pass.Define(record, space);
    if (deferred.empty())
        return 0;
    if (deferred.size() == records.size())
    {
        DiagnosticError(
            "Undefined base type or circular reference in types definitions (first unresolvable = "
            "%s)\n",
            deferred.front()->Name.c_str());
        for (const TypeRecordPtr& record : deferred)
            DiagnosticNote("Unresolved Type: %s\n", record->Name.c_str());
        return -1;
    }
    DefineTypesFromRecords(deferred, DefaultSymbolSpace());
    return 0;
}

} // namespace mxf
