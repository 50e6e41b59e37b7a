#include "mxf/DataFile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

namespace
{

namespace fs = std::filesystem;

// A scratch tree: <root>/a/only_a.xml, <root>/b/both.xml, <root>/a/both.xml; the working folder is <root>/cwd
// for the test's length, and MXF_DATA_DIR and the setting are put back afterwards.
class DataFileSearch : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Root = fs::temp_directory_path() / ("mxf-datafile-" + std::to_string(std::random_device()()));
        fs::create_directories(Root / "a");
        fs::create_directories(Root / "b");
        fs::create_directories(Root / "cwd");
        Touch(Root / "a" / "only_a.xml");
        Touch(Root / "a" / "both.xml");
        Touch(Root / "b" / "both.xml");
        Touch(Root / "cwd" / "here.xml");
        OldDirectory = fs::current_path();
        fs::current_path(Root / "cwd");
        OldSetting = mxf::GetDataDirectorySetting();
        if (const char* value = std::getenv("MXF_DATA_DIR"))
            OldEnvironment = value;
    }
    void TearDown() override
    {
        fs::current_path(OldDirectory);
        fs::remove_all(Root);
        mxf::SetDataDirectorySetting(OldSetting);
        if (OldEnvironment.empty())
            unsetenv("MXF_DATA_DIR");
        else
            setenv("MXF_DATA_DIR", OldEnvironment.c_str(), 1);
    }
    static void Touch(const fs::path& path) { std::ofstream(path) << "x"; }
    std::string Dir(const char* name) const { return (Root / name).string(); }

    fs::path Root;
    fs::path OldDirectory;
    std::string OldSetting;
    std::string OldEnvironment;
};

TEST_F(DataFileSearch, search_path_list)
{
    const std::string a = Dir("a");
    const std::string b = Dir("b");
    struct Case
    {
        std::string List;
        std::string Name;
        std::string Found;
    };
    const Case cases[] = {
        {a + ";" + b, "both.xml", a + "/both.xml"},
        {b + ";" + a, "both.xml", b + "/both.xml"},
        {";;" + b + "/;" + a, "only_a.xml", a + "/only_a.xml"},
        {a, "missing.xml", ""},
        {"", "here.xml", "here.xml"},
        {a, "./here.xml", "./here.xml"},
        {a, "../a/only_a.xml", "../a/only_a.xml"},
        {b, a + "/only_a.xml", a + "/only_a.xml"},
        {b, a + "/missing.xml", ""},
        {a, "here.xml", ""},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.List + " | " + c.Name);
        EXPECT_EQ(mxf::SearchPathList(c.List, c.Name), c.Found);
    }
}

TEST_F(DataFileSearch, directory_comes_from_the_environment_once)
{
    setenv("MXF_DATA_DIR", (Dir("a") + ";" + Dir("b")).c_str(), 1);
    mxf::SetDataDirectorySetting("~");
    EXPECT_EQ(mxf::FindDataFile("both.xml"), Dir("a") + "/both.xml");
    EXPECT_EQ(mxf::GetDataDirectorySetting(), Dir("a") + ";" + Dir("b"));

    setenv("MXF_DATA_DIR", Dir("b").c_str(), 1); // read only once
    EXPECT_EQ(mxf::FindDataFile("both.xml"), Dir("a") + "/both.xml");
}

TEST_F(DataFileSearch, without_the_environment_only_the_working_folder_is_searched)
{
    unsetenv("MXF_DATA_DIR");
    mxf::SetDataDirectorySetting("~");
    EXPECT_EQ(mxf::FindDataFile("here.xml"), "./here.xml");
    EXPECT_EQ(mxf::GetDataDirectorySetting(), "./");
    EXPECT_EQ(mxf::FindDataFile("only_a.xml"), "");
    EXPECT_EQ(mxf::FindDataFile(Dir("a") + "/only_a.xml"), Dir("a") + "/only_a.xml");
}

} // namespace
