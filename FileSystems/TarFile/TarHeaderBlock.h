// The 512-byte header block of a TAR member as it lies on tape, field by field. Numeric fields hold
// ASCII octal; GNU writers may put a base-256 number into the size field instead. Plain data, no
// behaviour: CTarFile reads and writes these fields.
#pragma once

#include <cstddef>

#pragma pack(push, 1)
struct TarHeaderBlock
{
    char Name[100]; // up to the first NUL, all 100 bytes when there is none
    char Mode[8];   // octal
    char Uid[8];    // octal
    char Gid[8];    // octal
    char Size[12];  // octal, or 0x80 then a big-endian number (GNU base-256)
    char Mtime[12]; // octal seconds since 1970; GNU writers may leave it empty (first byte NUL)
    char Chksum[8]; // octal sum of the block's bytes, this field counted as eight blanks
    char Typeflag;  // '0' file, '5' directory, 'x' pax extended header, 'L' GNU long name,
                    // 'M' GNU continuation of a file from the previous volume
    char Linkname[100];
    char Magic[6];   // "ustar\0" in POSIX headers; GNU headers carry "ustar " with Version " \0"
    char Version[2]; // "00" in POSIX headers
    char Uname[32];
    char Gname[32];
    char Devmajor[8];
    char Devminor[8];
    // A name prefix in POSIX headers only. In GNU headers these bytes hold the atime (345) and ctime
    // (357) fields, the multi-volume offset and the sparse map, so they are never read as a prefix there.
    char Prefix[155];
    char Padding[12];
};
#pragma pack(pop)

static_assert(sizeof(TarHeaderBlock) == 512);
static_assert(offsetof(TarHeaderBlock, Mode) == 100);
static_assert(offsetof(TarHeaderBlock, Uid) == 108);
static_assert(offsetof(TarHeaderBlock, Gid) == 116);
static_assert(offsetof(TarHeaderBlock, Size) == 124);
static_assert(offsetof(TarHeaderBlock, Mtime) == 136);
static_assert(offsetof(TarHeaderBlock, Chksum) == 148);
static_assert(offsetof(TarHeaderBlock, Typeflag) == 156);
static_assert(offsetof(TarHeaderBlock, Linkname) == 157);
static_assert(offsetof(TarHeaderBlock, Magic) == 257);
static_assert(offsetof(TarHeaderBlock, Version) == 263);
static_assert(offsetof(TarHeaderBlock, Uname) == 265);
static_assert(offsetof(TarHeaderBlock, Gname) == 297);
static_assert(offsetof(TarHeaderBlock, Devmajor) == 329);
static_assert(offsetof(TarHeaderBlock, Devminor) == 337);
static_assert(offsetof(TarHeaderBlock, Prefix) == 345);
static_assert(offsetof(TarHeaderBlock, Padding) == 500);
