// Tedial tapes through the reelfs command line: a label and MXF files that ffmpeg wrote, each between
// marks, are scanned, listed under the names and dates their header metadata gives and restored byte for
// byte, whichever way the image ends.
#include "HostTestSupport.h"

#include <cstdlib>
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
            const std::string out = (Folder / "restored").string();
            std::filesystem::remove(out);
            const CRunResult restore = Reelfs({"restore", Tape, path, "-o", out});
            ASSERT_EQ(restore.Exit, 0) << restore.Err;
            EXPECT_TRUE(ReadFile(out) == ReadFile(Fixture(fixture)));
        }
    }
}
} // namespace
