// The process-wide registries of traits, value types and classes, and the static primer built on first use,
// looked up from several threads while another thread goes on defining. Built into its own program, so that
// the static primer is first built here and a ThreadSanitizer tree can run it alone (label tsan).
#include "TestDictionary.h"

#include "mxf/MDObject.h"
#include "mxf/MDTraitsInt.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace
{

constexpr std::uint8_t Family = 0x75;
constexpr int Entries = 64;

TEST(RegistryThreads, lookups_on_many_threads_find_every_entry_while_definitions_go_on)
{
    mxftest::DefineUnknownEntries();
    const mxf::MDTraitsPtr traits = new mxf::MDTraits_UInt16;
    ASSERT_TRUE(mxf::RegisterTraits("test::RegistryThreads", traits));
    std::vector<mxf::MDTypePtr> types;
    std::vector<mxf::MDOTypePtr> classes;
    for (int i = 0; i < Entries; ++i)
    {
        types.push_back(mxftest::DefineValueType("ThreadType" + std::to_string(i), 2, nullptr, Family));
        mxf::MDType::BindTraitsByName(types.back()->Name, "test::RegistryThreads");
        classes.push_back(mxftest::DefineClass(mxf::MDOType::ITEM, "ThreadClass" + std::to_string(i),
                                               types.back(), Family, static_cast<mxf::Tag>(0x7500 + i)));
    }

    std::atomic<bool> stop{false};
    std::thread definer(
        [&]
        {
            for (int i = 0; !stop; ++i)
                mxftest::DefineValueType("ThreadLater" + std::to_string(i), 1, nullptr, Family);
        });
    std::atomic<int> misses{0};
    std::vector<std::thread> readers;
    for (int t = 0; t < 6; ++t)
        readers.emplace_back(
            [&, t]
            {
                for (int round = 0; round < 40; ++round)
                    for (int i = (t + round) % Entries, n = 0; n < Entries; ++n, i = (i + 1) % Entries)
                    {
                        const std::string index = std::to_string(i);
                        if (mxf::MDType::FindByUL(*types[i]->TypeUL) != types[i] ||
                            mxf::MDType::FindByName("ThreadType" + index) != types[i] ||
                            mxf::MDOType::FindByUL(*classes[i]->TypeUL) != classes[i] ||
                            mxf::MDOType::FindByTag(static_cast<mxf::Tag>(0x7500 + i), mxf::PrimerPtr()) !=
                                classes[i] ||
                            mxf::MDType::TraitsByName("ThreadType" + index, "") != traits ||
                            mxf::LookupTraits("test::RegistryThreads") != traits)
                            ++misses;
                        const mxf::MDObjectPtr object =
                            new mxf::MDObject(static_cast<mxf::Tag>(0x7500 + i), mxf::PrimerPtr());
                        if (object->ClassType != classes[i] || object->Traits != traits ||
                            object->Value.Size() != 2)
                            ++misses;
                    }
            });
    for (std::thread& reader : readers)
        reader.join();
    stop = true;
    definer.join();
    EXPECT_EQ(misses, 0);
}

} // namespace
