// Strong and weak pointers copied, promoted and dropped on several threads, while their targets die on
// others. Built into its own program so that a ThreadSanitizer tree can run it alone (label tsan).
#include "mxf/RefCount.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace
{

std::atomic<int> Deaths{0};

struct Shared : mxf::RefCount<Shared>
{
    ~Shared() override { Deaths.fetch_add(1); }
    int Value = 42;
};

using SharedPtr = mxf::SmartPtr<Shared>;
using SharedParent = mxf::ParentPtr<Shared>;

TEST(CountedPointerThreads, copies_and_weak_pointers_on_many_threads_keep_one_object_alive)
{
    Deaths = 0;
    SharedPtr shared = new Shared;
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back(
            [&shared]
            {
                for (int i = 0; i < 2000; ++i)
                {
                    SharedPtr copy = shared;
                    SharedParent weak(copy);
                    SharedPtr promoted(weak);
                    ASSERT_EQ(promoted->Value, 42);
                }
            });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(Deaths, 0);
    shared = nullptr;
    EXPECT_EQ(Deaths, 1);
}

TEST(CountedPointerThreads, promotion_races_the_last_release_safely)
{
    Deaths = 0;
    constexpr int rounds = 2000;
    for (int round = 0; round < rounds; ++round)
    {
        SharedPtr owner = new Shared;
        SharedParent* weak = new SharedParent(owner);
        std::atomic<bool> go{false};
        std::thread promoter(
            [&]
            {
                while (!go.load())
                {
                }
                for (;;)
                {
                    SharedPtr promoted(*weak);
                    if (!promoted)
                        break;
                    ASSERT_EQ(promoted->Value, 42);
                }
                delete weak; // dropped on this thread, after its target died on the other
            });
        std::thread dropper(
            [&]
            {
                while (!go.load())
                {
                }
                owner = nullptr;
            });
        go = true;
        dropper.join();
        promoter.join();
    }
    EXPECT_EQ(Deaths, rounds);
}

TEST(CountedPointerThreads, weak_pointers_dropped_while_the_target_dies)
{
    Deaths = 0;
    for (int round = 0; round < 500; ++round)
    {
        SharedPtr owner = new Shared;
        std::vector<SharedParent*> weak;
        for (int i = 0; i < 16; ++i)
            weak.push_back(new SharedParent(owner));
        std::thread dropper(
            [&]
            {
                for (SharedParent* pointer : weak)
                    delete pointer;
            });
        owner = nullptr;
        dropper.join();
    }
    EXPECT_EQ(Deaths, 500);
}

} // namespace
