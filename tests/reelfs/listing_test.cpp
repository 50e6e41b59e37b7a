// Names that would break a listing: `reelfs ls` quotes them as GNU tar lists them, so that each file
// is one line of exactly its columns, and `reelfs restore` takes a file by the name ls shows.
#include "HostTestSupport.h"

#include "NameQuoting.h"

#include "../TarFile/TarTestSupport.h"

namespace
{
class ListingTest : public HostTest
{
};

TEST_F(ListingTest, names_are_listed_quoted_as_gnu_tar_lists_them_and_restore_by_that_form)
{
    const std::string tape = FixtureTape("names", "python/names/names.tar");
    ASSERT_EQ(Reelfs({"scan", tape}).Exit, 0);
    const std::vector<std::string> expected =
        Lines(ReadFile(tartest::FixturePath("python/names/names.list")));
    CRunResult listed = Reelfs({"ls", tape});
    ASSERT_EQ(listed.Exit, 0) << listed.Err;
    std::vector<std::string> names;
    for (const std::string& line : Lines(listed.Out))
    {
        ASSERT_EQ(std::count(line.begin(), line.end(), '\t'), 2) << line;
        EXPECT_EQ(line.find('\033'), std::string::npos);
        names.push_back(line.substr(line.rfind('\t') + 1));
    }
    std::vector<std::string> wanted;
    for (const std::string& name : expected)
        wanted.push_back("0/" + name);
    std::sort(wanted.begin(), wanted.end());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, wanted);

    // The archive's i-th member holds "file i".
    const std::string output = (Folder / "restored").string();
    for (std::size_t i = 0; i < expected.size(); ++i)
    {
        CRunResult restored = Reelfs({"restore", tape, "0/" + expected[i], "-o", output});
        EXPECT_EQ(restored.Exit, 0) << expected[i] << ": " << restored.Err;
        EXPECT_EQ(ReadFile(output), "file " + std::to_string(i) + "\n") << expected[i];
    }
    // The name as it is goes too.
    EXPECT_EQ(Reelfs({"restore", tape, "0/tab\there", "-o", output}).Exit, 0);
    EXPECT_EQ(ReadFile(output), "file 2\n");
}

TEST_F(ListingTest, a_path_as_ls_shows_it_names_that_file_where_another_is_named_by_its_letters)
{
    using namespace tartest;
    const std::string tape =
        MakeTape("alike", Entry(UstarBlock("x\\ny", "00000000011"), "backslash") +
                              Entry(UstarBlock("x\ny", "00000000007"), "newline") + ArchiveEnd());
    ASSERT_EQ(Reelfs({"scan", tape}).Exit, 0);
    const std::string output = (Folder / "restored").string();
    for (const auto& [path, bytes] : {std::pair{"0/x\\ny", "newline"}, std::pair{"0/x\\\\ny", "backslash"},
                                      std::pair{"0/x\ny", "newline"}})
    {
        SCOPED_TRACE(path);
        CRunResult restored = Reelfs({"restore", tape, path, "-o", output});
        EXPECT_EQ(restored.Exit, 0) << restored.Err;
        EXPECT_EQ(ReadFile(output), bytes);
        EXPECT_EQ(Reelfs({"restore", tape, path, "--offset", "0", "--length", "7", "-o", output}).Exit, 0);
        EXPECT_EQ(ReadFile(output), std::string(bytes).substr(0, 7));
    }
}

TEST_F(ListingTest, quoting_gives_back_every_byte_and_refuses_what_it_never_writes)
{
    std::string every;
    for (int byte = 1; byte < 256; ++byte)
        every += static_cast<char>(byte);
    for (const std::string& name : {every, std::string("caf\xC3\xA9"), std::string("\xE0\x80\xAF overlong"),
                                    std::string("cut \xE2\x82"), std::string("a\\nb")})
    {
        const std::string quoted = QuoteName(name);
        EXPECT_EQ(quoted.find_first_of(std::string("\n\t\r\033\x7F", 5)), std::string::npos) << quoted;
        EXPECT_EQ(UnquoteName(quoted), name) << quoted;
    }
    EXPECT_EQ(QuoteName("caf\xC3\xA9 \xC2\x85"), "caf\xC3\xA9 \\302\\205");
    for (const char* bad : {"trailing\\", "\\x41", "\\8", "\\12"})
        EXPECT_EQ(UnquoteName(bad), std::nullopt) << bad;
}

TEST_F(ListingTest, a_path_without_its_root_names_the_catalogued_one)
{
    const std::string tape = FixtureTape("tape", "gnutar/ustar.tar");
    ASSERT_EQ(Reelfs({"scan", tape}).Exit, 0);
    CRunResult restored = Reelfs({"restore", tape, "dir/inner.txt"});
    EXPECT_EQ(restored.Exit, 1);
    EXPECT_NE(restored.Err.find("every catalogued path begins with 0/"), std::string::npos) << restored.Err;
    EXPECT_NE(restored.Err.find("did you mean \"0/dir/inner.txt\"?"), std::string::npos) << restored.Err;
    CRunResult missing = Reelfs({"restore", tape, "nowhere.txt"});
    EXPECT_NE(missing.Err.find("no file \"nowhere.txt\" in the catalogue"), std::string::npos) << missing.Err;

    const std::string names = FixtureTape("names", "python/names/names.tar");
    ASSERT_EQ(Reelfs({"scan", names}).Exit, 0);
    CRunResult quoted = Reelfs({"restore", names, "tab\\there"});
    EXPECT_NE(quoted.Err.find("did you mean \"0/tab\\there\"?"), std::string::npos) << quoted.Err;
}

TEST_F(ListingTest, messages_that_name_a_file_from_tape_quote_it_as_ls_does)
{
    const std::string tape = FixtureTape("names", "python/names/names.tar");
    ASSERT_EQ(Reelfs({"scan", tape}).Exit, 0);
    const struct
    {
        const char* Name;
        std::vector<std::string> Args;
        const char* Quoted;
    } cases[] = {
        {"range_past_the_end",
         {"restore", tape, "0/esc\\033[31mred", "--offset", "0", "--length", "99"},
         "\"0/esc\\033[31mred\""},
        {"path_without_its_root",
         {"restore", tape, "ok\n999999\t1999-01-01T00:00:00Z\t0/forged_line"},
         "\"0/ok\\n999999\\t1999-01-01T00:00:00Z\\t0/forged_line\""},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.Name);
        CRunResult run = Reelfs(c.Args);
        EXPECT_NE(run.Exit, 0);
        EXPECT_NE(run.Err.find(c.Quoted), std::string::npos) << run.Err;
        EXPECT_EQ(run.Err.find_first_of(std::string("\t\033", 2)), std::string::npos) << run.Err;
        EXPECT_EQ(std::count(run.Err.begin(), run.Err.end(), '\n'), 1 + (run.Exit == 2)) << run.Err;
    }
}
} // namespace
