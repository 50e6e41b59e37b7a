// Damaged and hostile tape images through the reelfs command line: images cut short keep what lies
// before the cut and say where it ends, two marks end a tape's data, and images made to cost memory end
// with a clear exit under a memory limit.
#include "HostTestSupport.h"

#include "../TarFile/TarTestSupport.h"
#include "../tape/ChildProcess.h"
#include "../tape/ShrinkingImage.h"
#include "vnservice/CTapeImage.h"

#include <fcntl.h>
#include <fstream>
#include <map>
#include <unistd.h>

namespace
{
namespace fs = std::filesystem;

// A file of the archive and the block after its data, counted from the archive's first block.
struct ArchivedFile
{
    std::string Path; // as catalogued
    std::uint64_t DataEnd;
};

// The plain files of a GNU or ustar archive, by walking its headers.
std::vector<ArchivedFile> FilesOf(const std::string& archive)
{
    std::vector<ArchivedFile> files;
    std::string longName;
    for (std::uint64_t block = 0; (block + 1) * 512 <= archive.size();)
    {
        const char* header = archive.data() + block * 512;
        if (header[0] == '\0')
            break;
        const std::uint64_t size = std::stoull(std::string(header + 124, 12), nullptr, 8);
        const std::uint64_t end = block + 1 + (size + 511) / 512;
        const char type = header[156];
        if (type == 'L')
            longName = std::string(archive.data() + (block + 1) * 512, size).c_str();
        else
        {
            const std::string name = longName.empty() ? std::string(header, 100).c_str() : longName;
            if (type == '0' || type == '\0')
                files.push_back({"0/" + name, end});
            longName.clear();
        }
        block = end;
    }
    return files;
}

struct Layout
{
    const char* Name;
    bool Labelled; // an Active Circle label record and its mark before the archive
    const char* Archive;
};

class DamagedTapes : public HostTest, public ::testing::WithParamInterface<Layout>
{
protected:
    // A tape of 512-byte records holding the fixture archive, after the label in the labelled layout.
    std::string MakeLayoutTape(const std::string& name)
    {
        const std::string label = (Folder / "label").string();
        std::ofstream(label, std::ios::binary)
            << "ActiveCircle 3.2 Apr 15, 2021 01 : 00 : 00 pm\r\npool-7\r\nVOL001";
        const std::string tape = (Folder / (name + ".tap")).string();
        std::vector<std::string> args = {"mktape", "-b", "512", "-o", tape};
        if (GetParam().Labelled)
            args.push_back(label);
        args.push_back(tartest::FixturePath(GetParam().Archive));
        CRunResult made = Reelfs(args);
        EXPECT_EQ(made.Exit, 0) << made.Err;
        return tape;
    }

    // The bytes `reelfs restore` gives for the path, with its exit status; "" when nothing is written.
    std::pair<int, std::string> Restore(const std::string& tape, const std::string& path)
    {
        const fs::path out = Folder / "restored";
        fs::remove(out);
        CRunResult restored = Reelfs({"restore", tape, path, "-o", out.string()});
        return {restored.Exit, fs::exists(out) ? ReadFile(out) : ""};
    }

    // Scans the tape in a home of its own; the listing, each path's restored bytes.
    std::map<std::string, std::string> ScanAndRestoreAll(const std::string& tape)
    {
        Home = (Folder / "home-whole").string();
        CRunResult scanned = Reelfs({"scan", tape});
        EXPECT_EQ(scanned.Exit, 0) << scanned.Err;
        CRunResult listed = Reelfs({"ls", tape});
        EXPECT_EQ(listed.Exit, 0) << listed.Err;
        std::map<std::string, std::string> files;
        for (const std::string& line : Lines(listed.Out))
        {
            const std::string path = line.substr(line.rfind('\t') + 1);
            auto [exit, bytes] = Restore(tape, path);
            EXPECT_EQ(exit, 0) << path;
            files[path] = bytes;
        }
        return files;
    }
};

TEST_P(DamagedTapes, a_tape_cut_short_keeps_the_files_before_the_cut_and_its_scan_fails)
{
    const std::string whole = MakeLayoutTape("whole");
    const std::map<std::string, std::string> expected = ScanAndRestoreAll(whole);
    const std::vector<ArchivedFile> files =
        FilesOf(tartest::ReadFile(tartest::FixturePath(GetParam().Archive)));
    ASSERT_EQ(files.size(), expected.size());
    CTapeImage image;
    ASSERT_TRUE(image.Open(whole).IsSuccess());
    const std::uint64_t archiveStart = GetParam().Labelled ? 2 : 0;
    const std::string bytes = ReadFile(whole);

    // Cut inside a record's leading length, at its start, inside its data, and inside its trailing length.
    for (std::uint64_t block : {3, 9, 13})
        for (std::uint64_t into : {2, 0, 104, 518})
        {
            const std::uint64_t cut = image.GetEntryOffset(archiveStart + block) - 4 + into;
            SCOPED_TRACE("cut at byte " + std::to_string(cut));
            const std::string tape = (Folder / ("cut-" + std::to_string(cut) + ".tap")).string();
            std::ofstream(tape, std::ios::binary) << bytes.substr(0, cut);
            Home = (Folder / ("home-" + std::to_string(cut))).string();

            CRunResult scanned = Reelfs({"scan", tape});
            EXPECT_EQ(scanned.Exit, 1);
            const std::string ends = "0xC0000D10: the tape in " + tape + " ends early: its " +
                                     std::to_string(archiveStart + block) +
                                     " whole blocks and marks end at byte " +
                                     std::to_string(image.GetEntryOffset(archiveStart + block) - 4);
            EXPECT_NE(scanned.Err.find("reelfs: warning: " + ends), std::string::npos) << scanned.Err;
            // The scan ends with the drive's word that the tape ends early, or, where the Active Circle
            // scan meets the cut inside a file's data, with its own word that the file runs past it.
            const bool endsEarly = scanned.Err.find("\nreelfs: " + ends) != std::string::npos;
            const bool fileCut =
                scanned.Err.find("\nreelfs: 0xC00036B3: the data of ") != std::string::npos &&
                scanned.Err.ends_with("the tape is cut short\n");
            EXPECT_TRUE(endsEarly || (GetParam().Labelled && fileCut)) << scanned.Err;

            CRunResult listed = Reelfs({"ls", tape});
            EXPECT_EQ(listed.Exit, 0) << listed.Err;
            EXPECT_NE(listed.Err.find("reelfs: warning: " + ends), std::string::npos) << listed.Err;
            const std::vector<std::string> lines = Lines(listed.Out);
            for (const ArchivedFile& file : files)
            {
                const bool before = file.DataEnd <= block;
                const bool catalogued =
                    std::any_of(lines.begin(), lines.end(),
                                [&](const std::string& line) { return line.ends_with("\t" + file.Path); });
                auto [exit, restored] = Restore(tape, file.Path);
                if (before)
                {
                    EXPECT_TRUE(catalogued) << file.Path;
                    EXPECT_EQ(exit, 0) << file.Path;
                    EXPECT_EQ(restored, expected.at(file.Path)) << file.Path;
                }
                else
                {
                    EXPECT_EQ(exit, 1) << file.Path;
                    EXPECT_EQ(restored, "") << file.Path;
                }
            }
        }
}

TEST_P(DamagedTapes, a_tape_whose_data_end_in_two_marks_scans_whole)
{
    const std::string plain = MakeLayoutTape("plain");
    const std::string bytes = ReadFile(plain);
    Home = (Folder / "home-plain").string();
    ASSERT_EQ(Reelfs({"scan", plain}).Exit, 0);
    const std::string listing = Reelfs({"ls", plain}).Out;
    const std::string mark(4, '\0'), endOfMedium(4, '\xFF');
    const struct
    {
        const char* Name;
        std::string Tail;
    } cases[] = {
        {"second_mark", mark},
        {"second_mark_and_end_of_medium", mark + endOfMedium},
        {"a_run_of_marks", std::string(1 << 20, '\0')},
        {"second_mark_and_what_no_tool_reads", mark + "\x05\0\0\0abcde\0\x05\0\0\0" + std::string(3, 'x')},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.Name);
        const std::string tape = (Folder / (std::string(c.Name) + ".tap")).string();
        std::ofstream(tape, std::ios::binary) << bytes << c.Tail;
        Home = (Folder / ("home-" + std::string(c.Name))).string();
        CRunResult scanned = Reelfs({"scan", tape});
        EXPECT_EQ(scanned.Exit, 0) << scanned.Err;
        EXPECT_EQ(scanned.Err, "");
        CRunResult listed = Reelfs({"ls", tape});
        EXPECT_EQ(listed.Exit, 0) << listed.Err;
        EXPECT_EQ(listed.Out, listing);
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, DamagedTapes,
                         ::testing::Values(Layout{"GenericTar", false, "gnutar/gnu.tar"},
                                           Layout{"ActiveCircle", true, "gnutar/ustar.tar"}),
                         [](const auto& info) { return std::string(info.param.Name); });

// Runs the reelfs program in a child process, its address space limited to `addressLimit` bytes unless
// that is 0; its wait status, its standard error.
std::pair<int, std::string> RunProgram(const std::string& home, const std::vector<std::string>& args,
                                       const fs::path& errPath, std::uint64_t addressLimit)
{
    std::vector<std::string> argv = {REELFS_PROGRAM, "--home", home};
    argv.insert(argv.end(), args.begin(), args.end());
    const int status = RunInChild(
        [&]
        {
            const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int null = ::open("/dev/null", O_WRONLY);
            if (err < 0 || null < 0 || ::dup2(err, 2) < 0 || ::dup2(null, 1) < 0)
                return 127;
            std::vector<char*> pointers;
            for (std::string& arg : argv)
                pointers.push_back(arg.data());
            pointers.push_back(nullptr);
            ::execv(pointers[0], pointers.data());
            return 127;
        },
        addressLimit);
    return {status, ReadFile(errPath)};
}

TEST_F(HostTest, an_image_that_shrinks_while_it_is_mounted_ends_reelfs_with_a_clear_exit)
{
    const std::string image = (Folder / "shrinking.tap").string();
    CShrinkingImage shrinking(image);
    for (int run = 0; run < 20; ++run)
    {
        auto [status, err] = RunProgram(Home, {"scan", image}, Folder / "err", 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) <= 1)
            << "run " << run << " ended " << (WIFEXITED(status) ? "with " : "by signal ")
            << (WIFEXITED(status) ? WEXITSTATUS(status) : WTERMSIG(status)) << ": " << err;
    }
}

TEST_F(HostTest, images_made_to_cost_memory_end_with_a_clear_exit_under_a_memory_limit)
{
    if (!AddressSpaceLimitsHold)
        GTEST_SKIP() << "the address space cannot be limited in this build";
    // Sparse images, made here and removed with the test folder: a gibibyte of zeros (a tape of marks),
    // the same after a tape's data, and one record of nearly 2 GiB in a few kilobytes of disk.
    const std::string tar = MakeTape("tar", ReadFile(tartest::FixturePath("gnutar/gnu.tar")));
    const fs::path zeros = Folder / "zeros.tap", tail = Folder / "tail.tap", huge = Folder / "huge.tap";
    std::ofstream(zeros, std::ios::binary).close();
    fs::resize_file(zeros, 1ull << 30);
    fs::copy_file(tar, tail);
    fs::resize_file(tail, fs::file_size(tail) + (1ull << 30));
    {
        constexpr std::uint32_t length = 0x7FFFFE00;
        const char word[4] = {0, static_cast<char>(0xFE), static_cast<char>(0xFF), 0x7F};
        std::ofstream out(huge, std::ios::binary);
        out.write(word, 4);
        out << tartest::ReadFile(tartest::FixturePath("gnutar/ustar.tar")).substr(0, 4096);
        out.seekp(4 + std::streamoff{length});
        out.write(word, 4);
        out.write("\0\0\0\0", 4);
    }
    const struct
    {
        fs::path Image;
        int Exit;
        const char* Message;
    } cases[] = {
        {zeros, 1, "0xC0000D08: the tape in "},
        {tail, 0, ""},
        {huge, 1, "holds blocks of 2147483136 bytes, longer than the 16777216 a drive reads"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.Image.string());
        const std::string home = (Folder / ("home-" + c.Image.stem().string())).string();
        auto [status, err] = RunProgram(home, {"scan", c.Image.string()}, Folder / "err", 1ull << 30);
        ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status) << ": " << err;
        EXPECT_EQ(WEXITSTATUS(status), c.Exit) << err;
        EXPECT_NE(err.find(c.Message), std::string::npos) << err;
        // The index kept for the image is as small as the tape's data.
        std::uintmax_t stored = 0;
        for (const auto& entry : fs::directory_iterator(home))
            stored += entry.file_size();
        EXPECT_LT(stored, 4u << 20);
    }
    Home = (Folder / "home-tail").string();
    EXPECT_EQ(Lines(Reelfs({"ls", tail.string()}).Out).size(), 9u);
}
} // namespace
