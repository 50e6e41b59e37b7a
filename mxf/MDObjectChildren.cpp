// The children of metadata objects (adding, removing, finding, sizing element lists) and the names and
// positions by which objects are reported.
#include "mxf/MDObject.h"

#include "mxf/Diagnostics.h"
#include "mxf/Hex.h"
#include "mxf/MemoryBudget.h"
#include "mxf/SetReading.h"

#include <iterator>

namespace mxf
{

void MDObject::AppendChild(const MDObjectPtr& child)
{
    const std::size_t room = ChildEntries.capacity();
    ChildEntries.emplace_back(UL(child->ObjectUL), child);
    child->Parent = this;
    // The entry's room, and the child's weak pointer as this object registers it.
    MemoryBudget::TakeFromCurrent((ChildEntries.capacity() - room) * sizeof(Child) + NodeCost);
}

void MDObject::ReserveChildren(std::size_t count)
{
    const std::size_t room = ChildEntries.capacity();
    ChildEntries.reserve(count);
    MemoryBudget::TakeFromCurrent((ChildEntries.capacity() - room) * sizeof(Child));
}

MDObjectPtr MDObject::AddChild(const MDOTypePtr& childClass)
{
    MDObjectPtr child(new MDObject(childClass));
    AppendChild(child);
    return child;
}

MDObjectPtr MDObject::AddChild(const UL& label)
{
    if (MDObjectPtr existing = FindChildByUL(label))
        return existing;
    MDObjectPtr child;
    if (ClassType)
        for (const auto& [name, childClass] : ClassType->ChildrenByName())
            if (childClass->TypeUL && *childClass->TypeUL == label)
            {
                child = new MDObject(childClass);
                break;
            }
    if (!child)
        child = new MDObject(label);
    AppendChild(child);
    return child;
}

MDObjectPtr MDObject::AddChild()
{
    if (ClassType && !ClassType->ChildrenByName().empty())
    {
        const MDOType::ChildMap& childClasses = ClassType->ChildrenByName();
        const auto next = std::next(childClasses.begin(),
                                    static_cast<std::ptrdiff_t>(ChildEntries.size() % childClasses.size()));
        return AddChild(next->second);
    }
    // An element of the value's own multiple type; an object made from a value type has the class
    // "Unknown", whose value type says nothing of its elements.
    MDType* type = ValueType ? ValueType.GetPtr() : ClassType ? ClassType->ValueType.GetPtr() : nullptr;
    if (type && type->EffectiveClass() == MDType::TYPEARRAY)
    {
        MDObjectPtr element(new MDObject(type->EffectiveType()->GetBase()));
        (ValueHolder ? ValueHolder : this)->AppendChild(element);
        return element;
    }
    DiagnosticError("Attempted to AddChild() to %s which has no child types declared\n", FullName().c_str());
    return MDObjectPtr();
}

bool MDObject::AddChild(const MDObjectPtr& child, bool replace)
{
    if (replace)
        RemoveChild(child->ClassType);
    AppendChild(child);
    return true;
}

void MDObject::RemoveChild(const MDOTypePtr& childClass)
{
    const UL label(childClass ? childClass->TypeUL : ULPtr());
    std::erase_if(ChildEntries, [&](const Child& entry) { return entry.first.Matches(label); });
}

MDObjectPtr MDObject::FindChildByName(const std::string& name) const
{
    for (const auto& [label, child] : ChildEntries)
        if (child->Name == name)
            return child;
    return MDObjectPtr();
}

MDObjectPtr MDObject::FindChildByUL(const UL& label) const
{
    for (const Child& child : ChildEntries)
        if (ChildCarries(child, label))
            return child.second;
    return MDObjectPtr();
}

MDObjectPtr MDObject::FindChildByIndex(int index) const
{
    if (index < 0)
        return MDObjectPtr();
    const auto position = static_cast<std::size_t>(index);
    const int kind = ClassType ? ClassType->ContainerKind : MDOType::ITEM;
    if (kind != MDOType::SET && kind != MDOType::PACK)
        return position < ChildEntries.size() ? ChildEntries[position].second : MDObjectPtr();
    // In a set or a pack the index names a member class.
    const std::list<MDOTypePtr>& members = ClassType->ChildList();
    if (position >= members.size())
        return MDObjectPtr();
    const MDOType* member = std::next(members.begin(), index)->GetPtr();
    for (const auto& [label, child] : ChildEntries)
        if (child->ClassType.GetPtr() == member)
            return child;
    return MDObjectPtr();
}

void MDObject::SetItemCount(int count)
{
    if (!ValueType && ClassType)
        ValueType = ClassType->ValueType;
    if (!ValueType)
        return;
    if (ValueType->Size > 0)
        count = ValueType->Size;
    const std::size_t wanted = count > 0 ? static_cast<std::size_t>(count) : 0;
    if (wanted < ChildEntries.size())
        ChildEntries.resize(wanted);
    if (ChildEntries.size() < wanted)
    {
        const MDTypePtr elementType = ValueType->EffectiveBase();
        ReserveChildren(wanted);
        while (ChildEntries.size() < wanted)
            AppendChild(MDObjectPtr(new MDObject(elementType.GetPtr())));
    }
}

std::string MDObject::FullName() const
{
    if (const MDObject* parent = Parent.GetPtr())
        return parent->FullName() + "/" + Name;
    return Name;
}

std::uint64_t MDObject::AbsoluteLocation() const
{
    if (const MDObject* parent = Parent.GetPtr())
        return Location + parent->AbsoluteLocation() + parent->KeyLengthSize;
    return Location;
}

std::string MDObject::SourceName() const
{
    if (const MDObject* parent = Parent.GetPtr())
        return parent->SourceName();
    if (const MXFFilePtr file(SourceFile); file)
        return "file \"" + file->Name + "\"";
    return "memory buffer";
}

std::string MDObject::SourceLocation() const
{
    return "0x" + HexText64(AbsoluteLocation(), 8) + " in " + SourceName();
}

bool MDObject::IsKindOf(const UL& label) const
{
    const auto carries = [&](const MDType* type) { return type->TypeUL && type->TypeUL->Matches(label); };
    if (ValueType && carries(ValueType.GetPtr()))
        return true;
    for (const MDOType* type = ClassType.GetPtr(); type; type = type->GetBase())
    {
        if (type->TypeUL && type->TypeUL->Matches(label))
            return true;
        for (MDType* valueType = type->ValueType.GetPtr(); valueType;
             valueType = valueType->Class == MDType::INTERPRETATION || valueType->Class == MDType::ENUM
                             ? valueType->GetBase()
                             : nullptr)
            if (carries(valueType))
                return true;
    }
    return false;
}

} // namespace mxf
