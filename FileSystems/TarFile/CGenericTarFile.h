// CGenericTarFile: the TAR header object of the generic TAR plug-in. Beyond POSIX ustar with pax records
// it reads the GNU extensions: a long name carried by a preceding 'L' entry, base-256 sizes and times
// and an empty mtime field. Names longer than 100 bytes are built with a pax "path" record. Owns its
// long-name buffer; one operation uses an object at a time.
//
// Reading a GNU long name: with the 'L' header in Header[0] (after GetPaxDataLength), AllocateLongName
// sizes LongName for the entry, the caller reads LongNameLength bytes into it and then the member's own
// header into Header[0], and reads on as for any header.
#pragma once

#include "FileSystems/TarFile/CTarFile.h"

class CGenericTarFile : public CTarFile
{
public:
    // The long name when one is held (up to its NUL, in the process's ANSI code page), else as CTarFile.
    CStatus GetName(unsigned codePage, CFileName& name) const override;
    // The pax "size" record when held, else the ustar size field, base-256 when its first byte is 0x80.
    CStatus GetSize(const CVolumeID& volume, std::uint64_t& size) const override;
    // The current time when the mtime field is empty (first byte NUL), else as CTarFile.
    CStatus GetModificationTime(const CVolumeID& volume, std::uint64_t& time) const override;
    // The first 100 bytes go into the name field; a longer name needs a "path" record.
    bool StoreName(std::string name) override;

    // Allocates LongName for the 'L' entry whose header is in Header[0]: its size (refused past
    // MaxExtensionBytes, as a corrupt header at `position`) rounded up to whole blocks, recorded in
    // PaxCapacity. Pax records held before are dropped.
    CStatus AllocateLongName(const CVolumeID& volume, std::uint64_t position);
    // The data length of the GNU extension entry ('L' or 'K') whose header is in Header[0]; past
    // MaxExtensionBytes it is refused as a corrupt header at `position`.
    CStatus GetExtensionLength(const CVolumeID& volume, std::uint64_t position, std::uint32_t& length) const;

    // The offset in the member's file at which the data of the GNU continuation ('M') entry whose header
    // is `block` begin: its offset field, the 12 bytes at 369 that a POSIX header keeps in its prefix.
    // False when the field holds no number.
    static bool ReadContinuationOffset(const TarHeaderBlock& block, std::uint64_t& offset);
    // Whether `next`, the block after a GNU continuation header of offset 0, is the header of the member
    // the continuation names, and not that member's data. GNU writers open a volume with such a header
    // also when the volume before ended right after a member: the next member's own header follows, or
    // the 'L' entry of the long name that the continuation's full name field was cut from.
    static bool OpensMember(const TarHeaderBlock& continuation, const TarHeaderBlock& next);

    // Header blocks a GNU writer uses for a name of `nameUnits` UTF-16 units: the member's header, plus
    // for a name past 100 units the 'L' header and the blocks of the name with its NUL.
    static constexpr std::uint64_t CountGnuHeaderBlocks(std::size_t nameUnits)
    {
        return nameUnits <= 100 ? 1 : (std::uint64_t{nameUnits} + 512) / 512 + 2;
    }

    std::unique_ptr<std::uint8_t[]> LongName;
    // The 'L' entry's size, which with GNU writers counts the name's closing NUL.
    std::uint32_t LongNameLength = 0;

protected:
    // Base-256 when the field's first byte is 0x80 or 0xFF (a time before 1970), else octal.
    CStatus ReadTimeField(const CVolumeID& volume, const TarHeaderBlock& block,
                          std::int64_t& time) const override;
};
