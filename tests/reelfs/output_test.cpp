// What reelfs writes and how it ends when it cannot: output that does not reach standard output fails
// the command, and running out of memory is a failure with a message, never an abort.
#include "HostTestSupport.h"

#include <filesystem>
#include <fstream>

namespace
{
class OutputTest : public HostTest
{
};

TEST_F(OutputTest, a_command_whose_output_cannot_be_written_fails)
{
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
