#include "HostTestSupport.h"

#include <cstdlib>

namespace
{
struct CCommandCase
{
    std::vector<std::string> Args;
    std::string Message; // what standard error says
};

class CommandTest : public HostTest
{
protected:
    void ExpectExit(int exit, const std::vector<CCommandCase>& cases)
    {
        for (const auto& c : cases)
        {
            CRunResult result = Reelfs(c.Args);
            const std::string line = c.Args.empty() ? "(none)" : c.Args[0];
            EXPECT_EQ(result.Exit, exit) << line << ": " << result.Err;
            EXPECT_NE(result.Err.find(c.Message), std::string::npos) << line << ": " << result.Err;
            EXPECT_EQ(result.Err.find("usage: reelfs") != std::string::npos, exit == 2) << line;
        }
    }
};

TEST_F(CommandTest, command_lines_that_do_not_fit_are_usage_errors)
{
    const std::string image = FixtureTape("tape", "gnutar/ustar.tar");
    ExpectExit(
        2, {
               {{}, "no command given"},
               {{"frobnicate"}, "unknown command frobnicate"},
               {{"scan"}, "scan takes one IMAGE"},
               {{"scan", image, image}, "scan takes one IMAGE"},
               {{"scan", "-x", image}, "unknown option -x"},
               {{"ls"}, "ls takes one IMAGE or VOLUME"},
               {{"ls", image, "-x"}, "unknown option -x"},
               {{"restore", image}, "restore takes an IMAGE and a PATH"},
               {{"restore", image, "0/a", "--offset", "1"}, "--offset and --length go together"},
               {{"restore", image, "0/a", "--offset", "0", "--length", "0"},
                "--length takes a number of bytes from 1"},
               {{"restore", image, "0/a", "--offset", "-1", "--length", "1"}, "--offset takes a byte offset"},
               {{"restore", image, "0/a", "-o"}, "-o needs a value"},
               {{"restore", image, "0/\xff"}, "not UTF-8"},
               {{"set", image}, "set takes an IMAGE and NAME=VALUE"},
               {{"set", image, "NextVolume"}, "set takes NAME=VALUE"},
               {{"set", image, "=x"}, "set takes NAME=VALUE"},
               {{"volumes", image}, "volumes takes no operand"},
           });
}

TEST_F(CommandTest, operations_that_fail_name_the_error_and_exit_with_1)
{
    const std::string image = FixtureTape("tape", "gnutar/ustar.tar");
    const std::string archive = std::filesystem::path(std::getenv("REELFS_FIXTURES")) / "gnutar/gnu.tar";
    ExpectExit(1, {
                      {{"ls", image}, "0xC0000D09: volume "},
                      {{"ls", "00000001-9-1"}, "0xC0000D0E: no volume 00000001-9-1 is known"},
                      {{"scan", MakeTape("text", "no tape layout at all")}, "0xC0000D08: the tape in "},
                      {{"ls", (Folder / "missing.tap").string()}, "missing.tap: cannot be opened"},
                      {{"scan", (Folder / "missing.tap").string()}, "missing.tap: cannot be opened"},
                      // An archive given where its tape image belongs.
                      {{"scan", archive},
                       archive +
                           " is a TAR archive, not a tape image: write it onto one with "
                           "reelfs mktape -o TAPE.tap " +
                           archive},
                      {{"ls", archive}, "is a TAR archive, not a tape image"},
                      {{"restore", image, "0/short.txt"}, "0xC0000D09"},
                  });
}

TEST_F(CommandTest, help_explains_the_commands_paths_columns_exit_codes_and_next_volumes)
{
    struct CHelpCase
    {
        std::vector<std::string> Args;
        std::vector<std::string> Says;
    };
    const std::vector<CHelpCase> cases = {
        {{"--help"},
         {"usage: reelfs [--home DIR] [-v] COMMAND", "  restore IMAGE PATH", "  volumes\n", "begins with 0/",
          "NextVolume=IDENTITY", "--with NEXT.tap", "Exit status: 0", "; 1 when", "; 2 when"}},
        {{"mktape", "--help"},
         {"usage: reelfs [--home DIR] [-v] mktape [-b BYTES] -o IMAGE FILE...", "-b BYTES"}},
        {{"scan", "-h"}, {"usage: reelfs [--home DIR] [-v] scan IMAGE", "replaces the catalogue"}},
        {{"ls", "x.tap", "--help"},
         {"SIZE MTIME PATH", "SIZE MTIME POSITION SEGMENT KEY1 KEY2 PATH", "begins with 0/",
          "\\\\ for a backslash", "\\NNN in octal"}},
        {{"restore", "--help"},
         {"[--with IMAGE]...", "one image each", "reelfs set TAPE1.tap NextVolume=IDENTITY",
          "--with TAPE2.tap --with TAPE3.tap", "as reelfs ls prints it"}},
        {{"set", "--help"}, {"NextVolume=IDENTITY"}},
        {{"volumes", "--help"}, {"IDENTITY", "last seen in"}},
        {{"--version"}, {"reelfs 0."}},
    };
    for (const CHelpCase& c : cases)
    {
        CRunResult result = Reelfs(c.Args);
        EXPECT_EQ(result.Exit, 0) << c.Args[0];
        EXPECT_EQ(result.Err, "");
        for (const std::string& text : c.Says)
            EXPECT_NE(result.Out.find(text), std::string::npos) << c.Args[0] << ": " << text << "\n"
                                                                << result.Out;
    }
    // After "--" a "--help" is an operand.
    EXPECT_EQ(Reelfs({"scan", "--", "--help"}).Exit, 1);
}

TEST_F(CommandTest, the_program_finds_its_plugins_in_the_build_tree_and_lists_what_it_knows)
{
    const std::string image = FixtureTape("tape", "gnutar/ustar.tar");
    const std::string err = (Folder / "err").string();
    const std::string command = "env -u REELFS_PLUGINS " + std::string(REELFS_PROGRAM) + " --home " + Home +
                                " -v ls " + image + " 2>" + err;
    EXPECT_EQ(WEXITSTATUS(std::system(command.c_str())), 1);
    const std::string printed = ReadFile(err);
    EXPECT_NE(printed.find("event 0x8025C: found file system "), std::string::npos) << printed;

    CRunResult volumes = Reelfs({"volumes"});
    EXPECT_EQ(volumes.Exit, 0);
    std::string volume = printed.substr(printed.find("found file system ") + 18);
    volume = volume.substr(0, volume.find('\n'));
    EXPECT_EQ(volumes.Out, volume + "\tGenericTar\t-\t" + image + "\n");
}
} // namespace
