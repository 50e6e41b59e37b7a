#include "FileSystems/TarReelFS/CGenericTarFileSystem.h"
#include "frame/PluginRegistration.h"
#include "vnservice/CEventLog.h"
#include "vnservice/CFactory.h"
#include "vnservice/CSystem.h"
#include "vnservice/ErrorGenerators.h"
#include "win/Allocation.h"

#include "TempFolder.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <filesystem>
#include <memory>

namespace
{
using Factory = CFactory<CArchiveFileSystem>;

// Stand-ins for plug-ins: each class has its own registration and trace-name state, as each library has.
constexpr const char16_t* PluginNames[] = {u"One", u"Two", u"Dup", u"Dup", u"Five", u"Six", u"Seven"};

template <int N> struct Plugin : CGenericTarFileSystem
{
    static constexpr CPluginTexts Texts = {PluginNames[N], u"Display", "TracePlugin", u"0"};
    using CGenericTarFileSystem::CGenericTarFileSystem;
};

class Registration : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Saved = Factory::Factory;
        Factory::Factory = nullptr;
    }
    void TearDown() override
    {
        AllocationFault::Clear();
        Factory::Factory = Saved;
    }
    Factory* Saved = nullptr;
};

TEST_F(Registration, registers_once_and_into_the_factory_that_is_there)
{
    Factory existing;
    Factory::Factory = &existing;
    EXPECT_EQ(CPluginRegistration<Plugin<0>>::Register(), 0u);
    EXPECT_EQ(Factory::Factory, &existing);
    EXPECT_EQ(CPluginRegistration<Plugin<0>>::Register(), 0u);
    ASSERT_EQ(existing.Instances.size(), 1u);
    EXPECT_EQ(existing.TypeNames, std::vector<WString>{u"One"});
    auto* instance = existing.Instances[0];
    EXPECT_EQ(instance->Self, instance);
    EXPECT_EQ(existing.InstanceMap.at(instance), instance);
    EXPECT_EQ(existing.Find(u"One"), instance);
    EXPECT_EQ(CPluginRegistration<Plugin<0>>::RegisteredInstance, instance);
}

TEST_F(Registration, makes_the_factory_when_none_exists_and_keeps_the_first_of_a_name)
{
    EXPECT_EQ(CPluginRegistration<Plugin<2>>::Register(), 0u);
    Factory* made = Factory::Factory;
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(CPluginRegistration<Plugin<3>>::Register(), 0u);
    EXPECT_EQ(Factory::Factory, made);
    EXPECT_EQ(made->Instances.size(), 2u);
    EXPECT_EQ(made->TypeNames, (std::vector<WString>{u"Dup", u"Dup"}));
    EXPECT_EQ(made->NameMap.size(), 1u);
    EXPECT_EQ(made->Find(u"Dup"), CPluginRegistration<Plugin<2>>::RegisteredInstance);
    EXPECT_EQ(made->Find(u"dup"), nullptr);
    delete made;
}

TEST_F(Registration, a_failed_allocation_returns_14_and_the_next_call_tries_again)
{
    Factory existing;
    Factory::Factory = &existing;
    AllocationFault::FailAfter(0);
    EXPECT_EQ(CPluginRegistration<Plugin<4>>::Register(), 14u);
    EXPECT_EQ(CPluginRegistration<Plugin<4>>::RegisteredInstance, nullptr);
    EXPECT_TRUE(existing.Instances.empty());
    EXPECT_EQ(CPluginRegistration<Plugin<4>>::Register(), 0u);
    EXPECT_EQ(existing.Instances.size(), 1u);
}

class Creation : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(System.Open(Home.string()).IsSuccess());
        CEventLog::TakeLogged();
    }
    void TearDown() override { AllocationFault::Clear(); }
    TempFolder Temp{"reelfs-reg-"};
    std::filesystem::path Home = Temp.Path() / "home";
    CSystem System;
};

TEST_F(Creation, the_trace_source_is_registered_by_the_first_create_only)
{
    CInstance<CArchiveFileSystem, Plugin<5>> instance;
    EXPECT_TRUE(System.TraceRegistry.Names().empty());
    EXPECT_EQ(CTraceName<Plugin<5>>::Name.Registered, 0);
    std::unique_ptr<CArchiveFileSystem> first(instance.Create(&System));
    std::unique_ptr<CArchiveFileSystem> second(instance.Create(&System));
    ASSERT_TRUE(first && second);
    EXPECT_EQ(System.TraceRegistry.Names(), std::vector<std::string>{"TracePlugin"});
    EXPECT_EQ(first->GetTraceSource()->GetTraceName(), "TracePlugin");
    EXPECT_EQ(first->GetSystem(), &System);

    auto* fs = static_cast<CGenericTarFileSystem*>(first.get());
    EXPECT_EQ(fs->Standard, 0);
    EXPECT_FALSE(fs->IsNextVolumeSet());
    EXPECT_EQ(fs->BlockSize, 0u);
}

TEST_F(Creation, a_failed_trace_registration_is_logged_and_not_retried)
{
    CInstance<CArchiveFileSystem, Plugin<6>> instance;
    System.TraceRegistry.FailNextRegistration();
    std::unique_ptr<CArchiveFileSystem> first(instance.Create(&System));
    ASSERT_TRUE(first);
    EXPECT_EQ(CEventLog::TakeLogged().size(), 1u);
    std::unique_ptr<CArchiveFileSystem> second(instance.Create(&System));
    EXPECT_TRUE(System.TraceRegistry.Names().empty());
    EXPECT_EQ(CTraceName<Plugin<6>>::Name.Registered, 1);
}

TEST_F(Creation, out_of_memory_gives_null_and_registers_nothing)
{
    CInstance<CArchiveFileSystem, Plugin<1>> instance;
    AllocationFault::FailAfter(0);
    EXPECT_EQ(instance.Create(&System), nullptr);
    EXPECT_EQ(CTraceName<Plugin<1>>::Name.Registered, 0);
    EXPECT_TRUE(System.TraceRegistry.Names().empty());
}

TEST_F(Creation, the_plugin_library_registers_generic_tar_and_the_texts_of_its_numbers_when_loaded)
{
    std::string path = std::string(REELFS_PLUGIN_DIR) + "/libTarReelFS.so";
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    auto registerFactory = reinterpret_cast<std::uint32_t (*)()>(dlsym(library, "RegisterFactory0711"));
    ASSERT_NE(registerFactory, nullptr);
    EXPECT_EQ(dlsym(library, "_ZN21CGenericTarFileSystemC1EP7CSystemN4CSetI14CTraceLoggableLi0EE7pointerE"),
              nullptr);
    EXPECT_EQ(registerFactory(), 0u);
    EXPECT_EQ(registerFactory(), 0u);
    // The texts of the file systems' numbers, every family of them, before any file system is made.
    const struct
    {
        std::uint32_t Code;
        std::vector<std::string> Parameters;
        const char* Text;
    } cases[] = {
        {0xC0000818, {"V"}, "0xC0000818: the catalogue of volume V is not open"},
        {0xC000377D, {"ustar"}, "0xC000377D: unknown TAR standard \"ustar\""},
        {0xC0002717, {"a%2b", "other"}, "0xC0002717: the header names \"a%2b\", not \"other\""},
        {0xC00036B1, {}, "0xC00036B1: the Active Circle label is malformed"},
        {0xC0003730, {"256"}, "0xC0003730: the header metadata nests deeper than 256 levels"},
        {0xC0003733,
         {"Dictionary", "d.xml", "no such file", "dictionary"},
         "0xC0003733: the \"Dictionary\" setting (section MXFREELFS) names \"d.xml\", which does not load: "
         "no such file. Correct the file, or remove the setting to use the built-in dictionary"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MakeFailure("x", 1, c.Code, 0, c.Parameters).ToString(), c.Text);
    ASSERT_NE(Factory::Factory, nullptr);
    auto* instance = Factory::Factory->Find(u"GenericTar");
    ASSERT_NE(instance, nullptr);
    std::unique_ptr<CArchiveFileSystem> fs(instance->Create(&System));
    ASSERT_TRUE(fs);
    EXPECT_EQ(fs->GetFileSystemType(), u"GenericTar");
    EXPECT_EQ(System.TraceRegistry.Names(), std::vector<std::string>{"GenericTAR"});
    fs.reset();
    // The instance stays registered for the rest of the process, so the library stays loaded.
}
} // namespace
