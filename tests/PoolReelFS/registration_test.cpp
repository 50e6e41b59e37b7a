#include "vnservice/CArchiveFileSystem.h"
#include "vnservice/CFactory.h"
#include "vnservice/CSystem.h"
#include "vnservice/ErrorGenerators.h"

#include "TempFolder.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <filesystem>
#include <memory>

namespace
{
TEST(Plugin, the_library_registers_active_circle_when_loaded)
{
    const TempFolder home("reelfs-acreg-");
    CSystem system;
    ASSERT_TRUE(system.Open(home / "home").IsSuccess());

    std::string path = std::string(REELFS_PLUGIN_DIR) + "/libPoolReelFS.so";
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    auto registerFactory = reinterpret_cast<std::uint32_t (*)()>(dlsym(library, "RegisterFactory0711"));
    ASSERT_NE(registerFactory, nullptr);
    EXPECT_EQ(registerFactory(), 0u);
    EXPECT_EQ(registerFactory(), 0u);
    EXPECT_EQ(CErrorGenMessage("x", 1, 0xC00036B1).ToString(),
              "0xC00036B1: the Active Circle label is malformed");
    ASSERT_NE(CFactory<CArchiveFileSystem>::Factory, nullptr);
    EXPECT_EQ(CFactory<CArchiveFileSystem>::Factory->Instances.size(), 1u);
    auto* instance = CFactory<CArchiveFileSystem>::Factory->Find(u"ActiveCircle");
    ASSERT_NE(instance, nullptr);
    std::unique_ptr<CArchiveFileSystem> fs(instance->Create(&system));
    ASSERT_TRUE(fs);
    EXPECT_EQ(fs->GetFileSystemType(), u"ActiveCircle");
    EXPECT_EQ(system.TraceRegistry.Names(), std::vector<std::string>{"LegacyFS"});
    fs.reset();
    // The instance stays registered for the rest of the process, so the library stays loaded.
}
} // namespace
