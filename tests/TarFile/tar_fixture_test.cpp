// Archives written by GNU tar, bsdtar and Python's tarfile, read member by member through the header
// object, against each peer's own listing; and headers built here, listed by GNU tar.
#include "TarTestSupport.h"

#include "FileSystems/TarFile/CGenericTarFile.h"
#include "vnservice/ErrorGenerators.h"
#include "win/CodePage.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

using namespace tartest;

namespace
{
std::uint64_t Now()
{
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
            .count());
}

class PeerArchive : public ::testing::TestWithParam<const char*>
{
};

TEST_P(PeerArchive, every_member_reads_as_the_peer_lists_it)
{
    const std::string archive = FixturePath(std::string(GetParam()) + ".tar");
    const auto listing = ReadListing(FixturePath(std::string(GetParam()) + ".list"));
    ASSERT_FALSE(listing.empty()) << archive;

    CStatus status;
    const auto members = ReadArchive(ReadFile(archive), status);
    ASSERT_TRUE(status.IsSuccess()) << status.ToString();
    ASSERT_EQ(members.size(), listing.size());
    for (std::size_t i = 0; i < members.size(); ++i)
    {
        SCOPED_TRACE(listing[i].Name);
        EXPECT_EQ(members[i].Name, listing[i].Name);
        EXPECT_EQ(members[i].Size, listing[i].Size);
        EXPECT_EQ(members[i].TapeTime, listing[i].Time);
        EXPECT_EQ(members[i].CatalogueTime, listing[i].Time);
        // The time of the first block: a pax header's own, which Python leaves 0, so it reads as now, and
        // which bsdtar clamps to 2^31 - 1 past January 2038.
        if (members[i].FirstBlockTimeZero)
            EXPECT_NEAR(static_cast<double>(members[i].Time), static_cast<double>(Now()), 5.0);
        else if (members[i].HoldsPax && listing[i].Time > INT32_MAX)
            EXPECT_EQ(members[i].Time, std::uint64_t{INT32_MAX});
        else
            EXPECT_EQ(static_cast<std::int64_t>(members[i].Time), listing[i].Time);
    }
}

INSTANTIATE_TEST_SUITE_P(Peers, PeerArchive,
                         ::testing::Values("gnutar/ustar", "gnutar/gnu", "gnutar/posix", "gnutar/gnu-mtime",
                                           "gnutar/incremental", "bsdtar/pax", "bsdtar/ustar",
                                           "bsdtar/gnutar", "python/ustar", "python/gnu", "python/pax",
                                           "python/big-gnu", "python/big-pax", "gnutar/gnu-dates",
                                           "gnutar/long-links", "bsdtar/pax-dates"),
                         [](const auto& info)
                         {
                             std::string name = info.param;
                             for (char& c : name)
                                 if (c == '/' || c == '-')
                                     c = '_';
                             return name;
                         });

// A built header written out as an archive: the pax header (when records are needed) made from the
// ustar block, the records, the ustar block, the data as a hole, two zero blocks.
void WriteArchive(const std::string& path, CTarFile& tar, std::uint64_t size)
{
    TarHeaderBlock ustar = tar.Header[0];
    Put(ustar.Mtime, "14036030710");
    Seal(ustar);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (tar.PaxLength > 0)
    {
        TarHeaderBlock pax = ustar;
        Put(pax.Name, "PaxHeader/member");
        char length[16];
        std::snprintf(length, sizeof length, "%011o", static_cast<unsigned>(tar.PaxLength));
        Put(pax.Size, length);
        pax.Typeflag = 'x';
        Seal(pax);
        out.write(reinterpret_cast<const char*>(&pax), sizeof pax);
        std::string records(reinterpret_cast<const char*>(tar.PaxData.get()), tar.PaxLength);
        records.resize(CTarFile::BlocksFor(tar.PaxLength) * CTarFile::BlockBytes, '\0');
        out << records;
    }
    out.write(reinterpret_cast<const char*>(&ustar), sizeof ustar);
    out.close();
    std::filesystem::resize_file(path, std::filesystem::file_size(path) +
                                           (CTarFile::BlocksFor(size) + 2) * CTarFile::BlockBytes);
}

TEST(BuiltHeader, gnu_tar_lists_built_headers_with_their_name_and_size)
{
    int exitStatus = 0;
    RunCommand("tar --version >/dev/null 2>&1", exitStatus);
    if (exitStatus != 0)
        GTEST_SKIP() << "GNU tar is not installed";

    struct Case
    {
        std::u16string Name;
        std::uint64_t Size;
    } cases[] = {
        {u"short.txt", 5},
        {std::u16string(100, u'n'), 1},
        {std::u16string(101, u'n'), 0},
        {u"dir/" + std::u16string(250, u'w') + u".bin", 700},
        {u"caf\u00e9/\u4e2d\u6587.txt", 3},
        {u"octal-max.bin", CTarFile::MaxOctalSize},
        {u"nine-gib.bin", 9ull << 30},
    };
    const auto dir = std::filesystem::temp_directory_path() / ("tar-built-" + std::to_string(Now()));
    std::filesystem::create_directories(dir);
    for (const auto& c : cases)
    {
        CGenericTarFile tar;
        CFileName name(c.Name);
        ASSERT_TRUE(tar.BuildHeader(CVolumeID(), name).IsSuccess());
        ASSERT_TRUE(tar.SetSize(CVolumeID(), c.Size).IsSuccess());
        const std::string path = (dir / "built.tar").string();
        WriteArchive(path, tar, c.Size);

        std::string listing =
            RunCommand("LC_ALL=C.UTF-8 tar --quoting-style=literal --numeric-owner -tvf '" + path + "' 2>&1",
                       exitStatus);
        std::string expected = name.ToUtf8();
        SCOPED_TRACE(listing);
        EXPECT_EQ(exitStatus, 0);
        EXPECT_NE(listing.find(" " + std::to_string(c.Size) + " "), std::string::npos);
        ASSERT_GE(listing.size(), expected.size() + 1);
        EXPECT_EQ(listing.substr(listing.size() - expected.size() - 1), expected + "\n");
    }
    std::filesystem::remove_all(dir);
}
} // namespace
