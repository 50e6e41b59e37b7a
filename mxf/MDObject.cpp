// Making metadata objects: the five constructors and the steps they share, which give a new object
// everything its class or value type asks for.
#include "mxf/MDObject.h"

#include "mxf/BuiltInDictionary.h"
#include "mxf/Diagnostics.h"
#include "mxf/Kinds.h"
#include "mxf/Labels.h"
#include "mxf/MemoryBudget.h"

#include <atomic>
#include <cstring>
#include <string_view>

namespace mxf
{

namespace
{

// The dictionary's stand-ins for what it does not define, looked up by name once they exist: a file of
// unknown items asks for them once an item. Types stay registered for the life of the process, so the
// pointer kept stays good.
template <class Type> SmartPtr<Type> FindOnce(std::atomic<Type*>& found, const char* name)
{
    if (Type* type = found.load(std::memory_order_acquire))
        return SmartPtr<Type>(type);
    SmartPtr<Type> type = Type::FindByName(name, DefaultSymbolSpace(), false);
    found.store(type.GetPtr(), std::memory_order_release);
    return type;
}

MDOTypePtr UnknownClass()
{
    static std::atomic<MDOType*> found{nullptr};
    return FindOnce(found, "Unknown");
}

MDTypePtr UnknownType()
{
    static std::atomic<MDType*> found{nullptr};
    return FindOnce(found, "UnknownType");
}

// Objects whose last holder is an object being freed on this thread, linked through their NextToFree:
// the outermost release frees them one after the other, so that a release never nests, however long a
// chain or deep a tree, and never allocates, so that it also runs while a failed allocation unwinds.
// Plain pointers, which need no constructor or destructor (a plug-in loaded at run time gets no dynamic
// TLS block for them).
[[gnu::tls_model("initial-exec")]] thread_local MDObject* ToFree = nullptr;
[[gnu::tls_model("initial-exec")]] thread_local bool Freeing = false;

} // namespace

MDObject::~MDObject()
{
    HandOver(StrongLink);
    for (Child& child : ChildEntries)
        HandOver(child.second);
    ChildEntries.clear();
    if (Freeing)
        return;
    Freeing = true;
    while (MDObject* next = ToFree)
    {
        ToFree = next->NextToFree;
        next->Release();
    }
    Freeing = false;
}

// A reference this object held that is not the last is dropped; the last waits its turn to be freed.
void MDObject::HandOver(MDObjectPtr& held)
{
    MDObject* target = held.Detach();
    if (!target || target->ReleaseUnlessLast())
        return;
    target->NextToFree = ToFree;
    ToFree = target;
}

MDObject::MDObject(const MDOTypePtr& classType)
{
    InitBuiltInDictionary();
    if (!classType)
    {
        NameUnresolved();
        return;
    }
    ClassType = classType;
    SetUpClassValue(classType.GetPtr());
    Name = classType->Name;
    ObjectUL = classType->TypeUL;
    Tag = classType->StaticTag;
    InitFromType();
}

MDObject::MDObject(MDType* type)
{
    InitBuiltInDictionary();
    ClassType = UnknownClass();
    ValueType = MDType::FindByUL(type && type->TypeUL ? UL(type->TypeUL) : UL());
    if (!ValueType)
        ValueType = UnknownType();
    if (ValueType)
        Name = ValueType->Name;
    IsValue = true;
    ValueHolder = this;
    RefKindFromValueType = true;
    InitFromType();
}

MDObject::MDObject(const ULPtr& label) : ObjectUL(label)
{
    InitFromUL();
}

MDObject::MDObject(const UL& label) : ObjectUL(new UL(label))
{
    InitFromUL();
}

MDObject::MDObject(mxf::Tag tag, const PrimerPtr& primer)
{
    if (primer)
    {
        if (auto entry = primer->Tags().find(tag); entry != primer->Tags().end())
        {
            ObjectUL = new UL(entry->second);
            ClassType = MDOType::FindByUL(*ObjectUL);
        }
        else if (tag >= 0x100)
            DiagnosticError("Metadata object with Tag \"%s\" doesn't exist in specified Primer\n",
                            TagText(tag).c_str());
    }
    if (!ObjectUL)
    {
        ClassType = MDOType::FindByTag(tag, PrimerPtr());
        if (ClassType)
            ObjectUL = ClassType->TypeUL;
    }
    Tag = tag;
    if (!ClassType)
    {
        if (!ObjectUL)
            ObjectUL = new UL(std::string_view("Unknown"));
        NameUnresolved();
        return;
    }
    Name = ClassType->Name;
    SetUpClassValue(ClassType.GetPtr());
    ResetPosition();
    InitFromType();
}

// Both constructors from a label come here first.
void MDObject::InitFromUL()
{
    InitBuiltInDictionary();
    const UL key(ObjectUL);
    ClassType = MDOType::FindByUL(key);
    if (ClassType)
    {
        Name = ClassType->Name;
        SetUpClassValue(ClassType.GetPtr());
    }
    else if (MDTypePtr type = MDType::FindByUL(key))
    {
        ClassType = UnknownClass();
        ValueType = type;
        Name = type->Name;
        IsValue = true;
        ValueHolder = this;
    }
    else
    {
        NameUnresolved();
        return;
    }
    Tag = 0;
    ResetPosition();
    InitFromType();
}

void MDObject::SetUpClassValue(MDOType* classType)
{
    if (!classType || classType->ContainerKind != MDOType::ITEM)
    {
        IsValue = false;
        return;
    }
    ValueType = classType->ValueType ? classType->ValueType : UnknownType();
    ValueHolder = this;
    IsValue = true;
}

// An object whose key no class or value type resolves is named from its tag and label.
void MDObject::NameUnresolved()
{
    Name = "Unknown";
    if (Tag != 0)
        Name += " " + TagText(Tag);
    const UL label(ObjectUL);
    if (!label.Matches(UL(AbstractObjectKey)))
        Name += " " + label.GetString();
    if (!ClassType)
        ClassType = UnknownClass();
    SetUpClassValue(ClassType.GetPtr());
    ResetPosition();
    InitFromType();
}

void MDObject::ResetPosition()
{
    RefKindFromValueType = false;
    Location = 0;
    KeyLengthSize = 0;
    Parent = nullptr;
}

// Every constructor ends here, once its name is set: what the object holds is counted as made.
void MDObject::InitFromType()
{
    const std::uint64_t nameBytes = Name.capacity() > std::string().capacity() ? Name.capacity() + 1 : 0;
    MemoryBudget::TakeFromCurrent(sizeof(MDObject) + HeapBlockOverhead + nameBytes);
    MDType* type = ValueType ? ValueType.GetPtr() : ClassType ? ClassType->ValueType.GetPtr() : nullptr;
    if (type)
        Traits = type->Traits;
    switch (ContainerKind())
    {
    case KindArray:
        // Identifier arrays are one run of bytes.
        if (Traits && Traits->HandlesArrayAsValue())
        {
            if (!ValueType && ClassType)
                ValueType = ClassType->ValueType;
            if (ValueType && ValueType->Size > 0)
                ResizeValue(static_cast<std::uint64_t>(ValueType->Size));
            ValueHolder = this;
            IsValue = true;
        }
        if (ValueType && ValueType->Traits && ValueType->Traits->HandlesArrayAsValue())
            ApplyValueRule();
        else
            ApplyBatchAndArrayRule();
        break;
    case KindValue:
        ApplyValueRule();
        break;
    case KindPack:
        ApplyPackRule();
        break;
    case KindBatch:
        ApplyBatchAndArrayRule();
        break;
    default:
        break; // a new set has no children
    }
}

void MDObject::ApplyBatchAndArrayRule()
{
    ValueHolder = this;
    // Arrays and batches of references hold their references as children.
    IsValue = !RefKinds::IsSource(RefKind());
    SetItemCount(ClassType ? ClassType->MinSize : 0);
}

void MDObject::ApplyPackRule()
{
    if (!ClassType)
        return;
    for (const MDOTypePtr& memberClass : ClassType->ChildList())
    {
        MDObjectPtr member(new MDObject(memberClass));
        if ((member->IsValue || !member->Traits) && memberClass->Default.Size() > 0)
            member->ReadValue(memberClass->Default, PrimerPtr());
        AppendChild(member);
    }
}

void MDObject::ApplyValueRule()
{
    MDType* type = ValueType.GetPtr();
    if (!type)
        return;
    const int effectiveClass = type->EffectiveClass();
    if ((type->Traits && type->Traits->HandlesArrayAsValue()) || effectiveClass == MDType::BASIC)
    {
        if (const std::uint32_t size = type->EffectiveSize())
        {
            ResizeValue(size);
            if (Value.Size())
                std::memset(Value.Data(), 0, Value.Size());
        }
    }
    else if (effectiveClass == MDType::TYPEARRAY)
    {
        if (type->Size > 0)
            SetItemCount(type->Size);
        else if (ClassType && ClassType->MinSize != 0)
            SetItemCount(ClassType->MinSize);
    }
    else if (effectiveClass == MDType::COMPOUND)
        for (const MDTypePtr& member : type->EffectiveType()->ChildOrder())
            AppendChild(MDObjectPtr(new MDObject(member.GetPtr())));
}

int MDObject::ContainerKind() const
{
    if (IsValue)
    {
        if (ValueType && ValueType->Class == MDType::TYPEARRAY)
            return ValueType->ArrayClass == ArrayKinds::Batch ? KindBatch : KindArray;
        return KindValue;
    }
    return ClassType ? ClassType->ContainerKind : KindValue;
}

MDTraitsPtr MDObject::FindTraits() const
{
    if (Traits)
        return Traits;
    if (ValueType)
        return ValueType->Traits;
    if (ClassType && ClassType->ValueType)
        return ClassType->ValueType->Traits;
    return MDTraitsPtr();
}

int MDObject::RefKind() const
{
    if (!RefKindFromValueType && ClassType)
        return ClassType->RefType;
    if (!ValueType)
        return RefKinds::None;
    if (ValueType->RefType != RefKinds::NotGiven)
        return ValueType->RefType;
    const int typeClass = ValueType->Class;
    MDType* base = ValueType->GetBase();
    if (base &&
        (typeClass == MDType::INTERPRETATION || typeClass == MDType::TYPEARRAY || typeClass == MDType::ENUM))
        return base->EffectiveRefKind();
    return RefKinds::None;
}

std::uint64_t MDObject::ResizeValue(std::uint64_t size)
{
    if (ValueType && ValueType->Size > 0)
        size = static_cast<std::uint64_t>(ValueType->Size);
    Value.Resize(size);
    return size;
}

} // namespace mxf
