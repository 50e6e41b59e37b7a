#include "ActiveCircleTape.h"

#include "FileSystems/PoolReelFS/ActiveCircleLabel.h"
#include "FileSystems/PoolReelFS/CActiveCircleFileSystemOperation.h"
#include "vnservice/CBlockBuffer.h"

#include <gtest/gtest.h>

#include <cstring>

namespace
{
using actest::Label;
using namespace std::string_literals;

// 15 April 2021 at 00:00 UTC; local time is five hours behind.
constexpr std::int64_t April15 = 1618444800;
constexpr std::int64_t Hour = 3600;
constexpr std::int64_t LocalOffset = 5 * Hour;

constexpr std::uint32_t Malformed = 0xC00036B1;

std::string IdText(const std::uint8_t (&id)[48])
{
    return std::string(reinterpret_cast<const char*>(id), strnlen(reinterpret_cast<const char*>(id), 48));
}

class LabelParse : public ::testing::Test
{
protected:
    void SetUp() override { actest::PinTimeZone(); }
};

TEST_F(LabelParse, reads_the_date_on_the_twelve_hour_clock_and_builds_the_identifier)
{
    const std::string date = "Apr 15, 2021 01 : 00 : 00 pm";
    const struct
    {
        const char* Name;
        std::string Text;
        std::int64_t Time; // local time of 15 April 2021, seconds after midnight UTC
        std::string Id;
    } cases[] = {
        {"pm", Label("ActiveCircle 3.2 " + date, "pool-7", "VOL001"), 13 * Hour, "VOL001;pool-7;" + date},
        {"AM", Label("ActiveCircle 3.2 Apr 15, 2021 01 : 00 : 00 AM", "p", "v"), 1 * Hour,
         "v;p;Apr 15, 2021 01 : 00 : 00 AM"},
        {"PM in capitals", Label("ActiveCircle x Apr 15, 2021 01 : 00 : 00 PM", "p", "v"), 13 * Hour,
         "v;p;Apr 15, 2021 01 : 00 : 00 PM"},
        {"another word is morning", Label("ActiveCircle x Apr 15, 2021 01 : 00 : 00 p.m.", "p", "v"),
         1 * Hour, "v;p;Apr 15, 2021 01 : 00 : 00 p.m."},
        {"noon", Label("ActiveCircle x Apr 15, 2021 12 : 30 : 00 pm", "p", "v"), 12 * Hour + 1800,
         "v;p;Apr 15, 2021 12 : 30 : 00 pm"},
        {"midnight", Label("ActiveCircle x Apr 15, 2021 12 : 30 : 00 am", "p", "v"), 1800,
         "v;p;Apr 15, 2021 12 : 30 : 00 am"},
        {"blanks match runs and none", Label("ActiveCircle x april  15,2021\t11:59:59pm", "p", "v"),
         23 * Hour + 59 * 60 + 59, "v;p;april  15,2021\t11:59:59pm"},
        {"first word in any case", Label("ACTIVECIRCLE x " + date, "p", "v"), 13 * Hour, "v;p;" + date},
        {"trimmed, a closing line break and what follows a NUL",
         " \r\n" + Label("activecircle x " + date, "p", "v") + "\r\n \0garbage\r\nmore"s, 13 * Hour,
         "v;p;" + date},
        {"an empty free line", Label("ActiveCircle x " + date, "", "v"), 13 * Hour, "v;;" + date},
        {"identifier cut to 48 bytes", Label("ActiveCircle x " + date, "pool", std::string(40, 'v')),
         13 * Hour, std::string(40, 'v') + ";pool;Ap"},
    };
    for (const auto& c : cases)
    {
        ActiveCircleLabel label;
        std::memset(label.LabelId, 'z', sizeof label.LabelId);
        CStatus status = ActiveCircleLabel::Parse(c.Text, label);
        ASSERT_TRUE(status.IsSuccess()) << c.Name << ": " << status.ToString();
        EXPECT_EQ(static_cast<std::int64_t>(label.Time), April15 + c.Time + LocalOffset) << c.Name;
        EXPECT_EQ(IdText(label.LabelId), c.Id) << c.Name;
        for (std::size_t i = c.Id.size(); i < sizeof label.LabelId; ++i)
            EXPECT_EQ(label.LabelId[i], 0) << c.Name << " byte " << i;
    }
}

TEST_F(LabelParse, refuses_labels_of_other_shapes_with_the_trimmed_text)
{
    const std::string date = "Apr 15, 2021 01 : 00 : 00 pm";
    const struct
    {
        const char* Name;
        std::string Text;
    } cases[] = {
        {"four lines", Label("ActiveCircle x " + date, "p", "v") + "\r\nw"},
        {"two lines", "ActiveCircle x " + date + "\r\np"},
        {"lines ended by LF alone", "ActiveCircle x " + date + "\np\nv"},
        {"another product", Label("ActiveCircle2 x " + date, "p", "v")},
        {"Tedial label", "554362111000\r\nA\r\nB\r\nC\r\nD\r\n25/12/2020 10:30"},
        {"no blank", Label("ActiveCircle", "p", "v")},
        {"no second blank", Label("ActiveCircle 3.2", "p", "v")},
        {"no am or pm word", Label("ActiveCircle x Apr 15, 2021 01 : 00 : 00", "p", "v")},
        {"unknown month", Label("ActiveCircle x Avr 15, 2021 01 : 00 : 00 pm", "p", "v")},
        {"blank before the comma", Label("ActiveCircle x Apr 15 , 2021 01 : 00 : 00 pm", "p", "v")},
        {"hour 13", Label("ActiveCircle x Apr 15, 2021 13 : 00 : 00 pm", "p", "v")},
        {"day 32", Label("ActiveCircle x Apr 32, 2021 01 : 00 : 00 pm", "p", "v")},
        {"empty block", std::string(512, '\0')},
    };
    for (const auto& c : cases)
    {
        ActiveCircleLabel label;
        label.Time = 7;
        CStatus status = ActiveCircleLabel::Parse(c.Text, label);
        EXPECT_EQ(status.GetInternalErrorCode(), Malformed) << c.Name;
        EXPECT_EQ(label.Time, 7u) << c.Name;
        std::string_view text(c.Text);
        text = text.substr(0, text.find('\0'));
        EXPECT_EQ(status.GetParameters(), std::vector<std::string>{std::string(text)}) << c.Name;
    }
}

TEST_F(LabelParse, a_date_that_converts_to_minus_one_gives_all_ones)
{
    // 23:59:59 UTC on the last day of 1969 is one second before the epoch.
    ActiveCircleLabel label;
    ASSERT_TRUE(
        ActiveCircleLabel::Parse(Label("ActiveCircle x Dec 31, 1969 06 : 59 : 59 pm", "p", "v"), label)
            .IsSuccess());
    EXPECT_EQ(label.Time, 0xFFFFFFFFFFFFFFFFull);
}

TEST_F(LabelParse, the_operation_gets_the_label_and_the_buffer_its_data_back_on_every_path)
{
    const struct
    {
        std::string Text;
        bool Valid;
    } cases[] = {{Label("ActiveCircle x Apr 15, 2021 01 : 00 : 00 pm", "p", "v"), true},
                 {Label("Other x Apr 15, 2021 01 : 00 : 00 pm", "p", "v"), false}};
    for (const auto& c : cases)
    {
        CActiveCircleFileSystemOperation operation({}, {}, {}, {});
        auto block = actest::LabelBlock(c.Text, 1024);
        CBlockBuffer buffer(nullptr, 512, 1024, 1024);
        ASSERT_TRUE(buffer.Append(block.data(), block.size(), nullptr).IsSuccess());
        operation.BlockBuffer = &buffer;
        CStatus status = ParseActiveCircleLabel(operation);
        operation.BlockBuffer = nullptr;
        EXPECT_EQ(status.IsSuccess(), c.Valid) << c.Text;
        EXPECT_EQ(buffer.GetDataLent(), 0u) << c.Text;
        EXPECT_EQ(operation.LabelTime,
                  c.Valid ? static_cast<std::uint64_t>(April15 + 13 * Hour + LocalOffset) : 0)
            << c.Text;
        EXPECT_EQ(IdText(operation.LabelId), c.Valid ? "v;p;Apr 15, 2021 01 : 00 : 00 pm" : "") << c.Text;
    }
}
} // namespace
