// The TAR header object on hand-made blocks: verification, numeric fields, pax records, names, sizes,
// times, built headers and the bounds on what a header may ask to allocate.
#include "TarTestSupport.h"

#include "FileSystems/TapeFS/FileSystemErrors.h"
#include "FileSystems/TarFile/CGenericTarFile.h"
#include "vnservice/CEventLog.h"
#include "vnservice/HostErrors.h"
#include "win/Allocation.h"
#include "win/CodePage.h"
#include "win/WinError.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

using namespace tartest;

namespace
{
const CVolumeID Volume(CVolumeSetID(CSystemID(1), 9), 7);

std::uint64_t Now()
{
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
            .count());
}

std::string NameOf(const CTarFile& tar, unsigned codePage = 1)
{
    CFileName name;
    CStatus status = tar.GetName(codePage, name);
    EXPECT_TRUE(status.IsSuccess()) << status.ToString();
    return name.ToUtf8();
}

// An object holding pax records: a sealed 'x' block, the records, and the member's ustar block.
void HoldPax(CTarFile& tar, std::string_view records, const TarHeaderBlock& ustar)
{
    char size[16];
    std::snprintf(size, sizeof size, "%011o", static_cast<unsigned>(records.size()));
    tar.Header[0] = UstarBlock("PaxHeader/x", size, "00000000000", 'x');
    tar.Header[1] = ustar;
    ASSERT_TRUE(tar.GetPaxDataLength(Volume, 0).IsSuccess());
    ASSERT_TRUE(tar.AllocatePaxData().IsSuccess());
    std::memcpy(tar.PaxData.get(), records.data(), records.size());
}

TEST(VerifyHeader, accepts_either_checksum_and_tests_the_magic_first)
{
    TarHeaderBlock unsignedSum = UstarBlock("caf\xE9");
    TarHeaderBlock signedSum = UstarBlock("caf\xE9");
    Seal(signedSum, true);
    TarHeaderBlock wrongSum = UstarBlock("a");
    wrongSum.Chksum[5] ^= 1;
    TarHeaderBlock blankSum = UstarBlock("a");
    std::memset(blankSum.Chksum, ' ', sizeof blankSum.Chksum);
    TarHeaderBlock noMagic = UstarBlock("a");
    noMagic.Magic[0] = 'U';
    Seal(noMagic);
    TarHeaderBlock continuation = noMagic;
    continuation.Typeflag = 'M';
    Seal(continuation);
    TarHeaderBlock gnuMagic = UstarBlock("a");
    std::memcpy(gnuMagic.Magic, "ustar  ", 8);
    Seal(gnuMagic);

    struct
    {
        const char* What;
        const TarHeaderBlock& Block;
        std::uint32_t Code;
    } cases[] = {
        {"unsigned sum", unsignedSum, 0},    {"signed sum", signedSum, 0},
        {"GNU magic", gnuMagic, 0},          {"'M' needs no magic", continuation, 0},
        {"wrong sum", wrongSum, 0xC0002712}, {"blank sum field", blankSum, 0xC0002712},
        {"no magic", noMagic, 0xC0002713},   {"zero block", TarHeaderBlock{}, 0xC0002713},
    };
    ASSERT_NE(std::memcmp(unsignedSum.Chksum, signedSum.Chksum, 6), 0);
    for (const auto& c : cases)
        EXPECT_EQ(CTarFile::VerifyHeader(c.Block), c.Code) << c.What;
}

TEST(GetPaxDataLength, reports_the_failure_with_the_header_position)
{
    CGenericTarFile tar;
    tar.Header[0] = UstarBlock("a");
    tar.Header[0].Chksum[0] = '7';
    CStatus status = tar.GetPaxDataLength(Volume, 4711);
    EXPECT_EQ(status.GetInternalErrorCode(), 0xC0002712u);
    ASSERT_FALSE(status.GetParameters().empty());
    EXPECT_EQ(status.GetParameters()[0], "4711");

    // With records held, the member's own header is verified too.
    CGenericTarFile pax;
    HoldPax(pax, "12 path=abc\n", UstarBlock("m"));
    EXPECT_EQ(pax.PaxLength, 12u);
    pax.Header[1].Magic[0] = 'x';
    EXPECT_EQ(pax.GetPaxDataLength(Volume, 9).GetInternalErrorCode(), 0xC0002713u);
}

TEST(GetPaxDataLength, refuses_pax_lengths_that_are_unreadable_or_past_the_bound)
{
    struct
    {
        const char* Size;
        std::uint32_t Code;
        std::uint32_t Length;
    } cases[] = {
        {"00000001000", 0, 512},
        {"00400000000", 0, CTarFile::MaxExtensionBytes},
        {"00400000001", 0xC0002713, 0},
        {"37777777777", 0xC0002713, 0}, // 4 GiB - 1: rounding up in 32 bits would wrap to 0
        {"77777777777", 0xC0002713, 0},
        {"           ", 0xC0002710, 0},
    };
    for (const auto& c : cases)
    {
        CGenericTarFile tar;
        tar.Header[0] = UstarBlock("PaxHeader/x", c.Size, "00000000000", 'x');
        CStatus status = tar.GetPaxDataLength(Volume, 3);
        EXPECT_EQ(status.GetInternalErrorCode(), c.Code) << c.Size;
        EXPECT_EQ(tar.PaxLength, c.Length) << c.Size;
        if (c.Code == 0)
        {
            ASSERT_TRUE(tar.AllocatePaxData().IsSuccess());
            EXPECT_EQ(tar.PaxCapacity, c.Length);
        }
    }
}

TEST(ParseOctalField, reads_as_a_bounded_scan_and_never_past_the_field)
{
    struct
    {
        std::string Field;
        std::size_t Width;
        bool Reads;
        std::uint64_t Value;
    } cases[] = {
        {std::string("0000644\0", 8), 8, true, 0644},
        {"  644 \0", 8, true, 0644},
        {"\t+17x", 5, true, 017},
        {"-1", 2, true, ~std::uint64_t{0}},
        {"77777777777", 11, true, 0x1FFFFFFFF},
        {"123456701234567", 12, true, 0123456701234},
        {"18", 2, true, 1},
        {std::string("\0\0", 2), 2, false, 0},
        {"    7", 4, false, 0}, // the digit lies past the field
        {"+ 7", 3, false, 0},
        {"9", 1, false, 0},
    };
    for (const auto& c : cases)
    {
        std::uint64_t value = 99;
        CStatus status = CTarFile::ParseOctalField(Volume, c.Field.data(), c.Width, value);
        EXPECT_EQ(status.IsSuccess(), c.Reads) << c.Field;
        EXPECT_EQ(value, c.Value) << c.Field;
        EXPECT_EQ(status.GetInternalErrorCode(), c.Reads ? 0u : 0xC0002710u) << c.Field;
    }
    std::uint64_t value = 0;
    CStatus status = CTarFile::ParseOctalField(Volume, "a b", 3, value);
    ASSERT_FALSE(status.GetParameters().empty());
    EXPECT_EQ(status.GetParameters()[0], "0x61, 20, 62");
}

TEST(WriteOctalField, writes_exact_digits_or_leaves_the_field)
{
    char size[12];
    std::memset(size, 'z', sizeof size);
    ASSERT_TRUE(CTarFile::WriteOctalField(Volume, CTarFile::MaxOctalSize, size).IsSuccess());
    EXPECT_EQ(std::string(size, 12), std::string("77777777777\0", 12));
    CStatus status = CTarFile::WriteOctalField(Volume, CTarFile::MaxOctalSize + 1, size);
    EXPECT_EQ(status.GetInternalErrorCode(), 0xC0002711u);
    ASSERT_GE(status.GetParameters().size(), 2u);
    EXPECT_EQ(status.GetParameters()[0], "100000000000");
    EXPECT_EQ(status.GetParameters()[1], "11");
    EXPECT_EQ(std::string(size, 12), std::string("77777777777\0", 12));

    char mode[8];
    ASSERT_TRUE(CTarFile::WriteOctalField(Volume, std::uint32_t{0644}, mode).IsSuccess());
    EXPECT_EQ(std::string(mode, 8), std::string("0000644\0", 8));
    status = CTarFile::WriteOctalField(Volume, std::uint32_t{010000000}, mode);
    EXPECT_EQ(status.GetInternalErrorCode(), 0xC0002711u);
    EXPECT_EQ(status.GetParameters()[1], "7");
}

TEST(AddPaxRecord, lengths_count_their_own_digits_at_every_boundary)
{
    struct
    {
        std::string Key;
        std::size_t ValueBytes;
        std::size_t Length;
    } cases[] = {
        {"a", 4, 9},
        {"a", 5, 11},
        {"path", 90, 99},
        {"path", 91, 101},
        {"path", 92, 102},
        {"path", 989, 999},
        {"path", 990, 1001},
        {"comment", 99984, 99999},
        {"comment", 99985, 100001},
    };
    CGenericTarFile tar;
    for (const auto& c : cases)
    {
        const std::uint32_t offset = tar.PaxLength;
        ASSERT_TRUE(tar.AddPaxRecord(c.Key, std::string(c.ValueBytes, 'v')).IsSuccess());
        ASSERT_EQ(tar.PaxLength - offset, c.Length) << c.Key << " " << c.ValueBytes;
        std::string_view record(reinterpret_cast<const char*>(tar.PaxData.get()) + offset, c.Length);
        EXPECT_EQ(record.substr(0, record.find('=') + 1), std::to_string(c.Length) + " " + c.Key + "=");
        EXPECT_EQ(record.back(), '\n');
        EXPECT_EQ(tar.PaxCapacity % CTarFile::BlockBytes, 0u);
        EXPECT_GE(tar.PaxCapacity, tar.PaxLength);
    }
    // The records grew the buffer many times; the walk still reads them all.
    EXPECT_EQ(tar.FindPaxRecord("a").size(), 4u);
    EXPECT_EQ(tar.FindPaxRecord("path").size(), 90u);
    EXPECT_EQ(tar.FindPaxRecord("comment").size(), 99984u);
}

TEST(AddPaxRecord, leaves_the_records_as_they_were_when_memory_runs_out)
{
    CGenericTarFile tar;
    ASSERT_TRUE(tar.AddPaxRecord("path", "first").IsSuccess());
    const auto length = tar.PaxLength;
    const auto capacity = tar.PaxCapacity;
    AllocationFault::FailAlways();
    CStatus status = tar.AddPaxRecord("comment", std::string(600, 'x'));
    AllocationFault::Clear();
    EXPECT_TRUE(status.Failed());
    EXPECT_EQ(tar.PaxLength, length);
    EXPECT_EQ(tar.PaxCapacity, capacity);
    EXPECT_EQ(tar.FindPaxRecord("path"), "first");
}

TEST(FindPaxRecord, finds_the_first_well_formed_record_and_stops_at_a_malformed_one)
{
    using namespace std::string_literals;
    const std::string thousand = "1000 comment=" + std::string(1000 - 14, 'c') + "\n";
    struct
    {
        const char* What;
        std::string Records;
        std::string Value;
    } cases[] = {
        {"found after another", "9 a=bcde\n12 path=xyz\n", "xyz"},
        {"ten bytes", "10 a=bcde\n11 path=ab\n", "ab"},
        {"a hundred bytes", "100 c=" + std::string(93, 'c') + "\n11 path=ab\n", "ab"},
        {"a thousand bytes", thousand + "11 path=ab\n", "ab"},
        {"first of two wins", "12 path=one\n12 path=two\n", "one"},
        {"value holds '='", "12 path=a=b\n", "a=b"},
        {"blanks before the key", "12   path=a\n", "a"},
        {"key must match whole", "13 pathx=abc\n12 path=abc\n", "abc"},
        {"an empty value counts", "8 path=\n12 path=abc\n", ""},
        {"length past the end", "13 path=abc\n", ""},
        {"length too short", "11 path=abc\n12 path=abc\n", ""},
        {"no digits", " 12 path=abc\n", ""},
        {"zero length", "0 path=abc\n", ""},
        {"eight digits", "00000018 path=abc\n", ""},
        {"no '='", "9 pathab\n12 path=abc\n", ""},
        {"only digits", "2\n", ""},
        {"only blanks", "3 \n", ""},
        {"nul bytes", "\0\0\0\0"s, ""},
    };
    for (const auto& c : cases)
    {
        CGenericTarFile tar;
        HoldPax(tar, c.Records, UstarBlock("member"));
        EXPECT_EQ(tar.FindPaxRecord("path"), c.Value) << c.What;
    }
    CGenericTarFile none;
    EXPECT_EQ(none.FindPaxRecord("path"), "");
}

TEST(GetName, joins_prefix_and_name_in_posix_headers_only)
{
    struct
    {
        const char* What;
        std::string Prefix;
        std::string Name;
        const char* Magic; // 8 bytes: magic and version
        std::string Expected;
    } cases[] = {
        {"prefix with slash", "a/b/", "c",
         "ustar\0"
         "00",
         "a/b/c"},
        {"prefix without slash", "a/b", "c",
         "ustar\0"
         "00",
         "a/b/c"},
        {"no prefix", "", "c",
         "ustar\0"
         "00",
         "c"},
        {"100-byte name without NUL", "", std::string(100, 'n'),
         "ustar\0"
         "00",
         std::string(100, 'n')},
        {"155-byte prefix without NUL", std::string(155, 'p'), "c",
         "ustar\0"
         "00",
         std::string(155, 'p') + "/c"},
        // GNU -G headers keep atime and ctime where POSIX keeps the prefix.
        {"GNU times are no prefix",
         std::string("14036030710\0"
                     "14036030711",
                     23),
         "c", "ustar  \0", "c"},
    };
    for (const auto& c : cases)
    {
        CGenericTarFile tar;
        tar.Header[0] = UstarBlock("");
        std::memcpy(tar.Header[0].Name, c.Name.data(), c.Name.size());
        std::memcpy(tar.Header[0].Prefix, c.Prefix.data(), c.Prefix.size());
        std::memcpy(tar.Header[0].Magic, c.Magic, 8);
        EXPECT_EQ(NameOf(tar), c.Expected) << c.What;
    }
}

TEST(GetName, decodes_by_version_pax_path_and_long_name)
{
    CGenericTarFile posix;
    posix.Header[0] = UstarBlock("caf\xC3\xA9");
    EXPECT_EQ(NameOf(posix, CP_UTF8), "caf\xC3\xA9");
    EXPECT_EQ(NameOf(posix, CP_OEMCP), "caf\xE2\x94\x9C\xE2\x8C\x90"); // the two bytes as CP437

    CGenericTarFile gnu;
    gnu.Header[0] = UstarBlock("caf\x82");
    std::memcpy(gnu.Header[0].Magic, "ustar  ", 8);
    EXPECT_EQ(NameOf(gnu, CP_UTF8), "caf\xC3\xA9"); // 0x82 is é in CP437, whatever the caller asks

    CGenericTarFile pax;
    HoldPax(pax, "18 path=pax/caf\xC3\xA9\n", UstarBlock("ustar-name"));
    EXPECT_EQ(NameOf(pax), "pax/caf\xC3\xA9");

    // Bytes that are no text of the code page asked for are read in the OEM code page.
    CGenericTarFile bad;
    HoldPax(bad,
            "13 path=\xFF\xFE"
            "ab\n",
            UstarBlock("ustar-name"));
    EXPECT_EQ(NameOf(bad), "\xC2\xA0\xE2\x96\xA0"
                           "ab");
    CGenericTarFile latin1;
    latin1.Header[0] = UstarBlock("caf\xE9");
    EXPECT_EQ(NameOf(latin1, CP_UTF7), "caf\xCE\x98");
}

TEST(GetName, refuses_a_name_longer_than_a_name_may_be_and_says_where_it_came_from)
{
    // No file system runs here to hand the host the texts of the numbers the header code raises.
    ASSERT_TRUE(RegisterFileSystemErrorTexts());
    CGenericTarFile pax;
    const std::string record = "70012 path=" + std::string(70000, 'p') + "\n";
    ASSERT_EQ(record.size(), 70012u);
    HoldPax(pax, record, UstarBlock("ustar-name"));
    CGenericTarFile gnu;
    gnu.LongName = std::make_unique<std::uint8_t[]>(40001);
    std::memset(gnu.LongName.get(), 'l', 40000);
    gnu.LongNameLength = 40001;
    CGenericTarFile longest;
    HoldPax(longest, "32012 path=" + std::string(CTarFile::MaxNameBytes, 'p') + "\n", UstarBlock("u"));

    CFileName name;
    EXPECT_EQ(pax.GetName(CP_OEMCP, name).ToString(),
              "0xC000271E: the member's pax \"path\" record of 70000 bytes is longer than the 32000 bytes a "
              "name may have");
    EXPECT_EQ(
        gnu.GetName(CP_OEMCP, name).ToString(),
        "0xC000271E: the member's GNU long name of 40000 bytes is longer than the 32000 bytes a name may "
        "have");
    ASSERT_TRUE(longest.GetName(CP_OEMCP, name).IsSuccess());
    EXPECT_EQ(name.GetText().size(), CTarFile::MaxNameBytes);
}

TEST(LongName, is_read_up_to_its_nul_and_bounded_before_allocation)
{
    const std::string text = "long/" + std::string(200, 'l') + "/\xC3\xA9.txt";
    CGenericTarFile tar;
    char size[16];
    std::snprintf(size, sizeof size, "%011o", static_cast<unsigned>(text.size() + 1));
    tar.Header[0] = UstarBlock("././@LongLink", size, "00000000000", 'L');
    ASSERT_TRUE(tar.GetPaxDataLength(Volume, 0).IsSuccess());
    ASSERT_TRUE(tar.AllocateLongName(Volume, 0).IsSuccess());
    EXPECT_EQ(tar.LongNameLength, text.size() + 1);
    EXPECT_EQ(tar.PaxCapacity, 512u);
    std::memcpy(tar.LongName.get(), text.c_str(), text.size() + 1);
    tar.Header[0] = UstarBlock("long/llll");
    EXPECT_EQ(NameOf(tar), text);
    tar.LongName[text.size() - 6] = '\xE9'; // no UTF-8 now: both bytes read as CP437
    EXPECT_EQ(NameOf(tar), text.substr(0, text.size() - 6) + "\xCE\x98\xE2\x8C\x90.txt");

    struct
    {
        const char* What;
        TarHeaderBlock Header;
        bool FailAllocation;
        std::uint32_t Code;
    } refused[] = {
        {"octal past the bound", UstarBlock("././@LongLink", "00400000001", "0", 'L'), false, 0xC0002713},
        {"base-256 near 4 GiB", UstarBlock("././@LongLink", "", "0", 'L'), false, 0xC0002713},
        {"no number", UstarBlock("././@LongLink", "zz", "0", 'L'), false, 0xC0002710},
        {"base-256 past 64 bits, 16 in its low bytes", UstarBlock("././@LongLink", "", "0", 'L'), false,
         0xC000271B},
        {"no memory", UstarBlock("././@LongLink", "00000001000", "0", 'L'), true, HostErrorOutOfMemory},
    };
    std::memcpy(refused[1].Header.Size, "\x80\0\0\0\0\0\0\0\xFF\xFF\xFE\x01", 12);
    std::memcpy(refused[3].Header.Size, "\x80\0\0\x01\0\0\0\0\0\0\0\x10", 12);
    for (auto& c : refused)
    {
        CGenericTarFile entry;
        entry.Header[0] = c.Header;
        if (c.FailAllocation)
            AllocationFault::FailAlways();
        CStatus status = entry.AllocateLongName(Volume, 77);
        AllocationFault::Clear();
        EXPECT_EQ(status.GetInternalErrorCode(), c.Code) << c.What;
        EXPECT_EQ(entry.LongName, nullptr) << c.What;
    }
}

TEST(GetSize, takes_pax_size_base_256_or_octal)
{
    ASSERT_TRUE(RegisterFileSystemErrorTexts());
    CGenericTarFile octal;
    octal.Header[0] = UstarBlock("f", "00000001750");
    CGenericTarFile base256;
    base256.Header[0] = UstarBlock("f");
    std::memcpy(base256.Header[0].Size, "\x80\0\0\0\0\0\0\x02\0\0\0\0", 12);
    // 2^80 + 16: cut to its low eight bytes it would read as 16.
    CGenericTarFile base256Past64;
    base256Past64.Header[0] = UstarBlock("f");
    std::memcpy(base256Past64.Header[0].Size, "\x80\0\x01\0\0\0\0\0\0\0\0\x10", 12);
    // 2^63: no signed 64-bit number, as GNU numbers are.
    CGenericTarFile base256Sign;
    base256Sign.Header[0] = UstarBlock("f");
    std::memcpy(base256Sign.Header[0].Size, "\x80\0\0\0\x80\0\0\0\0\0\0\0", 12);
    CGenericTarFile notBase256;
    notBase256.Header[0] = UstarBlock("f");
    std::memcpy(notBase256.Header[0].Size, "\xFF\0\0\0\0\0\0\x02\0\0\0\0", 12);
    CGenericTarFile paxSize;
    HoldPax(paxSize, "19 size=9663676416\n", UstarBlock("f", "00000000000"));
    CGenericTarFile paxBadSize;
    HoldPax(paxBadSize, "11 size=ab\n", UstarBlock("f", "00000000005"));
    CGenericTarFile paxNegative;
    HoldPax(paxNegative, "11 size=-1\n", UstarBlock("f", "00000000005"));
    CGenericTarFile paxOverflow;
    HoldPax(paxOverflow, "29 size=18446744073709551616\n", UstarBlock("f", "00000000005"));
    CGenericTarFile paxTrailing;
    HoldPax(paxTrailing, "15 size=300abc\n", UstarBlock("f", "00000000005"));
    // A pax member whose own header carries a base-256 size and no "size" record.
    CGenericTarFile paxThenBase256;
    TarHeaderBlock big = UstarBlock("f");
    std::memcpy(big.Size, "\x80\0\0\0\0\0\0\x02\0\0\0\0", 12);
    HoldPax(paxThenBase256, "12 path=abc\n", big);

    struct
    {
        const char* What;
        const CTarFile& Tar;
        std::uint32_t Code;
        std::uint64_t Size;
    } cases[] = {
        {"octal", octal, 0, 1000},
        {"base-256", base256, 0, 8589934592},
        {"base-256 past 64 bits", base256Past64, 0xC000271B, 0},
        {"base-256 past 63 bits", base256Sign, 0xC000271B, 0},
        {"0xFF is not base-256", notBase256, 0xC0002710, 0},
        {"pax size", paxSize, 0, 9663676416},
        {"pax size not a number", paxBadSize, 0xC000271A, 0},
        {"pax size negative", paxNegative, 0xC000271A, 0},
        {"pax size past 64 bits", paxOverflow, 0xC000271A, 0},
        {"pax size with bytes after its digits", paxTrailing, 0xC000271A, 0},
        {"base-256 after a pax header", paxThenBase256, 0, 8589934592},
    };
    for (const auto& c : cases)
    {
        std::uint64_t size = 1;
        CStatus status = c.Tar.GetSize(Volume, size);
        EXPECT_EQ(status.GetInternalErrorCode(), c.Code) << c.What;
        EXPECT_EQ(size, c.Size) << c.What;
    }
    std::uint64_t size = 0;
    EXPECT_EQ(paxBadSize.GetSize(Volume, size).GetParameters()[0], "0x61, 62");
    EXPECT_EQ(
        base256Past64.GetSize(Volume, size).ToString(),
        "0xC000271B: the TAR size field 0x80, 00, 01, 00, 00, 00, 00, 00, 00, 00, 00, 10 holds a number "
        "that does not fit in 64 bits");
}

TEST(ModificationTime, reads_the_first_block_and_takes_zero_as_now)
{
    struct
    {
        const char* What;
        std::string Mtime;
        bool Generic;
        std::uint32_t Code;
        std::uint64_t Time; // 0: now
    } cases[] = {
        {"octal", "14036030710", true, 0, 1618489800},
        {"leading blank is octal", " 14036030710", true, 0, 1618489800},
        {"zero digits", "00000000000", true, 0, 0},
        {"empty field in a GNU header", "", true, 0, 0},
        {"empty field, no GNU rule", "", false, 0xC0002710, 0},
        {"not a number", "zzz", true, 0xC0002710, 0},
    };
    struct PlainTar : CTarFile
    {
        bool StoreName(std::string) override { return false; }
    };
    for (const auto& c : cases)
    {
        CGenericTarFile generic;
        PlainTar plain;
        CTarFile& tar = c.Generic ? static_cast<CTarFile&>(generic) : plain;
        tar.Header[0] = UstarBlock("f");
        Put(tar.Header[0].Mtime, c.Mtime);
        std::uint64_t time = 0;
        CStatus status = tar.GetModificationTime(Volume, time);
        EXPECT_EQ(status.GetInternalErrorCode(), c.Code) << c.What;
        if (c.Time != 0)
            EXPECT_EQ(time, c.Time) << c.What;
        else
            EXPECT_NEAR(static_cast<double>(time), static_cast<double>(Now()), 5.0) << c.What;
    }

    // A pax header's own time is the one read; the member's stays reachable as written.
    CGenericTarFile pax;
    HoldPax(pax, "12 path=abc\n", UstarBlock("f", "00000000005", "14036030710"));
    std::uint64_t time = 0;
    ASSERT_TRUE(pax.GetModificationTime(Volume, time).IsSuccess());
    EXPECT_NEAR(static_cast<double>(time), static_cast<double>(Now()), 5.0);
    std::int64_t tapeTime = 0;
    ASSERT_TRUE(pax.GetTapeModificationTime(Volume, tapeTime).IsSuccess());
    EXPECT_EQ(tapeTime, 1618489800);
}

TEST(CatalogueTime, takes_the_pax_mtime_record_then_the_fields_octal_or_base_256)
{
    // bsdtar's pax header past January 2038: its own mtime clamped to 2^31 - 1, the time in the record.
    const TarHeaderBlock member2040 = UstarBlock("f", "00000000005", "20352477200"); // 2208988800
    const TarHeaderBlock member2021 = UstarBlock("f", "00000000005", "14036030710");
    auto pax = [](std::string_view records, const TarHeaderBlock& ustar, std::string_view ownTime)
    {
        auto tar = std::make_unique<CGenericTarFile>();
        HoldPax(*tar, records, ustar);
        Put(tar->Header[0].Mtime, ownTime);
        Seal(tar->Header[0]);
        return tar;
    };
    auto plain = [](std::string_view mtime)
    {
        auto tar = std::make_unique<CGenericTarFile>();
        tar->Header[0] = UstarBlock("f");
        std::memcpy(tar->Header[0].Mtime, mtime.data(), mtime.size());
        return tar;
    };
    struct
    {
        const char* What;
        std::unique_ptr<CGenericTarFile> Tar;
        std::uint32_t Code;
        std::int64_t Time;
        bool Logged = false; // a record that holds no time is logged, then passed over
    } cases[] = {
        {"record past 2038", pax("20 mtime=2208988800\n", member2040, "17777777777"), 0, 2208988800},
        {"record with a fraction", pax("30 mtime=1618489800.123456789\n", member2021, "0"), 0, 1618489800},
        {"record before 1970, rounded down", pax("14 mtime=-1.5\n", member2021, "0"), 0, -2},
        {"record of a whole negative second", pax("12 mtime=-1\n", member2021, "0"), 0, -1},
        {"record with trailing bytes, as libarchive's suite carries",
         pax("31 mtime=1748089464.951928467a\n", member2021, "0"), 0, 1748089464},
        {"record with a plus sign", pax("13 mtime=+12\n", member2021, "0"), 0, 12},
        {"record of two points", pax("15 mtime=1.2.3\n", member2021, "0"), 0, 1},
        {"empty record: the header's own time", pax("9 mtime=\n", member2021, "14036030711"), 0, 1618489801},
        {"record with no digit: the header's own time", pax("13 mtime=+ 1\n", member2021, "14036030711"), 0,
         1618489801, true},
        {"record with no digit, an undated pax header: the member's", pax("12 mtime=x1\n", member2021, "0"),
         0, 1618489800, true},
        {"record past 64 bits: the header's own time",
         pax("30 mtime=99999999999999999999\n", member2021, "14036030711"), 0, 1618489801, true},
        {"no record: the pax header's own time", pax("12 path=abc\n", member2021, "14036030711"), 0,
         1618489801},
        {"no record, an undated pax header: the member's", pax("12 path=abc\n", member2021, "00000000000"), 0,
         1618489800},
        {"base-256 before 1970 (1960-01-01)", plain({"\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xED\x30\x08\x80", 12}),
         0, -315619200},
        {"base-256 after 2242", plain({"\x80\0\0\0\0\0\0\x02\0\0\0\0", 12}), 0, 8589934592},
        {"base-256 past 64 bits", plain({"\x80\0\x01\0\0\0\0\0\0\0\0\x10", 12}), 0xC000271B, 0},
        {"negative base-256 past 64 bits", plain({"\xFF\xFE\xFF\xFF\xFF\xFF\xFF\xFF\xED\x30\x08\x80", 12}),
         0xC000271B, 0},
    };
    CEventLog::TakeLogged();
    for (const auto& c : cases)
    {
        std::int64_t time = 7;
        CStatus status = c.Tar->GetCatalogueTime(Volume, time);
        EXPECT_EQ(status.GetInternalErrorCode(), c.Code) << c.What << ": " << status.ToString();
        EXPECT_EQ(time, c.Time) << c.What;
        const std::vector<CStatus> logged = CEventLog::TakeLogged();
        EXPECT_EQ(logged.size(), c.Logged ? 1u : 0u) << c.What;
        for (const CStatus& warning : logged)
            EXPECT_EQ(warning.GetInternalErrorCode(), 0xC000271Du) << c.What;
    }

    // Base-256 is a GNU form: the Active Circle header object, like the base, reads octal only.
    struct PlainTar : CTarFile
    {
        bool StoreName(std::string) override { return false; }
    } octalOnly;
    octalOnly.Header[0] = plain({"\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xED\x30\x08\x80", 12})->Header[0];
    std::int64_t time = 0;
    EXPECT_EQ(octalOnly.GetCatalogueTime(Volume, time).GetInternalErrorCode(), 0xC0002710u);
}

TEST(DeviceNumber, reads_devmajor_up_to_its_nul)
{
    CGenericTarFile tar;
    tar.Header[0] = UstarBlock("dev");
    Put(tar.Header[0].Devmajor, "0000010");
    Put(tar.Header[0].Devminor, "0000003");
    std::uint64_t number = 0;
    ASSERT_TRUE(tar.GetDeviceNumber(Volume, number).IsSuccess());
    EXPECT_EQ(number, 010u);
}

TEST(BuildHeader, writes_the_fields_and_a_path_record_only_when_needed)
{
    CGenericTarFile tar;
    ASSERT_TRUE(tar.BuildHeader(Volume, CFileName(std::u16string(100, u'n'))).IsSuccess());
    const TarHeaderBlock& block = tar.Header[0];
    EXPECT_EQ(std::string(block.Name, 100), std::string(100, 'n'));
    EXPECT_EQ(std::string(block.Mode, 8), std::string("0000644\0", 8));
    EXPECT_EQ(std::string(block.Uid, 8), std::string("0000000\0", 8));
    EXPECT_EQ(std::string(block.Gid, 8), std::string("0000000\0", 8));
    EXPECT_EQ(block.Typeflag, '0');
    EXPECT_EQ(std::string(block.Magic, 8), std::string("ustar\0"
                                                       "00",
                                                       8));
    EXPECT_EQ(std::string(block.Uname, 14), std::string("Administrator\0", 14));
    EXPECT_EQ(std::string(block.Gname, 5), std::string("None\0", 5));
    EXPECT_EQ(std::string(block.Chksum, 8), std::string(8, '\0'));
    EXPECT_EQ(tar.PaxData, nullptr);
    EXPECT_EQ(tar.GetHeaderBlockCount(), 1u);

    ASSERT_TRUE(tar.BuildHeader(Volume, CFileName(std::u16string(101, u'n'))).IsSuccess());
    EXPECT_EQ(std::string(tar.Header[0].Name, 100), std::string(100, 'n'));
    EXPECT_EQ(tar.PaxLength, 111u);
    EXPECT_EQ(tar.FindPaxRecord("path"), std::string(101, 'n'));
    EXPECT_EQ(tar.GetHeaderBlockCount(), 3u);

    // A character the OEM code page lacks stands as '?' in the name field; the record has it right.
    ASSERT_TRUE(tar.BuildHeader(Volume, CFileName(u"d/\u4e2d.txt")).IsSuccess());
    EXPECT_EQ(std::string(tar.Header[0].Name), "d/?.txt");
    EXPECT_EQ(tar.FindPaxRecord("path"), "d/\xE4\xB8\xAD.txt");

    // A fresh build forgets everything before.
    ASSERT_TRUE(tar.BuildHeader(Volume, CFileName(u"x")).IsSuccess());
    EXPECT_EQ(tar.PaxData, nullptr);
    EXPECT_EQ(tar.PaxLength, 0u);
}

TEST(SetSize, writes_octal_up_to_its_limit_then_a_size_record)
{
    CGenericTarFile tar;
    ASSERT_TRUE(tar.BuildHeader(Volume, CFileName(u"f")).IsSuccess());
    ASSERT_TRUE(tar.SetSize(Volume, 0x1FFFFFFFF).IsSuccess());
    EXPECT_EQ(std::string(tar.Header[0].Size, 12), std::string("77777777777\0", 12));
    EXPECT_EQ(tar.PaxLength, 0u);
    ASSERT_TRUE(tar.SetSize(Volume, 0x200000000).IsSuccess());
    EXPECT_EQ(std::string(tar.Header[0].Size, 12), std::string("00000000000\0", 12));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(tar.PaxData.get()), tar.PaxLength),
              "19 size=8589934592\n");
}

TEST(CountHeaderBlocks, counts_pax_and_gnu_header_blocks)
{
    struct
    {
        std::u16string Name;
        std::uint64_t Size;
        std::uint64_t Blocks;
    } cases[] = {
        {u"short.txt", 1ull << 30, 1}, {std::u16string(100, u'n'), 0, 1}, {std::u16string(101, u'n'), 0, 3},
        {u"caf\u00e9", 0, 3},          {u"short.txt", 0x200000000, 3},    {std::u16string(600, u'n'), 0, 4},
    };
    for (const auto& c : cases)
    {
        CGenericTarFile tar;
        std::uint64_t blocks = 0;
        ASSERT_TRUE(tar.CountHeaderBlocks(Volume, CFileName(c.Name), c.Size, blocks).IsSuccess());
        EXPECT_EQ(blocks, c.Blocks) << c.Name.size();
    }
    EXPECT_EQ(CGenericTarFile::CountGnuHeaderBlocks(100), 1u);
    EXPECT_EQ(CGenericTarFile::CountGnuHeaderBlocks(101), 3u);
    EXPECT_EQ(CGenericTarFile::CountGnuHeaderBlocks(511), 3u);
    EXPECT_EQ(CGenericTarFile::CountGnuHeaderBlocks(512), 4u);

    CGenericTarFile tar;
    std::uint64_t blocks = 9;
    AllocationFault::FailAlways();
    CStatus status = tar.CountHeaderBlocks(Volume, CFileName(std::u16string(101, u'n')), 0, blocks);
    AllocationFault::Clear();
    EXPECT_TRUE(status.Failed());
    EXPECT_EQ(blocks, 0u);
}

TEST(BlocksFor, rounds_up_without_overflow)
{
    EXPECT_EQ(CTarFile::BlocksFor(0), 0u);
    EXPECT_EQ(CTarFile::BlocksFor(1), 1u);
    EXPECT_EQ(CTarFile::BlocksFor(512), 1u);
    EXPECT_EQ(CTarFile::BlocksFor(513), 2u);
    EXPECT_EQ(CTarFile::BlocksFor(~std::uint64_t{0}), (~std::uint64_t{0} >> 9) + 1);
}
} // namespace

// The maps of sparse members as writers put them in pax records and at the start of a 1.0 member's
// data; a map that does not read, or whose regions overlap, is refused rather than half taken.
TEST(SparseMap, reads_pax_maps_and_data_maps_and_refuses_damaged_ones)
{
    const struct
    {
        const char* Map;
        bool Reads;
        std::vector<std::uint64_t> Regions; // offset, size, ...
    } recordCases[] = {
        {"0,4096,2097152,4096,3145728,0", true, {0, 4096, 2097152, 4096, 3145728, 0}},
        {"", true, {}},
        {"0,4096,2048", false, {}},
        {"0,4096,2048,10", false, {}}, // overlaps the region before
        {"0,-1", false, {}},
        {"0,,1,1", false, {}},
        {"18446744073709551615,1", false, {}},
    };
    for (const auto& c : recordCases)
    {
        CSparseMap map;
        EXPECT_EQ(map.AddPaxMap(c.Map), c.Reads) << c.Map;
        if (!c.Reads)
            continue;
        std::vector<std::uint64_t> regions;
        for (const SparseRegion& region : map.Regions)
            regions.insert(regions.end(), {region.Offset, region.Bytes});
        EXPECT_EQ(regions, c.Regions) << c.Map;
    }

    using Result = CSparseMap::TextResult;
    const std::string padding(512, '\0');
    const struct
    {
        std::string Text;
        Result Expected;
        std::uint64_t DataStart;
    } dataCases[] = {
        {"2\n0\n512\n4096\n100\n" + padding, Result::Done, 512},
        {"0\n" + padding, Result::Done, 512},
        {"2\n0\n512\n40", Result::More, 0}, // the rest of the map is in the next block
        {"2\n0\n512\n4096\n", Result::More, 0},
        {"2\n0\nx\n", Result::Bad, 0},
        {"1\n\n512\n", Result::Bad, 0},
        {std::string(30, '1'), Result::Bad, 0}, // no number is that long
    };
    for (const auto& c : dataCases)
    {
        CSparseMap map;
        EXPECT_EQ(map.ReadDataMap(c.Text), c.Expected) << c.Text;
        if (c.Expected == Result::Done)
        {
            EXPECT_EQ(map.DataStart, c.DataStart) << c.Text;
        }
    }
    // A map of more blocks than one: the data begin after all of them.
    std::string big = "300\n";
    for (int i = 0; i < 300; ++i)
        big += std::to_string(i * 8192) + "\n512\n";
    big.resize((big.size() / 512 + 1) * 512, '\0');
    CSparseMap map;
    ASSERT_EQ(map.ReadDataMap(big), Result::Done);
    EXPECT_EQ(map.Regions.size(), 300u);
    EXPECT_EQ(map.DataStart, big.size());
    map.FileSize = 299 * 8192 + 512;
    EXPECT_TRUE(map.Fits(big.size() + 300 * 512));
    EXPECT_FALSE(map.Fits(big.size() + 300 * 512 - 1));
    map.FileSize -= 1;
    EXPECT_FALSE(map.Fits(big.size() + 300 * 512));
}
