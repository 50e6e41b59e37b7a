// Reading a partition's header metadata, and adding and linking its objects.
#include "mxf/Partition.h"

#include "mxf/BER.h"
#include "mxf/Hex.h"
#include "mxf/Kinds.h"
#include "mxf/Labels.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>

namespace mxf
{

namespace
{

const UL HeaderByteCount(HeaderByteCountKey);
const UL KLVFill(KLVFillKey);
const UL PrimerKey(PrimerPackKey);

// The sizes in messages are shown as the hooks expect them.
int SizeForMessage(std::uint64_t size)
{
    return static_cast<int>(std::min<std::uint64_t>(size, 0x7fffffff));
}

Identifier<16> UUIDOf(const MDObject& value)
{
    const DataChunkPtr bytes = value.EncodeValue(PrimerPtr());
    return Identifier<16>(bytes && bytes->Size() >= 16 ? bytes->Data() : nullptr);
}

const MDObject* RootOf(const MDObject* object)
{
    while (const MDObject* parent = object->Parent.GetPtr())
        object = parent;
    return object;
}

// A walk through header metadata held in memory: where the bytes stand in the file, how far the walk has come
// and what is left, and the file the messages name.
struct MetadataCursor
{
    const std::uint8_t* Bytes;
    std::uint64_t Start;
    std::uint64_t Consumed;
    std::uint64_t Remaining;
    MXFFile& File;
    bool ForeignKeySeen = false;

    const std::uint8_t* Here() const { return Bytes + Consumed; }
    void Skip(std::uint64_t count)
    {
        Consumed += count;
        Remaining -= count;
    }
};

// What the file holds bounds what is read; more than the limit of that is damage.
bool TooLargeToRead(MXFFile& file, std::uint64_t start, std::uint64_t size)
{
    if (std::min(size, file.BytesLeft()) <= Partition::MaxHeaderMetadataSize)
        return false;
    DiagnosticError("Header Metadata starting at 0x%s claims 0x%s bytes, more than the 0x%s read at most; "
                    "refused as damaged\n",
                    HexText64(start, 8).c_str(), HexText64(size, 8).c_str(),
                    HexText64(Partition::MaxHeaderMetadataSize, 8).c_str());
    return true;
}

// Reads the metadata into memory whole; a file that ends early leaves size at what could be read.
DataChunkPtr ReadMetadataBytes(MXFFile& file, std::uint64_t start, std::uint64_t& size)
{
    // Bounded by what the file holds: the size comes from the partition pack.
    DataChunkPtr buffer = file.ReadValueBytes(size);
    if (buffer->Size() < size)
    {
        DiagnosticError(
            "Header Metadata starting at 0x%s should contain 0x%s bytes, but only 0x%s could be read\n",
            HexText64(start, 8).c_str(), HexText64(size, 8).c_str(), HexText64(buffer->Size(), 8).c_str());
        size = buffer->Size();
    }
    return buffer;
}

// The key heading the next item, or null, reported, where fewer than its 16 bytes are left. One label object
// for each key met is shared by the sets of that key.
ULPtr ReadItemKey(MetadataCursor& at, std::map<Identifier<16>, ULPtr>& keys)
{
    if (at.Remaining < 16)
    {
        DiagnosticError("Less than 16-bytes of header metadata available after reading 0x%s bytes at 0x%s in "
                        "file \"%s\"\n",
                        HexText64(at.Consumed, 8).c_str(), HexText64(at.File.Tell(), 8).c_str(),
                        at.File.Name.c_str());
        return nullptr;
    }
    // Every item of header metadata is keyed by an SMPTE label. Bytes that are not (the zeros that pad a
    // file cut short in its last tape block, say) are still read as items, but the metadata are damaged,
    // which is said once.
    if (!HasSMPTEPrefix(at.Here()) && !std::exchange(at.ForeignKeySeen, true))
        DiagnosticError("Header metadata item at 0x%s has no SMPTE key: %s\n",
                        HexText64(at.Start + at.Consumed, 8).c_str(), UL(at.Here()).GetString().c_str());
    ULPtr& key = keys[Identifier<16>(at.Here())];
    if (!key)
        key = new UL(at.Here());
    at.Skip(16);
    return key;
}

// The length that follows a key, leaving the cursor on the value; false, reported, where the bytes end
// within it or it is beyond what one item may hold. A length past the bytes left is cut to them, so that
// what there is of the last item is still read.
bool ReadItemLength(MetadataCursor& at, std::uint64_t& length)
{
    const char* name = at.File.Name.c_str();
    if (at.Remaining < 1)
    {
        DiagnosticError("Incomplete BER length at 0x%s in file \"%s\"\n",
                        HexText64(at.File.Tell(), 8).c_str(), name);
        return false;
    }
    const BERLength ber = ReadBER(at.Here(), at.Remaining);
    if (ber.Result == BERLength::Short)
    {
        DiagnosticError("Incomplete BER length at 0x%s in \"%s\"\n", HexText64(at.File.Tell(), 8).c_str(),
                        name);
        return false;
    }
    if (ber.Result == BERLength::TooLong || ber.Length > 0xffffffff)
    {
        DiagnosticError("Current implementation KLV size limit of 0xffffffff bytes exceeded at 0x%s in file "
                        "\"%s\"\n",
                        HexText64(at.Start + at.Consumed, 8).c_str(), name);
        return false;
    }
    at.Skip(ber.Size);
    length = ber.Length;
    if (length > at.Remaining)
    {
        DiagnosticError("KLV length is %s but available data size is only %s after reading 0x%s of header "
                        "metadata at 0x%s in \"%s\"\n",
                        std::to_string(length).c_str(), std::to_string(at.Remaining).c_str(),
                        HexText64(at.Consumed, 8).c_str(), HexText64(at.Start + at.Consumed, 8).c_str(),
                        name);
        length = at.Remaining;
    }
    return true;
}

// Reads a set's value from the cursor into object, which records where its key stood in the file.
void ReadSetValue(MDObject& object, MetadataCursor& at, std::uint64_t keyAt, std::uint64_t length,
                  const PrimerPtr& primer)
{
    object.Location = at.Start + keyAt;
    object.KeyLengthSize = static_cast<std::uint32_t>(at.Consumed - keyAt);
    object.Parent = nullptr;
    object.SourceFile = &at.File;
    object.ReadValue(at.Here(), length, primer);
    at.Skip(length);
}

} // namespace

Partition::Partition(const ULPtr& key)
{
    Object = MDObjectPtr(new MDObject(*key));
}

Partition::~Partition()
{
    UnmatchedRefs.clear();
    TargetsByUUID.clear();
    TopLevelEntries.clear();
    TopLevelObjects.clear();
    Objects.clear();
    HeaderPrimer = nullptr;
}

std::uint64_t Partition::ReadMetadata()
{
    if (!Object)
        return 0;
    const std::uint64_t size = static_cast<std::uint64_t>(Object->GetChildInt64(HeaderByteCount));
    if (size == 0)
        return 0;
    const MXFFilePtr file(Object->SourceFile);
    if (!file)
    {
        DiagnosticError("Call to Partition::ReadMetadata() on a partition that is not read from a file\n");
        return 0;
    }
    file->Seek(Object->AbsoluteLocation() + 16);
    const std::int64_t length = file->ReadBERLength();
    if (length < 0)
        return 0;
    file->Seek(file->Tell() + static_cast<std::uint64_t>(length));
    return ReadMetadata(file, size);
}

std::uint64_t Partition::ReadMetadata(const MXFFilePtr& file, std::uint64_t size)
{
    ClearMetadata();
    if (size == 0)
        return 0;
    std::uint64_t start = file->Tell();
    if (TooLargeToRead(*file, start, size))
    {
        MetadataRefused = true;
        return 0;
    }
    std::uint64_t fill = 0;
    if (!SkipLeadingFill(file, start, fill))
        return 0;
    MemoryBudget own(MaxHeaderMetadataMemory);
    const MemoryBudget::Scope budget(own);
    const std::uint64_t read = [&]
    {
        const DataChunkPtr buffer = ReadMetadataBytes(*file, start, size);
        return ReadMetadataItems(file, buffer->Data(), start, size);
    }();
    if (budget.Budget().Spent())
    {
        ClearMetadata();
        MetadataRefused = true;
        return 0;
    }
    return fill + read;
}

bool Partition::SkipLeadingFill(const MXFFilePtr& file, std::uint64_t& start, std::uint64_t& fill)
{
    const ULPtr first = file->ReadULKey();
    if (!first)
    {
        DiagnosticError("Error reading first KLV after %s at 0x%s in %s\n", FullName().c_str(),
                        HexText64(Object->AbsoluteLocation(), 8).c_str(), Object->SourceName().c_str());
        return false;
    }
    if (first->Matches(KLVFill))
    {
        const std::int64_t length = file->ReadBERLength();
        if (length < 0)
            return false;
        const std::uint64_t end = file->Tell() + static_cast<std::uint64_t>(length);
        fill = end - start;
        start = end;
    }
    file->Seek(start);
    return true;
}

std::uint64_t Partition::ReadMetadataItems(const MXFFilePtr& file, const std::uint8_t* bytes,
                                           std::uint64_t start, std::uint64_t size)
{
    MetadataCursor at{bytes, start, 0, size, *file};
    std::map<Identifier<16>, ULPtr> keys;
    while (at.Remaining > 0 && !MemoryBudget::CurrentSpent())
    {
        const std::uint64_t keyAt = at.Consumed;
        const ULPtr key = ReadItemKey(at, keys);
        if (!key)
            break;
        const MDObjectPtr object(new MDObject(key));
        std::uint64_t length = 0;
        if (!ReadItemLength(at, length))
            break;
        if (!HeaderPrimer && object->IsKindOf(PrimerKey))
        {
            HeaderPrimer = PrimerPtr(new Primer);
            // Only what the pack's items used is consumed; a malformed pack's rest is read as the next item.
            at.Skip(HeaderPrimer->ReadPack(at.Here(), length));
        }
        else if (object->IsKindOf(KLVFill))
            at.Skip(length);
        else
        {
            if (length > 0)
                ReadSetValue(*object, at, keyAt, length, HeaderPrimer);
            AddMetadata(object, false);
        }
    }
    return at.Consumed;
}

void Partition::ClearMetadata()
{
    MetadataRefused = false;
    HeaderPrimer = nullptr;
    Objects.clear();
    TopLevelObjects.clear();
    TopLevelEntries.clear();
    TargetsByUUID.clear();
    UnmatchedRefs.clear();
    Owners.clear();
}

void Partition::AddMetadata(const MDObjectPtr& object, bool atFront)
{
    Path path;
    Add(object, atFront, path);
}

void Partition::AddStrongRefTargets(const MDObjectPtr& object, bool atFront)
{
    // The set the object lies in owns what is added.
    Path path{RootOf(object.GetPtr())};
    AddTargetsInside(object, atFront, path);
}

void Partition::Add(const MDObjectPtr& object, bool atFront, Path& path)
{
    // Objects already on the way down are not added again: links that a caller made before adding could
    // otherwise lead round a loop for ever.
    if (std::find(path.begin(), path.end(), object.GetPtr()) != path.end())
        return;
    path.push_back(object.GetPtr());
    // Its entries in Objects, TopLevelObjects and the index of the latter.
    MemoryBudget::TakeFromCurrent(3 * NodeCost);
    if (!atFront)
        Objects.push_back(object);
    bool owned = false;
    for (const MDObject::Child& entry : *object)
    {
        const MDObjectPtr& child = entry.second;
        if (!child)
            continue;
        const int kind = child->RefKind();
        if (kind == RefKinds::Target)
        {
            const MDObject* holder = child->ValueHolder;
            const std::uint64_t size = holder ? holder->Value.Size() : 0;
            if (size != 16)
            {
                DiagnosticError(
                    "Metadata Object \"%s/%s\" should be a reference target (a UUID), but has size %d\n",
                    object->Name.c_str(), child->Name.c_str(), SizeForMessage(size));
                continue;
            }
            const Identifier<16> id = UUIDOf(*child);
            if (TargetsByUUID.emplace(id, object).second)
                MemoryBudget::TakeFromCurrent(NodeCost + sizeof(id));
            const auto [first, last] = UnmatchedRefs.equal_range(id);
            for (auto waiting = first; waiting != last;)
            {
                const MDObjectPtr source = waiting->second;
                waiting = UnmatchedRefs.erase(waiting);
                if (source->GetReferencedObject())
                    DiagnosticError("Internal error - %s at 0x%s in UnmatchedRefs but already linked!\n",
                                    source->FullName().c_str(),
                                    HexText64(source->AbsoluteLocation(), 8).c_str());
                if (Link(source, object) && source->RefKind() == RefKinds::Strong)
                    owned = true;
            }
        }
        else if (kind == RefKinds::Strong)
        {
            if (const MDObjectPtr target(child->GetReferencedObject()); target)
                AddOwned(target, atFront, path);
            else
                for (const MDObject::Child& element : *child)
                    if (const MDObjectPtr owned(element.second ? element.second->GetReferencedObject()
                                                               : MDObjectParent());
                        owned)
                        AddOwned(owned, atFront, path);
        }
        else if (!child->empty())
            AddTargetsInside(child, atFront, path);
    }
    if (atFront)
        Objects.push_front(object);
    if (!owned)
        PutTopLevel(object, atFront);
    LinkChildReferences(object);
    path.pop_back();
}

// Strong links that a caller made before adding; the set being added owns the target.
void Partition::AddOwned(const MDObjectPtr& target, bool atFront, Path& path)
{
    Own(path.back(), RootOf(target.GetPtr()));
    Add(target, atFront, path);
    RemoveTopLevel(target.GetPtr());
}

void Partition::AddTargetsInside(const MDObjectPtr& object, bool atFront, Path& path)
{
    for (const MDObject::Child& entry : *object)
    {
        const MDObjectPtr& child = entry.second;
        if (!child)
            continue;
        const MDObjectPtr target(child->RefKind() == RefKinds::Strong ? child->GetReferencedObject()
                                                                      : MDObjectParent());
        if (target)
            AddOwned(target, atFront, path);
        else if (!child->empty())
            AddTargetsInside(child, atFront, path);
    }
}

void Partition::LinkChildReferences(const MDObjectPtr& object)
{
    for (const MDObject::Child& entry : *object)
    {
        const MDObjectPtr& child = entry.second;
        if (!child || child->GetReferencedObject())
            continue;
        const int kind = child->RefKind();
        if (!RefKinds::IsSource(kind))
            continue;
        if (!child->ValueHolder)
        {
            if (kind != RefKinds::Global)
                DiagnosticError(
                    "Metadata Object \"%s/%s\" should be a reference source (a UUID), but has no valid "
                    "value\n",
                    object->Name.c_str(), child->Name.c_str());
            continue;
        }
        const std::uint64_t size = child->ValueHolder->Value.Size();
        if (size == 0)
        {
            if (!child->empty())
                LinkChildReferences(child);
            continue;
        }
        if (size != 16)
        {
            DiagnosticError(
                kind == RefKinds::Global
                    ? "Metadata Object \"%s/%s\" should be a global reference (a UL or UUID), but "
                      "has size %d\n"
                    : "Metadata Object \"%s/%s\" should be a reference source (a UUID), but has "
                      "size %d\n",
                object->Name.c_str(), child->Name.c_str(), SizeForMessage(size));
            continue;
        }
        const Identifier<16> id = UUIDOf(*child);
        const auto target = TargetsByUUID.find(id);
        if (target == TargetsByUUID.end())
        {
            UnmatchedRefs.emplace(id, child);
            MemoryBudget::TakeFromCurrent(NodeCost + sizeof(id));
        }
        else if (Link(child, target->second) && kind == RefKinds::Strong)
            RemoveTopLevel(target->second.GetPtr());
    }
}

bool Partition::Link(const MDObjectPtr& source, const MDObjectPtr& target)
{
    // A strong reference owns its target. A second owner, or a link to a set that already owns the
    // reference's set, directly or through its own strong references, would make a loop that keeps itself
    // alive and that every walk down the tree would follow for ever; such a reference is reported and stays
    // unlinked.
    if (source->RefKind() == RefKinds::Strong)
    {
        const MDObject* owner = RootOf(source.GetPtr());
        const MDObject* owned = RootOf(target.GetPtr());
        const char* refused = Owners[owned].Owned              ? "another strong reference already owns it"
                              : TreeOf(owner) == TreeOf(owned) ? "would make a reference loop"
                                                               : nullptr;
        if (refused)
        {
            DiagnosticError("Strong reference %s at 0x%s to %s %s; left unlinked\n",
                            source->FullName().c_str(), HexText64(source->AbsoluteLocation(), 8).c_str(),
                            target->FullName().c_str(), refused);
            return false;
        }
        Own(owner, owned);
    }
    source->SetReferencedObject(target);
    return true;
}

const MDObject* Partition::TreeOf(const MDObject* set)
{
    for (;;)
    {
        Ownership& node = Owners[set];
        if (!node.Up)
            return set;
        if (const MDObject* above = Owners[node.Up].Up)
            node.Up = above;
        set = node.Up;
    }
}

void Partition::Own(const MDObject* owner, const MDObject* target)
{
    Owners[target].Owned = true;
    const MDObject* a = TreeOf(owner);
    const MDObject* b = TreeOf(target);
    if (a == b)
        return;
    Ownership& first = Owners[a];
    Ownership& second = Owners[b];
    Ownership& larger = first.Size >= second.Size ? first : second;
    Ownership& smaller = first.Size >= second.Size ? second : first;
    smaller.Up = &larger == &first ? a : b;
    larger.Size += smaller.Size;
}

void Partition::PutTopLevel(const MDObjectPtr& object, bool atFront)
{
    const auto entry = atFront ? TopLevelObjects.insert(TopLevelObjects.begin(), object)
                               : TopLevelObjects.insert(TopLevelObjects.end(), object);
    TopLevelEntries.emplace(object.GetPtr(), entry);
}

void Partition::RemoveTopLevel(const MDObject* object)
{
    const auto [first, last] = TopLevelEntries.equal_range(object);
    for (auto entry = first; entry != last; ++entry)
        TopLevelObjects.erase(entry->second);
    TopLevelEntries.erase(first, last);
}

} // namespace mxf
