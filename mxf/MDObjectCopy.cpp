// Deep copies of metadata objects.
#include "mxf/MDObject.h"

#include "mxf/Diagnostics.h"
#include "mxf/Kinds.h"
#include "mxf/Labels.h"

namespace mxf
{

MDObjectPtr MDObject::MakeCopy() const
{
    // A plain value keeps its value type; anything else is rebuilt from its class.
    const bool plainValue =
        ValueType && ClassType && ClassType->TypeUL && UL(ClassType->TypeUL).Matches(UL(UnknownClassKey));
    MDObjectPtr copy(plainValue ? new MDObject(ValueType.GetPtr()) : new MDObject(ClassType));

    if (!ChildEntries.empty())
    {
        if (ValueType && ValueType->EffectiveClass() == MDType::COMPOUND)
        {
            // The copy already holds its members: they take the values.
            for (const auto& [label, child] : ChildEntries)
            {
                MDObjectPtr counterpart = child->ObjectUL ? copy->FindChildByUL(*child->ObjectUL)
                                                          : copy->FindChildByName(child->Name);
                if (counterpart)
                    counterpart->SetValueFrom(*child);
                else
                    copy->AppendChild(child->MakeCopy());
            }
        }
        else if (ValueType)
        {
            // Elements a fixed-size type gave the copy would otherwise stand before the copied ones.
            copy->ChildEntries.clear();
            copy->ChildEntries.reserve(ChildEntries.size());
            for (const auto& [label, child] : ChildEntries)
                copy->AppendChild(child->MakeCopy());
        }
        else
        {
            const bool replace = ClassType && ClassType->ContainerKind == MDOType::PACK;
            for (const auto& [label, child] : ChildEntries)
                if (!label.Matches(InstanceUIDLabel()))
                    copy->AddChild(child->MakeCopy(), replace);
        }
    }

    if (IsValue)
        copy->SetValueFrom(*this);
    if (MDObjectPtr target = MDObjectPtr(Link))
    {
        copy->Link = target;
        copy->StrongLink = StrongLink;
        if (RefKind() == RefKinds::Strong)
            DiagnosticNote("Copy made of %s which is a StrongRef!\n", FullName().c_str());
    }
    copy->ObjectUL = ObjectUL;
    copy->Tag = Tag;
    copy->Traits = Traits;
    copy->Name = Name;
    return copy;
}

} // namespace mxf
