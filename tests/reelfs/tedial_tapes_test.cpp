// Tedial tapes through the reelfs command line: a label and MXF files that ffmpeg wrote, each between
// marks, are scanned, listed under the names and dates their header metadata gives and restored byte for
// byte, whichever way the image ends.
#include "HeaderEdits.h"
#include "HostTestSupport.h"

#include "frame/CCatalogueItem.h"
#include "frame/CFileListPointer.h"
#include "pagelist/CFileListInternal.h"
#include "win/FileTime.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>

namespace
{
std::filesystem::path Fixture(const char* name)
{
    return std::filesystem::path(std::getenv("REELFS_FIXTURES")) / name;
}

class TedialTapeCommands : public HostTest
{
protected:
    void SetUp() override
    {
        HostTest::SetUp();
        // The files' dates are local times: five hours behind UTC here.
        ::setenv("TZ", "EST5", 1);
        ::tzset();
        // Exact sizes, so that a restore ends where the file does and not at its last tape block.
        std::filesystem::create_directories(Home);
        std::ofstream(std::filesystem::path(Home) / "reelfs.ini") << "[MXFREELFS]\nScan File Sizes=1\n";
        const std::string label = (Folder / "label").string();
        std::ofstream(label) << "554362111000\nA\nB\nEnd to end\nD\n25/12/2020 10:30\n";
        Tape = (Folder / "tedial.tap").string();
        std::vector<std::string> args{"mktape", "-b", "4096", "-o", Tape, label};
        for (const char* name : Files)
            args.push_back((Fixture(name)).string());
        ASSERT_EQ(Reelfs(args).Exit, 0);
    }

    void TearDown() override
    {
        ::unsetenv("TZ");
        ::tzset();
        HostTest::TearDown();
    }

    void Append(const std::string& bytes) { std::ofstream(Tape, std::ios::binary | std::ios::app) << bytes; }

    // The bytes of the path restored from the tape (with the options, such as a range) into a fresh file
    // of the test folder; the restore must succeed.
    std::string Restored(const std::string& tape, const std::string& path,
                         const std::vector<std::string>& options = {})
    {
        const std::string out = (Folder / "restored").string();
        std::filesystem::remove(out);
        std::vector<std::string> args{"restore", tape, path, "-o", out};
        args.insert(args.end(), options.begin(), options.end());
        const CRunResult restore = Reelfs(args);
        EXPECT_EQ(restore.Exit, 0) << restore.Err;
        return ReadFile(out);
    }

    static constexpr const char* Files[] = {"ffmpeg/tedial.mxf", "ffmpeg-mxf/op1a.mxf",
                                            "ffmpeg-mxf/opatom.mxf"};
    std::string Tape;
};

TEST_F(TedialTapeCommands, scan_lists_each_file_by_its_metadata_and_restore_gives_it_back)
{
    const std::string mark(4, '\0');
    const std::string endOfMedium(4, '\xff');
    // As mktape wrote it, then closed by a second mark, then with the end-of-medium word after that.
    for (const std::string& more : {std::string(), mark, endOfMedium})
    {
        SCOPED_TRACE(more.size());
        Append(more);
        const CRunResult scan = Reelfs({"scan", Tape});
        ASSERT_EQ(scan.Exit, 0) << scan.Err;
        EXPECT_NE(scan.Out.find("file system  Tedial"), std::string::npos) << scan.Out;
        EXPECT_NE(scan.Out.find("files        3"), std::string::npos) << scan.Out;

        const CRunResult ls = Reelfs({"ls", Tape});
        ASSERT_EQ(ls.Exit, 0) << ls.Err;
        EXPECT_EQ(ls.Out, "35385\t2024-03-05T15:20:30Z\t0/{adab4424-2f25-4dc7-9201-000d00000000}.mxf\n"
                          "26169\t2024-03-05T15:20:30Z\t0/{adab4424-2f25-4dc7-9204-000d00000000}.mxf\n"
                          "10809\t2021-04-15T15:30:05Z\t0/{adab4424-2f25-4dc7-92ff-000d00000000}.mxf\n");

        const std::pair<const char*, const char*> restores[] = {
            {"0/{adab4424-2f25-4dc7-92ff-000d00000000}.mxf", "ffmpeg/tedial.mxf"},
            {"0/{adab4424-2f25-4dc7-9201-000d00000000}.mxf", "ffmpeg-mxf/op1a.mxf"},
            {"0/{adab4424-2f25-4dc7-9204-000d00000000}.mxf", "ffmpeg-mxf/opatom.mxf"}};
        for (const auto& [path, fixture] : restores)
        {
            SCOPED_TRACE(path);
            EXPECT_TRUE(Restored(Tape, path) == ReadFile(Fixture(fixture)));
        }
    }
}

TEST_F(TedialTapeCommands, a_tape_cut_inside_a_file_keeps_the_files_before_it_and_fails_the_scan)
{
    // The image ends inside the blocks of its last file.
    const std::string whole = ReadFile(Tape);
    const std::string cut = (Folder / "cut.tap").string();
    std::ofstream(cut, std::ios::binary) << whole.substr(0, whole.size() - 10000);
    const CRunResult scan = Reelfs({"scan", cut});
    EXPECT_EQ(scan.Exit, 1) << scan.Out;
    EXPECT_NE(scan.Err.find("0xC0000D10: the tape in " + cut + " ends early"), std::string::npos) << scan.Err;
    const CRunResult ls = Reelfs({"ls", cut});
    ASSERT_EQ(ls.Exit, 0) << ls.Err;
    EXPECT_EQ(ls.Out, "35385\t2024-03-05T15:20:30Z\t0/{adab4424-2f25-4dc7-9201-000d00000000}.mxf\n"
                      "10809\t2021-04-15T15:30:05Z\t0/{adab4424-2f25-4dc7-92ff-000d00000000}.mxf\n");
}

TEST_F(TedialTapeCommands,
       the_fourth_label_line_sets_tapes_of_one_date_apart_and_a_rescan_keeps_the_catalogue)
{
    const std::string label = (Folder / "other-label").string();
    std::ofstream(label) << "554362111000\nA\nB\nAnother tape\nD\n25/12/2020 10:30\n";
    const std::string other = (Folder / "other.tap").string();
    ASSERT_EQ(
        Reelfs({"mktape", "-b", "4096", "-o", other, label, Fixture("ffmpeg/tedial.mxf").string()}).Exit, 0);
    const CRunResult first = Reelfs({"scan", Tape});
    const CRunResult second = Reelfs({"scan", other});
    ASSERT_EQ(first.Exit, 0) << first.Err;
    ASSERT_EQ(second.Exit, 0) << second.Err;
    EXPECT_NE(first.Out.substr(0, first.Out.find("\nfiles")),
              second.Out.substr(0, second.Out.find("\nfiles")));
    EXPECT_EQ(second.Err.find("another tape"), std::string::npos) << second.Err;

    const CRunResult listed = Reelfs({"ls", Tape});
    ASSERT_EQ(listed.Exit, 0) << listed.Err;
    const CRunResult rescan = Reelfs({"scan", Tape});
    ASSERT_EQ(rescan.Exit, 0) << rescan.Err;
    EXPECT_EQ(rescan.Out, first.Out);
    EXPECT_EQ(Reelfs({"ls", Tape}).Out, listed.Out);
    EXPECT_EQ(Reelfs({"ls", other}).Out,
              "10809\t2021-04-15T15:30:05Z\t0/{adab4424-2f25-4dc7-92ff-000d00000000}.mxf\n");
}
TEST_F(TedialTapeCommands, large_blocks_give_whole_block_sizes_or_exact_ones_and_restore_every_byte)
{
    const std::pair<const char*, const char*> files[] = {
        {"0/{adab4424-2f25-4dc7-92ff-000d00000000}.mxf", "ffmpeg/tedial.mxf"},
        {"0/{adab4424-2f25-4dc7-9201-000d00000000}.mxf", "ffmpeg-mxf/op1a.mxf"},
        {"0/{adab4424-2f25-4dc7-9204-000d00000000}.mxf", "ffmpeg-mxf/opatom.mxf"}};
    for (const std::uint64_t block : {65536u, 262144u})
        for (const bool exact : {false, true})
        {
            SCOPED_TRACE(std::to_string(block) + (exact ? " exact" : " blocks"));
            std::ofstream(std::filesystem::path(Home) / "reelfs.ini")
                << "[MXFREELFS]\nScan File Sizes=" << exact << "\n";
            const std::string label = (Folder / "big-label").string();
            std::ofstream(label) << "554362111000\nA\nB\nBlocks " << block << exact
                                 << "\nD\n25/12/2020 10:30\n";
            const std::string tape = (Folder / "big.tap").string();
            std::vector<std::string> args{"mktape", "-b", std::to_string(block), "-o", tape, label};
            for (const auto& file : files)
                args.push_back(Fixture(file.second).string());
            ASSERT_EQ(Reelfs(args).Exit, 0);
            const CRunResult scan = Reelfs({"scan", tape});
            ASSERT_EQ(scan.Exit, 0) << scan.Err;
            EXPECT_NE(scan.Out.find("files        3"), std::string::npos) << scan.Out;
            const auto size = [&](std::uint64_t bytes) { return std::to_string(exact ? bytes : block); };
            const CRunResult ls = Reelfs({"ls", tape});
            EXPECT_EQ(ls.Out, size(35385) + "\t2024-03-05T15:20:30Z\t" + files[1].first + "\n" + size(26169) +
                                  "\t2024-03-05T15:20:30Z\t" + files[2].first + "\n" + size(10809) +
                                  "\t2021-04-15T15:30:05Z\t" + files[0].first + "\n");
            for (const auto& [path, fixture] : files)
            {
                SCOPED_TRACE(path);
                const std::string bytes = ReadFile(Fixture(fixture));
                const std::string whole = Restored(tape, path);
                EXPECT_EQ(whole.size(), exact ? bytes.size() : block);
                EXPECT_TRUE(whole.substr(0, bytes.size()) == bytes);
                EXPECT_TRUE(Restored(tape, path, {"--offset", "1000", "--length", "5000"}) ==
                            bytes.substr(1000, 5000));
            }
        }
}

TEST_F(TedialTapeCommands, files_that_share_a_name_restore_by_where_they_start_and_never_by_a_guess)
{
    // ffmpeg gives all six the same instance UIDs, and so the built-in stylesheet the same name.
    const std::string label = (Folder / "alike.label").string();
    std::ofstream(label) << "554362111000\nA\nB\nAlike\nD\n25/12/2020 10:30\n";
    const std::string tape = (Folder / "alike.tap").string();
    std::vector<std::string> args{"mktape", "-b", "4096", "-o", tape, label};
    for (int i = 1; i <= 6; ++i)
        args.push_back(Fixture(("ffmpeg-alike/alike" + std::to_string(i) + ".mxf").c_str()).string());
    ASSERT_EQ(Reelfs(args).Exit, 0);
    const CRunResult scan = Reelfs({"scan", tape});
    ASSERT_EQ(scan.Exit, 0) << scan.Err;
    const CRunResult ls = Reelfs({"ls", tape, "-l"});
    ASSERT_EQ(ls.Exit, 0) << ls.Err;

    std::istringstream lines(ls.Out);
    std::vector<std::string> positions;
    const std::string name = "0/{adab4424-2f25-4dc7-92ff-000d00000000}.mxf";
    for (std::string line; std::getline(lines, line);)
    {
        std::istringstream columns(line);
        std::string size, time, position, segment, key1, key2, path;
        std::getline(columns, size, '\t') && std::getline(columns, time, '\t') &&
            std::getline(columns, position, '\t') && std::getline(columns, segment, '\t') &&
            std::getline(columns, key1, '\t') && std::getline(columns, key2, '\t') &&
            std::getline(columns, path);
        EXPECT_EQ(path, name) << line;
        EXPECT_EQ(segment + key1 + key2, "001") << line;
        // In the order of the tape, each a day after the one before (10:20:30 UTC, 05:20:30 here).
        EXPECT_EQ(time, "2024-03-0" + std::to_string(positions.size() + 1) + "T15:20:30Z") << line;
        positions.push_back(position);
    }
    ASSERT_EQ(positions.size(), 6u) << ls.Out;

    // Without a position, no version is chosen for the user, and nothing is written.
    const std::string out = (Folder / "restored").string();
    const CRunResult guess = Reelfs({"restore", tape, name, "-o", out});
    EXPECT_EQ(guess.Exit, 1);
    std::string all;
    for (const std::string& position : positions)
        all += (all.empty() ? "" : ", ") + position;
    EXPECT_NE(guess.Err.find("6 versions of \"" + name + "\""), std::string::npos) << guess.Err;
    EXPECT_NE(guess.Err.find("start at positions " + all + ": choose one with --at POSITION"),
              std::string::npos)
        << guess.Err;
    EXPECT_FALSE(std::filesystem::exists(out));

    for (std::size_t i = 0; i < positions.size(); ++i)
    {
        SCOPED_TRACE(positions[i]);
        const CRunResult restore = Reelfs({"restore", tape, name, "--at", positions[i], "-o", out});
        ASSERT_EQ(restore.Exit, 0) << restore.Err;
        EXPECT_TRUE(ReadFile(out) ==
                    ReadFile(Fixture(("ffmpeg-alike/alike" + std::to_string(i + 1) + ".mxf").c_str())));
        std::filesystem::remove(out);
    }
    // A position where no version starts names those that do.
    const std::string between = std::to_string(std::stoull(positions[0]) + 1);
    const CRunResult missed = Reelfs({"restore", tape, name, "--at", between, "-o", out});
    EXPECT_EQ(missed.Exit, 1);
    EXPECT_NE(missed.Err.find("starts at position " + between + "; its versions start at " + all),
              std::string::npos)
        << missed.Err;
    EXPECT_FALSE(std::filesystem::exists(out));
}

TEST_F(TedialTapeCommands, a_tape_keeps_its_identity_when_the_host_runs_under_another_time_zone)
{
    // The label's date is local time and part of the tape's identity; the home keeps the first zone.
    ::setenv("TZ", "UTC0", 1);
    const CRunResult scan = Reelfs({"scan", Tape});
    ASSERT_EQ(scan.Exit, 0) << scan.Err;
    const CRunResult listed = Reelfs({"ls", Tape});
    ASSERT_EQ(listed.Exit, 0) << listed.Err;
    for (const char* zone : {"CET-1", "EST5EDT"})
    {
        SCOPED_TRACE(zone);
        ::setenv("TZ", zone, 1);
        const CRunResult ls = Reelfs({"ls", Tape});
        EXPECT_EQ(ls.Exit, 0) << ls.Err;
        EXPECT_EQ(ls.Out, listed.Out);
        const CRunResult volumes = Reelfs({"volumes"});
        EXPECT_EQ(std::count(volumes.Out.begin(), volumes.Out.end(), '\n'), 1) << volumes.Out;
        EXPECT_NE(volumes.Err.find("in the time zone UTC0, the one it was first run under"),
                  std::string::npos)
            << volumes.Err;
        EXPECT_EQ(Reelfs({"scan", Tape}).Out, scan.Out);
    }
}

TEST_F(TedialTapeCommands, a_configured_stylesheet_reaches_no_file_and_is_stopped_when_it_runs_away)
{
    const std::string folder = Folder.string();
    std::ofstream(Folder / "secret.xml") << "<Secret>secret-from-a-file</Secret>";
    std::ofstream(Folder / "secret.txt") << "secret-from-an-entity";
    std::ofstream(Folder / "hostname.xml")
        << "<!DOCTYPE x [<!ENTITY h SYSTEM \"/etc/hostname\">]><x>[&h;]</x>";
    std::ifstream hostFile("/etc/hostname");
    std::string host;
    std::getline(hostFile, host);
    const std::string label = (Folder / "one.label").string();
    std::ofstream(label) << "554362111000\nA\nB\nOne\nD\n25/12/2020 10:30\n";
    const std::string tape = (Folder / "one.tap").string();
    ASSERT_EQ(Reelfs({"mktape", "-b", "4096", "-o", tape, label, Fixture("ffmpeg/tedial.mxf").string()}).Exit,
              0);
    // A naming stylesheet whose file name is `name`, with more templates and a document type before it.
    const auto sheet =
        [](const std::string& name, const std::string& templates = "", const std::string& doctype = "")
    {
        return doctype +
               "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">" +
               "<xsl:template match=\"/\"><Attributes><FileName>" + name +
               "</FileName><LastModifiedDate/></Attributes></xsl:template>" + templates + "</xsl:stylesheet>";
    };
    const struct
    {
        const char* what;
        std::string stylesheet;
        std::string secret; // what must not show (a host name with its line end is quoted); empty for a
                            // stylesheet that must be stopped
    } cases[] = {
        {"xsl:document",
         sheet("<xsl:document href=\"" + folder + "/written.xml\"><x/></xsl:document>xsl-document-ran"),
         "xsl-document-ran"},
        {"document()", sheet("<xsl:value-of select=\"document('" + folder + "/secret.xml')/Secret\"/>"),
         "secret-from"},
        {"an external entity",
         sheet("&secret;", "",
               "<!DOCTYPE xsl:stylesheet [<!ENTITY secret SYSTEM \"" + folder + "/secret.txt\">]>"),
         "secret-from"},
        {"an external entity reading /etc/hostname",
         sheet("[&h;]", "", "<!DOCTYPE xsl:stylesheet [<!ENTITY h SYSTEM \"/etc/hostname\">]>"), "[" + host},
        {"document() of a file whose external entity reads /etc/hostname",
         sheet("<xsl:value-of select=\"document('" + folder + "/hostname.xml')\"/>"), "[" + host},
        {"recursion without end",
         sheet("<xsl:call-template name=\"r\"/>",
               "<xsl:template name=\"r\"><x><xsl:call-template name=\"r\"/></x></xsl:template>"),
         ""},
        {"binary recursion",
         sheet(
             "<xsl:call-template name=\"b\"><xsl:with-param name=\"n\" select=\"0\"/></xsl:call-template>",
             "<xsl:template name=\"b\"><xsl:param name=\"n\"/><xsl:if test=\"$n &lt; 60\"><xsl:call-template "
             "name=\"b\"><xsl:with-param name=\"n\" select=\"$n + "
             "1\"/></xsl:call-template><xsl:call-template "
             "name=\"b\"><xsl:with-param name=\"n\" select=\"$n + 1\"/></xsl:call-template></xsl:if>"
             "</xsl:template>"),
         ""},
        {"a string that doubles",
         sheet(
             "<xsl:call-template name=\"d\"><xsl:with-param name=\"s\" select=\"'doubled'\"/>"
             "</xsl:call-template>",
             "<xsl:template name=\"d\"><xsl:param name=\"s\"/><xsl:call-template name=\"d\"><xsl:with-param "
             "name=\"s\" select=\"concat($s, $s)\"/></xsl:call-template></xsl:template>"),
         ""},
    };
    int number = 0;
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        const std::string path = (Folder / ("sheet" + std::to_string(++number) + ".xsl")).string();
        std::ofstream(path) << c.stylesheet;
        std::ofstream(std::filesystem::path(Home) / "reelfs.ini")
            << "[MXFREELFS]\nScan File Sizes=1\nMXF Transform=" << path << "\n";
        const auto start = std::chrono::steady_clock::now();
        const CRunResult scan = Reelfs({"scan", tape});
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
        const CRunResult ls = Reelfs({"ls", tape});
        EXPECT_FALSE(std::filesystem::exists(Folder / "written.xml"));
        std::filesystem::remove(Folder / "written.xml");
        if (c.secret.empty())
        {
            EXPECT_EQ(scan.Exit, 1) << scan.Out;
            continue;
        }
        for (const std::string& text : {scan.Out, scan.Err, ls.Out, ls.Err})
            EXPECT_EQ(text.find(c.secret), std::string::npos) << text;
    }
}

TEST_F(TedialTapeCommands, damaged_files_are_catalogued_under_their_default_names_and_cost_no_other_file)
{
    // Blocks: the label 0, its mark 1, tedial.mxf 2-4, mark, deep.mxf 6-11, mark, bad_date.mxf 13-15, mark,
    // op1a.mxf from 17.
    const std::string label = (Folder / "damaged-label").string();
    std::ofstream(label) << "554362111000\nA\nB\nDamaged\nD\n25/12/2020 10:30\n";
    const std::string tape = (Folder / "damaged.tap").string();
    ASSERT_EQ(Reelfs({"mktape", "-b", "4096", "-o", tape, label, Fixture("ffmpeg/tedial.mxf").string(),
                      Fixture("crafted-mxf/deep.mxf").string(), Fixture("crafted-mxf/bad_date.mxf").string(),
                      Fixture("ffmpeg-mxf/op1a.mxf").string()})
                  .Exit,
              0);
    const CRunResult scan = Reelfs({"scan", tape});
    EXPECT_EQ(scan.Exit, 1);
    EXPECT_NE(scan.Out.find("files        4"), std::string::npos) << scan.Out;
    for (const char* reported : {"reelfs: 0xC0003732: MXF file at block 6: 0xC0003730: the header metadata "
                                 "nests deeper than 256 levels; "
                                 "it is catalogued as 0/00000006.dat, with no date and its whole blocks\n",
                                 "reelfs: 0xC0003717: MXF file at block 13: unreadable date \"2021-13-15 "
                                 "10:30:05.000\"; it is catalogued "
                                 "as 0/00000013.dat, with no date and its whole blocks\n",
                                 "reelfs: 0xC0000D14: 2 files of the tape could not be read whole"})
        EXPECT_NE(scan.Err.find(reported), std::string::npos) << reported << "\n" << scan.Err;

    const CRunResult ls = Reelfs({"ls", tape});
    ASSERT_EQ(ls.Exit, 0) << ls.Err;
    EXPECT_EQ(ls.Out, "24576\t-\t0/00000006.dat\n"
                      "12288\t-\t0/00000013.dat\n"
                      "35385\t2024-03-05T15:20:30Z\t0/{adab4424-2f25-4dc7-9201-000d00000000}.mxf\n"
                      "10809\t2021-04-15T15:30:05Z\t0/{adab4424-2f25-4dc7-92ff-000d00000000}.mxf\n");
    const std::pair<const char*, const char*> restores[] = {
        {"0/{adab4424-2f25-4dc7-92ff-000d00000000}.mxf", "ffmpeg/tedial.mxf"},
        {"0/{adab4424-2f25-4dc7-9201-000d00000000}.mxf", "ffmpeg-mxf/op1a.mxf"},
        {"0/00000006.dat", "crafted-mxf/deep.mxf"}};
    for (const auto& [path, fixture] : restores)
    {
        SCOPED_TRACE(path);
        const std::string bytes = ReadFile(Fixture(fixture));
        const std::string restored = Restored(tape, path);
        EXPECT_TRUE(restored.substr(0, bytes.size()) == bytes);
        EXPECT_EQ(restored.size(), path[2] == '0' ? 24576 : bytes.size());
    }
}

TEST_F(TedialTapeCommands,
       a_dated_file_is_recorded_with_flag_0x40_and_its_time_where_the_modification_time_goes)
{
    ASSERT_EQ(Reelfs({"scan", Tape}).Exit, 0);
    {
        CHost host;
        ASSERT_TRUE(host.Open(Home).IsSuccess());
        CSet<CVolume, 1>::pointer volume;
        ASSERT_TRUE(host.Mount(Tape, volume).IsSuccess());
        ASSERT_TRUE(volume->OpenCatalogue(false, false).IsSuccess());
        std::size_t files = 0;
        CFileListInternal& catalogue = *volume->Catalogue;
        for (auto at = catalogue.begin(1), end = catalogue.end(1); at != end; ++at)
        {
            CFileListPointer<CCatalogueItem> handle = GetPointer<CCatalogueItem>(at);
            if (handle.Get()->GetObjectType(false) != KindArchive)
                continue;
            ++files;
            EXPECT_EQ(handle.Get()->GetObjectType(true), 0x40);
            ASSERT_EQ(handle.Get()->GetDataSize(), 44u);
            std::uint64_t stored = 0;
            std::memcpy(&stored, static_cast<const std::uint8_t*>(handle.Get()->GetData()) + 36,
                        sizeof stored);
            const std::uint64_t expected =
                handle.Get()->GetKeyPath() == u"0/{adab4424-2f25-4dc7-92ff-000d00000000}.mxf"
                    ? UnixSecondsToFileTime(1618500605)  // 2021-04-15T15:30:05Z
                    : UnixSecondsToFileTime(1709652030); // 2024-03-05T15:20:30Z
            EXPECT_EQ(stored, expected);
        }
        EXPECT_EQ(files, 3u);
    }
    // The restored file takes the recorded time.
    const std::string out = (Folder / "restored").string();
    ASSERT_EQ(Reelfs({"restore", Tape, "0/{adab4424-2f25-4dc7-92ff-000d00000000}.mxf", "-o", out}).Exit, 0);
    EXPECT_EQ(std::chrono::duration_cast<std::chrono::seconds>(
                  std::chrono::file_clock::to_sys(std::filesystem::last_write_time(out)).time_since_epoch())
                  .count(),
              1618500605);
}

TEST_F(TedialTapeCommands, a_dictionary_or_stylesheet_that_does_not_load_is_named_with_the_reason)
{
    const std::string missing = (Folder / "missing.xml").string();
    const std::string empty = (Folder / "empty.xml").string();
    const std::string malformed = (Folder / "malformed.xml").string();
    std::ofstream(empty).flush();
    std::ofstream(malformed) << "<MXFDictionary>\n  <Types>\n</MXFDictionary>\n";
    struct Case
    {
        const char* Setting;
        std::string Path;
        const char* Reason;
    } cases[] = {
        {"MXF Dictionary", missing, "there is no such file"},
        {"MXF Dictionary", empty, "no element found"},
        {"MXF Dictionary", malformed, "line 3"},
        {"MXF Transform", missing, "there is no such file"},
        {"MXF Transform", empty, "Document is empty"},
        {"MXF Transform", malformed, "line 4, column 1: Premature end of data"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(std::string(c.Setting) + " " + c.Path);
        std::ofstream(std::filesystem::path(Home) / "reelfs.ini") << "[MXFREELFS]\n"
                                                                  << c.Setting << "=" << c.Path << "\n";
        // A process of its own: a dictionary loads once in a process.
        const CRunResult scan = Program({"scan", Tape});
        EXPECT_EQ(scan.Exit, 1);
        const std::string named = "0xC0003733: the \"" + std::string(c.Setting) +
                                  "\" setting (section MXFREELFS) names \"" + c.Path +
                                  "\", which does not load: ";
        EXPECT_NE(scan.Err.find(named), std::string::npos) << scan.Err;
        EXPECT_NE(scan.Err.find(c.Reason, scan.Err.find(named)), std::string::npos) << scan.Err;
        EXPECT_NE(scan.Err.find("or remove the setting to use the built-in "), std::string::npos) << scan.Err;
    }
}

TEST_F(TedialTapeCommands, memory_that_runs_out_while_a_file_is_named_costs_that_file_alone)
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "a sanitizer's shadow memory needs more address space than the limits leave";
#endif
    // Between two sound files, header metadata that take some hundreds of megabytes to hold, under
    // limits that let memory run out at many points of their reading.
    const std::string fixture = ReadFile(Fixture("ffmpeg/tedial.mxf"));
    const tdtest::Bytes sound(fixture.begin(), fixture.end());
    const std::pair<tdtest::Shape, std::size_t> shapes[] = {{tdtest::Shape::InstanceUIDs, 2 << 20},
                                                            {tdtest::Shape::Batches, 1 << 20}};
    for (const auto& [shape, size] : shapes)
    {
        const tdtest::Bytes hostile = tdtest::WithSets(sound, tdtest::HostileSets(shape, size));
        const std::string file = (Folder / "hostile.mxf").string();
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(hostile.data()),
                   static_cast<std::streamsize>(hostile.size()));
        const std::string tape = (Folder / "hostile.tap").string();
        ASSERT_EQ(Reelfs({"mktape", "-b", "65536", "-o", tape, (Folder / "label").string(),
                          Fixture("ffmpeg/tedial.mxf").string(), file, Fixture("ffmpeg/tedial.mxf").string()})
                      .Exit,
                  0);
        for (std::size_t limit = 72 << 10; limit <= 120 << 10; limit += 24 << 10)
        {
            SCOPED_TRACE(std::to_string(limit) + " KiB, " + std::to_string(static_cast<int>(shape)));
            const CRunResult scan = Program({"scan", tape}, "", limit);
            EXPECT_EQ(scan.Exit, 1) << scan.Err;
            EXPECT_NE(scan.Err.find("reelfs: 0xC0003732: MXF file at block 4: "), std::string::npos)
                << scan.Err;
            const CRunResult ls = Reelfs({"ls", tape});
            EXPECT_EQ(Lines(ls.Out).size(), 3u) << ls.Out;
            EXPECT_EQ(std::count(ls.Out.begin(), ls.Out.end(), '{'), 2) << ls.Out;
        }
    }
}
} // namespace
