#include "ActiveCircleTape.h"

#include "frame/CCatArchive.h"
#include "pagelist/CFileListInternal.h"
#include "win/CodePage.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <random>

namespace
{
constexpr std::uint64_t MemberTime = 1618489800;

std::string Octal(std::uint64_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%011llo", static_cast<unsigned long long>(value));
    return text;
}

void AppendBlocks(Bytes& archive, const void* data, std::size_t size)
{
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    archive.insert(archive.end(), bytes, bytes + size);
    archive.resize((archive.size() + 511) / 512 * 512, 0);
}

// A member whose name the ustar fields cannot hold: a pax header with its "path" record, then the
// member's ustar block and its data.
void AppendPaxMember(Bytes& archive, const std::string& name, const Bytes& data)
{
    std::string record = " path=" + name + "\n";
    std::size_t length = record.size() + 1;
    while (std::to_string(length).size() + record.size() != length)
        ++length;
    record = std::to_string(length) + record;
    auto pax = tartest::UstarBlock("PaxHeader/member", Octal(record.size()), Octal(MemberTime), 'x');
    auto ustar = tartest::UstarBlock(name.substr(name.size() - 50), Octal(data.size()), Octal(MemberTime));
    AppendBlocks(archive, &pax, sizeof pax);
    AppendBlocks(archive, record.data(), record.size());
    AppendBlocks(archive, &ustar, sizeof ustar);
    AppendBlocks(archive, data.data(), data.size());
}

class ActiveCircleRestore : public ActiveCircleTape
{
protected:
    void SetUp() override
    {
        ActiveCircleTape::SetUp();
        std::mt19937 random(5);
        Data.resize(3000);
        for (auto& byte : Data)
            byte = static_cast<std::uint8_t>(random());
        Bytes archive;
        AppendPaxMember(archive, LongName.substr(2), Data);
        archive.resize(archive.size() + 1024, 0);
        Volume = MountLabelled({ReadFixture("gnutar/ustar.tar"), archive});
        ASSERT_TRUE(Recognise(Volume).IsSuccess());
        ASSERT_TRUE(Scan(Volume).IsSuccess());
    }

    // Adds a file record that places the path at `position`.
    void Misplace(const std::string& path, std::uint64_t position)
    {
        CFileName name;
        name.FromMultiByte(CP_UTF8, path);
        CCatArchive record(position, name.GetText(), 5, 0, 0, 0, 1);
        ASSERT_EQ(Volume->Catalogue->Append(record), 0u);
    }

    std::uint64_t PositionOf(const std::string& path)
    {
        for (const auto& record : Files(Volume))
            if (record.Path == path)
                return record.Position;
        ADD_FAILURE() << path;
        return 0;
    }

    const std::string LongName = "0/" + std::string(80, 'd') + "/" + std::string(80, 'e') + "/data.bin";
    Bytes Data;
    CVolumePointer Volume;
};

TEST_F(ActiveCircleRestore, a_pax_named_member_is_restored_whole_and_in_ranges)
{
    Bytes restored;
    CStatus status = Restore(Volume, LongName, restored, 0, true);
    ASSERT_TRUE(status.IsSuccess()) << status.ToString();
    EXPECT_EQ(restored, Data);
    // An early caller has its result before the data are read; the file carries the member's time.
    EXPECT_TRUE(LastResult.ResultWasEarly());
    struct stat info
    {
    };
    ASSERT_EQ(::stat((Base / "restored").c_str(), &info), 0);
    EXPECT_EQ(info.st_mtime, static_cast<time_t>(MemberTime));

    const struct
    {
        std::uint64_t Offset, Length; // a length of 0 asks for the rest of the file
        std::uint64_t Delivered;
    } ranges[] = {{0, 1, 1},    {511, 2, 2},     {1000, 1000, 1000}, {1000, 0, 2000},
                  {2999, 1, 1}, {0, 3000, 3000}, {2990, 100, 10},    {3000, 5, 0}};
    for (const auto& range : ranges)
    {
        SCOPED_TRACE(std::to_string(range.Offset) + "+" + std::to_string(range.Length));
        status = RestoreRange(Volume, LongName, range.Offset, range.Length, restored);
        ASSERT_TRUE(status.IsSuccess()) << status.ToString();
        const auto from = Data.begin() + static_cast<std::ptrdiff_t>(range.Offset);
        EXPECT_EQ(restored, Bytes(from, from + static_cast<std::ptrdiff_t>(range.Delivered)));
    }
}

TEST_F(ActiveCircleRestore, a_member_of_no_bytes_is_restored_empty)
{
    Bytes restored{1};
    CStatus status = Restore(Volume, "0/empty.txt", restored);
    ASSERT_TRUE(status.IsSuccess()) << status.ToString();
    EXPECT_TRUE(restored.empty());
}

TEST_F(ActiveCircleRestore, nothing_is_read_unless_the_header_names_the_file)
{
    const std::uint64_t shortAt = PositionOf("0/short.txt");
    Misplace("0/ghost.txt", shortAt);
    Misplace("0/inside.txt", shortAt + 1);
    Misplace("0/label.txt", 0);
    const struct
    {
        const char* Path;
        std::uint32_t Code;
        std::vector<std::string> Parameters;
    } cases[] = {
        {"0/ghost.txt", 0xC0002717, {"0/short.txt", "ghost.txt"}},
        {"0/inside.txt", 0xC0002713, {std::to_string(shortAt + 1)}},
        {"0/label.txt", 0xC0002713, {"0"}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.Path);
        Bytes restored{1};
        CStatus status = Restore(Volume, c.Path, restored);
        EXPECT_EQ(status.GetInternalErrorCode(), c.Code) << status.ToString();
        // The volume's identity follows.
        const auto& parameters = status.GetParameters();
        EXPECT_EQ(
            std::vector<std::string>(parameters.begin(),
                                     parameters.begin() + std::min(parameters.size(), c.Parameters.size())),
            c.Parameters);
        EXPECT_TRUE(restored.empty());

        status = RestoreRange(Volume, c.Path, 1, 2, restored);
        EXPECT_EQ(status.GetInternalErrorCode(), c.Code) << status.ToString();
        EXPECT_TRUE(restored.empty());
    }
}
} // namespace
