// Defining and extending class types from class records, one record and its members at a time.
#include "mxf/ClassDefinition.h"

#include "mxf/Diagnostics.h"
#include "mxf/IdentifierText.h"
#include "mxf/Kinds.h"
#include "mxf/MDOType.h"
#include "mxf/MDOTypeRegistry.h"
#include "mxf/MDObject.h"
#include "mxf/TypeDefinition.h"
#include "mxf/UUID.h"

#include <atomic>
#include <cstring>
#include <vector>

namespace mxf
{

namespace
{

struct RefSettings
{
    std::int32_t Kind;
    std::string Target;
    bool Nested;
};

bool HasAncestor(const MDOType& type, const MDOType* ancestor)
{
    for (const MDOType* base = type.GetBase(); base; base = base->GetBase())
        if (base == ancestor)
            return true;
    return false;
}

// What one record and the members it cannot do without change, held back until all of them are defined:
// new classes enter their parent, the registry and their symbol space only then, so that a failure leaves
// no class half in place and a later retry defines each member once.
struct Unit
{
    struct NewClass
    {
        MDOTypePtr Type;
        MDOTypePtr Parent;
        SymbolSpacePtr Space;
    };
    std::vector<NewClass> Classes;                          // in the order they were completed
    std::vector<std::pair<MDOTypePtr, std::int32_t>> Taken; // parents whose pending reference a class took
    std::vector<MDOTypePtr> Extended; // existing classes whose derived classes take their new members

    // A class of this unit that a later record of the unit names again, so that it is not made twice.
    MDOTypePtr Find(const UL& label) const
    {
        for (const NewClass& entry : Classes)
            if (*entry.Type->TypeUL == label)
                return entry.Type;
        return MDOTypePtr();
    }
    MDOTypePtr Find(const std::string& fullName, const SymbolSpacePtr& space) const
    {
        for (const NewClass& entry : Classes)
            if (entry.Space == space && entry.Type->FullName() == fullName)
                return entry.Type;
        return MDOTypePtr();
    }
    // The members the class has, and those it gains when the unit commits.
    std::vector<MDOTypePtr> MembersOf(const MDOType& type) const
    {
        std::vector<MDOTypePtr> members(type.ChildList().begin(), type.ChildList().end());
        for (const NewClass& entry : Classes)
            if (entry.Parent.GetPtr() == &type)
                members.push_back(entry.Type);
        return members;
    }

    // Members reach the classes derived from an extended class only once they are its children.
    void Commit()
    {
        for (const NewClass& entry : Classes)
        {
            if (entry.Parent)
                entry.Parent->InsertChild(entry.Type);
            entry.Type->Register();
            entry.Space->AddSymbol(entry.Type->FullName(), entry.Type->TypeUL);
        }
        for (const MDOTypePtr& type : Extended)
            if (!type->ChildList().empty())
                for (const MDOTypePtr& other : MDOTypeRegistry::Get().Snapshot())
                    if (other != type && HasAncestor(*other, type.GetPtr()))
                        other->MergeBaseChildren(type);
    }

    void Undo()
    {
        for (const auto& [parent, kind] : Taken)
            parent->RefType = kind;
    }
};

std::atomic<bool> OldStyleVectorNoted = false;

MDOTypePtr FindClassByNameOrUL(const std::string& name, const SymbolSpacePtr& space)
{
    if (MDOTypePtr type = MDOType::FindByName(name, space, true))
        return type;
    const ULPtr label = ULFromText(name);
    return label ? MDOType::FindByUL(*label) : MDOTypePtr();
}

void SetBytes(DataChunk& chunk, const UL& label)
{
    chunk.Resize(16);
    std::memcpy(chunk.Data(), label.GetValue(), 16);
}

class ClassBuilder
{
public:
    ClassBuilder(const ClassRecordPtr& record, const SymbolSpacePtr& space, ClassRecordList* deferred,
                 const MDOTypePtr& parent, Unit& unit)
        : R(*record), Space(record->SymbolSpace ? record->SymbolSpace : space), Deferred(deferred),
          Parent(parent), Work(unit), Apply{record->RefKind, record->RefTarget, false}
    {
        if (!Parent && R.ParentUL)
            Parent = MDOType::FindByUL(*R.ParentUL);
        RootName = Parent ? Parent->FullName() + "/" : std::string();
    }

    MDOTypePtr Build();

private:
    MDOTypePtr FindExisting(const ULPtr& label) const;
    MDOTypePtr NewType();
    MDOTypePtr NewItem();
    MDOTypePtr NewDerived();
    MDOTypePtr NewOldStyle();
    void JoinParent(MDOType& type);
    void ApplyValueTypeRefs(const MDType& valueType);
    void Extend(MDOType& type);
    void ApplyRefSettings(MDOType& type) const;
    void ApplyDefaults(MDOType& type) const;
    bool DefineMembers(MDOType& type);

    ClassRecord& R;
    SymbolSpacePtr Space;
    ClassRecordList* Deferred;
    MDOTypePtr Parent;
    Unit& Work;
    RefSettings Apply;
    std::string RootName;
};

MDOTypePtr ClassBuilder::FindExisting(const ULPtr& label) const
{
    if (!R.UL)
    {
        const MDOTypePtr type = Work.Find(RootName + R.Name, Space);
        return type ? type : MDOType::FindByName(RootName + R.Name, Space, false);
    }
    MDOTypePtr type = Parent ? Parent->FindChildByUL(*label) : MDOTypePtr();
    if (!type)
        type = Work.Find(*label);
    return type ? type : MDOType::FindByUL(*label);
}

MDOTypePtr ClassBuilder::Build()
{
    const ULPtr label = R.UL ? R.UL : ULFromNewUUID();
    MDOTypePtr type = FindExisting(label);
    const bool isNew = !type;
    if (isNew)
    {
        type = NewType();
        if (!type)
            return MDOTypePtr();
        JoinParent(*type);
    }
    else
        Extend(*type);

    ApplyRefSettings(*type);
    if (R.Tag != 0)
    {
        type->Key.Resize(0);
        type->StaticTag = static_cast<Tag>(R.Tag);
    }
    if (isNew)
    {
        SetBytes(type->GlobalKey, *label);
        if (R.Tag == 0)
            SetBytes(type->Key, *label);
        type->TypeUL = label;
        type->Baseline = R.Baseline;
    }
    ApplyDefaults(*type);
    if (!DefineMembers(*type))
        return MDOTypePtr();

    if (isNew)
        Work.Classes.push_back({type, Parent, Space});
    else if (R.ExtendSubs)
        Work.Extended.push_back(type);
    return type;
}

MDOTypePtr ClassBuilder::NewType()
{
    if (R.Class == ClassRecord::ITEM)
        return NewItem();
    if (!R.Base.empty())
        return NewDerived();
    switch (R.Class)
    {
    case ClassRecord::VECTOR:
    case ClassRecord::ARRAY:
        return NewOldStyle();
    case ClassRecord::PACK:
        if (R.MaxSize > 5)
            break;
        return new MDOType(MDOType::PACK, RootName, R.Name, R.Detail, MDTypePtr(), 0, R.MaxSize, 0, 0,
                           R.Usage);
    case ClassRecord::SET:
        if (R.MinSize > 7)
        {
            DiagnosticError("Item %s has an invalid tag size of %u\n", R.Name.c_str(),
                            static_cast<unsigned>(R.MinSize));
            return MDOTypePtr();
        }
        if (R.MaxSize > 5)
            break;
        return new MDOType(MDOType::SET, RootName, R.Name, R.Detail, MDTypePtr(), R.MinSize, R.MaxSize, 0, 0,
                           R.Usage);
    case ClassRecord::CONTAINER:
        DiagnosticError(
            "Item %s is a container of an unspecified type - is this an attempt to extend a set or "
            "pack that has not yet been defined?\n",
            R.Name.c_str());
        return MDOTypePtr();
    default:
        DiagnosticError("Invalid definition for class %s\n", R.Name.c_str());
        return MDOTypePtr();
    }
    DiagnosticError("Item %s has an invalid length size of %u\n", R.Name.c_str(),
                    static_cast<unsigned>(R.MaxSize));
    return MDOTypePtr();
}

MDOTypePtr ClassBuilder::NewItem()
{
    const MDTypePtr valueType = FindTypeByNameOrUL(R.Base, Space, true);
    if (!valueType)
    {
        DiagnosticError("Item %s is of type %s which is not known\n", R.Name.c_str(), R.Base.c_str());
        return MDOTypePtr();
    }
    int kind = MDOType::ITEM;
    if (valueType->Class == MDType::TYPEARRAY)
        kind = valueType->ArrayClass == ArrayKinds::Batch ? MDOType::BATCH : MDOType::ARRAY;
    return new MDOType(kind, RootName, R.Name, R.Detail, valueType, KeyFormats::None, LengthFormats::None,
                       R.MinSize, R.MaxSize, R.Usage);
}

MDOTypePtr ClassBuilder::NewDerived()
{
    const MDOTypePtr base = FindClassByNameOrUL(R.Base, Space);
    if (!base)
    {
        DiagnosticNote("Base type %s not found when trying to define %s\n", R.Base.c_str(), R.Name.c_str());
        return MDOTypePtr();
    }
    DiagnosticNote("Deriving %s from %s\n", R.Name.c_str(), base->Name.c_str());
    MDOTypePtr type(new MDOType);
    type->RootName = RootName;
    type->Name = R.Name;
    type->KeyFormat = KeyFormats::FromBase;
    type->LenFormat = LengthFormats::FromBase;
    if (base->ContainerKind == MDOType::SET || base->ContainerKind == MDOType::PACK)
    {
        if (R.MinSize <= KeyFormats::FromBase)
            type->KeyFormat = R.MinSize;
        if (R.MaxSize <= LengthFormats::FromBase)
            type->LenFormat = R.MaxSize;
    }
    type->InheritFromBase(base);
    type->Detail = R.Detail;
    type->Usage = R.Usage;
    return type;
}

MDOTypePtr ClassBuilder::NewOldStyle()
{
    const bool isArray = R.Class == ClassRecord::ARRAY;
    const char* what = isArray ? "array" : "batch";
    if (!OldStyleVectorNoted.exchange(true))
        DiagnosticNote("Old style vector definitions used (e.g. for %s %s)\n", what, R.Name.c_str());
    if (R.Children.size() != 1)
    {
        DiagnosticError("Unable to handle complex old-style %s %s\n", what, R.Name.c_str());
        return MDOTypePtr();
    }
    const ClassRecord& c = *R.Children.front();
    MDTypePtr element = MDType::FindByName(c.Base, DefaultSymbolSpace(), false);
    if (!element)
    {
        DiagnosticError("Unable to build %s of unknown item %s in %s\n", what, c.Base.c_str(),
                        R.Name.c_str());
        return MDOTypePtr();
    }
    if (c.RefKind != RefKinds::None)
    {
        element = DefineNamedInterpretation(c.Name, element, ULFromNewUUID(), 0);
        element->RefType = c.RefKind == RefKinds::Nested ? RefKinds::Strong : c.RefKind;
        element->IsNested = c.RefKind == RefKinds::Nested;
        element->RefTargetName = c.RefTarget;
    }
    const MDTypePtr valueType = MDType::DefineMultipleNamed(c.Name, element, ULFromNewUUID());
    if (MDTraitsPtr traits = MDType::TraitsByName("Default-Array", std::string()))
        valueType->Traits = traits;
    Apply = isArray ? RefSettings{RefKinds::None, std::string(), false}
                    : RefSettings{c.RefKind, c.RefTarget, false};
    return new MDOType(isArray ? MDOType::ARRAY : MDOType::BATCH, RootName, R.Name, R.Detail, valueType,
                       KeyFormats::None, LengthFormats::None, 0, 0, R.Usage);
}

// A new class joins its parent (which it enters only with the rest of its unit), takes over the parent's
// pending reference settings, and takes what its value type says of references.
void ClassBuilder::JoinParent(MDOType& type)
{
    if (Parent)
    {
        type.SetParent(Parent);
        if (Parent->RefType != RefKinds::None)
        {
            Apply = {Parent->RefType, Parent->RefTargetName, Parent->IsNested};
            Work.Taken.emplace_back(Parent, Parent->RefType);
            Parent->RefType = RefKinds::None;
        }
        type.RootName = RootName;
    }
    if (type.ValueType)
        ApplyValueTypeRefs(*type.ValueType);
}

void ClassBuilder::ApplyValueTypeRefs(const MDType& valueType)
{
    MDType* base = valueType.GetBase();
    const bool followsBase =
        base && (valueType.Class == MDType::INTERPRETATION || valueType.Class == MDType::TYPEARRAY ||
                 valueType.Class == MDType::ENUM);
    if (Apply.Kind == RefKinds::NotGiven)
    {
        Apply.Kind = valueType.RefType;
        if (Apply.Kind == RefKinds::NotGiven)
            Apply.Kind = followsBase ? base->EffectiveRefKind() : RefKinds::None;
        Apply.Nested = valueType.IsNested || (followsBase && base->IsNestedRef());
    }
    if (Apply.Target.empty())
    {
        if (!valueType.RefTargetName.empty())
            Apply.Target = valueType.RefTargetName;
        else if (followsBase)
            Apply.Target = base->EffectiveRefTargetName();
    }
}

void ClassBuilder::Extend(MDOType& type)
{
    if (R.Class == ClassRecord::ITEM)
        type.Redefine(R.Detail, R.Base, R.MinSize, R.MaxSize);
    else if (!R.Detail.empty())
        type.Detail = R.Detail;
    if (!Parent || type.GetParent() == Parent.GetPtr() || !type.TypeUL)
        return;
    for (const MDOTypePtr& member : Parent->ChildList())
        if (member->TypeUL && member->TypeUL->Matches(*type.TypeUL))
            return;
    Parent->InsertChild(MDOTypePtr(&type));
    DiagnosticNote("Adding %s to secondary parent %s\n", type.FullName().c_str(), Parent->FullName().c_str());
}

// A class without members keeps the settings for the first member defined into it; one with members gives
// them to its 16-byte members.
void ClassBuilder::ApplyRefSettings(MDOType& type) const
{
    if (Apply.Kind == RefKinds::NotGiven)
        return;
    const auto give = [this](MDOType& to)
    {
        to.RefType = Apply.Kind;
        to.RefTargetName = Apply.Target;
        to.IsNested = Apply.Nested;
    };
    const std::vector<MDOTypePtr> members = Work.MembersOf(type);
    if (members.empty())
        give(type);
    else
        for (const MDOTypePtr& child : members)
            if (child->MinSize == 16 && child->MaxSize == 16)
                give(*child);
}

void ClassBuilder::ApplyDefaults(MDOType& type) const
{
    if (!type.ValueType)
        return;
    const auto encode = [&type](const std::string& text, DataChunk& into)
    {
        MDObjectPtr value(new MDObject(type.ValueType.GetPtr()));
        value->SetString(text);
        if (const DataChunkPtr bytes = value->EncodeValue(PrimerPtr()))
            CopyInto(into, *bytes);
    };
    if (R.HasDefault)
        encode(R.Default, type.Default);
    if (R.HasDValue)
        encode(R.DValue, type.DValue);
}

bool ClassBuilder::DefineMembers(MDOType& type)
{
    if (R.Class == ClassRecord::VECTOR || R.Class == ClassRecord::ARRAY)
        return true;
    const MDOTypePtr self(&type);
    for (const ClassRecordPtr& c : R.Children)
    {
        c->ExtendSubs = c->ExtendSubs && R.ExtendSubs;
        // With a deferral list each member stands on its own; without one, it joins this record's unit.
        MDOTypePtr member = Deferred ? MDOType::DefineFromClassRecord(c, self, Space)
                                     : ClassBuilder(c, Space, nullptr, self, Work).Build();
        if (member)
            continue;
        if (!Deferred)
            return false;
        c->ParentUL = type.TypeUL;
        Deferred->push_back(c);
    }
    return true;
}

} // namespace

MDOTypePtr MDOType::DefineFromClassRecord(const ClassRecordPtr& record, const SymbolSpacePtr& space,
                                          ClassRecordList* deferred, const MDOTypePtr& parent)
{
    Unit unit;
    MDOTypePtr type = ClassBuilder(record, space, deferred, parent, unit).Build();
    if (type)
        unit.Commit();
    else
        unit.Undo();
    return type;
}

MDOTypePtr MDOType::DefineFromClassRecord(const ClassRecordPtr& record, const MDOTypePtr& parent,
                                          const SymbolSpacePtr& space)
{
    return DefineFromClassRecord(record, space, nullptr, parent);
}

void MDOType::Redefine(const std::string& detail, const std::string& typeName, std::int32_t minSize,
                       std::int32_t maxSize)
{
    if (!detail.empty())
        Detail = detail;
    if (!typeName.empty())
    {
        if (MDTypePtr type = FindTypeByNameOrUL(typeName, DefaultSymbolSpace(), false))
            ValueType = type;
        else
            DiagnosticError("Attempt to redefine %s to be of type %s which is not known\n",
                            FullName().c_str(), typeName.c_str());
    }
    if (minSize != 0)
        MinSize = minSize;
    if (maxSize != 0)
        MaxSize = maxSize;
}

std::size_t CountClassRecords(const ClassRecordList& records)
{
    // A list of the lists still to count, not a call per level: the document chooses how deep they nest.
    std::size_t count = 0;
    std::vector<const ClassRecordList*> waiting{&records};
    while (!waiting.empty())
    {
        const ClassRecordList* list = waiting.back();
        waiting.pop_back();
        count += list->size();
        for (const ClassRecordPtr& record : *list)
            if (!record->Children.empty())
                waiting.push_back(&record->Children);
    }
    return count;
}

int DefineClassesFromRecords(const ClassRecordList& records, const SymbolSpacePtr& space)
{
    ClassRecordList deferred;
    for (const ClassRecordPtr& record : records)
        if (!MDOType::DefineFromClassRecord(record, space, &deferred, MDOTypePtr()))
            deferred.push_back(record);
    if (!deferred.empty())
    {
        if (deferred.size() == records.size() && CountClassRecords(deferred) == CountClassRecords(records))
        {
            DiagnosticError("Undefined base class or circular reference in class definitions (first "
                            "unresolvable = %s)\n",
                            deferred.front()->Name.c_str());
            for (const ClassRecordPtr& record : deferred)
                DiagnosticNote("Unresolved Class: %s\n", record->Name.c_str());
            return -1;
        }
        DefineClassesFromRecords(deferred, space);
    }
    MDOType::BuildStaticPrimer();
    return 0;
}

} // namespace mxf
