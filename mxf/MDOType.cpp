#include "mxf/MDOType.h"

#include "mxf/Kinds.h"
#include "mxf/Labels.h"

namespace mxf
{

const UL& InstanceUIDLabel()
{
    static const UL label(InstanceUIDKey);
    return label;
}

MDOType::MDOType(int containerKind, std::string rootName, std::string name, std::string detail,
                 const MDTypePtr& valueType, int keyFormat, int lenFormat, std::int32_t minSize,
                 std::int32_t maxSize, std::int32_t usage)
    : ContainerKind(containerKind), RootName(std::move(rootName)), ValueType(valueType),
      Name(std::move(name)), Detail(std::move(detail)), TypeName(valueType ? valueType->Name : Name),
      KeyFormat(keyFormat), LenFormat(lenFormat), MinSize(minSize), MaxSize(maxSize == 0 ? -1 : maxSize),
      Usage(usage)
{
}

MDOType::MDOType()
    : ContainerKind(ITEM), KeyFormat(KeyFormats::None), LenFormat(LengthFormats::BER), MinSize(0),
      MaxSize(-1), Usage(0)
{
}

MDOTypePtr MDOType::FindChildByUL(const UL& label) const
{
    for (const auto& [name, child] : Children)
    {
        if (child->TypeUL && child->TypeUL->Matches(label))
            return child;
        if (child->ValueType && child->ValueType->TypeUL && child->ValueType->TypeUL->Matches(label))
            return child;
    }
    return MDOTypePtr();
}

std::pair<MDOType::ChildMap::iterator, bool> MDOType::InsertChild(const MDOTypePtr& child)
{
    auto entry = Children.try_emplace(child->Name, child);
    ChildOrder.push_back(child);
    ChildNameList.push_back(child->Name);
    return entry;
}

void MDOType::InheritFromBase(const MDOTypePtr& base)
{
    CopyInto(Key, base->Key);
    CopyInto(GlobalKey, base->GlobalKey);
    StaticTag = base->StaticTag;
    RootName = base->RootName;
    ContainerKind = base->ContainerKind;
    Detail = base->Detail;
    ValueType = base->ValueType;
    TypeName = base->TypeName;
    if (KeyFormat == KeyFormats::FromBase)
        KeyFormat = base->KeyFormat;
    if (LenFormat == LengthFormats::FromBase)
        LenFormat = base->LenFormat;
    MinSize = base->MinSize;
    MaxSize = base->MaxSize;
    // Whether items carry keys decides between a local set and a pack.
    if (ContainerKind == SET && KeyFormat == KeyFormats::None)
        ContainerKind = PACK;
    else if (ContainerKind == PACK && KeyFormat != KeyFormats::None)
        ContainerKind = SET;
    Usage = base->Usage;
    CopyInto(Default, base->Default);
    CopyInto(DValue, base->DValue);
    RefType = base->RefType;
    ContainingType = MDOTypePtr(base->GetParent());
    Base = base;
    Children.clear();
    for (const MDOTypePtr& child : base->ChildOrder)
        InsertChild(child);
    RefTarget = MDOTypePtr(base->GetRefTarget());
    RefTargetName = base->RefTargetName;
}

void MDOType::MergeBaseChildren(const MDOTypePtr& ancestor)
{
    auto child = ChildOrder.begin();
    auto childName = ChildNameList.begin();
    bool differs = false;
    for (const MDOTypePtr& inherited : ancestor->ChildOrder)
    {
        differs = differs || child == ChildOrder.end() || childName == ChildNameList.end() ||
                  !(*child == inherited);
        // From the first difference on, the ancestor's children go in before this class's own.
        if (differs)
        {
            Children.try_emplace(inherited->Name, inherited);
            ChildOrder.insert(child, inherited);
            ChildNameList.insert(childName, inherited->Name);
        }
        if (child != ChildOrder.end())
            ++child;
        if (childName != ChildNameList.end())
            ++childName;
    }
}

bool MDOType::HasInstanceUID() const
{
    for (const auto& [name, child] : Children)
        if (child->TypeUL && child->TypeUL->Matches(InstanceUIDLabel()))
            return true;
    return false;
}

} // namespace mxf
