// Encoding metadata objects into bytes: values with their elements and members, and objects with the keys
// and lengths their parents' classes give them. It serves to get the bytes of values; nothing is written
// to a file.
#include "mxf/MDObject.h"

#include "mxf/BER.h"
#include "mxf/Diagnostics.h"
#include "mxf/Kinds.h"
#include "mxf/Labels.h"
#include "mxf/MDOTypeRegistry.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace mxf
{

namespace
{

// Encodings grow by appending; the granularity spares small encodings the first few copies.
DataChunkPtr NewBuffer()
{
    DataChunkPtr buffer(new DataChunk);
    buffer->SetGranularity(256);
    return buffer;
}

void Append(DataChunk& buffer, const std::uint8_t* bytes, std::uint64_t size)
{
    if (!size)
        return;
    const std::uint64_t at = buffer.Size();
    // Doubling the allocation keeps an encoding of a million small elements linear: growing by the
    // granularity alone copies the whole buffer every few hundred bytes.
    if (at + size > buffer.Allocated())
        buffer.Resize(std::max(at + size, 2 * buffer.Allocated()));
    buffer.Resize(at + size);
    std::memcpy(buffer.Data() + at, bytes, size);
}

void Append(DataChunk& buffer, const DataChunk& bytes)
{
    Append(buffer, bytes.Data(), bytes.Size());
}

void StoreBigEndian(std::uint8_t* out, std::uint64_t value, std::size_t width)
{
    for (std::size_t i = width; i-- > 0; value >>= 8)
        out[i] = static_cast<std::uint8_t>(value);
}

void AppendBigEndian(DataChunk& buffer, std::uint64_t value, std::size_t width)
{
    std::uint8_t bytes[8];
    StoreBigEndian(bytes, value, width);
    Append(buffer, bytes, width);
}

// The batch header: item count and item size.
void StoreBatchHeader(DataChunk& buffer, std::uint64_t at, std::uint64_t count, std::uint64_t itemSize)
{
    StoreBigEndian(buffer.Data() + at, count, 4);
    StoreBigEndian(buffer.Data() + at + 4, itemSize, 4);
}

// Byte 6 of a set's key states its key and length coding.
int KeyLengthCoding(int keyFormat, int lenFormat)
{
    static constexpr std::uint8_t codings[3][4] = {
        {0x23, 0x43, 0x03, 0x63}, // 1-byte tags
        {0x33, 0x53, 0x13, 0x73}, // 2-byte tags
        {0x2b, 0x4b, 0x0b, 0x6b}, // OID BER tags
    };
    const int column = lenFormat == LengthFormats::Bytes1   ? 0
                       : lenFormat == LengthFormats::Bytes2 ? 1
                       : lenFormat == LengthFormats::BER    ? 2
                                                            : 3;
    switch (keyFormat)
    {
    case KeyFormats::Tag1:
        return codings[0][column];
    case KeyFormats::Tag2:
        return codings[1][column];
    case KeyFormats::OIDTag:
        return codings[2][column];
    case KeyFormats::Label:
        return 0x01;
    default:
        return -1;
    }
}

MDType* EffectiveTypeOf(const MDObject& object)
{
    return object.ValueType ? object.ValueType->EffectiveType() : nullptr;
}

} // namespace

DataChunkPtr MDObject::EncodeValue(const PrimerPtr& primer) const
{
    DataChunkPtr buffer = NewBuffer();
    if (!ValueType)
    {
        for (const auto& [label, child] : ChildEntries)
            child->AppendObject(*buffer, this, primer, 0);
        return buffer;
    }
    MDType* effective = ValueType->EffectiveType();
    const bool batch = effective->ArrayClass == ArrayKinds::Batch;
    if (batch)
        buffer->Resize(8);
    if (ChildEntries.empty() || (Traits && Traits->HandlesArrayAsValue()))
        Append(*buffer, Value);
    else if (effective->Class == MDType::COMPOUND)
    {
        // Members in the order of the type; a member without a child has nothing to give.
        for (const MDTypePtr& member : effective->ChildOrder())
            for (const auto& [label, child] : ChildEntries)
                if (child->ValueType == member)
                {
                    Append(*buffer, *child->EncodeValue(primer));
                    break;
                }
    }
    else
        for (const auto& [label, child] : ChildEntries)
            Append(*buffer, *child->EncodeValue(primer));
    if (batch)
    {
        const std::uint64_t count = ChildEntries.size();
        const MDType* element = effective->GetBase();
        std::uint64_t itemSize = element ? effective->GetBase()->EffectiveSize() : 0;
        if (itemSize == 0 && count)
            itemSize = (buffer->Size() - 8) / count;
        StoreBatchHeader(*buffer, 0, count, itemSize);
    }
    return buffer;
}

std::uint64_t MDObject::EncodeObject(const DataChunkPtr& buffer, const MDObject* parent,
                                     const PrimerPtr& primer, int berSize) const
{
    return AppendObject(*buffer, parent, primer, berSize);
}

std::uint64_t MDObject::AppendObject(DataChunk& buffer, const MDObject* parent, const PrimerPtr& primer,
                                     int berSize) const
{
    std::uint64_t written = 0;
    int lenFormat = LengthFormats::BER;
    if (parent)
    {
        const int parentKind = parent->ClassType ? parent->ClassType->ContainerKind : MDOType::ITEM;
        if (parentKind == MDOType::SET)
            written += AppendKey(buffer, parent->ClassType->KeyFormat, primer);
        // The elements and members of a value are read without lengths, so they are written without.
        if (parentKind == MDOType::BATCH || parentKind == MDOType::ARRAY || parent->IsValue)
            lenFormat = LengthFormats::None;
        else
            lenFormat = parent->ClassType ? parent->ClassType->LenFormat : LengthFormats::None;
    }
    else
        written += AppendKey(buffer, KeyFormats::Label, primer);
    DataChunk body;
    body.SetGranularity(256);
    EncodeBody(body, primer);
    written += AppendLength(buffer, body.Size(), lenFormat, berSize);
    Append(buffer, body);
    return written + body.Size();
}

std::uint64_t MDObject::EncodeBody(DataChunk& body, const PrimerPtr& primer) const
{
    const int kind = ClassType ? ClassType->ContainerKind : MDOType::ITEM;
    const MDType* effective = EffectiveTypeOf(*this);
    if (kind == MDOType::PACK)
    {
        for (const MDOTypePtr& memberClass : ClassType->ChildList())
        {
            const auto member =
                std::find_if(ChildEntries.begin(), ChildEntries.end(),
                             [&](const Child& entry) { return entry.second->ClassType == memberClass; });
            if (member == ChildEntries.end())
                DiagnosticError("Pack %s is missing sub-item %s\n", FullName().c_str(),
                                memberClass->FullName().c_str());
            else
                member->second->AppendObject(body, this, primer, 0);
        }
    }
    // A batch of references is held as children, not as a value, and keeps its header all the same.
    else if (kind == MDOType::BATCH || (effective && effective->Class == MDType::TYPEARRAY &&
                                        effective->ArrayClass == ArrayKinds::Batch))
        EncodeItems(body, primer);
    else if (!ChildEntries.empty())
        for (const auto& [label, child] : ChildEntries)
            child->AppendObject(body, this, primer, 0);
    else if (IsValue && ValueHolder)
    {
        MDObjectPtr target(Link);
        if (ClassType && ClassType->RefType == RefKinds::Strong && ClassType->IsNested && target)
        {
            // The target is held in place of its instance UUID, so that UUID is no part of its bytes.
            MDObjectPtr instance = target->ClassType && target->ClassType->HasInstanceUID()
                                       ? MDObjectPtr()
                                       : target->FindChildByUL(InstanceUIDLabel());
            if (instance)
                std::erase_if(target->ChildEntries,
                              [&](const Child& entry) { return entry.second == instance; });
            Append(body, *target->EncodeValue(primer));
            if (instance)
                target->AppendChild(instance);
        }
        else
            Append(body, *ValueHolder->EncodeValue(primer));
    }
    return body.Size();
}

std::uint64_t MDObject::EncodeItems(DataChunk& items, const PrimerPtr& primer) const
{
    const std::size_t group =
        ClassType && !ClassType->ChildList().empty() ? ClassType->ChildList().size() : std::size_t{1};
    items.Resize(8);
    std::uint64_t itemSize = 0;
    std::uint64_t groupSize = 0;
    std::size_t inGroup = 0;
    for (const auto& [label, child] : ChildEntries)
    {
        groupSize += child->AppendObject(items, this, primer, 0);
        if (++inGroup == group)
        {
            itemSize = groupSize;
            groupSize = 0;
            inGroup = 0;
        }
    }
    if (ChildEntries.empty())
    {
        // The item size of an empty batch: that of one new item.
        DataChunk scratch;
        std::vector<MDObjectPtr> made;
        if (ClassType && !ClassType->ChildList().empty())
            for (const MDOTypePtr& itemClass : ClassType->ChildList())
                made.emplace_back(new MDObject(itemClass));
        else if (const MDType* effective = EffectiveTypeOf(*this); effective && effective->GetBase())
            made.emplace_back(new MDObject(effective->GetBase()));
        for (const MDObjectPtr& item : made)
            itemSize += item->AppendObject(scratch, this, primer, 0);
    }
    StoreBatchHeader(items, 0, ChildEntries.size() / group, itemSize);
    return items.Size();
}

std::uint32_t MDObject::EncodeLength(const DataChunkPtr& buffer, std::uint64_t length, int format,
                                     int berSize)
{
    return AppendLength(*buffer, length, format, berSize);
}

std::uint32_t MDObject::AppendLength(DataChunk& buffer, std::uint64_t length, int format, int berSize)
{
    switch (format)
    {
    case LengthFormats::Bytes1:
        AppendBigEndian(buffer, std::min<std::uint64_t>(length, 0xff), 1);
        return 1;
    case LengthFormats::Bytes2:
        AppendBigEndian(buffer, std::min<std::uint64_t>(length, 0xffff), 2);
        return 2;
    case LengthFormats::Bytes4:
        AppendBigEndian(buffer, std::min<std::uint64_t>(length, 0xffffffff), 4);
        return 4;
    case LengthFormats::BER:
    {
        const DataChunkPtr ber = MakeBERChunk(length, static_cast<std::uint32_t>(berSize));
        Append(buffer, *ber);
        return static_cast<std::uint32_t>(ber->Size());
    }
    default:
        return 0;
    }
}

std::uint32_t MDObject::WriteKey(const DataChunkPtr& buffer, int format, const PrimerPtr& primer) const
{
    return AppendKey(*buffer, format, primer);
}

std::uint32_t MDObject::AppendKey(DataChunk& buffer, int format, const PrimerPtr& primer) const
{
    switch (format)
    {
    case KeyFormats::None:
        return 0;
    case KeyFormats::Tag1:
    case KeyFormats::Tag2:
    case KeyFormats::Label:
    case KeyFormats::OIDTag:
        break;
    case KeyFormats::Tag4:
        DiagnosticError("Call to WriteKey() for %s, but 4 byte tags not currently supported\n",
                        FullName().c_str());
        return 0;
    default:
        DiagnosticError("Unsupported Key Format %d for %s\n", format, FullName().c_str());
        return 0;
    }
    if (!ObjectUL)
    {
        DiagnosticError("Call to WriteKey() for %s, but the UL is not known\n", FullName().c_str());
        return 0;
    }
    if (format == KeyFormats::Label)
    {
        std::uint8_t key[16];
        std::memcpy(key, ObjectUL->GetValue(), 16);
        if (HasSMPTEPrefix(key) && key[4] == 0x02 && key[5] == 0x7f)
        {
            const int coding = ClassType ? KeyLengthCoding(ClassType->KeyFormat, ClassType->LenFormat) : -1;
            if (coding < 0)
                DiagnosticError("Unsupported Key/Length format for %s - leaving byte 6 as 0x7f\n",
                                FullName().c_str());
            else
                key[5] = static_cast<std::uint8_t>(coding);
        }
        Append(buffer, key, 16);
        return 16;
    }
    const mxf::Tag tag =
        primer ? primer->TagFor(ObjectUL, Tag) : MDOTypeRegistry::Get().StaticTagFor(ObjectUL, Tag);
    if (format == KeyFormats::Tag1)
    {
        AppendBigEndian(buffer, tag, 1);
        return 1;
    }
    if (format == KeyFormats::Tag2)
    {
        AppendBigEndian(buffer, tag, 2);
        return 2;
    }
    // OID style: 7 bits a byte, most significant first, bit 7 on all but the last.
    std::uint8_t groups[5];
    std::size_t count = 0;
    mxf::Tag rest = tag;
    do
    {
        groups[count++] = static_cast<std::uint8_t>(rest & 0x7f);
        rest >>= 7;
    } while (rest);
    for (std::size_t i = count; i-- > 0;)
    {
        const std::uint8_t byte = static_cast<std::uint8_t>(groups[i] | (i ? 0x80 : 0));
        Append(buffer, &byte, 1);
    }
    return static_cast<std::uint32_t>(count);
}

} // namespace mxf
