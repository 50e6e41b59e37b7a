#include "vnservice/CArchiveFileSystem.h"
#include "vnservice/CFactory.h"
#include "vnservice/CSystem.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <filesystem>
#include <memory>

namespace
{
// The three plug-ins loaded side by side, as the host loads its folder: each registers its own type.
TEST(Plugin, the_tedial_library_registers_beside_the_others)
{
    auto home = std::filesystem::temp_directory_path() / "reelfs-tdreg";
    std::filesystem::remove_all(home);
    CSystem system;
    ASSERT_TRUE(system.Open(home.string()).IsSuccess());

    const struct
    {
        const char* Library;
        const char16_t* Type;
    } plugins[] = {{"libTarReelFS.so", u"GenericTar"},
                   {"libMxfReelFS.so", u"Tedial"},
                   {"libPoolReelFS.so", u"ActiveCircle"}};
    for (const auto& plugin : plugins)
    {
        std::string path = std::string(REELFS_PLUGIN_DIR) + "/" + plugin.Library;
        void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(library, nullptr) << dlerror();
        auto registerFactory = reinterpret_cast<std::uint32_t (*)()>(dlsym(library, "RegisterFactory0711"));
        ASSERT_NE(registerFactory, nullptr) << plugin.Library;
        EXPECT_EQ(registerFactory(), 0u) << plugin.Library;
        EXPECT_EQ(registerFactory(), 0u) << plugin.Library;
    }
    auto* factory = CFactory<CArchiveFileSystem>::Factory;
    ASSERT_NE(factory, nullptr);
    EXPECT_EQ(factory->TypeNames, (std::vector<WString>{u"GenericTar", u"Tedial", u"ActiveCircle"}));
    auto* instance = factory->Find(u"Tedial");
    ASSERT_NE(instance, nullptr);
    std::unique_ptr<CArchiveFileSystem> fs(instance->Create(&system));
    ASSERT_TRUE(fs);
    EXPECT_EQ(fs->GetFileSystemType(), u"Tedial");
    EXPECT_EQ(system.TraceRegistry.Names(), std::vector<std::string>{"LegacyFS"});
    fs.reset();
    std::filesystem::remove_all(home);
    // The instances stay registered for the rest of the process, so the libraries stay loaded.
}
} // namespace
