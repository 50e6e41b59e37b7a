// Helpers of the TAR header tests: header blocks made field by field, and a reader that walks a whole
// archive through CGenericTarFile the way the plug-ins' scans do.
#pragma once

#include "FileSystems/TarFile/CGenericTarFile.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tartest
{
// A POSIX ustar block with the name, size and mtime (octal text as given) and a correct checksum.
TarHeaderBlock UstarBlock(std::string_view name, std::string_view size = "00000000005",
                          std::string_view mtime = "14036030710", char typeflag = '0');
// Writes the checksum as GNU tar does ("%06o", NUL, blank), from the unsigned or the signed byte sum.
void Seal(TarHeaderBlock& block, bool signedSum = false);
template <std::size_t N> void Put(char (&field)[N], std::string_view text)
{
    for (std::size_t i = 0; i < N; ++i)
        field[i] = i < text.size() ? text[i] : '\0';
}

// A pax record "<length> <key>=<value>\n", the length counting its own digits.
std::string PaxRecord(std::string_view key, std::string_view value);
// An archive entry: the header block, then the data padded to whole blocks.
std::string Entry(const TarHeaderBlock& header, std::string_view data = {});
// A pax 'x' header holding the records, then the member's entry.
std::string PaxEntry(std::string_view records, const TarHeaderBlock& header, std::string_view data = {});
// The two zero blocks that end an archive.
std::string ArchiveEnd();

struct Member
{
    std::string Name; // UTF-8
    std::uint64_t Size = 0;
    std::uint64_t Time = 0;         // GetModificationTime
    std::int64_t TapeTime = 0;      // GetTapeModificationTime
    std::int64_t CatalogueTime = 0; // GetCatalogueTime
    bool FirstBlockTimeZero = false;
    bool HoldsPax = false;
};

// Reads every member of the archive; the first failure ends the walk and is returned in `status`. An
// archive may end without its zero blocks, or inside a member's data (header-only fixtures).
std::vector<Member> ReadArchive(std::string_view archive, CStatus& status);

std::string ReadFile(const std::string& path);

// One line of a fixture listing: SIZE<TAB>MTIME<TAB>NAME, MTIME in seconds since 1970.
struct Listed
{
    std::uint64_t Size;
    std::int64_t Time;
    std::string Name;
};
std::vector<Listed> ReadListing(const std::string& path);
std::string FixturePath(const std::string& relative);

// The shell command's standard output; the exit status goes to `exitStatus`.
std::string RunCommand(const std::string& command, int& exitStatus);
} // namespace tartest
