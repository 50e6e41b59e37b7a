// CTarFile: the header of one TAR member as read from tape: a ustar header block, optionally preceded by
// a pax extended header ('x') whose records it keeps. The TAR plug-ins read every header through it and
// ask it for the member's name, size and time; it can also build a header for a name and size, to learn
// how many header blocks a file would take. Each layout's subclass decides how a long name is stored.
// The object owns its record buffer. One operation uses an object at a time; it has no lock.
//
// Reading: put the first block into Header[0] and call GetPaxDataLength. When PaxLength is then nonzero,
// call AllocatePaxData, read PaxLength bytes of records into PaxData and the next block into Header[1],
// and call GetPaxDataLength again, which now also verifies Header[1].
#pragma once

#include "FileSystems/TarFile/SparseMap.h"
#include "FileSystems/TarFile/TarHeaderBlock.h"
#include "vnservice/CFileName.h"
#include "vnservice/CStatus.h"
#include "vnservice/Identities.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

class CTarFile
{
public:
    static constexpr std::uint32_t BlockBytes = 512;
    // The largest pax record set or GNU long name accepted from tape. Real writers stay far below it,
    // even with large attribute sets; a length past it is taken as a corrupt header.
    static constexpr std::uint32_t MaxExtensionBytes = 64u << 20;
    // The longest member name taken, in bytes: a catalogue page holds a path of some 32,600 UTF-16 units
    // with its record, and no writer's file system has names of this length (Linux paths end at 4,096).
    static constexpr std::size_t MaxNameBytes = 32000;
    // The largest size the 11 octal digits of a size field hold; larger sizes need a pax "size" record.
    static constexpr std::uint64_t MaxOctalSize = 0x1FFFFFFFFull;

    CTarFile() = default;
    CTarFile(const CTarFile&) = delete;
    CTarFile& operator=(const CTarFile&) = delete;
    virtual ~CTarFile() = default;

    // The member's name: the pax "GNU.sparse.name" record of a sparse member (whose "path" names a
    // stand-in), the "path" record, else the ustar prefix and name, decoded with `codePage` when the
    // header is POSIX ("00" version), else with the OEM code page.
    virtual CStatus GetName(unsigned codePage, CFileName& name) const;
    // The name a reader that knows no sparse members gives the member: as CTarFile::GetName, the pax
    // "GNU.sparse.name" record passed over, so a sparse member's stand-in name where it has one.
    CStatus GetPlainName(unsigned codePage, CFileName& name) const;
    // The member's size in bytes: the pax "size" record, else the ustar block's size field.
    virtual CStatus GetSize(const CVolumeID& volume, std::uint64_t& size) const;
    // Devmajor and devminor of the first block read as one octal number (in practice devmajor).
    virtual CStatus GetDeviceNumber(const CVolumeID& volume, std::uint64_t& number) const;
    // The mtime of the first block (the pax header's when one is held), seconds since 1970; a zero time
    // reads as the current time. GetTapeModificationTime gives the member's own time as written.
    virtual CStatus GetModificationTime(const CVolumeID& volume, std::uint64_t& time) const;
    // Stores a multi-byte name into the first block; true when a pax "path" record is needed.
    virtual bool StoreName(std::string name) = 0;

    // Verifies the first block (and the second when pax records are held) and, for a pax header, sets
    // PaxLength from its size field. `position` is the header's tape position, for error reports.
    CStatus GetPaxDataLength(const CVolumeID& volume, std::uint64_t position);
    // Makes PaxData hold PaxLength bytes, rounded up to whole blocks (PaxCapacity).
    CStatus AllocatePaxData();

    // Builds a fresh header for the name: name field (or a pax "path" record), mode, owners, magic.
    CStatus BuildHeader(const CVolumeID& volume, const CFileName& name);
    // Stores the size into the first block, or a pax "size" record when it needs more than 11 digits.
    CStatus SetSize(const CVolumeID& volume, std::uint64_t size);
    // Header blocks of the header as built: one ustar block, plus a pax header and its record blocks.
    std::uint64_t GetHeaderBlockCount() const;
    // BuildHeader, SetSize and GetHeaderBlockCount in one; 0 blocks on failure.
    CStatus CountHeaderBlocks(const CVolumeID& volume, const CFileName& name, std::uint64_t size,
                              std::uint64_t& blocks);

    // The ustar block's own mtime as written, seconds since 1970 (negative before): no current time in
    // place of 0, and never the pax header's mtime. An empty field (first byte NUL) gives 0.
    CStatus GetTapeModificationTime(const CVolumeID& volume, std::int64_t& time) const;
    // The member's time for the catalogue, as written: its pax "mtime" record (the whole seconds of its
    // leading number), else the first block's mtime (a pax header's), or the member's own ustar mtime
    // when that holds 0 (some writers leave pax headers undated); 0 when none holds a time, so that every
    // reading of a tape gives the same time. A record with no leading number is logged and passed over.
    CStatus GetCatalogueTime(const CVolumeID& volume, std::int64_t& time) const;

    // Reads an octal field of `width` bytes: leading white space, an optional sign, then octal digits up
    // to the first other byte, all within the field. No digit: 0 and ErrorNoNumber.
    static CStatus ParseOctalField(const CVolumeID& volume, const char* field, std::size_t width,
                                   std::uint64_t& value);
    // Writes exactly 11 (or 7) zero-padded octal digits and a NUL; a number that needs more digits leaves
    // the field unchanged and fails with ErrorFieldTooSmall.
    static CStatus WriteOctalField(const CVolumeID& volume, std::uint64_t value, char (&field)[12]);
    static CStatus WriteOctalField(const CVolumeID& volume, std::uint32_t value, char (&field)[8]);

    // How a member stores a file with holes: not at all; as an old GNU 'S' header whose map the header
    // and its extension blocks hold; with pax records that hold the map (GNU forms 0.0 and 0.1) or say
    // that it opens the member's data (1.0); or in a pax form of a version no writer is known to make.
    enum class SparseForm
    {
        None,
        GnuHeader,
        PaxRecords,
        PaxData,
        Unknown
    };
    SparseForm GetSparseForm() const;
    // The size of the file the member stands for: a sparse member's expanded size, else GetSize. A
    // sparse size that is no number gives the member's own size, as the header has it.
    CStatus GetFileSize(const CVolumeID& volume, std::uint64_t& size) const;
    // The map of a sparse member as far as its headers hold it: the file size and the regions of the pax
    // records, or of the old GNU header (its extension blocks' are added as they are read). False when a
    // record or entry does not read.
    bool ReadHeaderMap(CSparseMap& map) const;

    // Appends the record "<length> <key>=<value>\n", the length counting its own digits.
    CStatus AddPaxRecord(std::string_view key, std::string_view value);
    // The value of the first well-formed record with the key; empty when there is none. The walk stops at
    // the first malformed record.
    std::string_view FindPaxRecord(std::string_view key) const;
    // Calls `visit`(key, value) for each well-formed record in order, up to the first malformed one or
    // until `visit` returns false.
    void ForEachPaxRecord(const std::function<bool(std::string_view, std::string_view)>& visit) const;

    // An unsigned decimal number: white space, an optional '+', then digits to the end of the text; false
    // for anything else or a number past 64 bits.
    static bool ScanDecimal(std::string_view text, std::uint64_t& value);
    // A GNU number field: octal as ParseOctalField reads it, or base-256 (0x80, then a big-endian number
    // of the other bytes); false when it holds no number or one past 63 bits.
    static bool ScanGnuNumber(const char* field, std::size_t width, std::uint64_t& value);
    // "0x" followed by each byte as two hexadecimal digits, separated by ", ": how a field that is not a
    // number is shown in an error.
    static std::string ByteList(std::string_view bytes);
    // 0 when the block is a header (magic, then either checksum); else ErrorNotHeader or ErrorChecksum.
    static std::uint32_t VerifyHeader(const TarHeaderBlock& block);
    // Blocks that `bytes` bytes of data take, rounded up; exact for every 64-bit size.
    static constexpr std::uint64_t BlocksFor(std::uint64_t bytes)
    {
        return bytes / BlockBytes + (bytes % BlockBytes != 0 ? 1 : 0);
    }

    bool HoldsPaxData() const { return PaxData != nullptr; }
    const TarHeaderBlock& FirstBlock() const { return Header[0]; }
    const TarHeaderBlock& UstarBlock() const { return Header[HoldsPaxData() ? 1 : 0]; }

    // Header[0] is the block as first read; with pax records held it is the 'x' header and Header[1] the
    // member's own ustar header.
    TarHeaderBlock Header[2] = {};
    std::unique_ptr<std::uint8_t[]> PaxData;
    std::uint32_t PaxCapacity = 0;
    std::uint32_t PaxLength = 0;
    // The extension block of an old GNU sparse header last read, which follows the member's header.
    TarHeaderBlock SparseExtension = {};

protected:
    // The block's mtime field as a signed time; octal here, a layout's header object may read more forms.
    virtual CStatus ReadTimeField(const CVolumeID& volume, const TarHeaderBlock& block,
                                  std::int64_t& time) const;
    // The pax record `key` read by `scan`: false when no such record is held; a value that `scan` does not
    // read gives 0 and fails `status` with `code` and the value's bytes.
    template <class Value, class Scan>
    bool ReadPaxNumber(const CVolumeID& volume, std::string_view key, Scan scan, std::uint32_t code,
                       Value& value, CStatus& status) const;
    // GetName, or GetPlainName when not `sparseName`.
    CStatus ReadName(unsigned codePage, bool sparseName, CFileName& name) const;
    // A text field read up to its first NUL, all of it when it holds none.
    static std::string_view FieldText(const char* field, std::size_t width);
    // Fails with ErrorNameTooLong, naming where the name comes from, when it is longer than MaxNameBytes.
    static CStatus CheckNameLength(const char* origin, std::size_t bytes);
    // The current time in seconds since 1970, UTC.
    static std::uint64_t CurrentTime();
    // A zeroed buffer of `capacity` bytes holding the first `keep` bytes of `buffer`; null when memory
    // runs out (the allocation seam of the platform may make it fail).
    static std::unique_ptr<std::uint8_t[]> Reallocate(const std::uint8_t* buffer, std::size_t keep,
                                                      std::size_t capacity);
    // Decodes name bytes into `name` with the code page, or in the OEM code page when they are no text of it.
    static CStatus DecodeName(unsigned codePage, std::string_view text, CFileName& name);
    static constexpr std::size_t RoundToBlocks(std::size_t bytes)
    {
        return (bytes + BlockBytes - 1) / BlockBytes * BlockBytes;
    }
};
