// What reelfs writes and how it ends when it cannot: output that does not reach standard output fails
// the command, and running out of memory is a failure with a message, never an abort.
#include "HostTestSupport.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace
{
class OutputTest : public HostTest
{
};

TEST_F(OutputTest, a_command_whose_output_cannot_be_written_fails)
{
    // Without the device, the redirection would make a plain file of that name.
    if (!std::filesystem::is_character_file("/dev/full"))
        GTEST_SKIP() << "this machine has no /dev/full";
    const std::string tape = FixtureTape("tape", "gnutar/ustar.tar");
    ASSERT_EQ(Reelfs({"scan", tape}).Exit, 0);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"scan", tape},
          {"ls", tape},
          {"ls", tape, "-l"},
          {"volumes"},
          {"restore", tape, "0/short.txt"},
          {"restore", tape, "0/short.txt", "--offset", "1", "--length", "2"},
          {"--help"}})
    {
        SCOPED_TRACE(args[0] + " " + args.back());
        CRunResult result = Program(args, "/dev/full");
        EXPECT_EQ(result.Exit, 1);
        EXPECT_NE(result.Err.find("No space left on device"), std::string::npos) << result.Err;
    }
}

TEST_F(OutputTest, long_work_shows_progress_on_a_terminal_only)
{
    const std::string archive = std::filesystem::path(std::getenv("REELFS_FIXTURES")) / "gnutar/ustar.tar";
    const std::string tape = (Folder / "tape.tap").string();
    const std::string restored = (Folder / "short.txt").string();
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"mktape", "-o", tape, archive}, "writing " + tape + ": "},
        {{"scan", tape}, "scanning: block "},
        {{"restore", tape, "0/short.txt", "-o", restored}, "restoring 0/short.txt: 5 of 5 bytes (100%)"},
    };
    for (const auto& [args, progress] : cases)
    {
        // script(1) runs the command with a terminal for its output.
        std::string command = std::string(REELFS_PROGRAM) + " --home " + Home;
        for (const std::string& arg : args)
            command += " " + arg;
        const std::string shown = (Folder / "terminal").string();
        ASSERT_EQ(std::system(("script -qec '" + command + "' /dev/null >" + shown).c_str()), 0) << command;
        EXPECT_NE(ReadFile(shown).find("\r\033[K" + progress), std::string::npos) << ReadFile(shown);

        CRunResult plain = Program(args);
        EXPECT_EQ(plain.Exit, 0) << plain.Err;
        EXPECT_EQ(plain.Err.find(progress), std::string::npos) << plain.Err;
    }
    EXPECT_EQ(ReadFile(restored), "hello");
}

TEST_F(OutputTest, running_out_of_memory_ends_with_a_message_not_a_signal)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's shadow memory does not fit an address-space limit";
#endif
    // An image of zeros is a tape of marks, a quarter of a thousand million of them.
    const std::string zeros = (Folder / "zeros.tap").string();
    std::ofstream(zeros).close();
    std::filesystem::resize_file(zeros, 1ull << 30);
    const std::string command = "ulimit -v 1048576; " + std::string(REELFS_PROGRAM) + " --home '" + Home +
                                "' scan '" + zeros + "' >/dev/null 2>'" + (Folder / "err").string() + "'";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status)) << "signal " << WTERMSIG(status);
    EXPECT_LE(WEXITSTATUS(status), 1) << ReadFile(Folder / "err");
    EXPECT_EQ(ReadFile(Folder / "err").find("terminate called"), std::string::npos);
}
} // namespace
