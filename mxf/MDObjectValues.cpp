// The value access of metadata objects: text and numbers through the traits, values of children found by
// label, copies and comparisons of values, and the links from references to the objects they point to.
#include "mxf/MDObject.h"

#include "mxf/Diagnostics.h"
#include "mxf/Kinds.h"
#include "mxf/UUID.h"

#include <cstring>

namespace mxf
{

namespace
{

// Only a child that holds a value and has traits gives a number.
template <class Number>
Number ChildNumber(const MDObjectPtr& child, Number (MDTraits::*get)(const MDObject&) const)
{
    if (!child || !child->ValueHolder)
        return 0;
    const MDTraitsPtr traits = child->FindTraits();
    return traits ? (traits.GetPtr()->*get)(*child->ValueHolder) : 0;
}

void CopyBytes(DataChunk& to, const DataChunk& from)
{
    to.Resize(from.Size());
    if (from.Size())
        std::memcpy(to.Data(), from.Data(), from.Size());
}

} // namespace

std::string MDObject::GetString(const std::string& defaultText) const
{
    if (!ValueHolder)
        return defaultText;
    const MDTraitsPtr traits = FindTraits();
    return traits ? traits->GetString(*ValueHolder, -1) : defaultText;
}

void MDObject::SetString(const std::string& text)
{
    if (ValueHolder && Traits)
        Traits->SetString(*ValueHolder, text);
}

std::int32_t MDObject::GetChildInt(const UL& label, std::int32_t defaultValue) const
{
    const MDObjectPtr child = FindChildByUL(label);
    if (!child)
        return defaultValue;
    return ChildNumber(child, &MDTraits::GetInt);
}

std::int64_t MDObject::GetChildInt64(const UL& label) const
{
    return ChildNumber(FindChildByUL(label), &MDTraits::GetInt64);
}

std::uint32_t MDObject::GetChildUInt(const UL& label) const
{
    return ChildNumber(FindChildByUL(label), &MDTraits::GetUInt);
}

std::string MDObject::GetChildString(const UL& label, const std::string& defaultText) const
{
    const MDObjectPtr child = FindChildByUL(label);
    return child ? child->GetString(defaultText) : defaultText;
}

void MDObject::SetChildString(const UL& label, const std::string& text)
{
    if (MDObjectPtr child = AddChild(label))
        child->SetString(text);
}

void MDObject::SetValueFrom(const MDObject& source)
{
    if (ValueType && source.ValueType)
    {
        if (Traits && Traits->TryCopyValue(*this, source))
            return;
        // The whole source value, so that a longer value left here does not keep stale bytes at its end.
        if (ValueType->EffectiveType() == source.ValueType->EffectiveType() &&
            (Value.Size() || source.Value.Size()))
        {
            CopyBytes(Value, source.Value);
            return;
        }
    }
    SetString(source.GetString(std::string()));
}

bool MDObject::ValueEquals(const MDObject& other) const
{
    if (ValueType || other.ValueType)
    {
        if (!ValueType || !other.ValueType)
            return false;
    }
    else if (ClassType.GetPtr() != other.ClassType.GetPtr())
        return false;
    const DataChunkPtr mine = EncodeValue(PrimerPtr());
    const DataChunkPtr theirs = other.EncodeValue(PrimerPtr());
    return mine->Size() == theirs->Size() &&
           (mine->Size() == 0 || std::memcmp(mine->Data(), theirs->Data(), mine->Size()) == 0);
}

MDObjectParent MDObject::GetReferencedObject() const
{
    return Link;
}

void MDObject::SetReferencedObject(const MDObjectPtr& target)
{
    Link = target;
    if (RefKind() == RefKinds::Strong)
        StrongLink = target;
}

bool MDObject::MakeReference(const MDObjectPtr& target, bool force)
{
    MDObjectPtr instance = target->FindChildByUL(InstanceUIDLabel());
    if (!instance)
    {
        instance = target->AddChild(InstanceUIDLabel());
        const UUID fresh;
        instance->Value.Resize(16);
        std::memcpy(instance->Value.Data(), fresh.GetValue(), 16);
    }
    const int kind = RefKind();
    if (!RefKinds::IsSource(kind) && !force)
        DiagnosticNote("Attempting to reference %s from %s (which is not a reference source)\n",
                       target->FullName().c_str(), FullName().c_str());
    CopyBytes(Value, instance->Value);
    Link = target;
    if (kind == RefKinds::Strong)
        StrongLink = target;
    return true;
}

} // namespace mxf
