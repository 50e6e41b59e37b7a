// Commands started at once on one home, as separate reelfs processes: scans of a batch of tapes on a
// home that does not exist yet (or is an empty folder) each catalogue their tape as a scan alone does,
// under one time zone, the one of the command that made the home; on the home they made, listings and
// restores run beside scans, and a scan killed on the way costs the others nothing. Settings changed at
// once, of several volumes or of one, are all kept.
#include "HostTestSupport.h"

#include "../TarFile/TarTestSupport.h"

#include "vnservice/CDatabase.h"
#include "vnservice/CPersistanceEngine.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <map>
#include <set>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace
{
constexpr int Tapes = 6;
// Files on the tape whose scan is killed: enough to keep it busy for a while.
constexpr std::size_t BigFiles = 2000;

// A reelfs process with its output going to files.
struct Child
{
    pid_t Pid = -1;
    std::string Out, Err;
};

class SideBySideTest : public HostTest
{
protected:
    void SetUp() override
    {
        HostTest::SetUp();
        // The tapes begin with members of one time and of different names, as archives of a batch made
        // in one second do: each tape gets its own volume number.
        for (int tape = 1; tape <= Tapes; ++tape)
            Images.push_back(MakeTape("t" + std::to_string(tape), Archive(tape, 20)));
        Big = MakeTape("big", Archive(0, static_cast<int>(BigFiles)));
        for (int tape = 0; tape < Tapes; ++tape)
        {
            Home = (Folder / "serial").string();
            ASSERT_EQ(Reelfs({"scan", Images[tape]}).Exit, 0);
            Serial.push_back(Reelfs({"ls", Images[tape]}).Out);
            ASSERT_EQ(Lines(Serial.back()).size(), 20u);
        }
    }

    // tapeN/fJ.txt holding "tape N file J", for J from 1 to `files`.
    static std::string Archive(int tape, int files)
    {
        std::string archive;
        for (int file = 1; file <= files; ++file)
        {
            const std::string data = "tape " + std::to_string(tape) + " file " + std::to_string(file) + "\n";
            char size[12];
            std::snprintf(size, sizeof size, "%011o", static_cast<unsigned>(data.size()));
            archive += tartest::Entry(
                tartest::UstarBlock("tape" + std::to_string(tape) + "/f" + std::to_string(file) + ".txt",
                                    size),
                data);
        }
        return archive + tartest::ArchiveEnd();
    }

    // Starts reelfs on `home` with the arguments, under TZ=`zone` when one is given.
    Child Start(const std::string& home, const std::vector<std::string>& args, const std::string& zone = "")
    {
        Child child;
        const std::string name = "child" + std::to_string(++Started);
        child.Out = (Folder / (name + ".out")).string();
        child.Err = (Folder / (name + ".err")).string();
        std::vector<std::string> words = {REELFS_PROGRAM, "--home", home};
        words.insert(words.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& word : words)
            argv.push_back(word.data());
        argv.push_back(nullptr);
        std::vector<std::string> variables;
        for (char** variable = environ; *variable; ++variable)
            if (zone.empty() || std::string_view(*variable).substr(0, 3) != "TZ=")
                variables.emplace_back(*variable);
        if (!zone.empty())
            variables.push_back("TZ=" + zone);
        std::vector<char*> envp;
        for (std::string& variable : variables)
            envp.push_back(variable.data());
        envp.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, child.Out.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, child.Err.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        EXPECT_EQ(posix_spawn(&child.Pid, argv[0], &actions, nullptr, argv.data(), envp.data()), 0);
        posix_spawn_file_actions_destroy(&actions);
        return child;
    }

    // The exit status; -1 for a process that a signal ended.
    static int Wait(const Child& child)
    {
        int status = 0;
        EXPECT_EQ(::waitpid(child.Pid, &status, 0), child.Pid);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // Waits for each scan and checks that it succeeded; with `listed`, that its tape lists as after a
    // scan alone.
    void ExpectScanned(const std::vector<Child>& scans, bool listed)
    {
        for (int tape = 0; tape < Tapes; ++tape)
        {
            SCOPED_TRACE("scan of t" + std::to_string(tape + 1));
            EXPECT_EQ(Wait(scans[tape]), 0) << ReadFile(scans[tape].Err);
            if (!listed)
                continue;
            CRunResult listing = Reelfs({"ls", Images[tape]});
            EXPECT_EQ(listing.Exit, 0) << listing.Err;
            EXPECT_EQ(listing.Out, Serial[tape]);
        }
    }

    std::vector<std::string> Images;
    std::string Big;
    std::vector<std::string> Serial;
    int Started = 0;
    // Rounds whose kill came before the big tape's catalogue was stored.
    int Killed = 0;
};

TEST_F(SideBySideTest, scans_started_at_once_on_a_new_home_each_catalogue_their_tape)
{
    const std::string zones[Tapes] = {"UTC0", "EST5", "CST6", "MST7", "PST8", "JST-9"};
    for (int round = 0; round < 2; ++round)
    {
        SCOPED_TRACE("round " + std::to_string(round));
        const std::string home = (Folder / ("home" + std::to_string(round))).string();
        // Half the rounds find the home as a folder someone made for it, empty.
        if (round % 2 == 1)
            std::filesystem::create_directories(home);
        std::vector<Child> scans;
        for (int tape = 0; tape < Tapes; ++tape)
            scans.push_back(Start(home, {"scan", Images[tape]}, zones[tape]));
        Home = home;
        ExpectScanned(scans, true);

        // The home keeps the zone of one of the scans, and every later command runs under it.
        const CRunResult volumes = Reelfs({"volumes"});
        std::set<std::string> named;
        for (const std::string& zone : zones)
            if (volumes.Err.find("in the time zone " + zone + ",") != std::string::npos)
                named.insert(zone);
        EXPECT_EQ(named.size(), 1u) << volumes.Err;
        EXPECT_EQ(Lines(volumes.Out).size(), static_cast<std::size_t>(Tapes));

        // On the home they made: the tapes scanned again, beside a listing and a restore of a scanned
        // tape and a scan that is killed on the way.
        Child killed = Start(home, {"scan", Big});
        scans.clear();
        for (int tape = 0; tape < Tapes; ++tape)
            scans.push_back(Start(home, {"scan", Images[tape]}));
        Child listing = Start(home, {"ls", Images[0]});
        Child restore = Start(home, {"restore", Images[1], "0/tape2/f7.txt"});
        std::this_thread::sleep_for(std::chrono::milliseconds(10 + 30 * round));
        ::kill(killed.Pid, SIGKILL);
        const int killedExit = Wait(killed);
        ExpectScanned(scans, false);
        EXPECT_EQ(Wait(listing), 0) << ReadFile(listing.Err);
        EXPECT_EQ(ReadFile(listing.Out), Serial[0]);
        EXPECT_EQ(Wait(restore), 0) << ReadFile(restore.Err);
        EXPECT_EQ(ReadFile(restore.Out), "tape 2 file 7\n");

        // The big tape is catalogued whole, or not at all where the kill came before its commit; a scan
        // of it then does what it would have done.
        CRunResult big = Reelfs({"ls", Big});
        if (killedExit != 0)
            Killed += big.Exit != 0;
        if (big.Exit == 0)
            EXPECT_EQ(Lines(big.Out).size(), BigFiles);
        else
            EXPECT_NE(big.Err.find("has not been scanned"), std::string::npos) << big.Err;
        ASSERT_EQ(Reelfs({"scan", Big}).Exit, 0);
        EXPECT_EQ(Lines(Reelfs({"ls", Big}).Out).size(), BigFiles);
    }
    EXPECT_GT(Killed, 0) << "no kill came before the big tape's catalogue was stored";
}
TEST_F(SideBySideTest, settings_changed_at_once_are_all_kept)
{
    // The home of the serial scans; each volume's identity by its image.
    std::map<std::string, std::string> identities;
    for (const std::string& line : Lines(Reelfs({"volumes"}).Out))
        identities[line.substr(line.rfind('\t') + 1)] = line.substr(0, line.find('\t'));
    ASSERT_EQ(identities.size(), static_cast<std::size_t>(Tapes));
    const std::string standards[] = {"GNU", "Posix"};
    for (int round = 0; round < 2; ++round)
    {
        SCOPED_TRACE("round " + std::to_string(round));
        // Every volume is given the next volume of this round, and the first also another standard.
        const std::string next = identities[Images[round]];
        std::vector<Child> sets;
        for (const std::string& image : Images)
            sets.push_back(Start(Home, {"set", image, "NextVolume=" + next}));
        sets.push_back(Start(Home, {"set", Images[0], "Standard=" + standards[round % 2]}));
        for (const Child& set : sets)
            EXPECT_EQ(Wait(set), 0) << ReadFile(set.Err);

        CDatabase database;
        ASSERT_TRUE(database.Open(Home + "/reelfs.db").IsSuccess());
        for (const std::string& image : Images)
        {
            WString kept;
            EXPECT_TRUE(CPersistanceEngine::CNode(database, identities[image])
                            .ReadString(u"NextVolume", kept)
                            .IsSuccess())
                << image;
            EXPECT_EQ(WideParameter(kept), next) << image;
        }
        WString standard;
        EXPECT_TRUE(CPersistanceEngine::CNode(database, identities[Images[0]])
                        .ReadString(u"Standard", standard)
                        .IsSuccess());
        EXPECT_EQ(WideParameter(standard), standards[round % 2]);
    }
}
} // namespace
