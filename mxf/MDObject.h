// MDObject: one item of MXF metadata in memory (a local set, a pack, a batch, an array or a single value),
// joining a class of the dictionary and, for values, a value type to the bytes and children it holds; with
// MDObjectPtr and MDObjectParent, its strong and weak pointers, and MDObjectList, a counted list of objects.
// A parent owns its children; a child knows its parent only weakly, so a tree frees itself when its root
// goes. Objects are not thread-safe: one object is used by one thread at a time.
#pragma once

#include "mxf/DataChunk.h"
#include "mxf/MDOType.h"
#include "mxf/MDTraits.h"
#include "mxf/MDType.h"
#include "mxf/Primer.h"
#include "mxf/RefCount.h"
#include "mxf/UL.h"

#include <cstdint>
#include <list>
#include <string>
#include <utility>
#include <vector>

namespace mxf
{

class MDObject;

class MDObjectPtr : public SmartPtr<MDObject>
{
public:
    using SmartPtr<MDObject>::SmartPtr;
    MDObjectPtr(const SmartPtr<MDObject>& other) : SmartPtr<MDObject>(other) {}
    using SmartPtr<MDObject>::operator=;
};

class MDObjectParent : public ParentPtr<MDObject>
{
public:
    using ParentPtr<MDObject>::ParentPtr;
    using ParentPtr<MDObject>::operator=;
};

class MDObject : public RefCount<MDObject>
{
public:
    // Each entry: the child's key label as it was when appended (all zero when it had none), and the child.
    using Child = std::pair<UL, MDObjectPtr>;
    using ChildList = std::vector<Child>;

    // Container kinds as ContainerKind reports them.
    enum : int
    {
        KindValue = 0,
        KindSet = 1,
        KindPack = 2,
        KindBatch = 3,
        KindArray = 4,
    };

    // An object of the class: its default members for a pack, its least elements for an array or batch, a
    // zero value of the type's size for a fixed-size value.
    explicit MDObject(const MDOTypePtr& classType);
    // A plain value, of class "Unknown", of the type registered under type's label.
    explicit MDObject(MDType* type);
    // The object for a key label; this one shares the given UL object, the other copies the label.
    explicit MDObject(const ULPtr& label);
    explicit MDObject(const UL& label);
    // The object for a local tag, resolved through the primer, else through the static primer.
    MDObject(mxf::Tag tag, const PrimerPtr& primer);
    MDObject(const MDObject&) = delete;
    MDObject& operator=(const MDObject&) = delete;

    int ContainerKind() const;
    // Traits, else the value type's traits, else the traits of the class's value type; empty when none.
    MDTraitsPtr FindTraits() const;
    // The reference kind: the class's, or for objects made from a value type the type's (through its bases).
    int RefKind() const;

    const ChildList& Children() const { return ChildEntries; }
    ChildList::const_iterator begin() const { return ChildEntries.begin(); }
    ChildList::const_iterator end() const { return ChildEntries.end(); }
    std::size_t size() const { return ChildEntries.size(); }
    bool empty() const { return ChildEntries.empty(); }

    void AppendChild(const MDObjectPtr& child);
    // Always a new child of the class, even when there is one.
    MDObjectPtr AddChild(const MDOTypePtr& childClass);
    // The child for the label when there is one, else a new one.
    MDObjectPtr AddChild(const UL& label);
    // The next element of a container: the child classes in turn, in name order, or an element of the
    // value's multiple type. Empty, reported, when the class declares neither.
    MDObjectPtr AddChild();
    // Appends the object, first removing the children of its class when replace is set. Always true.
    bool AddChild(const MDObjectPtr& child, bool replace);
    void RemoveChild(const MDOTypePtr& childClass);

    MDObjectPtr FindChildByName(const std::string& name) const;
    MDObjectPtr FindChildByUL(const UL& label) const;
    // For a set or pack, index selects a member class in class order; for others, a position.
    MDObjectPtr FindChildByIndex(int index) const;

    // Makes an array or batch hold count elements (the type's fixed count, when it has one).
    void SetItemCount(int count);
    // Sizes the value to the type's fixed size when it has one, else to size; returns the size set.
    std::uint64_t ResizeValue(std::uint64_t size);

    // The value as text through the traits (defaultText when it has none), the value set from text, and the
    // comparison of two values by their encodings. Defined with the value access of objects.
    std::string GetString(const std::string& defaultText) const;
    void SetString(const std::string& text);
    bool ValueEquals(const MDObjectPtr& other) const;
    // The value decoded from size bytes (returning the bytes used) and encoded again. Defined with the KLV
    // coding of objects.
    std::uint64_t ReadValue(const std::uint8_t* buffer, std::uint64_t size, const PrimerPtr& primer);
    DataChunkPtr EncodeValue(const PrimerPtr& primer);

    std::string FullName() const;
    std::uint64_t AbsoluteLocation() const;
    std::string SourceName() const;
    std::string SourceLocation() const;
    // Whether the value type, or the class or one of its bases (or their value types through their bases),
    // carries the label.
    bool IsKindOf(const UL& label) const;

    MDOTypePtr ClassType;
    MDTypePtr ValueType;
    bool IsValue = false;
    DataChunk Value;
    bool RefKindFromValueType = false;
    std::uint64_t Location = 0; // a child's offset in its parent's value; a top-level object's file position
    std::uint32_t KeyLengthSize = 0; // key and length bytes in front of the value
    MDObjectParent Parent;
    ULPtr ObjectUL;
    mxf::Tag Tag = 0;
    std::string Name;
    MDTraitsPtr Traits;
    MDObject* ValueHolder = nullptr; // the object whose Value the traits work on: itself, or null

private:
    void InitFromUL();
    void InitFromType();
    void SetUpClassValue(MDOType* classType);
    void NameUnresolved();
    void ResetPosition();
    void ApplyValueRule();
    void ApplyPackRule();
    void ApplyBatchAndArrayRule();

    ChildList ChildEntries;
};

class MDObjectList : public RefCount<MDObjectList>, public std::list<MDObjectPtr>
{
};

} // namespace mxf
