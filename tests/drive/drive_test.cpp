#include "TapeBuilder.h"

#include "vnservice/CBlockBuffer.h"
#include "vnservice/CFragmentFile.h"
#include "vnservice/CVantrelFragmentImpl.h"
#include "vnservice/HostErrors.h"
#include "win/WinError.h"

#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace
{
struct Geometry
{
    std::uint32_t Block;
    bool PhysicalUnits; // positions in tape blocks instead of 512-byte units
};

class DriveGeometry : public ::testing::TestWithParam<Geometry>
{
protected:
    void SetUp() override
    {
        B = GetParam().Block;
        Path = BuildTape("geometry-" + std::to_string(B), {B, B, 0, B, 0});
        Medium = CSet<CMedium, 1>::pointer(new CTapeMedium("tape"));
        ASSERT_TRUE(TapeMedium()->Open(Path).IsSuccess());
        ASSERT_TRUE(TapeMedium()->ReportBlockSize().IsSuccess());
        if (GetParam().PhysicalUnits)
            TapeMedium()->SetPhysicalBlockSize(0);
        U = TapeMedium()->GetLogicalBlockSize();
    }
    void TearDown() override { std::filesystem::remove(Path); }
    CTapeMedium* TapeMedium() { return static_cast<CTapeMedium*>(Medium.get()); }
    // Position of tape block k in the medium's units.
    std::uint64_t At(std::uint64_t k) const { return k * B / U; }

    std::uint32_t B = 0, U = 0;
    std::string Path;
    CSet<CMedium, 1>::pointer Medium;
};

TEST_P(DriveGeometry, reads_marks_spacing_and_the_last_written_block_agree)
{
    EXPECT_EQ(Medium->ReportedBlockSize, B);
    EXPECT_EQ(Medium->BlockSizeKnown, 1);
    EXPECT_EQ(U, GetParam().PhysicalUnits ? B : 512u);

    std::vector<std::uint8_t> block(B, 0xEE);
    CBlockBuffer buffer(nullptr, U, B, B);
    ASSERT_TRUE(buffer.Append(block.data(), B, nullptr).IsSuccess());
    ASSERT_TRUE(TapeMedium()->ReadBlocks(buffer, At(1), 0, 0).IsSuccess());
    for (std::size_t i = 0; i < B; i += 97)
        ASSERT_EQ(block[i], PatternByte(1, i)) << i;

    // Two blocks from block 1 run into the mark: nothing is delivered.
    std::vector<std::uint8_t> two(2 * B, 0xEE);
    CBlockBuffer twoBuffer(nullptr, U, B, B);
    ASSERT_TRUE(twoBuffer.Append(two.data(), two.size(), nullptr).IsSuccess());
    CStatus met = TapeMedium()->ReadBlocks(twoBuffer, At(1), 0, 0);
    EXPECT_EQ(met.GetOSStatus(), ERROR_FILEMARK_DETECTED);
    EXPECT_EQ(std::count(two.begin(), two.end(), 0xEE), static_cast<long>(two.size()));

    ASSERT_TRUE(TapeMedium()->ReadMark(At(2)).IsSuccess());
    EXPECT_EQ(Medium->AtFileMark, 1);
    ASSERT_TRUE(TapeMedium()->ReadMark(At(3)).IsSuccess());
    EXPECT_EQ(Medium->AtFileMark, 0);

    std::uint64_t reached = 0;
    ASSERT_TRUE(TapeMedium()->SpaceMarks(0, 1, reached).IsSuccess());
    EXPECT_EQ(reached, At(3));
    ASSERT_TRUE(TapeMedium()->SpaceMarks(At(3), 1, reached).IsSuccess());
    EXPECT_EQ(reached, At(5));
    EXPECT_EQ(TapeMedium()->SpaceMarks(At(3), 2, reached).GetInternalErrorCode(), 0xC00007E2u);

    ASSERT_TRUE(TapeMedium()->FindLastWrittenBlock().IsSuccess());
    EXPECT_EQ(Medium->LastWrittenBlock, At(5));
    EXPECT_EQ(TapeMedium()->ReadBlocks(buffer, At(5), 0, 0).GetInternalErrorCode(), 0xC00007E2u);
    EXPECT_EQ(TapeMedium()->ReadMark(At(5)).GetInternalErrorCode(), 0xC00007E2u);
}

INSTANTIATE_TEST_SUITE_P(BlockSizes, DriveGeometry,
                         ::testing::Values(Geometry{512, false}, Geometry{10240, false},
                                           Geometry{65536, false}, Geometry{64, true},
                                           Geometry{10240, true}));

class Drive : public ::testing::Test
{
protected:
    CTapeMedium* Mount(const std::vector<std::uint32_t>& layout)
    {
        Path = BuildTape(::testing::UnitTest::GetInstance()->current_test_info()->name(), layout);
        Medium = CSet<CMedium, 1>::pointer(new CTapeMedium("tape"));
        auto* medium = static_cast<CTapeMedium*>(Medium.get());
        EXPECT_TRUE(medium->Open(Path).IsSuccess());
        EXPECT_TRUE(medium->ReportBlockSize().IsSuccess());
        return medium;
    }
    void TearDown() override
    {
        if (!Path.empty())
            std::filesystem::remove(Path);
    }
    std::string Path;
    CSet<CMedium, 1>::pointer Medium;
};

TEST_F(Drive, odd_length_records_read_back_exactly)
{
    auto* medium = Mount({513, 513, 0});
    medium->SetPhysicalBlockSize(0);
    std::vector<std::uint8_t> bytes(513 * 2);
    CBlockBuffer buffer(nullptr, 513, 513, 513);
    ASSERT_TRUE(buffer.Append(bytes.data(), bytes.size(), nullptr).IsSuccess());
    ASSERT_TRUE(medium->ReadBlocks(buffer, 0, 0, 0).IsSuccess());
    EXPECT_EQ(bytes[512], PatternByte(0, 512));
    EXPECT_EQ(bytes[513], PatternByte(1, 0));
    EXPECT_EQ(bytes[1025], PatternByte(1, 512));
}

TEST_F(Drive, a_long_read_over_many_odd_records_gets_every_byte_in_order)
{
    // Three mebibytes of 999-byte records with their pad bytes and framing, read in large pieces: two
    // extents, the first ending and the second starting inside a record.
    std::vector<std::uint32_t> layout(3200, 999);
    layout.push_back(0);
    auto* medium = Mount(layout);
    medium->SetPhysicalBlockSize(0);
    const std::uint64_t first = 5, split = 1500 * 999 + 17, length = 3000 * 999 + 5;
    auto out = std::filesystem::temp_directory_path() / ("reelfs-drive-long-" + std::to_string(::getpid()));
    CLocalFragmentFile file(nullptr);
    file.SetDestination(out.string());
    ASSERT_TRUE(file.Prepare(true, 0, 0).IsSuccess());
    ASSERT_TRUE(file.SetSize(length).IsSuccess());
    CBlockBuffer buffer(nullptr, 999, 999, 999);
    ASSERT_TRUE(buffer.Append(&file, nullptr).IsSuccess());
    ASSERT_TRUE(medium->ReadBlocks(buffer, first, 0, split).IsSuccess());
    ASSERT_TRUE(medium->ReadBlocks(buffer, first + 1600, split, length - split).IsSuccess());
    ASSERT_TRUE(file.Close().IsSuccess());
    std::ifstream in(out, std::ios::binary);
    std::vector<std::uint8_t> got((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::filesystem::remove(out);
    ASSERT_EQ(got.size(), length);
    for (std::uint64_t i = 0; i < length; ++i)
    {
        std::uint64_t at = i < split ? first * 999 + i : (first + 1600) * 999 + (i - split);
        ASSERT_EQ(got[i], PatternByte(at / 999, at % 999)) << i;
    }
}

TEST_F(Drive, short_reads_in_any_order_get_the_bytes_of_the_image_mounted_now)
{
    // Reads of a record and a half, scattered, backwards and forwards (the reads that bring records
    // along), on one image and then on another whose records lie elsewhere in the file (after a mark),
    // through the same medium. The last reads of the first image leave records brought along where the
    // first reads of the other one look.
    std::vector<std::uint32_t> layout(200, 999);
    layout.push_back(0);
    std::vector<std::uint32_t> shifted = layout;
    shifted.front() = 0;
    const std::string other = BuildTape("shifted", shifted);
    auto* medium = Mount(layout);
    // Every record but the first (a mark on the other image) and the last (a read runs on into the mark).
    const std::uint64_t last = layout.size() - 3;
    std::vector<std::uint64_t> order;
    for (std::uint64_t p = 1; p <= last; ++p)
        order.push_back(p * 37 % last + 1);
    for (std::uint64_t p = last; p >= 1; --p)
        order.push_back(p);
    for (std::uint64_t p = 1; p <= last; ++p)
        order.push_back(p);
    for (std::uint64_t p = 1; p <= 8; ++p)
        order.push_back(p);
    for (const std::string& image : {Path, other})
    {
        SCOPED_TRACE(image);
        ASSERT_TRUE(medium->Open(image).IsSuccess());
        ASSERT_TRUE(medium->ReportBlockSize().IsSuccess());
        medium->SetPhysicalBlockSize(0);
        for (std::uint64_t p : order)
        {
            std::vector<std::uint8_t> bytes(1500);
            CBlockBuffer buffer(nullptr, 999, 999, 999);
            ASSERT_TRUE(buffer.Append(bytes.data(), bytes.size(), nullptr).IsSuccess());
            ASSERT_TRUE(medium->ReadBlocks(buffer, p, 0, 0).IsSuccess());
            for (std::size_t i = 0; i < bytes.size(); ++i)
                ASSERT_EQ(bytes[i], i < 999 ? PatternByte(p, i) : PatternByte(p + 1, i - 999))
                    << p << " " << i;
        }
    }
    std::filesystem::remove(other);
}

TEST_F(Drive, a_short_record_gives_what_it_holds_and_refuses_more)
{
    auto* medium = Mount({1024, 700, 0});
    std::vector<std::uint8_t> head(512);
    CBlockBuffer buffer(nullptr, 512, 1024, 1024);
    ASSERT_TRUE(buffer.Append(head.data(), head.size(), nullptr).IsSuccess());
    ASSERT_TRUE(medium->ReadBlocks(buffer, 2, 0, 0).IsSuccess());
    EXPECT_EQ(head[511], PatternByte(1, 511));
    std::vector<std::uint8_t> whole(1024);
    CBlockBuffer wholeBuffer(nullptr, 512, 1024, 1024);
    ASSERT_TRUE(wholeBuffer.Append(whole.data(), whole.size(), nullptr).IsSuccess());
    EXPECT_EQ(medium->ReadBlocks(wholeBuffer, 2, 0, 0).GetOSStatus(), ERROR_INVALID_BLOCK_LENGTH);
}

TEST_F(Drive, memory_segments_each_start_on_a_unit_boundary)
{
    auto* medium = Mount({2048, 0});
    std::vector<std::uint8_t> records(700), header(512);
    CBlockBuffer buffer(nullptr, 512, 2048, 2048);
    ASSERT_TRUE(buffer.Append(records.data(), records.size(), nullptr).IsSuccess());
    ASSERT_TRUE(buffer.Append(header.data(), header.size(), nullptr).IsSuccess());
    EXPECT_EQ(buffer.GetByteCount(), 1536u);
    ASSERT_TRUE(medium->ReadBlocks(buffer, 0, 0, 0).IsSuccess());
    EXPECT_EQ(records[699], PatternByte(0, 699));
    EXPECT_EQ(header[0], PatternByte(0, 1024));
    EXPECT_EQ(header[511], PatternByte(0, 1535));
}

TEST_F(Drive, a_blank_tape_reports_no_block_size_and_reads_as_blank)
{
    auto* medium = Mount({0});
    EXPECT_EQ(medium->BlockSizeKnown, 0);
    std::uint8_t byte = 0;
    CBlockBuffer buffer(nullptr, 512, 0, 0);
    ASSERT_TRUE(buffer.Append(&byte, 1, nullptr).IsSuccess());
    EXPECT_EQ(medium->ReadBlocks(buffer, 0, 0, 0).GetInternalErrorCode(), 0xC0001798u);
}

TEST_F(Drive, a_restore_streams_into_the_destination_piece_by_piece)
{
    auto* medium = Mount({1024, 1024, 1024, 0});
    auto out =
        std::filesystem::temp_directory_path() / ("reelfs-drive-restore-" + std::to_string(::getpid()));
    CLocalFragmentFile file(nullptr);
    file.SetDestination(out.string());
    ASSERT_TRUE(file.Prepare(true, 0, 0).IsSuccess());
    ASSERT_TRUE(file.SetSize(2500).IsSuccess());
    CBlockBuffer buffer(nullptr, 512, 1024, 1024);
    ASSERT_TRUE(buffer.Append(&file, nullptr).IsSuccess());
    EXPECT_EQ(buffer.GetFragmentFile(), &file);
    // Two extents: 1500 bytes from the start, then 1000 bytes written after them.
    ASSERT_TRUE(medium->ReadBlocks(buffer, 0, 0, 1500).IsSuccess());
    ASSERT_TRUE(medium->ReadBlocks(buffer, 3, 1500, 1000).IsSuccess());
    ASSERT_TRUE(file.Close().IsSuccess());
    std::ifstream in(out, std::ios::binary);
    std::vector<std::uint8_t> got((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::filesystem::remove(out);
    ASSERT_EQ(got.size(), 2500u);
    EXPECT_EQ(got[0], PatternByte(0, 0));
    EXPECT_EQ(got[1499], PatternByte(1, 475));
    EXPECT_EQ(got[1500], PatternByte(1, 512));
    EXPECT_EQ(got[2499], PatternByte(2, 487));
}

TEST_F(Drive, a_restore_to_a_handed_descriptor_continues_where_it_stands)
{
    // Standard output sent to a file that already holds text: the restored bytes follow that text.
    auto* medium = Mount({1024, 0});
    auto out = std::filesystem::temp_directory_path() / ("reelfs-drive-stdout-" + std::to_string(::getpid()));
    int descriptor = ::open(out.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
    ASSERT_EQ(::write(descriptor, "head\n", 5), 5);
    CLocalFragmentFile file(nullptr);
    file.SetDestinationDescriptor(descriptor);
    ASSERT_TRUE(file.Prepare(true, 0, 0).IsSuccess());
    ASSERT_TRUE(file.SetSize(100).IsSuccess());
    CBlockBuffer buffer(nullptr, 512, 1024, 1024);
    ASSERT_TRUE(buffer.Append(&file, nullptr).IsSuccess());
    ASSERT_TRUE(medium->ReadBlocks(buffer, 0, 0, 100).IsSuccess());
    ::close(descriptor);
    std::ifstream in(out, std::ios::binary);
    std::vector<std::uint8_t> got((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::filesystem::remove(out);
    ASSERT_EQ(got.size(), 105u);
    EXPECT_EQ(std::string(got.begin(), got.begin() + 5), "head\n");
    EXPECT_EQ(got[5], PatternByte(0, 0));
    EXPECT_EQ(got[104], PatternByte(0, 99));
}

TEST_F(Drive, a_fragment_stream_gets_its_bytes_from_inside_the_first_unit)
{
    auto* medium = Mount({1024, 1024, 0});
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    CVantrelFragmentImpl fragment;
    fragment.Stream.Descriptor = pipeEnds[1];
    fragment.Stream.Offset = 700; // of the file; the read starts at the unit that holds it
    fragment.Stream.Length = 600;
    CBlockBuffer buffer(nullptr, 512, 1024, 1024);
    ASSERT_TRUE(buffer.Append(&fragment.Stream).IsSuccess());
    ASSERT_TRUE(medium->ReadBlocks(buffer, 700 / 512, 0, 0).IsSuccess());
    ::close(pipeEnds[1]);
    std::vector<std::uint8_t> got(1000);
    ssize_t n = ::read(pipeEnds[0], got.data(), got.size());
    ::close(pipeEnds[0]);
    ASSERT_EQ(n, 600);
    EXPECT_EQ(got[0], PatternByte(0, 700));
    EXPECT_EQ(got[323], PatternByte(0, 1023));
    EXPECT_EQ(got[324], PatternByte(1, 0));
}

constexpr std::uint32_t ErrorNoData = 0xC00007E2;

// Reads `size` bytes into memory from `position` in units of `unit` bytes; the status, and the bytes only
// when it succeeded.
CStatus ReadAt(CTapeMedium& medium, std::uint32_t unit, std::uint64_t position, std::size_t size,
               std::vector<std::uint8_t>& bytes)
{
    bytes.assign(size, 0xEE);
    CBlockBuffer buffer(nullptr, unit, unit, unit);
    EXPECT_TRUE(buffer.Append(bytes.data(), bytes.size(), nullptr).IsSuccess());
    return medium.ReadBlocks(buffer, position, 0, 0);
}

TEST_F(Drive, two_marks_end_the_data_and_what_follows_reads_as_no_data)
{
    // Two files, the second closed by two marks, then a record and a mark that tape tools never read.
    auto* medium = Mount({512, 0, 512, 512, 0, 0, 512, 0});
    medium->SetPhysicalBlockSize(0);
    ASSERT_TRUE(medium->FindLastWrittenBlock().IsSuccess());
    EXPECT_EQ(Medium->LastWrittenBlock, 5u);
    EXPECT_TRUE(medium->CheckWhole().IsSuccess());

    std::vector<std::uint8_t> bytes;
    ASSERT_TRUE(ReadAt(*medium, 512, 3, 512, bytes).IsSuccess());
    EXPECT_EQ(bytes[1], PatternByte(3, 1));
    std::uint64_t reached = 0;
    ASSERT_TRUE(medium->SpaceMarks(2, 1, reached).IsSuccess());
    EXPECT_EQ(reached, 5u);
    EXPECT_EQ(medium->SpaceMarks(5, 1, reached).GetInternalErrorCode(), ErrorNoData);
    EXPECT_EQ(medium->ReadMark(5).GetInternalErrorCode(), ErrorNoData);
    for (std::uint64_t beyond : {5u, 6u})
        EXPECT_EQ(ReadAt(*medium, 512, beyond, 512, bytes).GetInternalErrorCode(), ErrorNoData) << beyond;
}

TEST_F(Drive, reads_past_the_end_of_an_image_cut_short_say_where_it_was_cut)
{
    // Three whole records, then the fourth cut inside its data.
    auto* medium = Mount({1024, 1024, 1024, 1024, 0});
    std::filesystem::resize_file(Path, 3 * 1032 + 600);
    ASSERT_TRUE(medium->Open(Path).IsSuccess());
    ASSERT_TRUE(medium->ReportBlockSize().IsSuccess());
    medium->SetPhysicalBlockSize(0);
    ASSERT_TRUE(medium->FindLastWrittenBlock().IsSuccess());
    EXPECT_EQ(Medium->LastWrittenBlock, 3u);

    const CStatus cut = medium->CheckWhole();
    EXPECT_EQ(cut.GetInternalErrorCode(), HostErrorTapeCutShort);
    EXPECT_EQ(cut.ToString(),
              "0xC0000D10: the tape in " + Path +
                  " ends early: its 3 whole blocks and marks end at byte 3096, and the record "
                  "of 1024 bytes at byte 3096 runs past the end of the image at byte 3696");
    std::vector<std::uint8_t> bytes;
    ASSERT_TRUE(ReadAt(*medium, 1024, 2, 1024, bytes).IsSuccess());
    EXPECT_EQ(bytes[1023], PatternByte(2, 1023));
    // A read that runs into the cut delivers nothing; so does one beyond it.
    for (std::uint64_t position : {2u, 3u, 7u})
    {
        CStatus status = ReadAt(*medium, 1024, position, 2048, bytes);
        EXPECT_EQ(status.ToString(), cut.ToString()) << position;
        EXPECT_EQ(std::count(bytes.begin(), bytes.end(), 0xEE), 2048) << position;
    }
    std::uint64_t reached = 0;
    EXPECT_EQ(medium->SpaceMarks(0, 1, reached).GetInternalErrorCode(), HostErrorTapeCutShort);
    EXPECT_EQ(medium->ReadMark(3).GetInternalErrorCode(), HostErrorTapeCutShort);
}

TEST_F(Drive, records_longer_than_a_batch_read_back_exactly_from_any_offset)
{
    // Records of three mebibytes and a block: two read whole, and a part of two from inside the first.
    constexpr std::uint32_t Big = (3 << 20) + 512;
    auto* medium = Mount({Big, Big, Big, 0});
    const struct
    {
        std::uint64_t Start;
        std::size_t Size;
    } reads[] = {{Big, 2 * std::size_t{Big}}, {(1 << 20) + 12288, Big + 777}};
    for (const auto& read : reads)
    {
        std::vector<std::uint8_t> bytes;
        ASSERT_TRUE(ReadAt(*medium, 512, read.Start / 512, read.Size, bytes).IsSuccess());
        for (std::size_t i = 0; i < bytes.size(); ++i)
            ASSERT_EQ(bytes[i], PatternByte((read.Start + i) / Big, (read.Start + i) % Big))
                << read.Start << "+" << i;
    }
}

TEST_F(Drive, a_tape_of_blocks_longer_than_a_drive_reads_is_refused)
{
    // One record just past the limit, in a sparse image: refused before any read allocates its size.
    const std::uint32_t length = CTapeMedium::LargestBlock + 2;
    Path = (std::filesystem::temp_directory_path() / ("reelfs-drive-long-" + std::to_string(::getpid())))
               .string();
    {
        std::ofstream out(Path, std::ios::binary);
        const char word[4] = {static_cast<char>(length), static_cast<char>(length >> 8),
                              static_cast<char>(length >> 16), static_cast<char>(length >> 24)};
        out.write(word, 4);
        out.seekp(4 + length);
        out.write(word, 4);
        out.write("\0\0\0\0", 4);
    }
    CTapeMedium medium("tape");
    CStatus status = medium.Open(Path);
    EXPECT_EQ(status.ToString(), "0xC0000D05: tape image " + Path +
                                     ": holds blocks of 16777218 bytes, longer "
                                     "than the 16777216 a drive reads");
}
} // namespace
