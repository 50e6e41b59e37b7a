#include "mxf/MDType.h"

#include "mxf/LabelIndex.h"
#include "mxf/MDOType.h"
#include "mxf/MDObject.h"
#include "mxf/MDTypeRegistry.h"

namespace mxf
{

MDType::MDType(std::string name, std::string detail, int typeClass, const ULPtr& label,
               const MDTraitsPtr& traits)
    : Name(std::move(name)), Detail(std::move(detail)), Class(typeClass), Traits(traits), TypeUL(label)
{
}

MDType::~MDType() = default;

void MDType::Register(const ULPtr& label)
{
    MDTypeRegistry& registry = MDTypeRegistry::Get();
    const MDTypePtr self(this);
    {
        std::unique_lock guard(registry.Lock);
        registry.ByName[Name] = self;
    }
    registry.ByLabel.Enter(UL(label), self);
}

MDTypePtr MDType::Define(MDType* type, const MDTypePtr& base, const ULPtr& label)
{
    MDTypePtr defined(type);
    defined->Base = base;
    {
        MDTypeRegistry& registry = MDTypeRegistry::Get();
        std::unique_lock guard(registry.Lock);
        registry.AllTypes.push_back(defined);
    }
    defined->Register(label);
    return defined;
}

MDTypePtr MDType::DefineBasic(const std::string& name, const std::string& detail, const ULPtr& label,
                              std::int32_t size)
{
    auto* type = new MDType(name, detail, BASIC, label, DefaultTraits());
    type->Size = size;
    return Define(type, MDTypePtr(), label);
}

MDTypePtr MDType::DefineInterpretation(const std::string& name, const std::string& detail,
                                       const MDTypePtr& base, const ULPtr& label, std::int32_t size)
{
    auto* type = new MDType(name, detail, INTERPRETATION, label, base ? base->Traits : DefaultTraits());
    type->Size = size;
    if (base)
    {
        type->Size = size ? size : base->Size;
        type->ArrayClass = base->ArrayClass;
        type->RefType = base->RefType;
        type->RefTargetName = base->RefTargetName;
        type->RefTarget = base->RefTarget;
    }
    return Define(type, base, label);
}

MDTypePtr MDType::DefineMultiple(const std::string& name, const std::string& detail,
                                 const MDTypePtr& elementType, const ULPtr& label, std::int32_t size)
{
    auto* type = new MDType(name, detail, TYPEARRAY, label, DefaultTraits());
    type->Size = size;
    return Define(type, elementType, label);
}

MDTypePtr MDType::DefineMultipleNamed(const std::string& name, const MDTypePtr& elementType,
                                      const ULPtr& label)
{
    return DefineMultiple(name, name, elementType, label, 0);
}

MDTypePtr MDType::DefineCompound(const std::string& name, const std::string& detail, const ULPtr& label)
{
    return Define(new MDType(name, detail, COMPOUND, label, DefaultTraits()), MDTypePtr(), label);
}

MDTypePtr MDType::DefineEnumeration(const std::string& name, const std::string& detail, const MDTypePtr& base,
                                    const ULPtr& label)
{
    auto* type = new MDType(name, detail, ENUM, label, DefaultTraits());
    type->Size = base ? base->Size : 0;
    return Define(type, base, label);
}

void MDType::InsertChild(const std::string& name, const MDTypePtr& member)
{
    MemberMap.try_emplace(name, member);
    MemberOrder.push_back(member);
    MemberNames.push_back(name);
}

MDTypePtr MDType::FindByName(const std::string& name, const SymbolSpacePtr& space, bool searchAll)
{
    const ULPtr label = FindNamedLabel(name, space, searchAll);
    return label ? FindByUL(*label) : MDTypePtr();
}

MDTypePtr MDType::FindByUL(const UL& label)
{
    return MDTypeRegistry::Get().ByLabel.Find(label);
}

} // namespace mxf
