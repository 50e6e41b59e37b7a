// TAR tapes through the reelfs command line: generic TAR and Active Circle tapes of archives that GNU tar,
// bsdtar and Python wrote are scanned, listed as the peers list them and restored byte for byte, in whole
// and in part, also when a file runs on over several volumes.
#include "HostTestSupport.h"

#include "../TarFile/TarTestSupport.h"

#include "frame/CCatArchive.h"
#include "frame/CCatExtent.h"
#include "frame/CFileListPointer.h"
#include "pagelist/CFileListInternal.h"
#include "win/CodePage.h"

#include <ctime>
#include <deque>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

namespace
{
// Seconds since 1970 as `reelfs ls` writes them.
std::string IsoTime(std::int64_t seconds)
{
    std::time_t time = static_cast<std::time_t>(seconds);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", std::gmtime(&time));
    return text;
}

class TarTapeCommands : public HostTest
{
protected:
    // The members as GNU tar extracts them from the archives: one after the other into one folder (later
    // members replace earlier ones of their name), or as one multi-volume set.
    std::map<std::string, std::string> Extract(const std::vector<std::string>& archives,
                                               bool multiVolume = true)
    {
        const auto folder = Folder / ("extracted" + std::to_string(++Extractions));
        std::filesystem::create_directories(folder);
        std::string command = "tar -x -C '" + folder.string() + "'" + (archives.size() > 1 ? " -M" : "");
        for (const auto& archive : archives)
            command += " -f '" + tartest::FixturePath(archive) + "'";
        if (!multiVolume)
        {
            command.clear();
            for (const auto& archive : archives)
                command +=
                    "tar -x -C '" + folder.string() + "' -f '" + tartest::FixturePath(archive) + "' && ";
            command += "true";
        }
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        std::map<std::string, std::string> members;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
            if (entry.is_regular_file())
                members[std::filesystem::relative(entry.path(), folder).string()] = ReadFile(entry.path());
        return members;
    }

    // The bytes `reelfs restore ARGS -o FILE` writes.
    std::string Restore(std::vector<std::string> args)
    {
        const std::string out = (Folder / "restored").string();
        std::filesystem::remove(out);
        args.insert(args.begin(), "restore");
        args.insert(args.end(), {"-o", out});
        CRunResult restored = Reelfs(args);
        EXPECT_EQ(restored.Exit, 0) << restored.Err;
        return ReadFile(out);
    }

    // `reelfs ls` lists every file version of the archives as the peers list them, and `reelfs restore`
    // gives each file's newest version as tar extracts it.
    void CheckListingAndRestores(const std::string& tape, const std::vector<std::string>& archives)
    {
        std::vector<std::string> expected, tars;
        std::set<std::string> files;
        for (const auto& archive : archives)
        {
            tars.push_back(archive + ".tar");
            for (const auto& member : tartest::ReadListing(tartest::FixturePath(archive + ".list")))
                if (!member.Name.ends_with('/'))
                {
                    files.insert(member.Name);
                    expected.push_back(std::to_string(member.Size) + "\t" + IsoTime(member.Time) + "\t0/" +
                                       member.Name);
                }
        }
        CRunResult listed = Reelfs({"ls", tape});
        ASSERT_EQ(listed.Exit, 0) << listed.Err;
        // The catalogue lists in its own order; the peers in the archives'.
        std::vector<std::string> lines;
        std::istringstream in(listed.Out);
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        std::sort(lines.begin(), lines.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(lines, expected);

        auto extracted = Extract(tars, false);
        for (const auto& name : files)
            EXPECT_EQ(Restore({tape, "0/" + name}), extracted[name]) << name;
    }

    int Extractions = 0;
};

TEST_F(TarTapeCommands, ls_lists_what_the_peers_list_and_restore_gives_what_tar_extracts)
{
    // Also members dated before 1970 and after 2242 (GNU base-256), a pax member of 2040 (bsdtar clamps its
    // pax header's own time) and GNU long link targets ('K' entries).
    for (const char* archive :
         {"gnutar/ustar", "gnutar/gnu", "gnutar/posix", "bsdtar/pax", "python/ustar", "python/gnu",
          "python/pax", "gnutar/gnu-dates", "bsdtar/pax-dates", "gnutar/long-links"})
    {
        SCOPED_TRACE(archive);
        const std::string tape =
            FixtureTape(std::string(archive).replace(6, 1, "-"), std::string(archive) + ".tar");
        CRunResult scanned = Reelfs({"scan", tape});
        ASSERT_EQ(scanned.Exit, 0) << scanned.Err;
        EXPECT_EQ(scanned.Out.find("continues"), std::string::npos) << scanned.Out;

        CheckListingAndRestores(tape, {archive});
    }
}

TEST_F(TarTapeCommands, an_active_circle_tape_of_several_archives_lists_and_restores_like_them)
{
    // The label block, then each archive closed by a mark; members of one name are versions, the later
    // archive's the newest. The older short.txt says HELLO, so that each version shows by its bytes.
    const std::string label = (Folder / "label").string();
    std::ofstream(label, std::ios::binary)
        << "ActiveCircle 3.2 Apr 15, 2021 01 : 00 : 00 pm\r\npool-7\r\nVOL001";
    std::string older = tartest::ReadFile(tartest::FixturePath("gnutar/ustar.tar"));
    const std::size_t hello = older.find("hello");
    ASSERT_NE(hello, std::string::npos);
    older.replace(hello, 5, "HELLO");
    const std::string olderArchive = (Folder / "ustar-older.tar").string();
    std::ofstream(olderArchive, std::ios::binary) << older;
    const std::string tape = (Folder / "pool.tap").string();
    CRunResult made =
        Reelfs({"mktape", "-o", tape, label, olderArchive, tartest::FixturePath("bsdtar/pax.tar")});
    ASSERT_EQ(made.Exit, 0) << made.Err;
    CRunResult scanned = Reelfs({"scan", tape});
    ASSERT_EQ(scanned.Exit, 0) << scanned.Err;
    EXPECT_NE(scanned.Out.find("ActiveCircle"), std::string::npos) << scanned.Out;
    // Its files keep no extents; none of them runs on.
    EXPECT_EQ(scanned.Out.find("continues"), std::string::npos) << scanned.Out;
    CheckListingAndRestores(tape, {"gnutar/ustar", "bsdtar/pax"});
    // Each version restores by where it starts, in the 512-byte units that ls -l shows, and only there.
    const std::string out = (Folder / "restored").string();
    for (auto [at, bytes] : {std::pair{"40", "HELLO"}, {"80", "hello"}})
    {
        SCOPED_TRACE(at);
        std::filesystem::remove(out);
        CRunResult restored = Reelfs({"restore", tape, "0/short.txt", "--at", at, "-o", out});
        ASSERT_EQ(restored.Exit, 0) << restored.Err;
        EXPECT_EQ(ReadFile(out), bytes);
    }
    CRunResult between = Reelfs({"restore", tape, "0/short.txt", "--at", "41"});
    EXPECT_EQ(between.Exit, 1);
    EXPECT_NE(between.Err.find("its versions start at 40, 80"), std::string::npos) << between.Err;
}

TEST_F(TarTapeCommands, a_file_running_over_three_volumes_restores_whole_and_in_ranges)
{
    std::vector<std::string> tapes;
    for (int i = 1; i <= 3; ++i)
    {
        tapes.push_back(
            FixtureTape("multi" + std::to_string(i), "gnutar/multi-" + std::to_string(i) + ".tar"));
        CRunResult scanned = Reelfs({"scan", tapes.back()});
        ASSERT_EQ(scanned.Exit, 0) << scanned.Err;
        // The scan says which file runs on onto the next volume, and how to give that volume.
        const bool named = scanned.Out.find("continues    0/big.bin runs on onto the next volume: name that "
                                            "volume with reelfs set " +
                                            tapes.back() +
                                            " NextVolume=VOLUME, and give its image to restore "
                                            "with --with") != std::string::npos;
        EXPECT_EQ(named, i < 3) << scanned.Out;
        EXPECT_EQ(scanned.Out.find("continues") != std::string::npos, i < 3) << scanned.Out;
    }
    const std::string big =
        Extract({"gnutar/multi-1.tar", "gnutar/multi-2.tar", "gnutar/multi-3.tar"})["big.bin"];
    ASSERT_EQ(big.size(), 50000u);

    // Without its continuation the file falls short, by the blocks the other volumes hold, and the
    // message says how to name the next volume.
    CRunResult shortOf = Reelfs({"restore", tapes[0], "0/big.bin"});
    EXPECT_EQ(shortOf.Exit, 1);
    EXPECT_NE(shortOf.Err.find("0xC0003779"), std::string::npos) << shortOf.Err;
    EXPECT_NE(shortOf.Err.find("which names no next volume: name the next with reelfs set " + tapes[0] +
                               " NextVolume=VOLUME"),
              std::string::npos)
        << shortOf.Err;

    // Each volume names the one it continues on, by the identity `volumes` shows for the image.
    CRunResult known = Reelfs({"volumes"});
    std::map<std::string, std::string> identityOf;
    std::istringstream lines(known.Out);
    for (std::string line; std::getline(lines, line);)
        identityOf[line.substr(line.rfind('\t') + 1)] = line.substr(0, line.find('\t'));
    for (int i = 0; i < 2; ++i)
    {
        CRunResult set = Reelfs({"set", tapes[i], "NextVolume=" + identityOf[tapes[i + 1]]});
        ASSERT_EQ(set.Exit, 0) << set.Err;
    }
    // A next volume named but not given: the message names it and the image to give.
    CRunResult away = Reelfs({"restore", tapes[0], "0/big.bin", "--with", tapes[1]});
    EXPECT_EQ(away.Exit, 1);
    EXPECT_NE(away.Err.find("the file runs on onto volume " + identityOf[tapes[2]] +
                            ": give its image with --with " + tapes[2]),
              std::string::npos)
        << away.Err;
    // Not even when another image of that volume, a cut copy of it, was mounted since.
    const std::string cut = (Folder / "multi3-cut.tap").string();
    std::ofstream(cut, std::ios::binary) << ReadFile(tapes[2]).substr(0, 10250);
    EXPECT_EQ(Reelfs({"ls", cut}).Exit, 1);
    away = Reelfs({"restore", tapes[0], "0/big.bin", "--with", tapes[1]});
    EXPECT_NE(away.Err.find("give its image with --with " + tapes[2]), std::string::npos) << away.Err;
    EXPECT_EQ(Restore({tapes[0], "0/big.bin", "--with", tapes[1], "--with", tapes[2]}), big);
    for (auto [offset, length] :
         {std::pair<std::size_t, std::size_t>{0, 1}, {18943, 2}, {17000, 22000}, {49999, 1}})
        EXPECT_EQ(Restore({tapes[0], "0/big.bin", "--offset", std::to_string(offset), "--length",
                           std::to_string(length), "--with", tapes[1], "--with", tapes[2]}),
                  big.substr(offset, length))
            << offset << "+" << length;
}

TEST_F(TarTapeCommands, a_file_that_goes_on_with_less_than_a_record_on_the_next_volume_restores_whole)
{
    // GNU tar leaves the first volume full to its last record: tail.bin's data there end where the
    // closing mark stands on tape, and its last 4 blocks are on the second volume.
    const std::string first = FixtureTape("tail1", "gnutar/multi-tail-1.tar");
    const std::string second = FixtureTape("tail2", "gnutar/multi-tail-2.tar");
    CRunResult scanned = Reelfs({"scan", first});
    ASSERT_EQ(scanned.Exit, 0) << scanned.Err;
    EXPECT_NE(scanned.Out.find("continues    0/tail.bin runs on onto the next volume"), std::string::npos)
        << scanned.Out;
    ASSERT_EQ(Reelfs({"scan", second}).Exit, 0);
    CRunResult known = Reelfs({"volumes"});
    std::string secondId;
    for (const std::string& line : Lines(known.Out))
        if (line.ends_with("\t" + second))
            secondId = line.substr(0, line.find('\t'));
    ASSERT_EQ(Reelfs({"set", first, "NextVolume=" + secondId}).Exit, 0);
    auto extracted = Extract({"gnutar/multi-tail-1.tar", "gnutar/multi-tail-2.tar"});
    ASSERT_EQ(extracted["tail.bin"].size(), 32256u);
    EXPECT_EQ(Restore({first, "0/tail.bin", "--with", second}), extracted["tail.bin"]);
    EXPECT_EQ(Restore({first, "0/tail.bin", "--offset", "30000", "--length", "2256", "--with", second}),
              extracted["tail.bin"].substr(30000));
    EXPECT_EQ(Restore({second, "0/after.txt"}), "after\n");
}

// GNU tar sets whose first volume ends right after big.bin, or in the first of the two zero blocks that
// end the archive: the first volume's scan ends at its mark with no file to go on (saying so under -v
// for the lone zero block), and each file restores as tar -xM extracts it. A second volume of zero
// blocks alone is of no known layout; no restore needs it.
TEST_F(TarTapeCommands, a_volume_that_ends_after_a_member_or_in_a_lone_zero_block_scans_whole)
{
    const struct
    {
        const char* Set;
        const char* Said; // under -v
        int SecondScan;
    } cases[] = {
        {"multi-exact", "", 0},
        {"multi-lone-zero",
         "event 0x40080267: the archive ends in a lone zero block at 59, followed by the file mark\n", 1},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.Set);
        const std::string set = std::string("gnutar/") + c.Set;
        const std::string first = FixtureTape(std::string(c.Set) + "1", set + "-1.tar");
        const std::string second = FixtureTape(std::string(c.Set) + "2", set + "-2.tar");
        CRunResult scanned = Reelfs({"-v", "scan", first});
        ASSERT_EQ(scanned.Exit, 0) << scanned.Err;
        EXPECT_EQ(scanned.Out.find("continues"), std::string::npos) << scanned.Out;
        EXPECT_NE(scanned.Err.find(c.Said), std::string::npos) << scanned.Err;
        CRunResult next = Reelfs({"scan", second});
        EXPECT_EQ(next.Exit, c.SecondScan) << next.Err;
        std::vector<std::string> with;
        if (next.Exit == 0)
            with = {"--with", second};
        auto extracted = Extract({set + "-1.tar", set + "-2.tar"});
        std::vector<std::string> big = {first, "0/big.bin"};
        big.insert(big.end(), with.begin(), with.end());
        EXPECT_EQ(Restore(big), extracted["big.bin"]);
        EXPECT_EQ(Restore({next.Exit == 0 ? second : first, "0/after.txt"}), "after\n");
    }
}
} // namespace

namespace
{
// GNU tar's sparse forms, each between two plain files: every file lists as tar lists it and restores
// as tar extracts it, whole and in ranges that begin, end or lie in a hole, on a generic TAR tape and
// on an Active Circle tape.
TEST_F(TarTapeCommands, sparse_members_of_every_gnu_form_restore_expanded_in_both_layouts)
{
    const std::pair<std::size_t, std::size_t> ranges[] = {
        {0, 1}, {0, 16385}, {16383, 2}, {999, 30000}, {8000, 200}, {245759, 1}, {2047, 60000}};
    for (const char* form : {"sparse-gnu", "sparse-pax00", "sparse-pax01", "sparse-pax10"})
    {
        SCOPED_TRACE(form);
        const std::string archive = std::string("gnutar/") + form;
        const std::string label = (Folder / "label").string();
        std::ofstream(label, std::ios::binary)
            << "ActiveCircle 3.2 Apr 15, 2021 01 : 00 : 00 pm\r\npool-7\r\n"
            << form;
        const std::string pool = (Folder / (std::string(form) + "-pool.tap")).string();
        CRunResult made = Reelfs({"mktape", "-o", pool, label, tartest::FixturePath(archive + ".tar")});
        ASSERT_EQ(made.Exit, 0) << made.Err;
        const auto extracted = Extract({archive + ".tar"});
        for (const std::string& tape : {FixtureTape(form, archive + ".tar"), pool})
        {
            SCOPED_TRACE(tape);
            CRunResult scanned = Reelfs({"scan", tape});
            ASSERT_EQ(scanned.Exit, 0) << scanned.Err;
            CheckListingAndRestores(tape, {archive});
            for (const char* name : {"start-hole.bin", "mid-hole.bin", "end-hole.bin", "many-holes.bin"})
            {
                const std::string& file = extracted.at(name);
                for (auto [offset, length] : ranges)
                    if (offset < file.size())
                    {
                        length = std::min(length, file.size() - offset);
                        EXPECT_EQ(Restore({tape, std::string("0/") + name, "--offset", std::to_string(offset),
                                           "--length", std::to_string(length)}),
                                  file.substr(offset, length))
                            << name << " " << offset << "+" << length;
                    }
            }
        }
    }
}

// A catalogue made by a reader that took sparse members for plain files, as catalogues made before this
// host read them are: a file of the member's condensed data, named as the member's header names it ('S'
// headers and pax form 0.0 by the file's own name, forms 0.1 and 1.0 by a stand-in name). Its restore
// fails, whole and in part, naming both sizes, and writes nothing; a scan of the tape mends it.
TEST_F(TarTapeCommands,
       a_sparse_file_catalogued_as_a_plain_file_fails_its_restore_until_the_tape_is_scanned_again)
{
    // Gives the catalogue of `tape` a record as such a reader makes it: `older`, of `size` bytes, at the
    // member's position and with its extents. The record of the file's own name stays, or takes the size.
    auto catalogueAsPlainFile =
        [&](const std::string& tape, const std::string& path, const std::string& older, std::uint64_t size)
    {
        CHost host;
        ASSERT_TRUE(host.Open(Home).IsSuccess());
        CSet<CVolume, 1>::pointer volume;
        ASSERT_TRUE(host.Mount(tape, volume).IsSuccess());
        ASSERT_TRUE(volume->OpenCatalogue(false, false).IsSuccess());
        CFileListInternal& catalogue = *volume->Catalogue;
        std::deque<CCatArchive> archives;
        std::deque<CCatExtent> extents;
        CFileName wide;
        wide.FromMultiByte(CP_UTF8, older);
        for (auto at = catalogue.begin(1), end = catalogue.end(1); at != end; ++at)
        {
            CFileListPointer<CCatalogueItem> handle = GetPointer<CCatalogueItem>(at);
            if (WideParameter(handle.Get()->GetKeyPath()) != path)
                continue;
            if (handle.Get()->GetObjectType(false) == KindExtent && older != path)
            {
                const auto& extent = static_cast<const CCatExtent&>(*handle.Get());
                extents.emplace_back(extent.Position, wide.GetText(), extent.BlockCount, extent.SegmentIndex,
                                     extent.OrderKey1, extent.OrderKey2);
            }
            if (handle.Get()->GetObjectType(false) != KindArchive)
                continue;
            auto& archive = static_cast<CCatArchive&>(*handle.Get());
            if (older == path)
            {
                archive.FileSize = size;
                handle.SetDirty();
            }
            else
                archives.emplace_back(archive.Position, wide.GetText(), size, archive.GetFileTime(),
                                      archive.SegmentIndex, archive.OrderKey1, archive.OrderKey2);
        }
        ASSERT_TRUE(host.System.Database.Begin().IsSuccess());
        for (CCatArchive& archive : archives)
            ASSERT_EQ(catalogue.Append(archive), 0u);
        for (CCatExtent& extent : extents)
            ASSERT_EQ(catalogue.Append(extent), 0u);
        ASSERT_TRUE(host.Store.Commit(&catalogue).IsSuccess());
        ASSERT_TRUE(host.System.Database.Commit().IsSuccess());
    };
    const struct
    {
        const char* Form;
        const char* Name;
        const char* Older; // as the older reader named it
        std::uint64_t Condensed;
        std::uint64_t Expanded;
    } cases[] = {
        {"sparse-gnu", "many-holes.bin", "many-holes.bin", 15360, 245760},
        {"sparse-pax01", "mid-hole.bin", "./GNUSparseFile.8897/mid-hole.bin", 2048, 31744},
    };
    for (const auto& c : cases)
    {
        const std::string archive = std::string("gnutar/") + c.Form + ".tar";
        const std::string label = (Folder / "label").string();
        std::ofstream(label, std::ios::binary)
            << "ActiveCircle 3.2 Apr 15, 2021 01 : 00 : 00 pm\r\npool-7\r\nolder-" << c.Form;
        const std::string pool = (Folder / (std::string(c.Form) + "-older-pool.tap")).string();
        ASSERT_EQ(Reelfs({"mktape", "-o", pool, label, tartest::FixturePath(archive)}).Exit, 0);
        const std::string expanded = Extract({archive}).at(c.Name);
        ASSERT_EQ(expanded.size(), c.Expanded);
        for (const std::string& tape : {FixtureTape(std::string(c.Form) + "-older", archive), pool})
        {
            SCOPED_TRACE(tape + " " + c.Older);
            ASSERT_EQ(Reelfs({"scan", tape}).Exit, 0);
            const std::string path = std::string("0/") + c.Older;
            catalogueAsPlainFile(tape, std::string("0/") + c.Name, path, c.Condensed);
            const std::vector<std::string> listed = Lines(Reelfs({"ls", tape}).Out);
            EXPECT_TRUE(std::any_of(listed.begin(), listed.end(),
                                    [&](const std::string& line) {
                                        return line.starts_with(std::to_string(c.Condensed) + "\t") &&
                                               line.ends_with("\t" + path);
                                    }));
            const std::string out = (Folder / "older").string();
            const std::string message = std::string("0xC0002720: the catalogue gives the sparse file \"") +
                                        c.Older + "\" " + std::to_string(c.Condensed) +
                                        " bytes, but its map on tape expands it to " +
                                        std::to_string(c.Expanded) +
                                        " bytes: the catalogue was made by a reader that took it for a plain "
                                        "file; scan the tape again";
            for (const std::vector<std::string>& range :
                 {std::vector<std::string>{},
                  std::vector<std::string>{"--offset", "100", "--length", "1000"}})
            {
                std::vector<std::string> args = {"restore", tape, path, "-o", out};
                args.insert(args.end(), range.begin(), range.end());
                CRunResult restored = Reelfs(args);
                EXPECT_EQ(restored.Exit, 1);
                EXPECT_NE(restored.Err.find(message), std::string::npos) << restored.Err;
                EXPECT_FALSE(std::filesystem::exists(out));
            }
            ASSERT_EQ(Reelfs({"scan", tape}).Exit, 0);
            EXPECT_EQ(Restore({tape, std::string("0/") + c.Name}), expanded);
        }
    }
}

TEST_F(TarTapeCommands, a_sparse_file_running_onto_a_second_volume_restores_expanded)
{
    const std::string first = FixtureTape("sparse1", "gnutar/sparse-multi-1.tar");
    const std::string second = FixtureTape("sparse2", "gnutar/sparse-multi-2.tar");
    for (const std::string& tape : {first, second})
        ASSERT_EQ(Reelfs({"scan", tape}).Exit, 0);
    CRunResult listed = Reelfs({"ls", first});
    EXPECT_NE(listed.Out.find("200000\t" + IsoTime(1618515427) + "\t0/multi.bin"), std::string::npos)
        << listed.Out;
    CRunResult known = Reelfs({"volumes"});
    std::string secondIdentity;
    std::istringstream lines(known.Out);
    for (std::string line; std::getline(lines, line);)
        if (line.ends_with(second))
            secondIdentity = line.substr(0, line.find('\t'));
    ASSERT_EQ(Reelfs({"set", first, "NextVolume=" + secondIdentity}).Exit, 0);
    const std::string multi =
        Extract({"gnutar/sparse-multi-1.tar", "gnutar/sparse-multi-2.tar"})["multi.bin"];
    ASSERT_EQ(multi.size(), 200000u);
    EXPECT_EQ(Restore({first, "0/multi.bin", "--with", second}), multi);
    // The data of the second region cross from the first volume to the second.
    for (auto [offset, length] :
         {std::pair<std::size_t, std::size_t>{4000, 100000}, {120000, 30000}, {129000, 71000}})
        EXPECT_EQ(Restore({first, "0/multi.bin", "--offset", std::to_string(offset), "--length",
                           std::to_string(length), "--with", second}),
                  multi.substr(offset, length))
            << offset << "+" << length;
}

TEST_F(TarTapeCommands, members_dated_past_the_year_30828_list_with_their_dates_as_far_as_the_catalogue_holds)
{
    // GNU base-256 times; the catalogue's times end in the year 60056, and a later one is unknown.
    using namespace tartest;
    const struct
    {
        std::uint64_t Seconds;
        const char* Listed;
    } cases[] = {
        {1ull << 40, "36812-02-20T00:36:16Z"},
        {1833029933770, "60056-05-28T05:36:10Z"},
        {1833029933771, "-"},
    };
    std::string archive, expected;
    for (const auto& c : cases)
    {
        const std::string name = std::to_string(c.Seconds) + ".txt";
        TarHeaderBlock block = UstarBlock(name, "00000000001");
        Put(block.Mtime, std::string(4, '\0'));
        block.Mtime[0] = '\x80';
        for (int i = 0; i < 8; ++i)
            block.Mtime[4 + i] = static_cast<char>(c.Seconds >> (8 * (7 - i)));
        Seal(block);
        archive += Entry(block, "x");
        expected += "1\t" + std::string(c.Listed) + "\t0/" + name + "\n";
    }
    const std::string tape = MakeTape("far", archive + ArchiveEnd());
    ASSERT_EQ(Reelfs({"scan", tape}).Exit, 0);
    CRunResult listed = Reelfs({"ls", tape});
    EXPECT_EQ(listed.Exit, 0) << listed.Err;
    EXPECT_EQ(listed.Out, expected);
}

TEST_F(TarTapeCommands, a_damaged_header_fails_the_scan_and_keeps_the_files_before_it)
{
    using namespace tartest;
    const struct
    {
        const char* Case;
        std::string Entry;
        std::string Message;
    } cases[] = {
        {"octal size -1", Entry(UstarBlock("huge.bin", "-1")),
         "0xC000271C: the TAR header at 2 gives a size of 18446744073709551615 bytes, more than any volume "
         "can "
         "number"},
        {"pax size 2^63 - 1", PaxEntry(PaxRecord("size", "9223372036854775807"), UstarBlock("huge.bin", "0")),
         "0xC000271C: the TAR header at 2 gives a size of 9223372036854775807 bytes"},
        {"pax size 300abc", PaxEntry(PaxRecord("size", "300abc"), UstarBlock("m.txt", "0")),
         "0xC000271A: the pax size 0x33, 30, 30, 61, 62, 63 is not a number"},
        {"pax path of 70000 bytes",
         PaxEntry(PaxRecord("path", std::string(70000, 'p')), UstarBlock("m.txt", "0")),
         "0xC000271E: the member's pax \"path\" record of 70000 bytes is longer than the 32000 bytes a name "
         "may "
         "have"},
    };
    unsigned tape = 0;
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.Case);
        char mtime[16];
        std::snprintf(mtime, sizeof mtime, "%011o", 1618489800 + ++tape);
        const std::string image =
            MakeTape("damaged" + std::to_string(tape),
                     Entry(UstarBlock("first.txt", "00000000005", mtime), "first") + c.Entry +
                         Entry(UstarBlock("after.txt"), "after") + ArchiveEnd());
        CRunResult scanned = Reelfs({"scan", image});
        EXPECT_EQ(scanned.Exit, 1);
        EXPECT_NE(scanned.Err.find(c.Message), std::string::npos) << scanned.Err;
        CRunResult listed = Reelfs({"ls", image});
        ASSERT_EQ(listed.Exit, 0) << listed.Err;
        EXPECT_EQ(listed.Out, "5\t" + IsoTime(1618489800 + tape) + "\t0/first.txt\n");
    }
}

TEST_F(TarTapeCommands, an_active_circle_tape_cut_inside_a_file_fails_the_scan_and_keeps_the_files_before_it)
{
    using namespace tartest;
    const std::string label = (Folder / "label").string();
    std::ofstream(label, std::ios::binary)
        << "ActiveCircle 3.2 Apr 15, 2021 01 : 00 : 00 pm\r\npool-7\r\nVOL002";
    const std::string whole = Entry(UstarBlock("a.txt", "00000000002"), "a\n") +
                              Entry(UstarBlock("cut.bin", "00000072460"), std::string(30000, 'c')) +
                              ArchiveEnd();
    const std::string cut = (Folder / "cut.tar").string();
    std::ofstream(cut, std::ios::binary) << whole.substr(0, 10240);
    const std::string tape = (Folder / "cut.tap").string();
    CRunResult made = Reelfs({"mktape", "-o", tape, label, cut});
    ASSERT_EQ(made.Exit, 0) << made.Err;

    CRunResult scanned = Reelfs({"scan", tape});
    EXPECT_EQ(scanned.Exit, 1);
    EXPECT_NE(scanned.Err.find("0xC00036B3: the data of \"cut.bin\" run past the end of the tape's data"),
              std::string::npos)
        << scanned.Err;
    CRunResult listed = Reelfs({"ls", tape});
    ASSERT_EQ(listed.Exit, 0) << listed.Err;
    EXPECT_EQ(listed.Out, "2\t" + IsoTime(1618489800) + "\t0/a.txt\n");
    EXPECT_EQ(Restore({tape, "0/a.txt"}), "a\n");
}
} // namespace
