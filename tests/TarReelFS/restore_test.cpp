#include "TarTapeFixture.h"

#include "frame/CCatExtent.h"
#include "frame/CFileListPointer.h"
#include "vnservice/CEventLog.h"
#include "vnservice/CFragmentFile.h"

#include <sys/stat.h>

namespace
{
// Three volumes of GNU tar's multi-volume set; big.bin runs from the first through the second onto the
// third.
class GenericTarRestore : public TarTape
{
protected:
    void SetUp() override
    {
        TarTape::SetUp();
        for (int i = 1; i <= 3; ++i)
            Set.push_back(MountAndScan({ReadFixture("gnutar/multi-" + std::to_string(i) + ".tar")}));
        // The second and third volumes begin alike, with the continuation of big.bin, yet are told apart.
        ASSERT_NE(Set[1]->GetID(), Set[2]->GetID());
        Big = ExtractWithTar({"gnutar/multi-1.tar", "gnutar/multi-2.tar", "gnutar/multi-3.tar"})["big.bin"];
        ASSERT_EQ(Big.size(), 50000u);
    }

    void Chain(std::size_t from, std::size_t to) { FileSystemOf(Set[from]).NextVolume = Set[to]->GetID(); }

    // The blocks of each extent of big.bin's records on a volume.
    std::vector<std::uint32_t> ExtentBlocks(const CVolumePointer& volume)
    {
        std::vector<std::uint32_t> blocks;
        CFileListInternal& catalogue = *volume->Catalogue;
        for (auto at = catalogue.begin(1), end = catalogue.end(1); at != end; ++at)
        {
            CFileListPointer<CCatalogueItem> handle = GetPointer<CCatalogueItem>(at);
            if (handle.Get()->GetObjectType(false) == KindExtent &&
                handle.Get()->GetKeyPath() == u"0/big.bin")
                blocks.push_back(static_cast<const CCatExtent&>(*handle.Get()).BlockCount);
        }
        return blocks;
    }

    std::vector<CVolumePointer> Set;
    Bytes Big;
};

TEST_F(GenericTarRestore, each_volume_holds_the_part_of_the_file_it_carries)
{
    // 18,944 bytes on the first volume, 19,968 on the second (its continuation entry names all 31,056
    // bytes still to come), the last 11,088 on the third.
    EXPECT_EQ(ExtentBlocks(Set[0]), std::vector<std::uint32_t>{37});
    EXPECT_EQ(ExtentBlocks(Set[1]), std::vector<std::uint32_t>{39});
    EXPECT_EQ(ExtentBlocks(Set[2]), std::vector<std::uint32_t>{22});
}

TEST_F(GenericTarRestore, a_file_is_followed_across_volumes_in_whole_and_in_ranges)
{
    Chain(0, 1);
    Chain(1, 2);
    Bytes restored;
    CStatus status = Restore(Set[0], "0/big.bin", restored);
    ASSERT_TRUE(status.IsSuccess()) << status.ToString();
    EXPECT_EQ(restored, Big);

    const struct
    {
        std::uint64_t Offset, Length;
    } ranges[] = {{0, 1},         {511, 2},   {1000, 3000}, {18431, 2},
                  {18000, 20000}, {37887, 2}, {49999, 1},   {0, 50000}};
    for (const auto& range : ranges)
    {
        SCOPED_TRACE(std::to_string(range.Offset) + "+" + std::to_string(range.Length));
        status = RestoreRange(Set[0], "0/big.bin", range.Offset, range.Length, restored);
        ASSERT_TRUE(status.IsSuccess()) << status.ToString();
        EXPECT_EQ(restored, Bytes(Big.begin() + range.Offset, Big.begin() + range.Offset + range.Length));
    }
}

TEST_F(GenericTarRestore, the_destination_takes_the_catalogued_time_and_an_early_caller_its_result)
{
    Bytes restored;
    ASSERT_TRUE(Restore(Set[2], "0/z.txt", restored, 0, true).IsSuccess());
    EXPECT_EQ(restored.size(), 600u);
    EXPECT_TRUE(LastResult.ResultWasEarly());
    EXPECT_TRUE(LastResult.GetResult().IsSuccess());
    struct stat info
    {
    };
    ASSERT_EQ(::stat((Base / "restored").c_str(), &info), 0);
    EXPECT_EQ(info.st_mtime, 1618489800);
}

TEST_F(GenericTarRestore, a_read_that_fails_after_an_early_result_is_reported_to_the_destination)
{
    // The volume's tape is swapped after the scan for one cut after the file's header: the header reads
    // back, the data read meets the end of the tape.
    const auto record = Files(Set[2]).back(); // z.txt
    ASSERT_EQ(record.Path, "0/z.txt");
    Bytes cut = ReadFixture("gnutar/multi-3.tar");
    cut.resize((record.Position + 1) * 512);
    CVolumePointer shorter = Mount({cut}, 512);
    Set[2]->SetReplica(0, shorter->GetReplica(0));
    CLocalFragmentFile file(&System);
    file.ConstructFromCatalogue(
        CFileName(u"GenericTar"),
        {CFileName(u"0/z.txt"), record.Position, record.Size, record.FileTime, 0, 0, record.OrderKey2});
    file.SetDestination((Base / "failed").string());
    CStatus status = RunOperation(Set[2], 7,
                                  [&](CArchiveFileSystemOperation& operation)
                                  {
                                      operation.SetUserFragment(&file);
                                      operation.RestoreStart() = record.Position;
                                      operation.SetEarlyResult(true);
                                  });
    EXPECT_TRUE(status.Failed());
    EXPECT_TRUE(LastResult.ResultWasEarly());
    EXPECT_TRUE(file.HasRecordedStatus());
    EXPECT_NE(file.GetRecordedOSError(), 0u);
    file.Close();
}

TEST_F(GenericTarRestore, failures_name_what_is_missing)
{
    const CVolumeID unknown(CVolumeSetID(System.GetID(), 9), 4242);
    const std::uint64_t afterFirst = (50000 - 18944) / 512;
    const std::uint64_t afterSecond = (50000 - 18944 - 19968) / 512;
    const struct
    {
        const char* Case;
        std::function<void()> Arrange;
        std::uint32_t Code;
        std::string SecondParameter;
    } cases[] = {
        {"no continuation named", [] {}, 0xC0003779, std::to_string(afterFirst)},
        {"a continuation the system does not know", [&] { FileSystemOf(Set[0]).NextVolume = unknown; },
         0xC000377A, unknown.ToString()},
        {"a continuation out of reach",
         [&]
         {
             Chain(0, 1);
             Set[1]->SetAccessible(false);
         },
         0xC000377B, Set[1]->GetID().ToString()},
        {"a volume that continues on itself", [&] { Chain(0, 0); }, 0xC0003779, std::to_string(afterFirst)},
        {"a chain that leads back", [&] { Chain(0, 1), Chain(1, 0); }, 0xC0003779,
         std::to_string(afterSecond)},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.Case);
        for (auto& volume : Set)
        {
            FileSystemOf(volume).NextVolume = CVolumeID();
            volume->SetAccessible(true);
        }
        c.Arrange();
        Bytes restored;
        CStatus status = Restore(Set[0], "0/big.bin", restored);
        EXPECT_EQ(status.GetInternalErrorCode(), c.Code) << status.ToString();
        EXPECT_EQ(status.GetParameters().at(1), c.SecondParameter);
        EXPECT_TRUE(restored.empty());
    }

    Bytes restored;
    EXPECT_EQ(Restore(Set[0], "0/nothing.bin", restored).GetInternalErrorCode(), 0xC0000813u);
    ASSERT_TRUE(Set[0]->CloseCatalogue().IsSuccess());
    EXPECT_EQ(Restore(Set[0], "0/a.txt", restored).GetInternalErrorCode(), 0xC0000818u);
    Set[0]->SetReplica(0, {});
    EXPECT_EQ(Restore(Set[0], "0/a.txt", restored).GetInternalErrorCode(), 0xC0000FA2u);
    EXPECT_EQ(RestoreRange(Set[0], "0/a.txt", 0, 1, restored).GetInternalErrorCode(), 0xC0000FA2u);
}
} // namespace

namespace
{
class SparseRestore : public TarTape
{
};

// A sparse member whose map cannot be expanded is catalogued as its headers have it, and its restore
// fails, in whole and in part, before any byte of it is given or the destination is readied: its
// condensed data are not the file.
TEST_F(SparseRestore, a_map_that_cannot_be_expanded_fails_the_restore_and_gives_no_bytes)
{
    using namespace tartest;
    auto gnuHeader = [](std::string_view entries, char extended)
    {
        TarHeaderBlock block = UstarBlock("old.bin", "00000001000");
        std::memcpy(block.Magic, "ustar  ", 8);
        block.Typeflag = 'S';
        auto* bytes = reinterpret_cast<char*>(&block);
        std::memcpy(bytes + 386, entries.data(), entries.size());
        bytes[482] = extended;
        std::memcpy(bytes + 483, "00000004000", 11);
        Seal(block);
        return block;
    };
    // An extension block of one entry, the last.
    auto extension = [](std::string_view entry)
    {
        std::string block(512, '\0');
        block.replace(0, entry.size(), entry);
        return block;
    };
    const std::string data(512, 'd');
    const struct
    {
        const char* Case;
        std::string Entry;
        std::uint64_t Size = 2048; // as catalogued: the expanded size its headers give
    } cases[] = {
        {"0.1 map past the member's data",
         PaxEntry(PaxRecord("GNU.sparse.size", "2048") + PaxRecord("GNU.sparse.map", "0,600"),
                  UstarBlock("sparse.bin", "00000001000"), data)},
        {"0.1 map that is no list of numbers",
         PaxEntry(PaxRecord("GNU.sparse.size", "2048") + PaxRecord("GNU.sparse.map", "0,abc"),
                  UstarBlock("sparse.bin", "00000001000"), data)},
        {"0.0 size without its offset",
         PaxEntry(PaxRecord("GNU.sparse.size", "2048") + PaxRecord("GNU.sparse.numbytes", "512"),
                  UstarBlock("sparse.bin", "00000001000"), data)},
        {"1.0 map that is no number",
         PaxEntry(PaxRecord("GNU.sparse.major", "1") + PaxRecord("GNU.sparse.minor", "0") +
                      PaxRecord("GNU.sparse.realsize", "2048"),
                  UstarBlock("sparse.bin", "00000002000"), "1\nx\n512\n" + std::string(503, '\0') + data)},
        {"1.0 map past the member's data",
         PaxEntry(PaxRecord("GNU.sparse.major", "1") + PaxRecord("GNU.sparse.minor", "0") +
                      PaxRecord("GNU.sparse.realsize", "2048"),
                  UstarBlock("sparse.bin", "00000002000"), "1\n0\n1024\n" + std::string(503, '\0') + data)},
        {"a version not known",
         PaxEntry(PaxRecord("GNU.sparse.major", "2") + PaxRecord("GNU.sparse.minor", "0") +
                      PaxRecord("GNU.sparse.realsize", "2048"),
                  UstarBlock("sparse.bin", "00000001000"), data),
         512},
        {"old GNU regions out of order",
         Entry(gnuHeader("00000001000 00000000400 00000000000 00000000400 ", '\0'), data)},
        {"old GNU extension block past the file",
         Entry(gnuHeader("00000000000 00000001000 ", '\1')) + extension("00000010000 00000001000 ") + data},
    };
    unsigned tape = 0;
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.Case);
        CVolumePointer volume = MountAndScan({BetweenTwoMembers(c.Entry, ++tape)});
        auto records = Files(volume);
        ASSERT_EQ(records.size(), 3u);
        const auto& member = *std::find_if(
            records.begin(), records.end(),
            [](const auto& record) { return record.Path == "0/sparse.bin" || record.Path == "0/old.bin"; });
        EXPECT_EQ(member.Size, c.Size);
        Bytes restored;
        CStatus status = Restore(volume, member.Path, restored);
        EXPECT_EQ(status.GetInternalErrorCode(), 0xC000271Fu) << status.ToString();
        EXPECT_TRUE(restored.empty());
        status = RestoreRange(volume, member.Path, 100, 1000, restored);
        EXPECT_EQ(status.GetInternalErrorCode(), 0xC000271Fu) << status.ToString();
        EXPECT_TRUE(restored.empty());
        // A caller that takes the result early hears of the failure, not of a success before it.
        status = Restore(volume, member.Path, restored, 0, true);
        EXPECT_EQ(status.GetInternalErrorCode(), 0xC000271Fu) << status.ToString();
        EXPECT_FALSE(LastResult.ResultWasEarly());
    }
}
} // namespace
