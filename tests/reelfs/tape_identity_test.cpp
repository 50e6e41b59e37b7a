// Two tapes of one identity: GNU tar archives of one folder made a day apart begin with the same member
// and time, so the plug-ins take them for copies of one volume. The host answers for each tape only
// from a catalogue made from that tape.
#include "HostTestSupport.h"

#include "../TarFile/TarTestSupport.h"

#include "vnservice/CDatabase.h"

#include <filesystem>

namespace
{
class TapeIdentityTest : public HostTest
{
protected:
    void SetUp() override
    {
        HostTest::SetUp();
        Monday = FixtureTape("monday", "gnutar/two-days/monday.tar");
        Tuesday = FixtureTape("tuesday", "gnutar/two-days/tuesday.tar");
    }

    CRunResult Scan(const std::string& tape)
    {
        CRunResult scanned = Reelfs({"scan", tape});
        EXPECT_EQ(scanned.Exit, 0) << scanned.Err;
        return scanned;
    }

    std::string Monday, Tuesday;
};

TEST_F(TapeIdentityTest, a_catalogue_of_another_tape_of_the_identity_is_never_used)
{
    Scan(Monday);
    CRunResult replacing = Scan(Tuesday);
    EXPECT_NE(replacing.Err.find("had a catalogue made from another tape, in " + Monday), std::string::npos)
        << replacing.Err;
    EXPECT_NE(replacing.Err.find("replaced by the catalogue of " + Tuesday), std::string::npos)
        << replacing.Err;
    // Both tapes are of one volume, as the identity the scans print shows.
    EXPECT_EQ(replacing.Out.substr(0, replacing.Out.find("\nfiles")),
              Scan(Monday).Out.substr(0, replacing.Out.find("\nfiles")));
    Scan(Tuesday);

    const std::string output = (Folder / "a.txt").string();
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"ls", Monday},
          {"ls", Monday, "-l"},
          {"restore", Monday, "0/proj/a.txt"},
          {"restore", Monday, "0/proj/a.txt", "-o", output},
          {"restore", Monday, "0/proj/b.bin", "--offset", "0", "--length", "9"}})
    {
        SCOPED_TRACE(args[0] + " " + args.back());
        CRunResult refused = Program(args);
        EXPECT_EQ(refused.Exit, 1) << refused.Err;
        EXPECT_EQ(refused.Out, "");
        EXPECT_FALSE(std::filesystem::exists(output));
        EXPECT_NE(refused.Err.find("made from the tape in " + Tuesday), std::string::npos) << refused.Err;
        EXPECT_NE(refused.Err.find("the tape in " + Monday + " is another one"), std::string::npos);
        EXPECT_NE(refused.Err.find("Scan " + Monday + " to catalogue it"), std::string::npos);
    }
    // By its identity alone, with no tape in hand, the volume lists the catalogue it has.
    CRunResult volumes = Reelfs({"volumes"});
    CRunResult listed = Reelfs({"ls", volumes.Out.substr(0, volumes.Out.find('\t'))});
    EXPECT_EQ(listed.Exit, 0) << listed.Err;
    EXPECT_NE(listed.Out.find("0/proj/c.txt"), std::string::npos) << listed.Out;

    Scan(Monday);
    CRunResult restored = Program({"restore", Monday, "0/proj/a.txt"});
    EXPECT_EQ(restored.Exit, 0) << restored.Err;
    EXPECT_EQ(restored.Out, "alpha on monday\n");
    EXPECT_EQ(Reelfs({"restore", Tuesday, "0/proj/a.txt", "-o", output}).Exit, 1);
}

TEST_F(TapeIdentityTest, tapes_that_differ_in_one_byte_far_inside_are_told_apart)
{
    // Three MB of 10,000-byte files, and a second tape whose one byte differs, late in a record in the
    // tape's middle: the tapes' records have the same lengths, and their ends and first bytes agree.
    using namespace tartest;
    constexpr std::size_t Files = 300, FileBytes = 10000, Record = 10240;
    std::string archive = Entry(UstarBlock("proj/", "00000000000", "14036030710", '5'));
    const std::size_t firstData = archive.size() + 512;
    for (std::size_t k = 0; k < Files; ++k)
        archive += Entry(UstarBlock("proj/f" + std::to_string(k), "00000023420"),
                         std::string(FileBytes, static_cast<char>('a' + k % 26)));
    archive += ArchiveEnd();
    const std::size_t changed = Files / 2 * Record + Record - 100;
    const std::size_t member = (changed - firstData) / (FileBytes + 240 + 512);
    ASSERT_LT(changed - firstData - member * (FileBytes + 240 + 512), FileBytes);
    std::string other = archive;
    other[changed] = '!';
    const std::string first = MakeTape("first", archive), second = MakeTape("second", other);
    const std::string path = "0/proj/f" + std::to_string(member);

    Scan(first);
    Scan(second);
    EXPECT_EQ(Program({"ls", first}).Exit, 1);
    CRunResult refused = Program({"restore", first, path});
    EXPECT_EQ(refused.Exit, 1);
    EXPECT_EQ(refused.Out, "");
    Scan(first);
    EXPECT_EQ(Program({"restore", first, path}).Out,
              std::string(FileBytes, static_cast<char>('a' + member % 26)));
}

TEST_F(TapeIdentityTest, a_continuation_volume_catalogued_from_another_tape_is_refused)
{
    // Tuesday's tape given as the continuation of a volume whose catalogue Monday's tape made.
    Scan(Tuesday);
    const std::string other = FixtureTape("other", "gnutar/ustar.tar");
    Scan(other);
    Scan(Monday);
    CRunResult restored = Reelfs({"restore", other, "0/short.txt", "--with", Tuesday});
    EXPECT_EQ(restored.Exit, 1);
    EXPECT_NE(restored.Err.find("the tape in " + Tuesday + " is another one"), std::string::npos)
        << restored.Err;
}

TEST_F(TapeIdentityTest, a_catalogue_made_before_the_host_noted_its_tape_is_used_with_a_note)
{
    Scan(Monday);
    {
        // A home database of an earlier host: its registry has no columns for the catalogue's tape.
        CDatabase database;
        ASSERT_TRUE(database.Open(Home + "/reelfs.db").IsSuccess());
        ASSERT_TRUE(database.Execute("ALTER TABLE volumes DROP COLUMN catalogue_tape").IsSuccess());
        ASSERT_TRUE(database.Execute("ALTER TABLE volumes DROP COLUMN catalogue_image").IsSuccess());
    }
    CRunResult listed = Reelfs({"ls", Monday});
    EXPECT_EQ(listed.Exit, 0) << listed.Err;
    EXPECT_NE(listed.Out.find("0/proj/a.txt"), std::string::npos);
    EXPECT_NE(listed.Err.find("was made before reelfs noted which tape"), std::string::npos) << listed.Err;
    EXPECT_NE(listed.Err.find("Scan that image again"), std::string::npos);

    // Scanned again, the catalogue is checked from then on.
    Scan(Monday);
    CRunResult checked = Reelfs({"ls", Monday});
    EXPECT_EQ(checked.Err, "");
    EXPECT_EQ(Reelfs({"ls", Tuesday}).Exit, 1);
}
} // namespace
