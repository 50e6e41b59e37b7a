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
#include "mxf/MXFFile.h"
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
    // Frees what the object holds without a stack frame per level, however long a chain of strong
    // references or however deep a tree hangs below it.
    ~MDObject() override;

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
    void ClearChildren() { ChildEntries.clear(); }
    // Room for count children, so that appending that many moves no entry.
    void ReserveChildren(std::size_t count);

    MDObjectPtr FindChildByName(const std::string& name) const;
    MDObjectPtr FindChildByUL(const UL& label) const;
    // For a set or pack, index selects a member class in class order; for others, a position.
    MDObjectPtr FindChildByIndex(int index) const;

    // Makes an array or batch hold count elements (the type's fixed count, when it has one).
    void SetItemCount(int count);
    // Sizes the value to the type's fixed size when it has one, else to size; returns the size set.
    std::uint64_t ResizeValue(std::uint64_t size);

    // The value as text through the traits (defaultText when it has none), and the value set from text.
    std::string GetString(const std::string& defaultText) const;
    void SetString(const std::string& text);
    // The numbers and texts of the child for a label: defaultValue (or 0, or defaultText) when there is no
    // such child, 0 when the child has no value or no traits.
    std::int32_t GetChildInt(const UL& label, std::int32_t defaultValue = 0) const;
    std::int64_t GetChildInt64(const UL& label) const;
    std::uint32_t GetChildUInt(const UL& label) const;
    std::string GetChildString(const UL& label, const std::string& defaultText) const;
    // Adds the child when it is missing.
    void SetChildString(const UL& label, const std::string& text);
    // Makes this value equal to the source's: by bytes when both share one effective type, else by text.
    void SetValueFrom(const MDObject& source);
    void SetValueFrom(const MDObjectPtr& source) { SetValueFrom(*source); }
    // Two values are equal when their encodings are; objects without value types must share the class.
    bool ValueEquals(const MDObject& other) const;
    bool ValueEquals(const MDObjectPtr& other) const { return ValueEquals(*other); }

    // The object this reference points to; empty when there is none or it has died.
    MDObjectParent GetReferencedObject() const;
    // Points this reference at the target, keeping the target alive when the reference is strong.
    void SetReferencedObject(const MDObjectPtr& target);
    // Takes the target's instance UUID (giving the target a new one when it has none) as this value and
    // links to the target. A note, but the same result, when this object is no reference source and force
    // is false. Always true.
    bool MakeReference(const MDObjectPtr& target, bool force = false);
    // A deep copy with no parent; a set's copy has no InstanceUID.
    MDObjectPtr MakeCopy() const;

    // The value decoded from size bytes by the object's kind (set, pack, batch, array or value); returns the
    // bytes used. Never reads past size; each inconsistency is reported and the bytes present are used.
    std::uint64_t ReadValue(const std::uint8_t* buffer, std::uint64_t size, const PrimerPtr& primer);
    std::uint64_t ReadValue(const DataChunk& chunk, const PrimerPtr& primer);
    // A key of the format from at most size bytes: a tag, or the 16 key bytes into key; 0 on failure.
    static std::uint32_t ReadKey(int format, std::uint64_t size, const std::uint8_t* bytes, DataChunk& key,
                                 std::uint32_t& tag);
    // A length of the format from at most size bytes; the bytes used, 0 (and length 0) on failure.
    static std::uint32_t ReadLength(int format, std::uint64_t size, const std::uint8_t* bytes,
                                    std::uint64_t& length);
    // The value's bytes: the value itself, or its elements, members or items one after the other.
    DataChunkPtr EncodeValue(const PrimerPtr& primer) const;
    // Appends key, length and value as the parent's class codes them (a 16-byte key and BER length
    // without a parent); returns the bytes appended.
    std::uint64_t EncodeObject(const DataChunkPtr& buffer, const MDObject* parent, const PrimerPtr& primer,
                               int berSize) const;
    static std::uint32_t EncodeLength(const DataChunkPtr& buffer, std::uint64_t length, int format,
                                      int berSize);
    std::uint32_t WriteKey(const DataChunkPtr& buffer, int format, const PrimerPtr& primer) const;

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
    MXFFileParent SourceFile; // the file a top-level object was read from; never keeps it open
    ULPtr ObjectUL;
    mxf::Tag Tag = 0;
    std::string Name;
    MDTraitsPtr Traits;
    MDObject* ValueHolder = nullptr; // the object whose Value the traits work on: itself, or null
    MDObjectParent Link;             // the object this reference points to
    MDObjectPtr StrongLink;          // the same object, held only by strong references

private:
    static void HandOver(MDObjectPtr& held);
    void InitFromUL();
    void InitFromType();
    void SetUpClassValue(MDOType* classType);
    void NameUnresolved();
    void ResetPosition();
    void ApplyValueRule();
    void ApplyPackRule();
    void ApplyBatchAndArrayRule();
    std::uint64_t ReadSet(const std::uint8_t* buffer, std::uint64_t size, const PrimerPtr& primer);
    std::uint64_t ReadPack(const std::uint8_t* buffer, std::uint64_t size);
    std::uint64_t ReadBatch(const std::uint8_t* buffer, std::uint64_t size);
    std::uint64_t ReadElements(const std::uint8_t* buffer, std::uint64_t size, bool counted,
                               std::uint32_t count, std::uint32_t itemSize);
    MDObjectPtr MakeSetItem(int keyFormat, const std::uint8_t* key, std::uint32_t tag,
                            const PrimerPtr& primer);
    std::uint64_t AppendObject(DataChunk& buffer, const MDObject* parent, const PrimerPtr& primer,
                               int berSize) const;
    std::uint32_t AppendKey(DataChunk& buffer, int format, const PrimerPtr& primer) const;
    static std::uint32_t AppendLength(DataChunk& buffer, std::uint64_t length, int format, int berSize);
    std::uint64_t EncodeBody(DataChunk& buffer, const PrimerPtr& primer) const;
    std::uint64_t EncodeItems(DataChunk& buffer, const PrimerPtr& primer) const;

    ChildList ChildEntries;
    MDObject* NextToFree = nullptr; // the next object waiting to be freed on the thread that frees this one
};

class MDObjectList : public RefCount<MDObjectList>, public std::list<MDObjectPtr>
{
};

} // namespace mxf
