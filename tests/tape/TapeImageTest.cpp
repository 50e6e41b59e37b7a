#include "ChildProcess.h"
#include "ShrinkingImage.h"

#include "vnservice/CDatabase.h"
#include "vnservice/CTapeImage.h"
#include "vnservice/CTapeImageWriter.h"
#include "vnservice/CTapeIndexCache.h"
#include "vnservice/HostErrors.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace
{
namespace fs = std::filesystem;

// A fresh folder for the test's images, removed afterwards.
class TapeImageTest : public ::testing::Test
{
protected:
    TapeImageTest()
    {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/tape-image-XXXXXX";
        Dir = ::mkdtemp(pattern.data());
    }
    ~TapeImageTest() override { fs::remove_all(Dir); }

    std::string PathOf(const std::string& name) const { return (Dir / name).string(); }

    std::string WriteFile(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(PathOf(name), std::ios::binary) << bytes;
        return PathOf(name);
    }

    fs::path Dir;
};

// Image bytes put together word by word, so that the reader is checked against the format itself rather
// than against the writer.
struct RawImage
{
    std::string Bytes;

    RawImage& Word(std::uint32_t word)
    {
        for (int i = 0; i < 4; ++i)
            Bytes += static_cast<char>(word >> (8 * i));
        return *this;
    }
    RawImage& Data(std::size_t size)
    {
        for (std::size_t i = 0; i < size; ++i)
            Bytes += static_cast<char>('a' + i % 26);
        return *this;
    }
    RawImage& Record(std::uint32_t size) { return Word(size).Data(size + (size & 1)).Word(size); }
    RawImage& Mark() { return Word(0); }
};

// The bytes of record `entry`, different for every entry and every position.
std::vector<unsigned char> Pattern(std::size_t entry, std::uint32_t size)
{
    std::vector<unsigned char> bytes(size);
    for (std::uint32_t i = 0; i < size; ++i)
        bytes[i] = static_cast<unsigned char>(entry * 31 + i * 7 + (i >> 8));
    return bytes;
}

std::vector<unsigned char> ReadAll(const CTapeImage& image, std::size_t entry)
{
    std::vector<unsigned char> bytes(image.GetEntryLength(entry));
    EXPECT_TRUE(image.Read(entry, 0, bytes.data(), bytes.size()).IsSuccess());
    return bytes;
}

std::string MessageOf(const CStatus& status)
{
    return status.GetParameters().size() == 2 ? status.GetParameters()[1] : status.ToString();
}

constexpr std::uint32_t M = 0; // a mark, in the entry lists below

// The state of the image file that its kept index goes by.
CTapeIndexCache::CFileState StateOf(const std::string& path)
{
    struct stat info
    {
    };
    EXPECT_EQ(::stat(path.c_str(), &info), 0);
    return {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino),
            static_cast<std::uint64_t>(info.st_size), info.st_mtim.tv_sec * 1000000000 + info.st_mtim.tv_nsec,
            info.st_ctim.tv_sec * 1000000000 + info.st_ctim.tv_nsec};
}

// Writes the entries (record lengths, M for a mark) with the writer; returns the offsets where each
// entry's data lies by the format's layout.
std::vector<std::uint64_t> WriteEntries(const std::string& path, const std::vector<std::uint32_t>& entries)
{
    CTapeImageWriter writer;
    EXPECT_TRUE(writer.Begin(path).IsSuccess());
    std::vector<std::uint64_t> offsets;
    std::uint64_t at = 0;
    for (std::size_t i = 0; i < entries.size(); ++i)
    {
        if (entries[i] == M)
        {
            offsets.push_back(at);
            at += 4;
            EXPECT_TRUE(writer.WriteMark().IsSuccess());
            continue;
        }
        offsets.push_back(at + 4);
        at += 8 + entries[i] + (entries[i] & 1);
        auto bytes = Pattern(i, entries[i]);
        EXPECT_TRUE(writer.WriteRecord(bytes.data(), entries[i]).IsSuccess());
    }
    EXPECT_EQ(writer.GetSize(), at);
    EXPECT_TRUE(writer.Finish().IsSuccess());
    return offsets;
}

TEST_F(TapeImageTest, written_records_and_marks_read_back_exactly)
{
    const std::vector<std::uint32_t> entries = {1, 2, 3, M, 80, 10240, 10241, M, 65535, 7, M};
    auto path = PathOf("round.tap");
    auto offsets = WriteEntries(path, entries);
    // Nothing follows the last mark: the end of the file is the end of the medium.
    EXPECT_EQ(fs::file_size(path), offsets.back() + 4);

    CTapeImage image;
    ASSERT_TRUE(image.Open(path).IsSuccess());
    ASSERT_EQ(image.GetEntryCount(), entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i)
    {
        SCOPED_TRACE(i);
        EXPECT_EQ(image.GetEntryKind(i),
                  entries[i] == M ? CTapeImage::EntryKind::Mark : CTapeImage::EntryKind::Record);
        EXPECT_EQ(image.GetEntryLength(i), entries[i]);
        EXPECT_EQ(image.GetEntryOffset(i), offsets[i]);
        if (entries[i] != M)
        {
            EXPECT_EQ(ReadAll(image, i), Pattern(i, entries[i]));
        }
    }
    EXPECT_FALSE(image.IsCutShort());
    // A piece from the middle of a record, starting and ending on odd offsets.
    unsigned char piece[5];
    ASSERT_TRUE(image.Read(6, 10233, piece, sizeof piece).IsSuccess());
    auto whole = Pattern(6, 10241);
    EXPECT_TRUE(std::equal(piece, piece + 5, whole.begin() + 10233));
    EXPECT_FALSE(image.HasNoRecords());
}

TEST_F(TapeImageTest, offsets_hold_across_thousands_of_entries)
{
    // Lengths that vary in size and parity, with marks between, so that every position within a stretch of
    // the index is met with every kind of entry before it.
    std::vector<std::uint32_t> entries;
    for (std::uint32_t i = 0; i < 3000; ++i)
        entries.push_back(i % 7 == 3 ? M : 1 + (i * 2654435761u) % 700);
    auto path = PathOf("many.tap");
    auto offsets = WriteEntries(path, entries);

    CTapeImage image;
    ASSERT_TRUE(image.Open(path).IsSuccess());
    ASSERT_EQ(image.GetEntryCount(), entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i)
    {
        ASSERT_EQ(image.GetEntryOffset(i), offsets[i]) << "entry " << i;
        if (entries[i] != M)
        {
            ASSERT_EQ(ReadAll(image, i), Pattern(i, entries[i])) << "entry " << i;
        }
    }
}

TEST_F(TapeImageTest, records_near_the_largest_length_index_beyond_four_gigabytes)
{
    // Three records of 2^31-1 bytes, written sparsely: the image claims over 6 GiB, and indexing it reads
    // only the length words.
    constexpr std::uint32_t Largest = 0x7FFFFFFF;
    auto path = PathOf("large.tap");
    {
        std::fstream out(path, std::ios::binary | std::ios::out | std::ios::trunc);
        std::uint64_t at = 0;
        for (int i = 0; i < 3; ++i)
        {
            RawImage word;
            word.Word(Largest);
            out.seekp(static_cast<std::streamoff>(at));
            out << word.Bytes;
            out.seekp(static_cast<std::streamoff>(at + 4 + Largest - 1));
            out << static_cast<char>('A' + i) << '\0' << word.Bytes;
            at += 8 + std::uint64_t(Largest) + 1;
        }
        out << RawImage().Mark().Bytes;
    }

    CTapeImage image;
    auto status = image.Open(path);
    ASSERT_TRUE(status.IsSuccess()) << status.ToString();
    ASSERT_EQ(image.GetEntryCount(), 4u);
    EXPECT_EQ(image.GetEntryLength(2), Largest);
    EXPECT_EQ(image.GetEntryOffset(2), 2 * (8 + std::uint64_t(Largest) + 1) + 4);
    EXPECT_EQ(image.GetEntryOffset(3), 3 * (8 + std::uint64_t(Largest) + 1));
    EXPECT_EQ(image.GetNaturalBlockSize(), Largest);
    char last = 0;
    ASSERT_TRUE(image.Read(2, Largest - 1, &last, 1).IsSuccess());
    EXPECT_EQ(last, 'C');
}

struct CorruptCase
{
    const char* Name;
    std::string Bytes;
    const char* Message;
};

TEST_F(TapeImageTest, corrupt_images_and_images_without_a_whole_entry_are_refused_naming_the_offset)
{
    const CorruptCase cases[] = {
        {"partial_word_alone", "\x05", "only 1 of the 4 bytes of a length word at byte 0"},
        {"bad_record_flag", RawImage().Mark().Word(0x80000010).Data(16).Word(0x80000010).Bytes,
         "the record at byte 4 is marked bad (length word 0x80000010)"},
        {"lengths_disagree", RawImage().Record(8).Word(4).Data(4).Word(5).Bytes,
         "the record at byte 16 has leading length 4 but trailing length 5 at byte 24"},
        {"trailing_length_missing", RawImage().Word(10).Data(10).Bytes,
         "the record of 10 bytes at byte 0 is cut short: its trailing length at byte 14 is missing"},
        {"trailing_length_partial", RawImage().Word(10).Data(10).Bytes + "\x0a\x00",
         "the record of 10 bytes at byte 0 is cut short: its trailing length at byte 14 is missing"},
        {"length_past_end", RawImage().Word(100).Data(10).Bytes,
         "the record of 100 bytes at byte 0 runs past the end of the image at byte 14"},
        {"largest_length_past_end", RawImage().Word(0x7FFFFFFF).Data(16).Word(0x7FFFFFFF).Bytes,
         "the record of 2147483647 bytes at byte 0 runs past the end of the image at byte 24"},
        {"plain_text", "plain text, not a tape image",
         "the record of 1767992432 bytes at byte 0 runs past the end of the image at byte 28"},
    };
    auto good = PathOf("good.tap");
    WriteEntries(good, {512, M});
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.Name);
        auto path = WriteFile(std::string(c.Name) + ".tap", c.Bytes);
        CTapeImage image;
        ASSERT_TRUE(image.Open(good).IsSuccess());
        auto status = image.Open(path);
        ASSERT_TRUE(status.Failed());
        EXPECT_EQ(status.GetInternalErrorCode(), HostErrorTapeImage);
        EXPECT_EQ(status.GetParameters().at(0), path);
        EXPECT_EQ(MessageOf(status), c.Message);
        // Nothing of the earlier image, nor of the part indexed before the fault, stays.
        EXPECT_EQ(image.GetEntryCount(), 0u);
        EXPECT_FALSE(image.IsCutShort());
    }
}

TEST_F(TapeImageTest, an_image_cut_short_opens_up_to_its_last_whole_entry_and_says_where)
{
    const struct
    {
        const char* Name;
        std::string Bytes;
        std::vector<std::uint32_t> Entries;
        const char* Cut;
    } cases[] = {
        {"partial_word_after_record",
         RawImage().Record(3).Mark().Bytes + "\x01\x02",
         {3, M},
         "only 2 of the 4 bytes of a length word at byte 16"},
        {"odd_record_without_pad",
         RawImage().Mark().Word(3).Data(3).Word(3).Bytes,
         {M},
         "the record of 3 bytes at byte 4 is cut short: its trailing length at byte 12 is missing"},
        {"inside_a_record",
         RawImage().Record(6).Record(6).Mark().Word(100).Data(10).Bytes,
         {6, 6, M},
         "the record of 100 bytes at byte 32 runs past the end of the image at byte 46"},
        {"inside_a_trailing_length",
         RawImage().Record(6).Word(6).Data(6).Bytes + "\x06",
         {6},
         "the record of 6 bytes at byte 14 is cut short: its trailing length at byte 24 is missing"},
        {"after_a_record_no_mark_closes",
         RawImage().Record(6).Mark().Record(6).Record(5).Bytes,
         {6, M, 6, 5},
         "no file mark closes the last record, which ends at byte 46"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.Name);
        const std::string path = WriteFile(std::string(c.Name) + ".tap", c.Bytes);
        CTapeImage image;
        auto status = image.Open(path);
        ASSERT_TRUE(status.IsSuccess()) << status.ToString();
        EXPECT_TRUE(image.IsCutShort());
        EXPECT_EQ(image.GetCutShortText(), c.Cut);
        ASSERT_EQ(image.GetEntryCount(), c.Entries.size());
        std::uint64_t end = 0;
        for (std::size_t i = 0; i < c.Entries.size(); ++i)
        {
            EXPECT_EQ(image.GetEntryLength(i), c.Entries[i]);
            end += c.Entries[i] == M ? 4 : 8 + c.Entries[i] + (c.Entries[i] & 1);
        }
        EXPECT_EQ(image.GetDataEnd(), end);
        // The last whole record reads back.
        auto last =
            std::find_if(c.Entries.rbegin(), c.Entries.rend(), [](std::uint32_t e) { return e != M; });
        if (last != c.Entries.rend())
        {
            const std::string data = RawImage().Data(*last).Bytes;
            EXPECT_EQ(ReadAll(image, static_cast<std::size_t>(c.Entries.rend() - last - 1)),
                      std::vector<unsigned char>(data.begin(), data.end()));
        }
    }
}

TEST_F(TapeImageTest, files_that_are_no_image_are_refused)
{
    struct
    {
        std::string Path;
        const char* Message;
    } cases[] = {
        {PathOf("missing.tap"), "cannot be opened: No such file or directory"},
        {Dir.string(), "is not a regular file"},
    };
    for (const auto& c : cases)
    {
        CTapeImage image;
        auto status = image.Open(c.Path);
        ASSERT_TRUE(status.Failed());
        EXPECT_EQ(status.ToString(), "0xC0000D05: tape image " + c.Path + ": " + std::string(c.Message));
    }
}

TEST_F(TapeImageTest, recorded_data_end_at_the_end_of_medium_marker_or_at_two_marks)
{
    const std::string garbage = "\x07\x00\x00\x00xyz\x01\x02";
    const struct
    {
        const char* Name;
        std::string Bytes;
        std::vector<std::uint32_t> Entries;
    } cases[] = {
        {"empty_file", "", {}},
        {"marker_first", RawImage().Word(0xFFFFFFFF).Bytes + garbage, {}},
        {"marker_after_entries", RawImage().Record(5).Mark().Word(0xFFFFFFFF).Bytes + garbage, {5, M}},
        {"marker_after_a_record", RawImage().Record(5).Word(0xFFFFFFFF).Bytes, {5}},
        {"single_mark_at_the_end", RawImage().Record(5).Mark().Record(7).Mark().Bytes, {5, M, 7, M}},
        {"two_marks_at_the_end", RawImage().Record(5).Mark().Mark().Bytes, {5, M}},
        {"two_marks_then_the_marker", RawImage().Record(5).Mark().Mark().Word(0xFFFFFFFF).Bytes, {5, M}},
        {"two_marks_then_more_records",
         RawImage().Record(5).Mark().Mark().Record(9).Mark().Bytes + garbage,
         {5, M}},
        {"marks_only", RawImage().Mark().Mark().Mark().Word(0xFFFFFFFF).Bytes, {M}},
        // A sparse image of zeros reads as a tape of marks: its data end at the second.
        {"zeros", std::string(1 << 16, '\0'), {M}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.Name);
        CTapeImage image;
        auto status = image.Open(WriteFile(std::string(c.Name) + ".tap", c.Bytes));
        ASSERT_TRUE(status.IsSuccess()) << status.ToString();
        EXPECT_FALSE(image.IsCutShort()) << image.GetCutShortText();
        ASSERT_EQ(image.GetEntryCount(), c.Entries.size());
        for (std::size_t i = 0; i < c.Entries.size(); ++i)
            EXPECT_EQ(image.GetEntryLength(i), c.Entries[i]);
        EXPECT_EQ(image.HasNoRecords(),
                  std::count(c.Entries.begin(), c.Entries.end(), M) == std::ptrdiff_t(c.Entries.size()));
    }
}

TEST_F(TapeImageTest, a_kept_index_serves_the_same_image_and_a_changed_image_is_indexed_again)
{
    CDatabase database;
    ASSERT_TRUE(database.Open(PathOf("host.db")).IsSuccess());
    CTapeIndexCache cache(database);
    ASSERT_TRUE(cache.Prepare().IsSuccess());
    // Odd records, marks, more entries than one checkpoint stride, a less common length, and the end of
    // the medium before trailing bytes.
    std::vector<std::uint32_t> entries;
    for (int i = 0; i < 100; ++i)
        entries.push_back(i % 9 == 8 ? M : (i % 5 == 0 ? 333 : 1024));
    const std::string path = PathOf("kept.tap");
    const auto offsets = WriteEntries(path, entries);
    {
        std::ofstream(path, std::ios::binary | std::ios::app) << RawImage().Word(0xFFFFFFFF).Bytes << "junk";
    }
    CTapeImage fresh, kept;
    ASSERT_TRUE(fresh.Open(path, &cache).IsSuccess());
    std::vector<std::uint32_t> stored;
    ASSERT_TRUE(cache.Load(path, StateOf(path), stored));
    EXPECT_EQ(stored, entries);
    ASSERT_TRUE(kept.Open(path, &cache).IsSuccess());
    ASSERT_EQ(kept.GetEntryCount(), entries.size());
    EXPECT_EQ(kept.GetNaturalBlockSize(), fresh.GetNaturalBlockSize());
    EXPECT_EQ(kept.GetDataEnd(), fresh.GetDataEnd());
    for (std::size_t i = 0; i < entries.size(); ++i)
    {
        ASSERT_EQ(kept.GetEntryLength(i), entries[i]) << i;
        ASSERT_EQ(kept.GetEntryOffset(i), offsets[i]) << i;
        if (entries[i] != M)
        {
            ASSERT_EQ(ReadAll(kept, i), Pattern(i, entries[i])) << i;
        }
    }

    // Cut short after its index was kept: the image is indexed again up to the cut, and the index kept
    // for it says so again.
    fs::resize_file(path, offsets[50] + 100);
    for (int mount = 0; mount < 2; ++mount)
    {
        CTapeImage cut;
        CStatus status = cut.Open(path, &cache);
        ASSERT_TRUE(status.IsSuccess()) << status.ToString();
        EXPECT_EQ(cut.GetEntryCount(), 50u);
        EXPECT_EQ(cut.GetCutShortText(),
                  "the record of 333 bytes at byte " + std::to_string(offsets[50] - 4) +
                      " runs past the end of the image at byte " + std::to_string(offsets[50] + 100));
    }
}

TEST_F(TapeImageTest, an_image_rewritten_in_place_with_its_size_and_time_set_back_is_indexed_again)
{
    // As cp -p or rsync -t of another tape of the same size onto the image leaves it.
    CDatabase database;
    ASSERT_TRUE(database.Open(PathOf("host.db")).IsSuccess());
    CTapeIndexCache cache(database);
    ASSERT_TRUE(cache.Prepare().IsSuccess());
    const std::string path = PathOf("rewritten.tap");
    WriteEntries(path, {1024, M});
    const struct timespec times[2] = {{1704067200, 0}, {1704067200, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    std::string before;
    {
        CTapeImage first;
        ASSERT_TRUE(first.Open(path, &cache).IsSuccess());
        ASSERT_TRUE(first.GetContentDigest(before).IsSuccess());
    }
    const std::uint64_t size = fs::file_size(path);
    {
        // Written through the same file, so that device and inode stay too.
        const std::string bytes = RawImage().Record(508).Record(508).Mark().Bytes;
        ASSERT_EQ(bytes.size(), size);
        std::ofstream(path, std::ios::binary | std::ios::in) << bytes;
    }
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    CTapeImage again;
    ASSERT_TRUE(again.Open(path, &cache).IsSuccess());
    ASSERT_EQ(again.GetEntryCount(), 3u);
    EXPECT_EQ(again.GetEntryLength(0), 508u);
    EXPECT_EQ(again.GetEntryLength(1), 508u);
    // The digest kept for the image before is not taken for it either; the one now kept is.
    std::string after, kept;
    ASSERT_TRUE(again.GetContentDigest(after).IsSuccess());
    EXPECT_NE(after, before);
    EXPECT_TRUE(cache.LoadDigest(path, StateOf(path), kept));
    EXPECT_EQ(kept, after);
}

TEST_F(TapeImageTest, an_index_kept_under_other_rules_is_not_taken)
{
    // An index that runs on past two marks, as indexes were once kept, or that no image could give.
    CDatabase database;
    ASSERT_TRUE(database.Open(PathOf("host.db")).IsSuccess());
    CTapeIndexCache cache(database);
    ASSERT_TRUE(cache.Prepare().IsSuccess());
    const std::string path = PathOf("rules.tap");
    WriteEntries(path, {512, M, M, 512, M});
    const CTapeIndexCache::CFileState state = StateOf(path);
    for (const std::vector<std::uint32_t>& kept :
         {std::vector<std::uint32_t>{512, M, M, 512, M}, std::vector<std::uint32_t>{0x80000200u, M}})
    {
        cache.Save(path, state, kept);
        CTapeImage image;
        ASSERT_TRUE(image.Open(path, &cache).IsSuccess());
        ASSERT_EQ(image.GetEntryCount(), 2u);
        EXPECT_EQ(image.GetEntryLength(0), 512u);
    }
}

TEST_F(TapeImageTest, an_image_that_shrinks_while_it_is_indexed_fails_clearly_and_raises_no_signal)
{
    // In a child process, so that a signal ends the child and not the test.
    const std::string path = PathOf("shrinking.tap");
    const int status = RunInChild(
        [&]
        {
            CShrinkingImage shrinking(path);
            int unclear = 0;
            for (auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(700);
                 std::chrono::steady_clock::now() < until;)
            {
                CTapeImage image;
                CStatus opened = image.Open(path);
                if (opened.Failed() && opened.GetInternalErrorCode() != HostErrorTapeImage)
                    ++unclear;
            }
            return unclear == 0 ? 0 : 1;
        });
    ASSERT_TRUE(WIFEXITED(status)) << "the child ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(TapeImageTest, an_index_that_finds_no_memory_is_refused_clearly)
{
    if (!AddressSpaceLimitsHold)
        GTEST_SKIP() << "the address space cannot be limited in this build";
    // Records of one byte between marks take 4 bytes of index for 7 of image: 64 MiB of them want more
    // than the few megabytes the child is left.
    RawImage pair;
    pair.Record(1).Mark();
    std::string bytes;
    for (std::size_t i = 0; i < (64u << 20) / pair.Bytes.size(); ++i)
        bytes += pair.Bytes;
    const std::string path = WriteFile("dense.tap", bytes);
    bytes.clear();
    bytes.shrink_to_fit();
    const int status = RunInChild(
        [&]
        {
            CTapeImage image;
            CStatus opened = image.Open(path);
            return opened.GetInternalErrorCode() == HostErrorTapeImage &&
                           MessageOf(opened).starts_with(
                               "cannot be indexed: there is no memory for the index of its ")
                       ? 0
                       : 1;
        },
        AddressSpaceInUse() + (24 << 20));
    ASSERT_TRUE(WIFEXITED(status)) << "the child ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(TapeImageTest, natural_block_size_is_the_most_common_length)
{
    const struct
    {
        std::vector<std::uint32_t> Entries;
        std::uint32_t BlockSize;
    } cases[] = {
        {{10240, 10240, 10240, 100, M}, 10240},
        {{80, 80, M, 10240, 10240, 10240, M, 80, 80}, 80},
        {{512, 80, M, 80, 512}, 512}, // equally common: the first one seen
        {{M, M}, 0},
    };
    for (const auto& c : cases)
    {
        auto path = PathOf("block.tap");
        WriteEntries(path, c.Entries);
        CTapeImage image;
        ASSERT_TRUE(image.Open(path).IsSuccess());
        EXPECT_EQ(image.GetNaturalBlockSize(), c.BlockSize);
    }
}

TEST_F(TapeImageTest, reads_outside_a_record_are_refused)
{
    auto path = PathOf("reads.tap");
    WriteEntries(path, {100, M});
    CTapeImage image;
    ASSERT_TRUE(image.Open(path).IsSuccess());
    const struct
    {
        std::size_t Entry;
        std::uint32_t Offset;
        std::size_t Size;
        const char* Message;
    } cases[] = {
        {2, 0, 1, "there is no entry 2; the image holds 2"},
        {1, 0, 0, "entry 1 is a file mark, not a record"},
        {0, 99, 2, "bytes 99 to 101 are not inside the 100 bytes of record 0"},
        {0, 101, 0, "bytes 101 to 101 are not inside the 100 bytes of record 0"},
        {0, 0xFFFFFFFF, 2, "bytes 4294967295 to 4294967297 are not inside the 100 bytes of record 0"},
    };
    char buffer[4] = {'-', '-', '-', '-'};
    for (const auto& c : cases)
    {
        auto status = image.Read(c.Entry, c.Offset, buffer, c.Size);
        ASSERT_TRUE(status.Failed());
        EXPECT_EQ(MessageOf(status), c.Message);
    }
    EXPECT_EQ(std::string(buffer, 4), "----");
}

TEST_F(TapeImageTest, concurrent_reads_each_get_their_own_bytes)
{
    std::vector<std::uint32_t> entries(64, 0);
    for (std::size_t i = 0; i < entries.size(); ++i)
        entries[i] = 4000 + static_cast<std::uint32_t>(i);
    auto path = PathOf("shared.tap");
    WriteEntries(path, entries);
    CTapeImage image;
    ASSERT_TRUE(image.Open(path).IsSuccess());
    std::vector<int> mismatches(8, 0);
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < mismatches.size(); ++t)
        threads.emplace_back(
            [&, t]
            {
                for (int round = 0; round < 20; ++round)
                    for (std::size_t i = t; i < entries.size(); i += 3)
                    {
                        std::vector<unsigned char> bytes(entries[i]);
                        if (image.Read(i, 0, bytes.data(), bytes.size()).Failed() ||
                            bytes != Pattern(i, entries[i]))
                            ++mismatches[t];
                    }
            });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(mismatches, std::vector<int>(8, 0));
}

TEST_F(TapeImageTest, writer_refuses_records_the_format_cannot_hold)
{
    CTapeImageWriter writer;
    ASSERT_TRUE(writer.Begin(PathOf("limits.tap")).IsSuccess());
    const char byte = 0;
    for (std::uint32_t size : {0u, 0x80000000u})
    {
        auto status = writer.WriteRecord(&byte, size);
        ASSERT_TRUE(status.Failed());
        EXPECT_EQ(MessageOf(status), "cannot hold a record of " + std::to_string(size) + " bytes, at byte 0");
    }
    EXPECT_EQ(writer.GetSize(), 0u);
}

TEST_F(TapeImageTest, writer_leaves_no_half_image_behind_and_what_it_was_to_replace_as_it_was)
{
    auto path = PathOf("half.tap");
    for (const bool existed : {false, true})
    {
        if (existed)
            WriteFile("half.tap", "the image before");
        {
            CTapeImageWriter writer;
            ASSERT_TRUE(writer.Begin(path).IsSuccess());
            ASSERT_TRUE(writer.WriteMark().IsSuccess());
        }
        EXPECT_EQ(fs::exists(path), existed);
        if (existed)
        {
            std::ifstream in(path, std::ios::binary);
            EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "the image before");
        }
        EXPECT_EQ(std::distance(fs::directory_iterator(Dir), fs::directory_iterator()), existed ? 1 : 0);
    }
    // A device is written as it is and never removed.
    const std::string device = PathOf("null");
    if (::mknod(device.c_str(), S_IFCHR | 0666, ::makedev(1, 3)) == 0)
    {
        {
            CTapeImageWriter writer;
            ASSERT_TRUE(writer.Begin(device).IsSuccess());
            ASSERT_TRUE(writer.WriteMark().IsSuccess());
        }
        struct stat info
        {
        };
        EXPECT_EQ(::stat(device.c_str(), &info), 0);
        EXPECT_TRUE(S_ISCHR(info.st_mode));
    }

    CTapeImageWriter writer;
    auto status = writer.Begin(PathOf("no/such/folder.tap"));
    ASSERT_TRUE(status.Failed());
    EXPECT_EQ(status.ToString(), "0xC0000D05: tape image " + PathOf("no/such/folder.tap") +
                                     ": cannot be created: No such file or directory");
    EXPECT_EQ(MessageOf(writer.WriteMark()), "is not being written");
}

} // namespace
