#include "TedialTape.h"

#include "FileSystems/MxfReelFS/CTedialFileSystemOperation.h"
#include "FileSystems/MxfReelFS/TedialLabel.h"
#include "vnservice/CBlockBuffer.h"

#include <gtest/gtest.h>

#include <cstring>

namespace
{
using tdtest::Label;

// 10:30 on 25 December 2020, five hours behind UTC.
constexpr std::int64_t Christmas1030 = 1608892200 + 5 * 3600;
constexpr std::uint32_t Malformed = 0xC0003715;

std::string Trimmed(const std::string& text)
{
    const char* space = " \t\n\v\f\r";
    const std::size_t first = text.find_first_not_of(space);
    return first == std::string::npos ? std::string()
                                      : text.substr(first, text.find_last_not_of(space) - first + 1);
}

std::string IdText(const std::uint8_t (&id)[48])
{
    return std::string(reinterpret_cast<const char*>(id), strnlen(reinterpret_cast<const char*>(id), 48));
}

class TedialLabelParse : public ::testing::Test
{
protected:
    void SetUp() override { actest::PinTimeZone(); }
};

TEST_F(TedialLabelParse, reads_six_lines_into_the_time_and_identifier)
{
    const std::string line4of60(60, 'n');
    const struct
    {
        const char* Case;
        std::string Text;
        std::int64_t Time;
        std::string Id;
    } cases[] = {
        {"each line ended by LF", tdtest::ValidLabel(), Christmas1030, "C;25/12/2020 10:30"},
        {"blank lines between", "\n\n554362111000\n\nA\nB\n\n\nC\nD\n\n25/12/2020 10:30\n\n", Christmas1030,
         "C;25/12/2020 10:30"},
        {"blanks around the date's fields",
         Label({"554362111000", "A", "B", "C", "D", "25 / 12 / 2020 10 : 30"}), Christmas1030,
         "C;25 / 12 / 2020 10 : 30"},
        {"a date in one-digit fields", Label({"554362111000", "A", "B", "C", "D", "5/1/2021 9:05"}),
         1609837500 + 5 * 3600, "C;5/1/2021 9:05"},
        {"a fourth line of 60 bytes", Label({"554362111000", "A", "B", line4of60, "D", "25/12/2020 10:30"}),
         Christmas1030, std::string(48, 'n')},
        {"the text ends at a NUL", tdtest::ValidLabel() + std::string(1, '\0') + "more\nlines\n",
         Christmas1030, "C;25/12/2020 10:30"},
    };
    for (const auto& c : cases)
    {
        TedialLabel label;
        CStatus status = TedialLabel::Parse(c.Text, label);
        ASSERT_TRUE(status.IsSuccess()) << c.Case << ": " << status.ToString();
        EXPECT_EQ(label.Time, c.Time) << c.Case;
        EXPECT_EQ(IdText(label.LabelId), c.Id) << c.Case;
    }
}

TEST_F(TedialLabelParse, refuses_labels_of_other_shapes_with_the_trimmed_text)
{
    const struct
    {
        const char* Case;
        std::string Text;
    } cases[] = {
        {"CR LF line ends", "554362111000\r\nA\r\nB\r\nC\r\nD\r\n25/12/2020 10:30"},
        {"seven lines", tdtest::ValidLabel() + "E\n"},
        {"five lines", Label({"554362111000", "A", "B", "C", "25/12/2020 10:30"})},
        {"another last digit", Label({"554362111001", "A", "B", "C", "D", "25/12/2020 10:30"})},
        {"an ISO date", Label({"554362111000", "A", "B", "C", "D", "2020-12-25 10:30"})},
        {"a thirteenth month", Label({"554362111000", "A", "B", "C", "D", "25/13/2020 10:30"})},
        {"no minutes", Label({"554362111000", "A", "B", "C", "D", "25/12/2020 10"})},
        {"an Active Circle label", "ActiveCircle 3.2 Apr 15, 2021 01 : 00 : 00 pm\r\npool-7\r\nVOL001"},
        {"nothing", ""},
    };
    for (const auto& c : cases)
    {
        TedialLabel label;
        label.Time = 7;
        CStatus status = TedialLabel::Parse(c.Text, label);
        EXPECT_EQ(status.GetInternalErrorCode(), Malformed) << c.Case;
        EXPECT_EQ(status.GetParameters(), std::vector<std::string>{Trimmed(c.Text)}) << c.Case;
        EXPECT_EQ(status.GetRecord()->SourceFile, "TedialFileSystem") << c.Case;
        EXPECT_EQ(label.Time, 7) << c.Case;
    }
}

TEST_F(TedialLabelParse, the_operation_keeps_its_label_when_the_block_holds_another)
{
    CTedialFileSystemOperation operation({}, {}, {}, {});
    for (const std::string& text : {tdtest::ValidLabel("first"), tdtest::ValidLabel() + "E\n"})
    {
        auto block = actest::LabelBlock(text, 1024);
        CBlockBuffer buffer(nullptr, 1024, 0, 1024);
        ASSERT_TRUE(buffer.Append(block.data(), block.size(), nullptr).IsSuccess());
        operation.BlockBuffer = &buffer;
        (void)ParseTedialLabel(operation);
        operation.BlockBuffer = nullptr;
        EXPECT_EQ(buffer.GetDataLent(), 0u);
        EXPECT_EQ(operation.LabelTime, Christmas1030);
        EXPECT_EQ(IdText(operation.LabelId), "first;25/12/2020 10:30");
    }
}
} // namespace
