// The process-wide registries of traits, value types and classes, and the static primer built on first use,
// looked up from several threads while another thread goes on defining. Built into its own program, so that
// the static primer is first built here and a ThreadSanitizer tree can run it alone (label tsan).
#include "TestDictionary.h"

#include "mxf/MDObject.h"
#include "mxf/MDTraitsInt.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
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
    mxf::MDOType::BuildStaticPrimer(); // as a dictionary load leaves it

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

// Encoding a 2-byte-tag set without a primer takes its items' tags from the static primer, entering a new
// dynamic tag for each label it lacks, while other threads look tags up in it.
TEST(RegistryThreads, encodings_without_a_primer_on_many_threads_give_each_label_a_tag_of_its_own)
{
    mxftest::DefineUnknownEntries();
    const mxf::MDOTypePtr setClass = mxftest::DefineClass(mxf::MDOType::SET, "ThreadSet", {}, Family);
    constexpr int Threads = 6;
    constexpr int Labels = 200;
    std::vector<std::vector<mxf::ULPtr>> labels(Threads);
    for (std::vector<mxf::ULPtr>& each : labels)
        for (int i = 0; i < Labels; ++i)
            each.push_back(mxftest::NewLabel(Family));
    std::vector<std::vector<mxf::Tag>> written(Threads);
    std::vector<std::thread> encoders;
    for (int t = 0; t < Threads; ++t)
        encoders.emplace_back(
            [&, t]
            {
                for (int i = 0; i < Labels; ++i)
                {
                    const mxf::MDObjectPtr set = new mxf::MDObject(setClass);
                    set->AppendChild(mxf::MDObjectPtr(new mxf::MDObject(labels[t][i])));
                    const mxf::DataChunkPtr bytes = set->EncodeValue(mxf::PrimerPtr());
                    if (bytes->Size() >= 2)
                        written[t].push_back(static_cast<mxf::Tag>(bytes->Data()[0] << 8 | bytes->Data()[1]));
                    (void)mxf::MDOType::FindByTag(0x7500, mxf::PrimerPtr());
                }
            });
    for (std::thread& encoder : encoders)
        encoder.join();
    std::set<mxf::Tag> tags;
    for (const std::vector<mxf::Tag>& each : written)
    {
        EXPECT_EQ(each.size(), static_cast<std::size_t>(Labels));
        tags.insert(each.begin(), each.end());
    }
    EXPECT_EQ(tags.size(), static_cast<std::size_t>(Threads * Labels));
}

} // namespace
