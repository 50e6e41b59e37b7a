#include "CHost.h"
#include "CPluginLoader.h"
#include "HostTestSupport.h"

#include "vnservice/CFactory.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>

namespace
{
using Factory = CFactory<CArchiveFileSystem>;

TEST_F(HostTest, every_plugin_of_the_build_registers_its_type_once)
{
    CPluginLoader::CResult result = CPluginLoader::LoadFolder(REELFS_PLUGIN_DIR);
    EXPECT_TRUE(result.Problems.empty()) << result.Problems.front();
    std::size_t libraries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(REELFS_PLUGIN_DIR))
        libraries += entry.path().filename().string().starts_with("lib") && entry.path().extension() == ".so";
    EXPECT_EQ(result.Loaded.size(), libraries);
    ASSERT_NE(Factory::Factory, nullptr);
    // Each library registers one type, and loading the folder again registers nothing more.
    std::vector<WString> names = Factory::Factory->TypeNames;
    std::erase(names, WString(u"Scripted"));
    EXPECT_EQ(names.size(), libraries);
    EXPECT_EQ(std::count(names.begin(), names.end(), u"GenericTar"), 1);
}

TEST(RecognitionOrder, the_layouts_try_a_tape_in_a_fixed_order_whatever_the_order_of_loading)
{
    struct Case
    {
        std::vector<WString> Registered;
        std::vector<std::size_t> Order;
    };
    const Case cases[] = {
        // As a plug-in folder loads them, by library name.
        {{u"Tedial", u"ActiveCircle", u"GenericTar"}, {0, 1, 2}},
        {{u"GenericTar", u"Scripted", u"ActiveCircle", u"Tedial"}, {3, 2, 0, 1}},
        {{u"Scripted", u"Other", u"GenericTar"}, {2, 0, 1}},
        {{}, {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CHost::RecognitionOrder(c.Registered), c.Order) << c.Registered.size();
}

TEST_F(HostTest, libraries_that_do_not_register_are_reported_and_the_rest_load)
{
    std::filesystem::path folder = Folder / "plugins";
    std::filesystem::create_directories(folder / "libfolder.so");
    for (const char* name : {"librefusing.so", "libunregistered.so"})
        std::filesystem::create_symlink(std::filesystem::path(ODD_PLUGIN_DIR) / name, folder / name);
    std::ofstream(folder / "libgarbage.so") << "not a library";
    std::ofstream(folder / "notes.txt") << "not a plug-in";
    std::filesystem::create_symlink(std::filesystem::path(REELFS_PLUGIN_DIR) / "libTarReelFS.so",
                                    folder / "libTarReelFS.so");

    CPluginLoader::CResult result = CPluginLoader::LoadFolder(folder.string());
    EXPECT_EQ(result.Loaded, std::vector<std::string>{(folder / "libTarReelFS.so").string()});
    ASSERT_EQ(result.Problems.size(), 3u);
    EXPECT_NE(result.Problems[0].find("libgarbage.so"), std::string::npos) << result.Problems[0];
    EXPECT_NE(result.Problems[1].find("librefusing.so: registration failed with error 14"), std::string::npos)
        << result.Problems[1];
    EXPECT_NE(result.Problems[2].find("libunregistered.so: not a plug-in"), std::string::npos)
        << result.Problems[2];

    result = CPluginLoader::LoadFolder((folder / "missing").string());
    EXPECT_TRUE(result.Loaded.empty());
    EXPECT_EQ(result.Problems.size(), 1u);
}

TEST_F(HostTest, the_plugin_folder_is_the_named_one_else_the_build_trees)
{
    ::setenv("REELFS_PLUGINS", "/elsewhere/plugins", 1);
    EXPECT_EQ(CPluginLoader::FindFolder("/build/plugins"), "/elsewhere/plugins");
    ::unsetenv("REELFS_PLUGINS");
    // The test program is not installed: there is no lib/reelfs beside it.
    EXPECT_EQ(CPluginLoader::FindFolder("/build/plugins"), "/build/plugins");
}
} // namespace
