#include "vnservice/CConfiguration.h"
#include "vnservice/CDatabase.h"
#include "vnservice/CPersistanceEngine.h"
#include "vnservice/CSystem.h"
#include "vnservice/HostErrors.h"

#include "TempFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

namespace
{
class TempHome : public ::testing::Test
{
protected:
    TempFolder Temp{"reelfs-host-"};
    std::filesystem::path Home = Temp.Path() / "home";
};

TEST_F(TempHome, system_identity_is_made_once_and_kept)
{
    std::uint32_t first = 0;
    {
        CSystem system;
        ASSERT_TRUE(system.Open(Home.string()).IsSuccess());
        first = system.GetID().GetValue();
        EXPECT_NE(first, 0u);
    }
    CSystem again;
    ASSERT_TRUE(again.Open(Home.string()).IsSuccess());
    EXPECT_EQ(again.GetID().GetValue(), first);
}

TEST_F(TempHome, a_home_whose_database_another_command_holds_fails_when_the_wait_runs_out)
{
    CDatabase holder;
    const std::string path = (Home / "reelfs.db").string();
    std::filesystem::create_directories(Home);
    ASSERT_TRUE(holder.Open(path).IsSuccess());
    ASSERT_TRUE(holder.Begin().IsSuccess());

    CSystem waiting;
    waiting.Database.SetBusyTimeout(200);
    const auto start = std::chrono::steady_clock::now();
    CStatus status = waiting.Open(Home.string());
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(200));
    EXPECT_EQ(status.GetInternalErrorCode(), HostErrorDatabase);
    EXPECT_NE(status.ToString().find("(" + path + "): another command holds it"), std::string::npos)
        << status.ToString();

    ASSERT_TRUE(holder.Rollback().IsSuccess());
    CSystem after;
    EXPECT_TRUE(after.Open(Home.string()).IsSuccess());
}

TEST_F(TempHome, settings_survive_a_restart_and_bad_numbers_are_refused)
{
    {
        CSystem system;
        ASSERT_TRUE(system.Open(Home.string()).IsSuccess());
        CPersistanceEngine::CNode node(system.Database, "fs");
        ASSERT_TRUE(node.WriteNumber(u"BlockSize", 10240).IsSuccess());
        ASSERT_TRUE(node.WriteText(u"Standard", u"GNU \u00E9").IsSuccess());
        ASSERT_TRUE(node.WriteText(u"Junk", u"12x").IsSuccess());
        CPersistanceEngine::CNode other(system.Database, "other");
        ASSERT_TRUE(other.WriteNumber(u"BlockSize", 512).IsSuccess());
    }
    CSystem system;
    ASSERT_TRUE(system.Open(Home.string()).IsSuccess());
    CPersistanceEngine::CNode node(system.Database, "fs");
    std::uint32_t size = 0;
    ASSERT_TRUE(node.ReadNumber(u"BlockSize", size).IsSuccess());
    EXPECT_EQ(size, 10240u);
    WString text;
    ASSERT_TRUE(node.ReadString(u"Standard", text).IsSuccess());
    EXPECT_EQ(text, u"GNU \u00E9");
    EXPECT_FALSE(node.HasValue(u"Missing"));
    std::uint32_t untouched = 7;
    EXPECT_TRUE(node.ReadNumber(u"Missing", untouched).IsSuccess());
    EXPECT_EQ(untouched, 7u);
    EXPECT_EQ(node.ReadNumber(u"Junk", untouched).GetInternalErrorCode(), HostErrorBadSetting);
    EXPECT_EQ(node.ReadString(u"Missing", text).GetInternalErrorCode(), HostErrorNoSetting);
}

TEST(Configuration, reads_sections_and_keys_ignoring_case)
{
    CConfiguration configuration;
    configuration.LoadText("; comment\n[MXFREELFS]\n  Scan File Sizes = 1 \r\nMXF Dictionary=/x/dict.xml\n"
                           "[other]\nScan File Sizes=0\nbroken line\n");
    WString value;
    ASSERT_TRUE(configuration.GetValue(u"mxfreelfs", u"SCAN FILE SIZES", value));
    EXPECT_EQ(value, u"1");
    ASSERT_TRUE(configuration.GetValue(u"MXFREELFS", u"MXF Dictionary", value));
    EXPECT_EQ(value, u"/x/dict.xml");
    EXPECT_FALSE(configuration.GetValue(u"MXFREELFS", u"MXF Transform", value));
}
} // namespace
