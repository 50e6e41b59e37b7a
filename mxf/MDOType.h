// MDOType: a class of the dictionary (an item holding a value, a local set, a pack, a batch or an array)
// that metadata objects are made from, with its key and length formats, its member classes and its base;
// the process-wide registry of classes by label; and the static primer of the classes' local tags. Classes
// live for the life of the process. The registry and the static primer may be used from several threads;
// a class's own fields are written while dictionaries load and only read afterwards.
#pragma once

#include "mxf/ClassRecord.h"
#include "mxf/DataChunk.h"
#include "mxf/Kinds.h"
#include "mxf/MDType.h"
#include "mxf/Primer.h"
#include "mxf/RefCount.h"
#include "mxf/SymbolSpace.h"
#include "mxf/UL.h"

#include <cstdint>
#include <list>
#include <map>
#include <string>
#include <utility>

namespace mxf
{

class MDOType;

using MDOTypePtr = SmartPtr<MDOType>;
using MDOTypeParent = ParentPtr<MDOType>;

class MDOType : public RefCount<MDOType>
{
public:
    enum : int
    {
        ITEM = 0,
        SET = 1,
        PACK = 2,
        BATCH = 3,
        ARRAY = 4,
    };
    using ChildMap = std::map<std::string, MDOTypePtr>;

    MDOType(int containerKind, std::string rootName, std::string name, std::string detail,
            const MDTypePtr& valueType, int keyFormat, int lenFormat, std::int32_t minSize,
            std::int32_t maxSize, std::int32_t usage);
    // For a class derived from a base: InheritFromBase sets the rest.
    MDOType();
    MDOType(const MDOType&) = delete;
    MDOType& operator=(const MDOType&) = delete;

    // Enters the class into the registry: by its label and, for SMPTE labels, under any version byte, and at
    // the end of the list of all classes. Lookups by name go through the symbol spaces instead. The class
    // must be held by a pointer already.
    void Register();

    // The class the record defines or extends, with its members; null when it cannot be defined yet. With a
    // deferral list, members that fail go there (knowing their parent's label) and the class is still
    // returned; without one, a failing member fails the whole record. A new class enters the registry, its
    // symbol space and its parent only once each of its members is defined or deferred.
    static MDOTypePtr DefineFromClassRecord(const ClassRecordPtr& record, const SymbolSpacePtr& space,
                                            ClassRecordList* deferred, const MDOTypePtr& parent);
    static MDOTypePtr DefineFromClassRecord(const ClassRecordPtr& record, const MDOTypePtr& parent,
                                            const SymbolSpacePtr& space);
    // Changes an item class: a detail and a value type (by name or label text) that are given, and sizes
    // that are not 0. An unknown value type is reported and the value type kept.
    void Redefine(const std::string& detail, const std::string& typeName, std::int32_t minSize,
                  std::int32_t maxSize);

    static MDOTypePtr FindByName(const std::string& name, const SymbolSpacePtr& space = SymbolSpacePtr(),
                                 bool searchAll = false);
    static MDOTypePtr FindByUL(const UL& label);
    // Through the primer's tags, or the static primer's (built on first use) when no primer is given.
    static MDOTypePtr FindByTag(Tag tag, const PrimerPtr& primer);
    // The first child class, in name order, whose label or value type's label matches.
    MDOTypePtr FindChildByUL(const UL& label) const;

    // The child goes to the end of the child lists; the name map keeps the first child of a name.
    std::pair<ChildMap::iterator, bool> InsertChild(const MDOTypePtr& child);
    // Makes this new class derive from base: its fields, formats and children.
    void InheritFromBase(const MDOTypePtr& base);
    // Brings in the children the ancestor gained since this class was derived from it.
    void MergeBaseChildren(const MDOTypePtr& ancestor);
    bool HasInstanceUID() const;
    // Resolves, reporting each failure, the reference targets that are named and not yet set.
    static void ResolveRefTargets();

    // A new static primer from every class with a 2-byte tag, made the static primer and returned.
    static PrimerPtr BuildStaticPrimer();

    std::string FullName() const { return RootName + Name; }
    MDOType* GetBase() const { return Base.GetPtr(); }
    MDOType* GetParent() const { return ContainingType.GetPtr(); }
    void SetParent(const MDOTypePtr& parent) { ContainingType = parent; }
    MDOType* GetRefTarget() const { return RefTarget.GetPtr(); }
    const ChildMap& ChildrenByName() const { return Children; }
    const std::list<MDOTypePtr>& ChildList() const { return ChildOrder; }
    const std::list<std::string>& ChildNames() const { return ChildNameList; }

    int ContainerKind;
    std::string RootName; // the containing class's full name and "/"; empty at the top level
    MDTypePtr ValueType;
    ULPtr TypeUL;
    DataChunk Key;       // the label bytes when the class has no tag; empty when it has one
    DataChunk GlobalKey; // the label bytes
    Tag StaticTag = 0;
    std::string Name;
    std::string Detail;
    std::string TypeName;
    int KeyFormat; // of the items of a set: a KeyFormats code
    int LenFormat; // of the items of a set or pack: a LengthFormats code
    std::int32_t MinSize;
    std::int32_t MaxSize; // -1: none
    std::int32_t Usage;
    DataChunk Default;
    DataChunk DValue;
    std::int32_t RefType = RefKinds::None;
    bool IsNested = false;
    std::string RefTargetName;
    bool Baseline = false;

private:
    friend struct MDOTypeRegistry;

    MDOTypeParent Base;
    std::list<std::string> ChildNameList;
    std::list<MDOTypePtr> ChildOrder;
    MDOTypeParent ContainingType;
    MDOTypeParent RefTarget;
    ChildMap Children;
};

// The static primer as last built, built first when it has not been yet. The library looks tags up in it
// and enters them under a lock of its own; a caller that changes it must not do so on several threads.
PrimerPtr StaticPrimer();

// The label of InstanceUID, the item by which object instances are told apart.
const UL& InstanceUIDLabel();

} // namespace mxf
