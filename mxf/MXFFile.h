// MXFFile: an MXF file on disk, behind an adopted handle or in a memory buffer, with the run-in before its
// first partition pack hidden from every position, and the KLV reads that the object model is built with;
// MXFFilePtr and MXFFileParent are its strong and weak pointers. Every byte-level operation is virtual, so a
// subclass can present other storage as an MXF file. The file owns its buffer and its handle (unless
// adopted); objects read from it hold it only weakly. One file is used by one thread at a time.
#pragma once

#include "mxf/DataChunk.h"
#include "mxf/Primer.h"
#include "mxf/RefCount.h"
#include "mxf/UL.h"

#include <cstdint>
#include <string>

namespace mxf
{

class MDObjectPtr;
class PartitionPtr;

class MXFFile : public RefCount<MXFFile>
{
public:
    MXFFile() = default;
    MXFFile(const MXFFile&) = delete;
    MXFFile& operator=(const MXFFile&) = delete;
    ~MXFFile() override;

    // Each open closes the file first. Open and OpenHandle then look for the run-in, and fail (leaving the
    // file open) when no partition key starts in the first 64 KiB.
    virtual bool Open(const std::string& path, bool readOnly);
    virtual bool OpenNew(const std::string& path);
    virtual bool OpenMemory(const DataChunkPtr& buffer, std::uint64_t offset);
    virtual bool OpenHandle(int handle);
    virtual bool Close();
    // Cuts or extends the file at position (-1: the current position).
    virtual bool Truncate(std::int64_t position);

    // Positions leave out the run-in.
    virtual std::uint64_t Tell();
    virtual int Seek(std::uint64_t position);
    virtual std::int64_t SeekEnd();
    virtual bool Eof();
    virtual std::int64_t FileSize();

    virtual std::uint64_t Read(std::uint8_t* buffer, std::uint64_t size);
    // A chunk of the bytes that came, which may be fewer than size.
    virtual DataChunkPtr Read(std::uint64_t size);
    virtual std::int64_t Write(const DataChunkPtr& data);
    virtual std::int64_t Write(const DataChunk& data);
    virtual std::int64_t Write(const std::uint8_t* buffer, std::uint64_t size);
    virtual int Flush();
    virtual std::uint64_t MemoryWrite(const std::uint8_t* buffer, std::uint64_t size);
    virtual std::uint64_t MemoryRead(std::uint8_t* buffer, std::uint64_t size);

    bool FindRunIn();
    // The BER length at the position, -1 when it is cut short.
    std::int64_t ReadBERLength();
    // The 16-byte key at the position, empty when fewer bytes remain.
    ULPtr ReadULKey();
    // The object at the position (key, length and value decoded through its type), empty when no key.
    MDObjectPtr ReadObject(const PrimerPtr& primer = PrimerPtr());
    // The partition pack at the position, empty when there is none or when its length is more than
    // MaxPartitionPackSize; the file is left after it.
    PartitionPtr ReadPartition();
    // The fixed fields of a partition pack take 88 bytes; this leaves room for some 4,000 essence
    // container labels, where files carry a handful.
    static constexpr std::uint64_t MaxPartitionPackSize = 0x10000;
    // The position of the footer partition pack key within maxDistance bytes of the end, 0 when none.
    std::uint64_t ScanBackForFooter(std::int64_t maxDistance);

    // The value of a KLV item of length bytes at the position: at most the bytes that are there, read in
    // pieces so that a length from a damaged file allocates no more than the file holds.
    DataChunkPtr ReadValueBytes(std::uint64_t length);
    // The bytes from the position to the end of the file or memory buffer; all ones when the end is not
    // known.
    std::uint64_t BytesLeft();

    bool IsOpen = false;
    bool IsMemoryFile = false;
    bool IsExternalHandle = false;
    int Handle = -1;
    std::uint32_t RunInSize = 0;
    DataChunkPtr Buffer;
    std::uint64_t BufferOffset = 0;
    std::uint64_t BufferPosition = 0;
    DataChunk RunIn;
    std::string Name;
};

using MXFFilePtr = SmartPtr<MXFFile>;

// The object of class T (MDObject or Partition) at the file's position, or empty when no key is left;
// partition packs and objects outside header metadata are read with an empty primer.
template <class T> SmartPtr<T> ReadObjectAt(MXFFile& file, const PrimerPtr& primer);
using MXFFileParent = ParentPtr<MXFFile>;

} // namespace mxf
