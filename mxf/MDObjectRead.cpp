// Decoding metadata objects from the value bytes of a KLV item: local sets, packs, batches, arrays and
// values, and the inner keys and lengths of sets and packs. Values are read straight from the caller's
// buffer; every length taken from the data is held to the bytes present.
#include "mxf/MDObject.h"

#include "mxf/BER.h"
#include "mxf/Diagnostics.h"
#include "mxf/Hex.h"
#include "mxf/Kinds.h"
#include "mxf/Labels.h"
#include "mxf/MemoryBudget.h"
#include "mxf/SetReading.h"

#include <algorithm>
#include <list>
#include <string>

namespace mxf
{

namespace
{

std::uint64_t BigEndian(const std::uint8_t* bytes, std::size_t width)
{
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < width; ++i)
        value = value << 8 | bytes[i];
    return value;
}

std::string LocationText(const MDObject& object)
{
    return HexText64(object.AbsoluteLocation(), 8);
}

void ReportShortLength()
{
    DiagnosticError("Not enough bytes for required length field in MDObject::ReadLength()\n");
}

bool IsNestedStrongRef(const MDOType* type)
{
    return type && type->RefType == RefKinds::Strong && type->IsNested;
}

// Sets inside sets are chosen by the keys in the data, so bytes from tape could nest them until the stack
// runs out; real metadata nests a few levels.
constexpr int MaxSetDepth = 64;

// A set this thread is reading, innermost first, with what a lookup in it has looked through so far.
struct SetReading
{
    explicit SetReading(const MDObject& set)
        : Set(&set), Outer(Innermost), Depth(Outer ? Outer->Depth + 1 : 1)
    {
        Innermost = this;
    }
    ~SetReading() { Innermost = Outer; }
    SetReading(const SetReading&) = delete;
    SetReading& operator=(const SetReading&) = delete;

    const MDObject* Set;
    SetReading* Outer;
    int Depth;
    UL Label;
    std::size_t Scanned = 0;
    MDObjectPtr Found;

    [[gnu::tls_model("initial-exec")]] static thread_local SetReading* Innermost;
};

// Initial-exec, so that the plug-in that holds the library gets no dynamic TLS block on any thread.
[[gnu::tls_model("initial-exec")]] thread_local SetReading* SetReading::Innermost = nullptr;

} // namespace

MDObjectPtr FindChildWhileReading(const MDObject& set, const UL& label)
{
    SetReading* reading = SetReading::Innermost;
    while (reading && reading->Set != &set)
        reading = reading->Outer;
    if (!reading)
        return set.FindChildByUL(label);
    if (reading->Label != label)
    {
        reading->Label = label;
        reading->Scanned = 0;
        reading->Found = MDObjectPtr();
    }
    const MDObject::ChildList& children = set.Children();
    for (; !reading->Found && reading->Scanned < children.size(); ++reading->Scanned)
        if (ChildCarries(children[reading->Scanned], label))
            reading->Found = children[reading->Scanned].second;
    return reading->Found;
}

std::uint64_t MDObject::ReadValue(const DataChunk& chunk, const PrimerPtr& primer)
{
    return ReadValue(chunk.Data(), chunk.Size(), primer);
}

std::uint64_t MDObject::ReadValue(const std::uint8_t* buffer, std::uint64_t size, const PrimerPtr& primer)
{
    const int kind = ContainerKind();
    if (((kind == KindBatch || kind == KindArray) && Traits) || kind == KindValue)
        return Traits ? Traits->ReadValue(*this, buffer, size, 0) : 0;
    switch (kind)
    {
    case KindSet:
        return ReadSet(buffer, size, primer);
    case KindPack:
        return ReadPack(buffer, size);
    case KindBatch:
        return ReadBatch(buffer, size);
    case KindArray:
        return ReadElements(buffer, size, false, 0, 0);
    default:
        return 0;
    }
}

std::uint32_t MDObject::ReadKey(int format, std::uint64_t size, const std::uint8_t* bytes, DataChunk& key,
                                std::uint32_t& tag)
{
    key.Resize(0);
    std::uint64_t needed = 0;
    switch (format)
    {
    case KeyFormats::Tag1:
    case KeyFormats::Tag2:
    case KeyFormats::Tag4:
        needed = static_cast<std::uint64_t>(format);
        break;
    case KeyFormats::Label:
        needed = 16;
        break;
    case KeyFormats::OIDTag:
        // Up to and including the first byte with bit 7 clear.
        needed = size + 1;
        for (std::uint64_t i = 0; i < size; ++i)
            if (!(bytes[i] & 0x80))
            {
                needed = i + 1;
                break;
            }
        break;
    default:
        return 0;
    }
    if (size < needed)
    {
        DiagnosticError("Not enough bytes for required key type in MDObject::ReadKey(), got %s, require %d\n",
                        std::to_string(size).c_str(), static_cast<int>(needed));
        return 0;
    }
    if (format == KeyFormats::Label)
    {
        tag = 0;
        key.Resize(16);
        std::copy(bytes, bytes + 16, key.Data());
    }
    else if (format == KeyFormats::OIDTag)
    {
        std::uint32_t value = 0;
        for (std::uint64_t i = 0; i < needed; ++i)
            value = value << 7 | (bytes[i] & 0x7f);
        tag = value;
    }
    else
        tag = static_cast<std::uint32_t>(BigEndian(bytes, needed));
    return static_cast<std::uint32_t>(needed);
}

std::uint32_t MDObject::ReadLength(int format, std::uint64_t size, const std::uint8_t* bytes,
                                   std::uint64_t& length)
{
    length = 0;
    if (format == LengthFormats::Bytes1 || format == LengthFormats::Bytes2 || format == LengthFormats::Bytes4)
    {
        const auto width = static_cast<std::size_t>(format);
        if (size < width)
        {
            ReportShortLength();
            return 0;
        }
        length = BigEndian(bytes, width);
        return static_cast<std::uint32_t>(width);
    }
    if (format != LengthFormats::BER)
        return 0;
    const BERLength ber = ReadBER(bytes, size);
    if (ber.Result == BERLength::Short)
    {
        ReportShortLength();
        return 0;
    }
    if (ber.Result == BERLength::TooLong)
    {
        DiagnosticError("Excessive BER length field in MDObject::ReadLength()\n");
        return 0;
    }
    if (ber.Length >= 0x100000000ULL)
    {
        DiagnosticError(
            "Excessive BER length field in MDObject::ReadLength() - Metadata objects are limited to 4Gb "
            "each\n");
        return 0;
    }
    length = ber.Length;
    return ber.Size;
}

MDObjectPtr MDObject::MakeSetItem(int keyFormat, const std::uint8_t* key, std::uint32_t tag,
                                  const PrimerPtr& primer)
{
    if (keyFormat == KeyFormats::Tag2)
        return new MDObject(tag, primer);
    if (keyFormat == KeyFormats::Label)
        return new MDObject(ULPtr(new UL(key)));
    for (const auto& [name, childClass] : ClassType->ChildrenByName())
        if (childClass->StaticTag == tag)
            return new MDObject(childClass);
    if (keyFormat == KeyFormats::Tag1)
        DiagnosticError("%s at 0x%s in %s contains unknown item with 1-byte tag of 0x%02x\n",
                        FullName().c_str(), LocationText(*this).c_str(), SourceName().c_str(), tag & 0xff);
    else
        DiagnosticError("%s at 0x%s in %s contains unknown item with OID BER key of 0x%s\n",
                        FullName().c_str(), LocationText(*this).c_str(), SourceName().c_str(),
                        HexText64(tag, 4).c_str());
    return MDObjectPtr();
}

std::uint64_t MDObject::ReadSet(const std::uint8_t* buffer, std::uint64_t size, const PrimerPtr& primer)
{
    DiagnosticNote("Reading set at 0x%s\n", LocationText(*this).c_str());
    ChildEntries.clear();
    const SetReading reading(*this);
    if (reading.Depth > MaxSetDepth)
    {
        DiagnosticError("%s at 0x%s in %s is nested more than %d sets deep; its items are not read\n",
                        FullName().c_str(), LocationText(*this).c_str(), SourceName().c_str(), MaxSetDepth);
        return size;
    }
    const int keyFormat = ClassType->KeyFormat;
    const int lenFormat = ClassType->LenFormat;
    DataChunk key;
    std::uint64_t used = 0;
    // Past the thread's memory budget the rest is not read: the reader refuses the metadata.
    while (used < size && !MemoryBudget::CurrentSpent())
    {
        const std::uint64_t itemStart = used;
        std::uint32_t tag = 0;
        const std::uint32_t keySize = ReadKey(keyFormat, size - used, buffer + used, key, tag);
        if (keySize == 0)
            break;
        used += keySize;
        std::uint64_t length = 0;
        used += ReadLength(lenFormat, size - used, buffer + used, length);
        if (length == 0)
            continue;
        // A batch may state 0xFFFF for "all that follows".
        const bool toEnd = length == 0xffff && lenFormat == LengthFormats::Bytes2;
        const std::uint64_t left = size - used;
        if (left < length)
        {
            DiagnosticError("Not enough bytes for value for %s at 0x%s in %s\n", FullName().c_str(),
                            LocationText(*this).c_str(), SourceName().c_str());
            length = left;
        }
        // No item of another key format can be made.
        if (keyFormat != KeyFormats::Tag1 && keyFormat != KeyFormats::Tag2 &&
            keyFormat != KeyFormats::Label && keyFormat != KeyFormats::OIDTag)
            return 0;
        MDObjectPtr child = MakeSetItem(keyFormat, key.Data(), tag, primer);
        if (!child)
        {
            used += length;
            continue;
        }
        child->Parent = this;
        child->Location = itemStart;
        child->KeyLengthSize = static_cast<std::uint32_t>(used - itemStart);

        // A nested strong reference holds its target's bytes in place of the target's instance UUID.
        MDObjectPtr decoded = child;
        const bool nested = IsNestedStrongRef(child->ClassType.GetPtr()) && child->ClassType->GetRefTarget();
        if (nested)
        {
            AppendChild(child);
            decoded = new MDObject(MDOTypePtr(child->ClassType->GetRefTarget()));
            child->MakeReference(decoded, false);
            decoded->Parent = child;
            decoded->Location = 0;
            decoded->KeyLengthSize = child->KeyLengthSize;
        }
        if (toEnd && child->ClassType && child->ClassType->ContainerKind == MDOType::BATCH)
            length = decoded->ReadValue(buffer + used, size - used, PrimerPtr());
        else if (const std::uint64_t read = decoded->ReadValue(buffer + used, length, PrimerPtr());
                 read != length)
            DiagnosticError("Failed to read complete %s value at 0x%s in %s - specified length=%s, read=%s\n",
                            child->FullName().c_str(), LocationText(*child).c_str(),
                            child->SourceName().c_str(), std::to_string(length).c_str(),
                            std::to_string(read).c_str());
        used += length;
        if (!nested)
            AppendChild(child);
    }
    return used;
}

std::uint64_t MDObject::ReadPack(const std::uint8_t* buffer, std::uint64_t size)
{
    DiagnosticNote("Reading pack at 0x%s\n", LocationText(*this).c_str());
    const int lenFormat = ClassType->LenFormat;
    std::uint64_t used = 0;
    std::size_t next = 0;
    const std::size_t members = ChildEntries.size();
    while (next < members && used < size)
    {
        MDObject& member = *ChildEntries[next++].second;
        if (member.Parent.GetPtr() != this)
            member.Parent = this;
        member.Location = used;
        member.KeyLengthSize = 0;
        std::uint64_t offered = size - used;
        bool decode = true;
        if (lenFormat == LengthFormats::None)
        {
            // A partition array that is no batch leaves room for the 4 bytes after it.
            const MDType* type = member.ValueType ? member.ValueType->EffectiveType() : nullptr;
            if (member.IsKindOf(UL(PartitionArrayKey)) && type && type->ArrayClass == ArrayKinds::Plain)
                offered = offered > 4 ? offered - 4 : 0;
        }
        else
        {
            std::uint64_t length = 0;
            used += ReadLength(lenFormat, size - used, buffer + used, length);
            offered = size - used;
            decode = length != 0;
            if (!decode)
                offered = 0;
            else if (offered < length)
                DiagnosticError("Not enough bytes for value for %s at 0x%s in %s\n", FullName().c_str(),
                                LocationText(*this).c_str(), SourceName().c_str());
            else
                offered = length;
        }
        if (decode)
            used += std::min(member.ReadValue(buffer + used, offered, PrimerPtr()), offered);
    }
    if (used < size)
        DiagnosticNote("Extra bytes found parsing buffer for %s in MDObject::ReadValue()\n",
                       FullName().c_str());
    if (next < members)
        DiagnosticNote("Not enough bytes in buffer for %s at 0x%s in %s\n", FullName().c_str(),
                       LocationText(*this).c_str(), SourceName().c_str());
    return used;
}

std::uint64_t MDObject::ReadBatch(const std::uint8_t* buffer, std::uint64_t size)
{
    const auto reportShort = [&]
    {
        DiagnosticError("Malformed batch found in %s at 0x%s in %s - total bytes = %u\n", FullName().c_str(),
                        LocationText(*this).c_str(), SourceName().c_str(), static_cast<unsigned>(size));
    };
    if (size < 8)
    {
        if (size < 4)
            reportShort();
        reportShort();
        return size;
    }
    auto count = static_cast<std::uint32_t>(BigEndian(buffer, 4));
    const auto itemSize = static_cast<std::uint32_t>(BigEndian(buffer + 4, 4));
    const std::uint64_t left = size - 8;
    // In 64 bits: a header of large numbers must not wrap round to the bytes present.
    const std::uint64_t needed = static_cast<std::uint64_t>(count) * itemSize;
    if (needed != left)
    {
        DiagnosticError(
            "Malformed batch found in %s at 0x%s in %s - item size = %u, count = %u, but bytes = %u\n",
            FullName().c_str(), LocationText(*this).c_str(), SourceName().c_str(), itemSize, count,
            static_cast<unsigned>(left));
        if (left < needed)
            count = static_cast<std::uint32_t>(left / itemSize);
    }
    if (count == 0)
        return 8;
    return 8 + ReadElements(buffer + 8, left, true, count, itemSize);
}

std::uint64_t MDObject::ReadElements(const std::uint8_t* buffer, std::uint64_t size, bool counted,
                                     std::uint32_t count, std::uint32_t itemSize)
{
    ChildEntries.clear();
    // Old-style definitions give the item classes in turn, in the class's child order.
    const std::list<MDOTypePtr>* oldStyle =
        ClassType && !ClassType->ChildList().empty() ? &ClassType->ChildList() : nullptr;
    if (oldStyle)
        DiagnosticNote("Entered dead code for reading old-style batches/arrays for %s\n", FullName().c_str());
    auto nextClass = oldStyle ? oldStyle->begin() : std::list<MDOTypePtr>::const_iterator();
    std::uint64_t used = 0;
    std::uint32_t read = 0;
    while ((used < size || (counted && read < count)) && !MemoryBudget::CurrentSpent())
    {
        MDObjectPtr element;
        if (oldStyle)
        {
            element = new MDObject(*nextClass);
            if (++nextClass == oldStyle->end())
                nextClass = oldStyle->begin();
        }
        else
            element = AddChild();
        if (!element)
            break;
        // Setting a parent the element has already costs a search of this object's weak pointers.
        if (element->Parent.GetPtr() != this)
            element->Parent = this;
        element->Location = used;
        element->KeyLengthSize = 0;
        const std::uint64_t offered = counted ? std::min<std::uint64_t>(itemSize, size - used) : size - used;
        const std::uint64_t consumed = element->ReadValue(buffer + used, offered, PrimerPtr());
        used += std::min(consumed, size - used);
        if (oldStyle)
            AppendChild(element);
        // An element that takes nothing would be followed by the same element without end.
        if (consumed == 0 || (counted && ++read == count))
            break;
    }
    if (oldStyle && oldStyle->size() >= 2 && nextClass != oldStyle->begin())
        DiagnosticError("Multiple %s at 0x%s in %s does not contain an integer number of sub-items\n",
                        FullName().c_str(), LocationText(*this).c_str(), SourceName().c_str());
    return used;
}

} // namespace mxf
