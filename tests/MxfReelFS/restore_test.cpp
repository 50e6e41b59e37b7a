#include "TedialTape.h"

#include "FileSystems/TapeFS/TimeHelpers.h"
#include "frame/CCatArchive.h"
#include "pagelist/CFileListInternal.h"
#include "win/CodePage.h"

#include <sys/stat.h>

#include <random>

namespace
{
// 10:30:05 on 15 April 2021, UTC.
constexpr std::int64_t FileSeconds = 1618482605;
constexpr std::uint32_t Block = 4096;

class TedialRestore : public TedialTape
{
protected:
    void SetUp() override
    {
        TedialTape::SetUp();
        std::mt19937 random(3);
        Second.resize(2 * Block + 100);
        for (auto& byte : Second)
            byte = static_cast<std::uint8_t>(random());
        // Label 0, mark 1, the MXF file from block 2, its mark, the second file after it.
        Volume = MountTedial({First, Second}, Block);
        ASSERT_TRUE(Recognise(Volume).IsSuccess());
        ASSERT_TRUE(Volume->OpenCatalogue(true, false).IsSuccess());
        Catalogue("0/first.mxf", 2, First.size());
        Catalogue("0/second.mxf", 2 + Blocks(First) + 1, Second.size());
    }

    static std::uint64_t Blocks(const Bytes& file) { return (file.size() + Block - 1) / Block; }

    // The file record a scan makes of a file at the block.
    void Catalogue(const std::string& path, std::uint64_t block, std::uint64_t size)
    {
        CFileName name;
        name.FromMultiByte(CP_UTF8, path);
        CCatArchive record(block, name.GetText(), size, TimeToFileTime(FileSeconds), 0, 0, 1);
        ASSERT_EQ(Volume->Catalogue->Append(record), 0u);
    }

    // Each catalogued path with the bytes that were put on tape.
    std::vector<std::pair<std::string, const Bytes*>> TapeFiles() const
    {
        return {{"0/first.mxf", &First}, {"0/second.mxf", &Second}};
    }

    const Bytes First = tdtest::MxfFile();
    Bytes Second;
    CVolumePointer Volume;
};

TEST_F(TedialRestore, files_come_back_whole_dated_as_catalogued)
{
    for (bool early : {false, true})
        for (const auto& [path, data] : TapeFiles())
        {
            SCOPED_TRACE(path + (early ? " early" : ""));
            System.EventSink.Take();
            Bytes restored;
            CStatus status = Restore(Volume, path, restored, 0, early);
            ASSERT_TRUE(status.IsSuccess()) << status.ToString();
            EXPECT_EQ(restored, *data);
            EXPECT_EQ(LastResult.ResultWasEarly(), early);
            struct stat info
            {
            };
            ASSERT_EQ(::stat((Base / "restored").c_str(), &info), 0);
            EXPECT_EQ(info.st_mtime, static_cast<time_t>(FileSeconds));
            auto events = System.EventSink.Take();
            ASSERT_FALSE(events.empty());
            EXPECT_EQ(events[0].Code, 0x80261u);
            EXPECT_EQ(std::get<WString>(events[0].Value), WidenAscii(path.substr(2)));
        }
}

TEST_F(TedialRestore, a_byte_range_is_exactly_its_bytes_within_the_file)
{
    // A length of 0 asks for the rest of the file; a range that runs past its end stops there, before
    // the file mark and the next file.
    const struct
    {
        std::uint64_t Offset, Length;
    } ranges[] = {{0, 1},         {0, 16},
                  {Block - 1, 2}, {Block, Block},
                  {600, 5000},    {2 * Block + 99, 1},
                  {5, 0},         {Block + 7, 1 << 20}};
    for (const auto& [path, data] : TapeFiles())
        for (const auto& range : ranges)
        {
            SCOPED_TRACE(path + " " + std::to_string(range.Offset) + "+" + std::to_string(range.Length));
            Bytes restored{1};
            CStatus status = RestoreRange(Volume, path, range.Offset, range.Length, restored);
            ASSERT_TRUE(status.IsSuccess()) << status.ToString();
            const std::uint64_t end =
                range.Length == 0 ? data->size()
                                  : std::min<std::uint64_t>(data->size(), range.Offset + range.Length);
            EXPECT_EQ(restored, Bytes(data->begin() + static_cast<std::ptrdiff_t>(range.Offset),
                                      data->begin() + static_cast<std::ptrdiff_t>(end)));
        }
}

TEST_F(TedialRestore, nothing_is_read_before_the_block_size_is_known)
{
    // A file system that has neither recognised the tape nor loaded its settings.
    Volume->SetFileSystem(nullptr);
    TapeFileSystemOf(Volume).BlockSize = 0;
    Bytes restored{1};
    CStatus status = Restore(Volume, "0/first.mxf", restored);
    EXPECT_EQ(status.GetInternalErrorCode(), 0xC0003718u) << status.ToString();
    EXPECT_TRUE(restored.empty());
    status = RestoreRange(Volume, "0/first.mxf", 1, 2, restored);
    EXPECT_EQ(status.GetInternalErrorCode(), 0xC0003718u) << status.ToString();
    EXPECT_TRUE(restored.empty());
}

TEST_F(TedialRestore, a_fragment_without_its_catalogued_size_reads_nothing)
{
    // The fixture hands an uncatalogued path no size (and block 0, the label's).
    Bytes restored{1};
    CStatus status = RestoreRange(Volume, "0/none.mxf", 0, 10, restored);
    EXPECT_EQ(status.GetInternalErrorCode(), 0xC0000813u) << status.ToString();
    EXPECT_TRUE(restored.empty());
}
} // namespace
