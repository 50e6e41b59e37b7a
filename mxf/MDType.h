// MDType: a value type of the dictionary (basic, interpretation, multiple, compound or enumeration) with the
// traits that read, write and show its values; the process-wide registry of value types by name and label;
// and the bindings of traits to types by type name or label. Types are made by the definers and live for
// the life of the process. The registry and the bindings may be used from several threads; a type's own
// fields are written while dictionaries load and only read afterwards.
#pragma once

#include "mxf/Kinds.h"
#include "mxf/MDTraits.h"
#include "mxf/RefCount.h"
#include "mxf/SymbolSpace.h"
#include "mxf/UL.h"

#include <cstdint>
#include <list>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace mxf
{

class MDObject;
class MDObjectPtr;
class MDOType;
class MDType;

using MDTypePtr = SmartPtr<MDType>;
using MDTypeParent = ParentPtr<MDType>;

class MDType : public RefCount<MDType>
{
public:
    enum : int
    {
        BASIC = 0,
        INTERPRETATION = 1,
        TYPEARRAY = 2,
        COMPOUND = 3,
        ENUM = 4,
    };
    using EnumValue = std::pair<std::string, SmartPtr<MDObject>>;
    using EnumValueList = std::vector<EnumValue>;

    MDType(std::string name, std::string detail, int typeClass, const ULPtr& label,
           const MDTraitsPtr& traits);
    ~MDType() override;
    MDType(const MDType&) = delete;
    MDType& operator=(const MDType&) = delete;

    // Enters the type by name, by label and, for SMPTE labels, by label under any version byte; a later type
    // replaces an earlier one of the same name or label there. The type must be held by a pointer already.
    void Register(const ULPtr& label);

    // Each definer makes, lists and registers a new type.
    static MDTypePtr DefineBasic(const std::string& name, const std::string& detail, const ULPtr& label,
                                 std::int32_t size);
    static MDTypePtr DefineInterpretation(const std::string& name, const std::string& detail,
                                          const MDTypePtr& base, const ULPtr& label, std::int32_t size);
    static MDTypePtr DefineMultiple(const std::string& name, const std::string& detail,
                                    const MDTypePtr& elementType, const ULPtr& label, std::int32_t size);
    static MDTypePtr DefineMultipleNamed(const std::string& name, const MDTypePtr& elementType,
                                         const ULPtr& label);
    static MDTypePtr DefineCompound(const std::string& name, const std::string& detail, const ULPtr& label);
    static MDTypePtr DefineEnumeration(const std::string& name, const std::string& detail,
                                       const MDTypePtr& base, const ULPtr& label);

    // Adds a compound member; a second member of a name is listed but the first stays in the name map.
    void InsertChild(const std::string& name, const MDTypePtr& member);

    // Enumerated values: false, reported, on a type that is not an enumeration, or for a name or value text
    // that the type already has with another value or name. Defined with the comparison and text of values.
    bool AddEnumeratedValue(const std::string& name, const SmartPtr<MDObject>& value);
    bool AddEnumeratedValueText(const std::string& name, const std::string& text);

    // A name "space::symbol" is looked up in that space only; any other name in the given space, and with
    // searchAll in every space.
    static MDTypePtr FindByName(const std::string& name, const SymbolSpacePtr& space = SymbolSpacePtr(),
                                bool searchAll = false);
    // The type of exactly these label bytes, else for an SMPTE label the type under any version byte.
    static MDTypePtr FindByUL(const UL& label);

    // The queries below look through interpretations and enumerations to the type that holds the values.
    MDType* EffectiveType();
    int EffectiveClass();
    MDTypePtr EffectiveBase();
    std::uint32_t EffectiveSize();
    std::int32_t EffectiveRefKind();
    bool IsNestedRef();
    std::string EffectiveRefTargetName();
    // The values of the enumeration that this type is, or interprets.
    const EnumValueList& EnumValues();

    // Binds the registered traits of the name (the default traits when it has none) to the named type, or
    // to the type of the label under any version byte, and to their interpretations that have no binding of
    // their own. Always true.
    static bool BindTraitsByName(const std::string& typeName, const std::string& traitsName);
    static bool BindTraitsByUL(const UL& label, const std::string& traitsName);
    // The traits bound to the type name or label, else those bound to the fallback type name, else the
    // traits registered under the fallback name; empty when the fallback is empty or names nothing.
    static MDTraitsPtr TraitsByName(const std::string& typeName, const std::string& fallbackName);
    static MDTraitsPtr TraitsByUL(const UL& label, const std::string& fallbackName);

    MDType* GetBase() const { return Base.GetPtr(); }
    const std::map<std::string, MDTypePtr>& Members() const { return MemberMap; }
    const std::list<MDTypePtr>& ChildOrder() const { return MemberOrder; }
    const std::list<std::string>& ChildNames() const { return MemberNames; }

    std::string Name;
    std::string Detail;
    int Class;
    int ArrayClass = ArrayKinds::Plain; // of multiples
    MDTraitsPtr Traits;
    ULPtr TypeUL;
    bool Endian = false;
    std::int32_t RefType = RefKinds::NotGiven; // a nested reference is Strong with IsNested
    std::string RefTargetName;
    SmartPtr<MDOType> RefTarget;
    bool Baseline = false;
    bool Character = false;
    bool IsNested = false;
    // Basic: bytes; multiple: element count (0: any); interpretation: given or the base's; others: 0.
    std::int32_t Size = 0;

private:
    static MDTypePtr Define(MDType* type, const MDTypePtr& base, const ULPtr& label);

    std::map<std::string, MDTypePtr> MemberMap;
    EnumValueList EnumList;
    std::list<MDTypePtr> MemberOrder;
    MDTypeParent Base;
    std::list<std::string> MemberNames;
};

} // namespace mxf
