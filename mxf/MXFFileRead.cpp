// The KLV steps of an MXF file: the run-in search, keys, BER lengths, whole objects, partition packs and
// the backward search for the footer. All of them read through the virtual operations, so they work on
// every kind of file.
#include "mxf/MXFFile.h"

#include "mxf/BER.h"
#include "mxf/Hex.h"
#include "mxf/Labels.h"
#include "mxf/MDOType.h"
#include "mxf/MDObject.h"
#include "mxf/Partition.h"
#include "mxf/PartitionKey.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace mxf
{

namespace
{

constexpr std::uint64_t RunInLimit = 65536;

MDObject& Inner(MDObject& object)
{
    return object;
}

MDObject& Inner(Partition& partition)
{
    return *partition.Object;
}

bool ChainMatches(const MDOType* type, const UL& label)
{
    for (; type; type = type->GetBase())
        if (type->TypeUL && type->TypeUL->Matches(label))
            return true;
    return false;
}

} // namespace

bool MXFFile::FindRunIn()
{
    RunInSize = 0;
    RunIn.Resize(0);
    Seek(0);
    std::uint8_t key[16];
    if (Read(key, 16) < 16)
        return false;
    if (std::memcmp(key, PartitionPackKeyPrefix.data(), PartitionPackKeyPrefix.size()) == 0)
    {
        Seek(0);
        return true;
    }
    Seek(0);
    std::vector<std::uint8_t> start(RunInLimit + PartitionPackKeyPrefix.size());
    const std::uint64_t count = Read(start.data(), start.size());
    for (std::uint64_t at = 0; at + 12 <= count; ++at)
    {
        if (start[at] != PartitionPackKeyPrefix[0] ||
            std::memcmp(&start[at], PartitionPackKeyPrefix.data(), PartitionPackKeyPrefix.size()) != 0)
            continue;
        RunInSize = static_cast<std::uint32_t>(at);
        RunIn.Resize(at);
        std::memcpy(RunIn.Data(), start.data(), at);
        Seek(0);
        return true;
    }
    DiagnosticError("Cannot find valid key in first 65536 bytes of file \"%s\"\n", Name.c_str());
    Seek(0);
    return false;
}

std::int64_t MXFFile::ReadBERLength()
{
    std::uint8_t coding[1 + 0x7f];
    std::uint64_t got = Read(coding, 1);
    if (got == 1 && coding[0] >= 0x80)
        got += Read(coding + 1, coding[0] & 0x7f);
    const BERLength ber = ReadBER(coding, got);
    // The result is signed: a length of 2^63 or more does not fit it, nor does a longer coding.
    if (ber.Result == BERLength::Decoded && ber.Length <= std::uint64_t(INT64_MAX))
        return static_cast<std::int64_t>(ber.Length);
    if (ber.Result == BERLength::Short)
        DiagnosticError("Incomplete BER length in file \"%s\" at 0x%s\n", Name.c_str(),
                        HexText64(Tell(), 8).c_str());
    else
        DiagnosticError("BER length too large in file \"%s\" at 0x%s\n", Name.c_str(),
                        HexText64(Tell(), 8).c_str());
    return -1;
}

ULPtr MXFFile::ReadULKey()
{
    std::uint8_t key[16];
    if (Read(key, 16) < 16)
        return ULPtr();
    return ULPtr(new UL(key));
}

template <class T> SmartPtr<T> ReadObjectAt(MXFFile& file, const PrimerPtr& primer)
{
    const std::uint64_t location = file.Tell();
    const ULPtr key = file.ReadULKey();
    if (!key)
        return SmartPtr<T>();
    SmartPtr<T> result(new T(key));
    const std::int64_t length = file.ReadBERLength();
    if (length <= 0)
        return result;
    MDObject& object = Inner(*result);
    const std::uint64_t keyLengthSize = file.Tell() - location;
    const DataChunkPtr value = file.ReadValueBytes(static_cast<std::uint64_t>(length));
    if (value->Size() < static_cast<std::uint64_t>(length))
        DiagnosticError("Not enough data in file for object %s at 0x%s\n", object.Name.c_str(),
                        HexText64(location, 8).c_str());
    object.Location = location;
    object.KeyLengthSize = static_cast<std::uint32_t>(keyLengthSize);
    object.Parent = nullptr;
    object.SourceFile = &file;
    object.ReadValue(*value, primer);
    return result;
}

template SmartPtr<MDObject> ReadObjectAt<MDObject>(MXFFile& file, const PrimerPtr& primer);
template SmartPtr<Partition> ReadObjectAt<Partition>(MXFFile& file, const PrimerPtr& primer);

MDObjectPtr MXFFile::ReadObject(const PrimerPtr& primer)
{
    return ReadObjectAt<MDObject>(*this, primer);
}

PartitionPtr MXFFile::ReadPartition()
{
    // The key is looked at before the value is read, and a length beyond what a partition pack holds is
    // damage: the value is never read for it.
    const std::uint64_t location = Tell();
    const ULPtr key = ReadULKey();
    if (!key)
        return PartitionPtr();
    const std::int64_t length = ReadBERLength();
    if (!IsPartitionPackKey(key->GetValue()))
    {
        // Stepped over unread, so that the file is left after it.
        if (length > 0)
            Seek(Tell() + static_cast<std::uint64_t>(length));
        const PartitionPtr found(new Partition(key));
        DiagnosticError("ReadPartition() found %s at 0x%s where a Partition Pack was expected\n",
                        found->FullName().c_str(), HexText64(location, 8).c_str());
        return PartitionPtr();
    }
    if (length > static_cast<std::int64_t>(MaxPartitionPackSize))
    {
        DiagnosticError("Partition Pack at 0x%s claims 0x%s bytes, more than the 0x%s a Partition Pack may "
                        "hold\n",
                        HexText64(location, 8).c_str(),
                        HexText64(static_cast<std::uint64_t>(length), 8).c_str(),
                        HexText64(MaxPartitionPackSize, 8).c_str());
        return PartitionPtr();
    }
    Seek(location);
    return ReadObjectAt<Partition>(*this, PrimerPtr());
}

std::uint64_t MXFFile::ScanBackForFooter(std::int64_t maxDistance)
{
    if (maxDistance < 20)
        return 0;
    const UL completeFooter(CompleteFooterPartitionPackKey);
    const UL footer(FooterPartitionPackKey);
    SeekEnd();
    std::uint64_t end = Tell();
    std::uint64_t remaining = static_cast<std::uint64_t>(maxDistance);
    std::vector<std::uint8_t> chunk;
    for (;;)
    {
        const std::uint64_t length = std::min({remaining, std::uint64_t{16384}, end});
        if (length == 0)
            return 0;
        const std::uint64_t start = end - length;
        Seek(start);
        chunk.resize(length);
        if (Read(chunk.data(), length) < length)
            return 0;
        remaining -= length;
        for (std::uint64_t i = 0; i < length; ++i)
        {
            if (chunk[i] != SMPTEPrefix[0])
                continue;
            std::uint8_t next = 0;
            if (i + 1 < length)
                next = chunk[i + 1];
            else
            {
                Seek(end);
                if (Read(&next, 1) != 1)
                    next = 0;
            }
            if (next != SMPTEPrefix[1])
                continue;
            Seek(start + i);
            const std::uint64_t position = Tell();
            std::uint8_t key[16];
            if (Read(key, 16) < 16)
                continue;
            const MDOTypePtr type = MDOType::FindByUL(UL(key));
            if (!type ||
                (!ChainMatches(type.GetPtr(), completeFooter) && !ChainMatches(type.GetPtr(), footer)))
                continue;
            DiagnosticNote("Found %s at 0x%s\n", type->Name.c_str(), HexText64(position, 8).c_str());
            return position;
        }
        if (start == 0)
            return 0;
        end = start;
        if (remaining == 0)
            return 0;
    }
}

} // namespace mxf
