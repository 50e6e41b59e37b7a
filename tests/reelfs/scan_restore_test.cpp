#include "CScanDriver.h"
#include "HostTestSupport.h"
#include "ScriptedFileSystem.h"

#include "frame/CFileListPointer.h"
#include "win/FileTime.h"

#include <fcntl.h>
#include <fstream>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
// 2021-04-15 12:30:00 UTC.
constexpr std::uint64_t April = UnixSecondsToFileTime(1618489800);

std::vector<std::pair<int, std::string>> IndexOne(CFileListInternal& catalogue)
{
    std::vector<std::pair<int, std::string>> records;
    for (auto at = catalogue.begin(1); at != catalogue.end(1); ++at)
    {
        CFileListPointer<CCatalogueItem> handle = GetPointer<CCatalogueItem>(at);
        records.emplace_back(handle.Get()->GetObjectType(false), WideParameter(handle.Get()->GetKeyPath()));
    }
    return records;
}

class ScanTest : public HostTest
{
protected:
    // Scans the tape in a host of its own; the records of index 1 afterwards.
    std::vector<std::pair<int, std::string>> Scan(const std::string& tape, CScanSummary& summary)
    {
        CHost host;
        EXPECT_TRUE(host.Open(Home).IsSuccess());
        CSet<CVolume, 1>::pointer volume;
        EXPECT_TRUE(host.Mount(tape, volume).IsSuccess());
        CStatus status = CScanDriver::Run(host, volume, summary);
        EXPECT_TRUE(status.IsSuccess()) << status.ToString();
        return IndexOne(*volume->Catalogue);
    }
};

TEST_F(ScanTest, files_and_directories_are_catalogued_once_and_a_second_scan_leaves_the_same)
{
    CScriptedFileSystem::Script = {{16, "empty/"},
                                   {16, "a/"},
                                   {4, "a/f", 10, April, 1},
                                   {4, "a/f", 20, April, 2},
                                   {16, "a"},
                                   {4, "top", 0, 0, 1},
                                   {16, "x/y/"},
                                   {20, ""},
                                   {0, ""},
                                   {99, ""}};
    const std::string tape = ScriptTape("tape");
    CScanSummary summary;
    auto first = Scan(tape, summary);
    EXPECT_EQ(summary.FileSystemType, "Scripted");
    EXPECT_EQ(summary.Files, 3u);
    EXPECT_EQ(summary.Directories, 4u);
    EXPECT_EQ(summary.Archives, 1u);
    EXPECT_EQ(summary.Bytes, 30u);
    std::multiset<std::string> directories;
    for (const auto& [kind, path] : first)
        if (kind == KindDirectory)
            directories.insert(path);
    EXPECT_EQ(directories, (std::multiset<std::string>{"0", "0/a", "0/empty", "0/x", "0/x/y"}));

    CScanSummary again;
    EXPECT_EQ(Scan(tape, again), first);
    EXPECT_EQ(again.Files, summary.Files);

    CRunResult listed = Reelfs({"ls", tape});
    EXPECT_EQ(listed.Exit, 0) << listed.Err;
    EXPECT_EQ(listed.Out, "10\t2021-04-15T12:30:00Z\t0/a/f\n"
                          "20\t2021-04-15T12:30:00Z\t0/a/f\n"
                          "0\t-\t0/top\n");
    CRunResult byIdentity = Reelfs({"ls", summary.Volume.ToString(), "-l"});
    EXPECT_EQ(byIdentity.Exit, 0) << byIdentity.Err;
    EXPECT_EQ(byIdentity.Out, "10\t2021-04-15T12:30:00Z\t2\t0\t0\t1\t0/a/f\n"
                              "20\t2021-04-15T12:30:00Z\t3\t0\t0\t2\t0/a/f\n"
                              "0\t-\t5\t0\t0\t1\t0/top\n");
    CRunResult volumes = Reelfs({"volumes"});
    EXPECT_EQ(volumes.Out, summary.Volume.ToString() + "\tScripted\tSCRIPTED LABEL\\x091\t" + tape + "\n");
}

TEST_F(ScanTest, a_failed_item_ends_the_scan_keeping_what_came_before_it)
{
    const std::vector<CScriptItem> good = {{4, "a", 1}, {4, "b", 1}, {4, "c", 1}};
    const struct
    {
        const char* Name;
        std::vector<CScriptItem> Rescan;
        std::string Kept;
    } cases[] = {
        {"second item fails", {{4, "a", 1}, {4, "b", 1, 0, 1, true}, {4, "c", 1}}, "1\t-\t0/a\n"},
        {"first item fails", {{4, "z", 1, 0, 1, true}}, "1\t-\t0/a\n1\t-\t0/b\n1\t-\t0/c\n"},
        {"first directory fails",
         {{16, "d/", 0, 0, 1, true}, {4, "y", 1}},
         "1\t-\t0/a\n1\t-\t0/b\n1\t-\t0/c\n"},
    };
    int round = 0;
    for (const auto& c : cases)
    {
        Home = (Folder / ("home" + std::to_string(++round))).string();
        const std::string tape = ScriptTape("tape" + std::to_string(round));
        CScriptedFileSystem::Script = good;
        ASSERT_EQ(Reelfs({"scan", tape}).Exit, 0) << c.Name;
        CScriptedFileSystem::Script = c.Rescan;
        CRunResult failed = Reelfs({"scan", tape});
        EXPECT_EQ(failed.Exit, 1) << c.Name;
        EXPECT_NE(failed.Err.find("the script fails here"), std::string::npos)
            << c.Name << ": " << failed.Err;
        EXPECT_EQ(Reelfs({"ls", tape}).Out, c.Kept) << c.Name;
    }
}

TEST_F(ScanTest, a_file_system_that_does_not_move_on_ends_the_scan)
{
    const std::string tape = ScriptTape("tape");
    CScriptedFileSystem::Script = {{4, "a", 1}, {4, "b", 1, 0, 1, false, true}};
    CRunResult scanned = Reelfs({"scan", tape});
    EXPECT_EQ(scanned.Exit, 1);
    EXPECT_NE(scanned.Err.find("0xC0000D0F"), std::string::npos) << scanned.Err;
    EXPECT_EQ(Reelfs({"ls", tape}).Out, "1\t-\t0/a\n1\t-\t0/b\n");
}

TEST_F(ScanTest, the_newest_version_is_restored_whole_or_in_part_and_a_failure_leaves_no_file)
{
    CScriptedFileSystem::Script = {
        {4, "f", 100, April, 1}, {4, "f", 150, April, 2}, {4, "fails", 64, 0, 1}, {4, "empty", 0, 0, 1}};
    const std::string tape = ScriptTape("tape");
    ASSERT_EQ(Reelfs({"scan", tape}).Exit, 0);
    const std::string out = (Folder / "out").string();
    const std::string newest = ScriptedContent(u"0/f", 2, 150);

    const struct
    {
        std::vector<std::string> Args;
        int Exit;
        std::string Written; // what "out" holds afterwards
        const char* Message;
    } cases[] = {
        {{"0/f"}, 0, newest, ""},
        {{"0/f", "--offset", "140", "--length", "10"}, 0, newest.substr(140, 10), ""},
        {{"0/f", "--offset", "0", "--length", "150"}, 0, newest, ""},
        {{"0/empty"}, 0, "", ""},
        {{"0/f", "--offset", "141", "--length", "10"}, 2, "before", "which holds 150 bytes"},
        {{"0/nothing"}, 1, "before", "0xC0000D0A"},
        {{"0/fails"}, 1, "before", "the script fails here"},
    };
    for (const auto& c : cases)
    {
        std::ofstream(out) << "before";
        std::vector<std::string> args = {"restore", tape};
        args.insert(args.end(), c.Args.begin(), c.Args.end());
        args.insert(args.end(), {"-o", out});
        CRunResult result = Reelfs(args);
        EXPECT_EQ(result.Exit, c.Exit) << c.Args[0] << ": " << result.Err;
        EXPECT_NE(result.Err.find(c.Message), std::string::npos) << result.Err;
        EXPECT_EQ(ReadFile(out), c.Written) << c.Args[0];
    }
    // The whole file takes the catalogued time; a failed restore leaves nothing beside the output.
    ASSERT_EQ(Reelfs({"restore", tape, "0/f", "-o", out}).Exit, 0);
    struct stat restored;
    ASSERT_EQ(::stat(out.c_str(), &restored), 0);
    EXPECT_EQ(restored.st_mtime, 1618489800);
    // The tape's own image is no place to restore to.
    const std::string image = ReadFile(tape);
    CRunResult onto = Reelfs({"restore", tape, "0/f", "-o", tape});
    EXPECT_EQ(onto.Exit, 2);
    EXPECT_NE(onto.Err.find("is the tape image"), std::string::npos) << onto.Err;
    EXPECT_EQ(ReadFile(tape), image);
    ASSERT_EQ(Reelfs({"restore", tape, "0/fails", "-o", (Folder / "new").string()}).Exit, 1);
    EXPECT_FALSE(std::filesystem::exists(Folder / "new"));
    for (const auto& entry : std::filesystem::directory_iterator(Folder))
        EXPECT_EQ(entry.path().string().find(".reelfs-"), std::string::npos) << entry.path();
}

TEST_F(ScanTest, a_restore_to_a_pipe_gives_it_the_bytes_and_leaves_its_times_alone)
{
    CScriptedFileSystem::Script = {{4, "f", 100, April, 1}};
    const std::string tape = ScriptTape("tape");
    ASSERT_EQ(Reelfs({"scan", tape}).Exit, 0);
    const std::string pipe = (Folder / "pipe").string();
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
    // Opened for reading first, so that the restore's open finds a reader; the bytes wait in the pipe.
    const int reader = ::open(pipe.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    CRunResult result = Reelfs({"restore", tape, "0/f", "-o", pipe});
    EXPECT_EQ(result.Exit, 0) << result.Err;
    std::string bytes(200, '\0');
    const ssize_t got = ::read(reader, bytes.data(), bytes.size());
    ::close(reader);
    EXPECT_EQ(bytes.substr(0, got > 0 ? got : 0), ScriptedContent(u"0/f", 1, 100));
    struct stat info;
    ASSERT_EQ(::stat(pipe.c_str(), &info), 0);
    EXPECT_NE(info.st_mtime, 1618489800);
}
} // namespace
