#include "TarTapeFixture.h"

#include "FileSystems/TapeFS/CTapeGetOperationContext.h"
#include "FileSystems/TapeFS/TimeHelpers.h"
#include "frame/CCatExtent.h"
#include "frame/CCatSync.h"
#include "frame/CCatalogueHeader.h"
#include "frame/CFileListPointer.h"

#include <cstdio>
#include <cstring>
#include <map>

namespace
{
struct PeerArchive
{
    const char* Archive;
    std::int32_t Standard; // the dialect the scan finds
};

class GenericTarScan : public TarTape
{
protected:
    // Where the scan recorded closing marks (position and bytes), and the blocks of the extents.
    struct MarksAndExtents
    {
        std::vector<std::pair<std::uint64_t, std::uint64_t>> Syncs;
        std::vector<std::uint64_t> ExtentBlocks;
    };
    static MarksAndExtents CataloguedMarksAndExtents(const CVolumePointer& volume)
    {
        MarksAndExtents found;
        CFileListInternal& catalogue = *volume->Catalogue;
        for (auto at = catalogue.begin(), end = catalogue.end(); at != end; ++at)
        {
            CFileListPointer<CCatalogueItem> handle = GetPointer<CCatalogueItem>(at);
            if (handle.Get()->GetObjectType(false) == KindSync)
            {
                const auto& sync = static_cast<const CCatSync&>(*handle.Get());
                found.Syncs.emplace_back(sync.Position, sync.MarkBytes);
            }
            if (handle.Get()->GetObjectType(false) == KindExtent)
                found.ExtentBlocks.push_back(static_cast<const CCatExtent&>(*handle.Get()).BlockCount);
        }
        return found;
    }
};

// Each archive in a system of its own: archives that begin with the same member would be taken for
// copies of one volume.
class GenericTarPeerScan : public TarTape, public ::testing::WithParamInterface<PeerArchive>
{
};

// Every member as the peer's own listing gives it, and its bytes as GNU tar extracts them.
TEST_P(GenericTarPeerScan, catalogue_and_restores_match_what_the_peer_wrote)
{
    const std::string name = GetParam().Archive;
    std::vector<ScanItem> items;
    CVolumePointer volume = Mount({ReadFixture(name + ".tar")});
    ASSERT_TRUE(Recognise(volume).IsSuccess());
    CStatus status = Scan(volume, &items);
    ASSERT_TRUE(status.IsSuccess()) << status.ToString();
    EXPECT_EQ(FileSystemOf(volume).Standard, GetParam().Standard);

    std::vector<tartest::Listed> files;
    std::size_t directories = 0;
    for (const auto& member : ReadListing(name + ".list"))
        (member.Name.ends_with('/') ? ++directories : (files.push_back(member), 0));
    auto records = Files(volume);
    ASSERT_EQ(records.size(), files.size());
    auto extracted = ExtractWithTar({name + ".tar"});
    for (const auto& member : files)
    {
        SCOPED_TRACE(member.Name);
        auto record = std::find_if(records.begin(), records.end(),
                                   [&](const auto& r) { return r.Path == "0/" + member.Name; });
        ASSERT_NE(record, records.end());
        EXPECT_EQ(record->Size, member.Size);
        EXPECT_EQ(record->FileTime, TimeToFileTime(member.Time));
        if (member.Size == 0)
            continue; // nothing on tape to read back
        Bytes restored;
        status = Restore(volume, record->Path, restored);
        ASSERT_TRUE(status.IsSuccess()) << status.ToString();
        EXPECT_EQ(restored, extracted[member.Name]);
    }
    EXPECT_EQ(std::count_if(items.begin(), items.end(), [](const auto& i) { return i.Opcode == 16; }),
              static_cast<std::ptrdiff_t>(directories));
    ASSERT_FALSE(items.empty());
    EXPECT_EQ(items.back().Opcode, 20u);
}

INSTANTIATE_TEST_SUITE_P(
    Peers, GenericTarPeerScan,
    ::testing::Values(PeerArchive{"gnutar/ustar", 0}, PeerArchive{"gnutar/gnu", 2},
                      PeerArchive{"gnutar/posix", 1}, PeerArchive{"gnutar/gnu-mtime", 2},
                      PeerArchive{"bsdtar/ustar", 0}, PeerArchive{"bsdtar/gnutar", 2},
                      PeerArchive{"bsdtar/pax", 1}, PeerArchive{"python/ustar", 0},
                      PeerArchive{"python/gnu", 2}, PeerArchive{"python/pax", 1},
                      PeerArchive{"gnutar/gnu-dates", 0}, PeerArchive{"gnutar/long-links", 2},
                      PeerArchive{"bsdtar/pax-dates", 1}, PeerArchive{"gnutar/sparse-gnu", 0},
                      PeerArchive{"gnutar/sparse-pax00", 1}, PeerArchive{"gnutar/sparse-pax01", 1},
                      PeerArchive{"gnutar/sparse-pax10", 1}),
    [](const auto& info)
    {
        std::string name = info.param.Archive;
        std::replace_if(
            name.begin(), name.end(), [](char c) { return !std::isalnum(c); }, '_');
        return name;
    });

TEST_F(GenericTarScan, several_archives_on_one_tape_keep_each_version_of_a_name_apart)
{
    Bytes second = ReadFixture("python/ustar.tar");
    auto hello = std::search(second.begin(), second.end(), std::begin("hello"), std::end("hello") - 1);
    ASSERT_NE(hello, second.end());
    std::memcpy(&*hello, "HELLO", 5);
    std::vector<ScanItem> items;
    CVolumePointer volume = Mount({ReadFixture("gnutar/ustar.tar"), second});
    ASSERT_TRUE(Recognise(volume).IsSuccess());
    ASSERT_TRUE(Scan(volume, &items).IsSuccess());

    std::vector<ScanItem> ends;
    std::copy_if(items.begin(), items.end(), std::back_inserter(ends),
                 [](const auto& i) { return i.Opcode == 20; });
    ASSERT_EQ(ends.size(), 2u);
    EXPECT_LT(ends[0].Position, ends[1].Position);

    Bytes first, later;
    ASSERT_TRUE(Restore(volume, "0/short.txt", first, 1).IsSuccess());
    ASSERT_TRUE(Restore(volume, "0/short.txt", later, 2).IsSuccess());
    EXPECT_EQ(std::string(first.begin(), first.end()), "hello");
    EXPECT_EQ(std::string(later.begin(), later.end()), "HELLO");
}

// Each scan step tells the host where its item starts; a replica that has lost its medium is refused
// before anything is read.
TEST_F(GenericTarScan, an_item_is_announced_and_a_replica_without_a_medium_is_refused)
{
    CVolumePointer volume = Mount({ReadFixture("gnutar/ustar.tar")});
    ASSERT_TRUE(Recognise(volume).IsSuccess());
    ASSERT_TRUE(volume->OpenCatalogue(true, false).IsSuccess());
    std::unique_ptr<CGetOperationContext> context(
        TapeFileSystemOf(volume).CreateGetOperationContext(volume, volume->GetReplica(0)));
    static_cast<CTapeGetOperationContext&>(*context).ScanPosition = 3;
    volume->SetReplica(0, {});
    System.EventSink.Take();
    CStatus status = RunOperation(volume, 11,
                                  [&](CArchiveFileSystemOperation& operation)
                                  {
                                      operation.SetScanContext(context.get());
                                      operation.SetScanCatalogue(volume->Catalogue);
                                  });
    EXPECT_EQ(status.GetInternalErrorCode(), 0xC0000FA2u) << status.ToString();
    EXPECT_EQ(status.GetRecord()->SourceFile, "GenericTarOps");
    const auto events = System.EventSink.Take();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].Code, 0x40080263u);
    EXPECT_EQ(std::get<std::uint64_t>(events[0].Value), 3u);
}

TEST_F(GenericTarScan, a_corrupt_header_ends_the_scan_and_keeps_what_came_before)
{
    // The third member's header (after short.txt with one data block and empty.txt) gets a bad checksum.
    Bytes tape = ReadFixture("gnutar/ustar.tar");
    tape[3 * 512 + 148] ^= 1;
    CVolumePointer volume = Mount({tape});
    ASSERT_TRUE(Recognise(volume).IsSuccess());
    CStatus status = Scan(volume);
    EXPECT_EQ(status.GetInternalErrorCode(), 0xC0002712u) << status.ToString();
    auto records = Files(volume);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].Path, "0/empty.txt");
    EXPECT_EQ(records[1].Path, "0/short.txt");
}

// Headers no writer makes, between two sound members: the scan ends with the header's error, keeping the
// member before it, and never takes the damage for a file that continues on a next volume.
TEST_F(GenericTarScan, a_damaged_header_ends_the_scan_with_its_error_and_nothing_after_it_is_lost_silently)
{
    using namespace tartest;
    TarHeaderBlock base256Sign = UstarBlock("huge.bin");
    std::memcpy(base256Sign.Size, "\x80\0\0\0\x80\0\0\0\0\0\0\0", 12); // 2^63
    Seal(base256Sign);
    TarHeaderBlock base256Past64 = UstarBlock("huge.bin");
    std::memcpy(base256Past64.Size, "\x80\0\x01\0\0\0\0\0\0\0\0\x10", 12); // 2^80 + 16
    Seal(base256Past64);
    const struct
    {
        const char* Case;
        std::string Entry;
        std::uint32_t Code;
    } cases[] = {
        {"octal size -1", Entry(UstarBlock("huge.bin", "-1")), 0xC000271C},
        {"continuation of size -1", Entry(UstarBlock("huge.bin", "-1", "14036030710", 'M')), 0xC000271C},
        {"pax size 2^63 - 1", PaxEntry(PaxRecord("size", "9223372036854775807"), UstarBlock("huge.bin", "0")),
         0xC000271C},
        {"base-256 size 2^63", Entry(base256Sign), 0xC000271B},
        {"base-256 size 2^80 + 16", Entry(base256Past64, "sixteen bytes..."), 0xC000271B},
        {"pax size 300abc", PaxEntry(PaxRecord("size", "300abc"), UstarBlock("m.txt", "0")), 0xC000271A},
        {"pax path of 70000 bytes",
         PaxEntry(PaxRecord("path", std::string(70000, 'p')), UstarBlock("m.txt", "0")), 0xC000271E},
    };
    unsigned tape = 0;
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.Case);
        CVolumePointer volume = Mount({BetweenTwoMembers(c.Entry, ++tape)});
        ASSERT_TRUE(Recognise(volume).IsSuccess());
        CStatus status = Scan(volume);
        EXPECT_EQ(status.GetInternalErrorCode(), c.Code) << status.ToString();
        auto records = Files(volume);
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(records[0].Path, "0/first.txt");
    }
}

// A time is not needed to find any data: a pax time is read as GNU tar reads it, and one that holds no
// number leaves the member dated by its header, where a size that is not a number ends the scan.
TEST_F(GenericTarScan, a_pax_time_that_is_no_clean_number_is_read_as_gnu_tar_reads_it)
{
    using namespace tartest;
    const std::string archive =
        Entry(UstarBlock("first.txt", "00000000005", "14036030710"), "first") +
        PaxEntry(PaxRecord("mtime", "1748089464.951928467a"), UstarBlock("trailing.txt", "0")) +
        PaxEntry(PaxRecord("mtime", "soon"), UstarBlock("undated.txt", "0")) +
        Entry(UstarBlock("after.txt"), "after") + ArchiveEnd();
    CVolumePointer volume = Mount({Bytes(archive.begin(), archive.end())});
    ASSERT_TRUE(Recognise(volume).IsSuccess());
    CStatus status = Scan(volume);
    ASSERT_TRUE(status.IsSuccess()) << status.ToString();
    auto records = Files(volume);
    ASSERT_EQ(records.size(), 4u);
    std::map<std::string, std::uint64_t> times;
    for (const auto& record : records)
        times[record.Path] = record.FileTime;
    EXPECT_EQ(times["0/trailing.txt"], TimeToFileTime(1748089464)); // 2025-05-24 12:24:24
    EXPECT_EQ(times["0/undated.txt"], TimeToFileTime(1618489800));  // the pax header's own field
}

TEST_F(GenericTarScan, gnu_long_links_and_repeated_pax_headers_describe_the_member_that_follows)
{
    // GNU tar writes a 'K' entry for every symlink target past 100 bytes, before the 'L' of a long name.
    std::vector<ScanItem> items;
    CVolumePointer volume = Mount({ReadFixture("gnutar/long-links.tar")});
    ASSERT_TRUE(Recognise(volume).IsSuccess());
    ASSERT_TRUE(Scan(volume, &items).IsSuccess());
    std::vector<std::string> paths;
    for (const auto& record : Files(volume))
        paths.push_back(record.Path);
    std::vector<std::string> listed;
    for (const auto& member : ReadListing("gnutar/long-links.list"))
        listed.push_back("0/" + member.Name);
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(paths, listed);
    EXPECT_EQ(std::count_if(items.begin(), items.end(), [](const auto& i) { return i.Opcode == 4; }),
              static_cast<std::ptrdiff_t>(listed.size()));

    // Two pax headers in a row: the second's records replace the first's, as GNU tar and bsdtar read them.
    using namespace tartest;
    const std::string second = PaxRecord("path", "second-path.txt");
    char size[16];
    std::snprintf(size, sizeof size, "%011o", static_cast<unsigned>(second.size()));
    const std::string archive =
        PaxEntry(PaxRecord("path", "first-path.txt") + PaxRecord("mtime", "1700000000"),
                 UstarBlock("PaxHeader/second", size, "14036030710", 'x'), second) +
        Entry(UstarBlock("member.txt"), "hello") + ArchiveEnd();
    CVolumePointer paxTwice = MountAndScan({Bytes(archive.begin(), archive.end())});
    auto records = Files(paxTwice);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].Path, "0/second-path.txt");
    EXPECT_EQ(records[0].FileTime, TimeToFileTime(1618489800));
    Bytes restored;
    ASSERT_TRUE(Restore(paxTwice, records[0].Path, restored).IsSuccess());
    EXPECT_EQ(std::string(restored.begin(), restored.end()), "hello");
}

TEST_F(GenericTarScan, a_zero_block_must_be_followed_by_another)
{
    std::vector<ScanItem> items;
    Bytes tape = ReadFixture("gnutar/ustar.tar");
    CVolumePointer plain = Mount({tape});
    ASSERT_TRUE(Recognise(plain).IsSuccess());
    ASSERT_TRUE(Scan(plain, &items).IsSuccess());
    const std::uint64_t end = items.back().Position; // the first zero block
    tape[(end + 1) * 512] = 'x';
    CVolumePointer broken = Mount({tape});
    ASSERT_TRUE(Recognise(broken).IsSuccess());
    CStatus status = Scan(broken);
    EXPECT_EQ(status.GetInternalErrorCode(), 0xC0003778u);
    EXPECT_EQ(status.GetParameters().front(), std::to_string(end + 1));
}

TEST_F(GenericTarScan, a_member_longer_than_the_tape_stops_at_its_closing_mark)
{
    // A 9 GiB member of which the tape holds only the headers: its data run to the volume's end.
    CVolumePointer volume = MountAndScan({ReadFixture("python/big-pax.tar")});
    auto records = Files(volume);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].Size, 9ull << 30);

    // One record of 20 blocks and the closing mark: the data stop one physical block before the last
    // written block (40), and the mark is recorded where they stop.
    const MarksAndExtents found = CataloguedMarksAndExtents(volume);
    EXPECT_EQ(found.Syncs, (std::vector<std::pair<std::uint64_t, std::uint64_t>>{{20, 10240}}));
    // From block 3, after the pax header, its records and the ustar header.
    EXPECT_EQ(found.ExtentBlocks, std::vector<std::uint64_t>{17});
}

TEST_F(GenericTarScan, a_member_whose_data_would_end_in_the_closing_marks_block_runs_on_to_the_next_volume)
{
    // Forty blocks in records of the block size, then the closing mark: the member's header at block 0
    // and its data from block 1 up to the mark, as a multi-volume writer leaves a volume whose last
    // member goes on with less than a record, or more, on the next one.
    const std::uint64_t sizes[] = {39 * 512 + 1, 50 * 512, 59 * 512, 59 * 512 + 100, 100 * 512};
    for (const std::uint32_t block : {10240u, 512u})
        for (const std::uint64_t size : sizes)
        {
            SCOPED_TRACE(std::to_string(block) + " " + std::to_string(size));
            char octal[16];
            std::snprintf(octal, sizeof octal, "%011llo", static_cast<unsigned long long>(size));
            // A name of its own, so that the tapes are not taken for copies of one volume.
            const std::string name = "tail-" + std::to_string(block) + "-" + std::to_string(size);
            std::string archive = tartest::Entry(tartest::UstarBlock(name, octal));
            archive.resize(40 * 512, 'd');
            CVolumePointer volume = Mount({Bytes(archive.begin(), archive.end())}, block);
            ASSERT_TRUE(Recognise(volume).IsSuccess());
            CStatus status = Scan(volume);
            ASSERT_TRUE(status.IsSuccess()) << status.ToString();
            const auto records = Files(volume);
            ASSERT_EQ(records.size(), 1u);
            EXPECT_EQ(records[0].Size, size);
            const MarksAndExtents found = CataloguedMarksAndExtents(volume);
            EXPECT_EQ(found.Syncs, (std::vector<std::pair<std::uint64_t, std::uint64_t>>{{40, block}}));
            EXPECT_EQ(found.ExtentBlocks, std::vector<std::uint64_t>{39});
        }
}

// A GNU tar set of two volumes whose first ends at or near the end of a member, on tapes of one record
// size; each case in a system of its own, as the sets begin alike.
struct VolumeEndSet
{
    const char* Set;
    std::uint32_t Block;
    // The closing marks catalogued on the first volume: one where a member runs on onto the second.
    std::size_t FirstVolumeSyncs;
    // False where the second volume holds zero blocks only, which no restore needs.
    bool SecondHoldsData;
};

class GenericTarVolumeEnd : public GenericTarScan, public ::testing::WithParamInterface<VolumeEndSet>
{
};

// Every volume scans, and every member restores as tar -xM extracts it, from the volume that holds its
// header and across the volumes it lies on: whether the first volume ends in a member's last data block
// (the second then opens with a continuation of offset 0 before the next member's own header), in a
// member's header (a continuation of offset 0 before its data), or inside the end-of-archive blocks.
TEST_P(GenericTarVolumeEnd, every_volume_scans_and_every_member_restores_as_tar_extracts_it)
{
    const VolumeEndSet& set = GetParam();
    const std::string first = std::string("gnutar/") + set.Set + "-1.tar";
    const std::string second = std::string("gnutar/") + set.Set + "-2.tar";
    std::vector<CVolumePointer> volumes = {MountAndScan({ReadFixture(first)}, set.Block)};
    EXPECT_EQ(CataloguedMarksAndExtents(volumes[0]).Syncs.size(), set.FirstVolumeSyncs);
    CVolumePointer next = Mount({ReadFixture(second)}, set.Block);
    CStatus recognised = Recognise(next);
    EXPECT_EQ(TapeFileSystemOf(next).IsRecognised(0), set.SecondHoldsData) << recognised.ToString();
    if (set.SecondHoldsData)
    {
        CStatus status = Scan(next);
        ASSERT_TRUE(status.IsSuccess()) << status.ToString();
        FileSystemOf(volumes[0]).NextVolume = next->GetID();
        volumes.push_back(next);
    }

    const auto extracted = ExtractWithTar({first, second});
    ASSERT_EQ(extracted.size(), 2u);
    for (const auto& [name, bytes] : extracted)
    {
        SCOPED_TRACE(name);
        const std::string path = "0/" + name;
        auto holds = [&](const CVolumePointer& volume)
        {
            const auto records = Files(volume);
            return std::any_of(records.begin(), records.end(),
                               [&](const auto& record)
                               { return record.Path == path && record.Size == bytes.size(); });
        };
        auto volume = std::find_if(volumes.begin(), volumes.end(), holds);
        ASSERT_NE(volume, volumes.end());
        Bytes restored;
        CStatus status = Restore(*volume, path, restored);
        ASSERT_TRUE(status.IsSuccess()) << status.ToString();
        EXPECT_EQ(restored, bytes);
    }
}

INSTANTIATE_TEST_SUITE_P(
    GnuTarSets, GenericTarVolumeEnd,
    ::testing::Values(
        VolumeEndSet{"multi-exact", 10240, 0, true}, VolumeEndSet{"multi-exact", 512, 0, true},
        VolumeEndSet{"multi-exact-long", 10240, 0, true}, VolumeEndSet{"multi-exact-long", 512, 0, true},
        VolumeEndSet{"multi-header", 10240, 1, true}, VolumeEndSet{"multi-header", 512, 1, true},
        VolumeEndSet{"multi-lone-zero", 10240, 0, false}, VolumeEndSet{"multi-lone-zero", 512, 0, false},
        VolumeEndSet{"multi-zeros-next", 10240, 0, false}, VolumeEndSet{"multi-zeros-next", 512, 0, false}),
    [](const auto& info)
    {
        std::string name = std::string(info.param.Set) + "_" + std::to_string(info.param.Block);
        std::replace(name.begin(), name.end(), '-', '_');
        return name;
    });

TEST_F(GenericTarScan, the_first_item_stores_the_tape_signature_so_a_second_reading_keeps_the_number)
{
    CVolumePointer volume = MountAndScan({ReadFixture("gnutar/posix.tar")});
    const CVolumeID identity = volume->GetID();
    CCatalogueHeader header;
    ASSERT_EQ(volume->Catalogue->GetUserHeader(&header, sizeof header), 0u);
    const std::string label(reinterpret_cast<const char*>(header.ReplicaSlot[0].LabelId), 21);
    EXPECT_EQ(label.substr(19), ", ");
    ASSERT_TRUE(volume->CloseCatalogue().IsSuccess());

    // The same tape again, in a new volume of a system that does not know it yet.
    System.Volumes.Remove(identity);
    CVolumePointer again = Mount({ReadFixture("gnutar/posix.tar")});
    ASSERT_TRUE(Recognise(again).IsSuccess());
    EXPECT_EQ(again->GetID(), identity);
}
TEST_F(GenericTarScan, names_that_differ_only_in_case_are_different_files)
{
    Bytes archive;
    auto add = [&](const char* name, const std::string& data)
    {
        char size[16];
        std::snprintf(size, sizeof size, "%011o", static_cast<unsigned>(data.size()));
        TarHeaderBlock header = tartest::UstarBlock(name, size);
        archive.insert(archive.end(), reinterpret_cast<std::uint8_t*>(&header),
                       reinterpret_cast<std::uint8_t*>(&header) + 512);
        archive.insert(archive.end(), data.begin(), data.end());
        archive.resize((archive.size() + 511) / 512 * 512, 0);
    };
    add("FAQ.html", "short");
    add("faq.html", "a longer text");
    archive.resize(archive.size() + 1024, 0);
    CVolumePointer volume = MountAndScan({archive});
    Bytes upper, lower;
    ASSERT_TRUE(Restore(volume, "0/FAQ.html", upper).IsSuccess());
    ASSERT_TRUE(Restore(volume, "0/faq.html", lower).IsSuccess());
    EXPECT_EQ(std::string(upper.begin(), upper.end()), "short");
    EXPECT_EQ(std::string(lower.begin(), lower.end()), "a longer text");
}

} // namespace
