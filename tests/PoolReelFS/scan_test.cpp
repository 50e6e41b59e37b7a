#include "ActiveCircleTape.h"

#include "FileSystems/TapeFS/TimeHelpers.h"
#include "frame/CCatalogueHeader.h"
#include "pagelist/CFileListInternal.h"
#include "vnservice/CTapeMedium.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>

namespace
{
class ActiveCircleScan : public ActiveCircleTape
{
protected:
    // The items of a scan that succeeds.
    std::vector<ScanItem> ScanItems(const CVolumePointer& volume)
    {
        std::vector<ScanItem> items;
        CStatus status = Recognise(volume);
        EXPECT_TRUE(status.IsSuccess()) << status.ToString();
        status = Scan(volume, &items);
        EXPECT_TRUE(status.IsSuccess()) << status.ToString();
        return items;
    }
};

// The archives of the peers on one tape, after the label: each member as the peer's own listing gives
// it, its bytes as GNU tar extracts them, and each archive's members the next versions of their paths.
TEST_F(ActiveCircleScan, members_of_several_peer_archives_keep_their_names_sizes_times_and_bytes)
{
    const std::vector<std::string> archives = {"gnutar/ustar", "gnutar/posix", "bsdtar/ustar", "bsdtar/pax",
                                               "bsdtar/pax-dates"};
    std::vector<Bytes> files;
    for (const auto& archive : archives)
        files.push_back(ReadFixture(archive + ".tar"));
    CVolumePointer volume = MountLabelled(files);
    const std::vector<ScanItem> items = ScanItems(volume);
    const auto records = Files(volume);

    std::map<std::string, std::uint32_t> versions;
    std::vector<std::string> directories;
    std::size_t members = 0;
    for (const auto& archive : archives)
    {
        auto extracted = ExtractWithTar({archive + ".tar"});
        for (const auto& member : ReadListing(archive + ".list"))
        {
            SCOPED_TRACE(archive + ": " + member.Name);
            if (member.Name.ends_with('/'))
            {
                directories.push_back(member.Name);
                continue;
            }
            ++members;
            const std::uint32_t version = ++versions[member.Name];
            auto record = std::find_if(records.begin(), records.end(),
                                       [&](const auto& r)
                                       { return r.Path == "0/" + member.Name && r.OrderKey2 == version; });
            ASSERT_NE(record, records.end());
            EXPECT_EQ(record->Size, member.Size);
            EXPECT_EQ(record->FileTime, TimeToFileTime(member.Time));
            Bytes restored;
            CStatus status = Restore(volume, record->Path, restored, version);
            ASSERT_TRUE(status.IsSuccess()) << status.ToString();
            EXPECT_EQ(restored, extracted[member.Name]);
        }
    }
    EXPECT_EQ(records.size(), members);

    // The label comes first; directories are named without the catalogue's "0/"; each archive ends
    // with an item that counts the ends from 1.
    ASSERT_FALSE(items.empty());
    EXPECT_EQ(items.front().Opcode, 0u);
    std::vector<std::string> directoryItems;
    std::vector<std::uint64_t> ends;
    for (const auto& item : items)
    {
        if (item.Opcode == 16)
            directoryItems.push_back(item.Name);
        if (item.Opcode == 20)
            ends.push_back(item.Counter);
    }
    EXPECT_EQ(directoryItems, directories);
    EXPECT_EQ(ends, (std::vector<std::uint64_t>{1, 2, 3, 4, 5}));
}

TEST_F(ActiveCircleScan, the_label_and_its_mark_take_a_tape_block_each_and_an_archive_ends_after_its_mark)
{
    const Bytes archive = ReadFixture("gnutar/ustar.tar");
    for (std::uint32_t block : {10240u, 65536u})
    {
        SCOPED_TRACE(block);
        CVolumePointer volume = MountLabelled({archive, archive}, block);
        const std::vector<ScanItem> items = ScanItems(volume);
        const std::uint64_t units = block / 512;
        const std::uint64_t archiveUnits = (archive.size() + block - 1) / block * units;

        // The first member's header follows the label block and its mark.
        const auto records = Files(volume);
        ASSERT_FALSE(records.empty());
        EXPECT_EQ(std::min_element(records.begin(), records.end(),
                                   [](const auto& a, const auto& b) { return a.Position < b.Position; })
                      ->Position,
                  2 * units);

        // Each end item runs from the first zero block to where the drive stopped after the mark.
        std::vector<std::uint64_t> ends;
        for (const auto& item : items)
            if (item.Opcode == 20)
                ends.push_back(item.Position + item.Size / 512);
        EXPECT_EQ(ends, (std::vector<std::uint64_t>{2 * units + archiveUnits + units,
                                                    2 * units + 2 * (archiveUnits + units)}));
    }
}

TEST_F(ActiveCircleScan, the_label_identifier_reaches_the_catalogue_so_a_second_reading_keeps_the_number)
{
    const Bytes archive = ReadFixture("gnutar/ustar.tar");
    CVolumePointer volume = MountLabelled({archive});
    ScanItems(volume);
    const CVolumeID identity = volume->GetID();
    CCatalogueHeader header;
    ASSERT_EQ(volume->Catalogue->GetUserHeader(&header, sizeof header), 0u);
    const std::string expected = "VOL1;pool-7;Apr 15, 2021 01 : 00 : 00 pm";
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(header.ReplicaSlot[0].LabelId), expected.size() + 1),
              expected + '\0');
    ASSERT_TRUE(volume->CloseCatalogue().IsSuccess());

    // The same tape again, in a new volume of a system that does not know it yet.
    System.Volumes.Remove(identity);
    CVolumePointer again = MountLabelled({archive}, 10240, TapeLabel(1));
    ASSERT_TRUE(Recognise(again).IsSuccess());
    EXPECT_EQ(again->GetID(), identity);
}

TEST_F(ActiveCircleScan, members_are_read_as_written)
{
    // A member with no time stays undated, whenever the tape is read.
    Bytes undated = ReadFixture("gnutar/ustar.tar");
    std::memcpy(undated.data() + 136, "00000000000", 12);
    FixChecksum(undated.data());
    ScanItems(MountLabelled({undated}));
    auto records = Files(Volumes.back());
    auto shortFile =
        std::find_if(records.begin(), records.end(), [](const auto& r) { return r.Path == "0/short.txt"; });
    ASSERT_NE(shortFile, records.end());
    EXPECT_EQ(shortFile->FileTime, 0u);

    // GNU long-name entries are members of their own: this layout has no GNU extensions.
    ScanItems(MountLabelled({ReadFixture("gnutar/gnu.tar")}));
    records = Files(Volumes.back());
    const std::string longName(97, 'c');
    auto has = [&](const std::string& path, std::uint64_t size)
    {
        return std::any_of(records.begin(), records.end(),
                           [&](const auto& r) { return r.Path == path && r.Size == size; });
    };
    EXPECT_TRUE(has("0/././@LongLink", longName.size() + 5)); // the name, ".txt" and its NUL
    EXPECT_TRUE(has("0/" + (longName + ".txt").substr(0, 100), 102));
}

TEST_F(ActiveCircleScan, a_tape_cut_inside_a_file_ends_the_scan_with_the_files_before_it)
{
    // a.txt, then a member cut after the archive's first record: its data run past the end of the image,
    // or into the mark that closes the tape file, by many blocks or by a few.
    using namespace tartest;
    for (const char* size : {"00000072460", "00000026000"}) // 30,000 bytes; 11,264, 5 blocks past the record
        for (bool markAfterLast : {true, false})
        {
            SCOPED_TRACE(std::string(size) +
                         (markAfterLast ? ", cut before a mark" : ", cut where the image ends"));
            const std::string whole = Entry(UstarBlock("a.txt", "00000000002"), "a\n") +
                                      Entry(UstarBlock("cut.bin", size), std::string(30000, 'c')) +
                                      ArchiveEnd();
            CVolumePointer volume =
                MountLabelled({Bytes(whole.begin(), whole.begin() + 10240)}, 10240, {}, markAfterLast);
            ASSERT_TRUE(Recognise(volume).IsSuccess());
            CStatus status = Scan(volume);
            EXPECT_EQ(status.GetInternalErrorCode(), 0xC00036B3u) << status.ToString();
            const auto records = Files(volume);
            ASSERT_EQ(records.size(), 1u);
            EXPECT_EQ(records[0].Path, "0/a.txt");
        }

    // Two pax headers in a row describe one member, named by the second; GNU long links and names are
    // members of their own in this layout, which has no GNU extensions.
    const std::string second = PaxRecord("path", "second-path.txt");
    char size[16];
    std::snprintf(size, sizeof size, "%011o", static_cast<unsigned>(second.size()));
    const std::string paxTwice = PaxEntry(PaxRecord("path", "first-path.txt"),
                                          UstarBlock("PaxHeader/second", size, "14036030710", 'x'), second) +
                                 Entry(UstarBlock("member.txt"), "hello") + ArchiveEnd();
    ScanItems(MountLabelled({Bytes(paxTwice.begin(), paxTwice.end())}));
    const auto records = Files(Volumes.back());
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].Path, "0/second-path.txt");
}

TEST_F(ActiveCircleScan, a_broken_layout_ends_the_scan_with_what_came_before_catalogued)
{
    const Bytes archive = ReadFixture("gnutar/ustar.tar");
    constexpr std::uint32_t block = 10240;
    const std::size_t archiveFiles = 7;

    // The archive's first zero block, as a sound tape shows it.
    const auto sound = ScanItems(MountLabelled({archive}));
    ASSERT_EQ(sound.back().Opcode, 20u);
    const std::uint64_t firstZero = sound.back().Position;
    const std::uint64_t archiveStart = 2 * block / 512;

    Bytes secondNotZero = archive;
    secondNotZero[(firstZero + 1 - archiveStart) * 512] = 'x';
    // A pax header announcing records of nearly 4 GiB.
    Bytes hugeRecords(2048, 0);
    auto pax = tartest::UstarBlock("PaxHeader/short.txt", "37777777777", "14036030710", 'x');
    std::memcpy(hugeRecords.data(), &pax, sizeof pax);
    const std::uint64_t hugeAt =
        archiveStart + (archive.size() + block - 1) / block * (block / 512) + block / 512;

    const struct
    {
        const char* Case;
        std::vector<Bytes> Files; // after the label block
        bool LabelMark;
        std::uint32_t Code;
        std::string Parameter;
        std::size_t Catalogued;
    } cases[] = {
        {"no mark after the label", {}, false, 0xC00036B0, "", 0},
        {"a zero block followed by another block",
         {secondNotZero},
         true,
         0xC00036B2,
         std::to_string(firstZero + 2),
         archiveFiles},
        {"records of nearly 4 GiB",
         {archive, hugeRecords},
         true,
         0xC0002713,
         std::to_string(hugeAt),
         archiveFiles},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.Case);
        CVolumePointer volume;
        if (c.LabelMark)
        {
            volume = MountLabelled(c.Files, block);
            ASSERT_TRUE(Recognise(volume).IsSuccess());
        }
        else
        {
            // Not a tape recognition takes: the file system only knows the block size.
            Bytes labelled = actest::LabelBlock(actest::ValidLabel, block);
            labelled.insert(labelled.end(), archive.begin(), archive.end());
            volume = Mount({labelled}, block);
            TapeFileSystemOf(volume).BlockSize = block;
            ASSERT_TRUE(
                static_cast<CTapeMedium*>(volume->GetReplica(0).get())->FindLastWrittenBlock().IsSuccess());
        }
        CStatus status = Scan(volume);
        EXPECT_EQ(status.GetInternalErrorCode(), c.Code) << status.ToString();
        if (!c.Parameter.empty())
        {
            EXPECT_EQ(status.GetParameters().front(), c.Parameter);
        }
        EXPECT_EQ(Files(volume).size(), c.Catalogued);
    }
}
} // namespace
