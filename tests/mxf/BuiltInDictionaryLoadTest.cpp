// The first load of the built-in dictionary, as the first metadata objects of a process meet it: in a
// program of its own, so that nothing has loaded the core before the test, and so that a ThreadSanitizer
// tree can run the load on two threads at once (label tsan).
#include "mxf/BuiltInDictionary.h"
#include "mxf/MDOType.h"
#include "mxf/MDObject.h"
#include "mxf/MDTypeRegistry.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace
{

constexpr std::uint8_t UnknownSetBytes[16] = {0xe0, 0x72, 0xd2, 0x17, 0xef, 0x1e, 0xfb, 0x6e,
                                              0x9b, 0x9e, 0xe1, 0xa8, 0x83, 0xb6, 0x4b, 0x3d};

mxf::MDTypePtr Type(const std::string& name)
{
    return mxf::MDType::FindByName(name, mxf::DefaultSymbolSpace(), false);
}

std::size_t TypeCount()
{
    mxf::MDTypeRegistry& registry = mxf::MDTypeRegistry::Get();
    std::shared_lock guard(registry.Lock);
    return registry.AllTypes.size();
}

TEST(BuiltInDictionary, first_objects_built_on_two_threads_at_once_both_find_the_core_loaded_once)
{
    ASSERT_FALSE(Type("Internal-UInt8"));
    std::atomic<int> waiting{2};
    std::string names[2];
    std::string traits[2];
    const auto build = [&](int i)
    {
        --waiting;
        while (waiting.load() > 0)
            std::this_thread::yield();
        const mxf::MDObjectPtr set(new mxf::MDObject(mxf::UL(UnknownSetBytes)));
        names[i] = set->ClassType ? set->ClassType->Name : "(none)";
        const mxf::MDObjectPtr uuid(new mxf::MDObject(Type("Internal-UUID").GetPtr()));
        traits[i] = uuid->Traits ? uuid->Traits->Name() : "(none)";
    };
    std::thread first(build, 0);
    std::thread second(build, 1);
    first.join();
    second.join();
    for (int i = 0; i < 2; ++i)
    {
        EXPECT_EQ(names[i], "UnknownSet");
        EXPECT_EQ(traits[i], "mxf::MDTraits_UUID");
    }

    const std::size_t loaded = TypeCount();
    mxf::InitBuiltInDictionary();
    const mxf::MDObjectPtr more(new mxf::MDObject(mxf::MDOTypePtr()));
    EXPECT_EQ(TypeCount(), loaded);
}

} // namespace
