#include "RecordingDiagnostics.h"

#include "mxf/RefCount.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <vector>

namespace
{

struct Tracked : mxf::RefCount<Tracked>
{
    explicit Tracked(int& deaths) : Deaths(deaths) {}
    ~Tracked() override { ++Deaths; }
    int& Deaths;
};

using TrackedPtr = mxf::SmartPtr<Tracked>;
using TrackedParent = mxf::ParentPtr<Tracked>;

std::string PointerText(const void* pointer)
{
    char text[32];
    std::snprintf(text, sizeof text, "%p", pointer);
    return text;
}

TEST(CountedPointers, last_strong_pointer_deletes_and_nulls_weak_pointers)
{
    int deaths = 0;
    TrackedParent weak;
    {
        TrackedPtr first = new Tracked(deaths);
        const TrackedPtr& same = first;
        first = same; // its own target, held once: the count must not reach 0 on the way
        EXPECT_EQ(deaths, 0);
        weak = first;
        {
            TrackedPtr second = first;
        }
        EXPECT_EQ(deaths, 0);
        EXPECT_EQ(weak.GetPtr(), first.GetPtr());
    }
    EXPECT_EQ(deaths, 1);
    EXPECT_EQ(weak.GetPtr(), nullptr);
    EXPECT_FALSE(TrackedPtr(weak));
}

TEST(CountedPointers, weak_pointer_outliving_its_target_is_destroyed_without_touching_it)
{
    mxftest::ClearDiagnostics();
    int deaths = 0;
    auto* weak = new TrackedParent;
    {
        TrackedPtr strong = new Tracked(deaths);
        *weak = strong;
        TrackedParent copy(*weak);
        EXPECT_EQ(copy.GetPtr(), strong.GetPtr());
    }
    EXPECT_EQ(deaths, 1);
    delete weak; // AddressSanitizer catches a touch of the deleted object
    EXPECT_TRUE(mxftest::Errors().empty());
}

TEST(CountedPointers, strong_pointer_from_weak_keeps_the_target_alive)
{
    int deaths = 0;
    TrackedPtr promoted;
    {
        TrackedPtr strong = new Tracked(deaths);
        TrackedParent weak(strong);
        promoted = weak;
    }
    EXPECT_EQ(deaths, 0);
    promoted = nullptr;
    EXPECT_EQ(deaths, 1);
}

TEST(CountedPointers, flagged_object_vetoes_assignment_but_not_copies)
{
    int deaths = 0;
    TrackedPtr held = new Tracked(deaths);
    TrackedPtr flagged = new Tracked(deaths);
    flagged->SetFlag(true);

    TrackedPtr target = held;
    target = flagged;
    EXPECT_EQ(target.GetPtr(), held.GetPtr());
    target = flagged.GetPtr();
    EXPECT_EQ(target.GetPtr(), held.GetPtr());
    TrackedPtr copy(flagged);
    EXPECT_EQ(copy.GetPtr(), flagged.GetPtr());
    target = nullptr;
    EXPECT_EQ(target.GetPtr(), nullptr);
}

TEST(CountedPointers, each_registration_of_a_weak_pointer_is_removed_once)
{
    int deaths = 0;
    TrackedPtr strong = new Tracked(deaths);
    TrackedParent weak(strong);
    mxftest::ClearDiagnostics();

    strong->RegisterParentPtr(&weak);
    strong->UnregisterParentPtr(&weak);
    strong->UnregisterParentPtr(&weak);
    EXPECT_TRUE(mxftest::Errors().empty());

    strong->UnregisterParentPtr(&weak);
    const std::vector<std::string> expected = {"Tried to clear ParentPtr(" + PointerText(&weak) + ") from " +
                                               PointerText(strong.GetPtr()) +
                                               " but that ParentPtr does not exist\n"};
    EXPECT_EQ(mxftest::Errors(), expected);
    strong->RegisterParentPtr(&weak); // so that the weak pointer's own unregistration finds itself
}

// A set of many children each holds a weak pointer to its parent; freeing them one by one must not cost
// a search through all the others (a hostile array of a few bytes an element makes thousands of them).
TEST(CountedPointers, many_weak_pointers_to_one_object_are_dropped_in_linear_time)
{
    int deaths = 0;
    TrackedPtr strong = new Tracked(deaths);
    std::vector<TrackedParent> weak(200000, TrackedParent(strong));
    const auto start = std::chrono::steady_clock::now();
    weak.clear();
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 2.0);
    EXPECT_EQ(deaths, 0);
}

TEST(CountedPointers, unregistering_from_an_object_without_weak_pointers_reports_it)
{
    int deaths = 0;
    TrackedPtr strong = new Tracked(deaths);
    TrackedParent stranger;
    mxftest::ClearDiagnostics();
    strong->UnregisterParentPtr(&stranger);
    const std::vector<std::string> expected = {"Tried to clear ParentPtr(" + PointerText(&stranger) +
                                               ") from " + PointerText(strong.GetPtr()) +
                                               " but that ParentPtr does not exist\n"};
    EXPECT_EQ(mxftest::Errors(), expected);
    EXPECT_EQ(deaths, 0);
}

// The counting part as a second base, as partitions have it: deletion must run the whole destructor.
struct FirstBase
{
    virtual ~FirstBase() = default;
    int Payload = 7;
};

struct CountedSecond : FirstBase, mxf::RefCount<CountedSecond>
{
    explicit CountedSecond(int& deaths) : Deaths(deaths) {}
    ~CountedSecond() override { ++Deaths; }
    int& Deaths;
};

TEST(CountedPointers, counting_part_as_second_base_deletes_the_whole_object)
{
    int deaths = 0;
    mxf::ParentPtr<CountedSecond> weak;
    {
        mxf::SmartPtr<CountedSecond> strong = new CountedSecond(deaths);
        weak = strong;
        EXPECT_EQ(strong->OwnerObject(), strong.GetPtr());
        EXPECT_EQ(strong->Payload, 7);
    }
    EXPECT_EQ(deaths, 1);
    EXPECT_EQ(weak.GetPtr(), nullptr);
}

// A weak pointer must not bring back an object whose count has reached 0, even while it is still whole.
struct PromotesItself : mxf::RefCount<PromotesItself>
{
    ~PromotesItself() override
    {
        PromotedInDestructor = static_cast<bool>(mxf::SmartPtr<PromotesItself>(Self));
    }
    mxf::ParentPtr<PromotesItself> Self;
    static inline bool PromotedInDestructor = true;
};

TEST(CountedPointers, dying_object_cannot_be_promoted_from_a_weak_pointer)
{
    {
        mxf::SmartPtr<PromotesItself> strong = new PromotesItself;
        strong->Self = strong;
    }
    EXPECT_FALSE(PromotesItself::PromotedInDestructor);
}

TEST(CountedPointers, unowned_object_is_adopted_by_its_first_strong_pointer)
{
    int deaths = 0;
    auto* object = new Tracked(deaths);
    TrackedParent weak;
    weak = object; // weak pointers keep no count: the object is still owned by nobody
    {
        TrackedPtr adopted(weak);
        EXPECT_EQ(adopted.GetPtr(), object);
    }
    EXPECT_EQ(deaths, 1);
    EXPECT_EQ(weak.GetPtr(), nullptr);
}

} // namespace
