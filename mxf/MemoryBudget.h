// MemoryBudget: the bytes that reading one file's header metadata may make its objects hold, counted as
// they are made. Header metadata is bounded in bytes, but what it costs in memory follows its shape: a
// batch of one-byte items or a string of UTF-16 units becomes an object for each item or unit, hundreds of
// bytes each. A budget lives on one thread: while a Scope has made it the thread's, what the library makes
// on that thread is taken from it, and readers stop once it is spent, so that a hostile file is refused
// instead of taking the host's memory. Budgets are not shared between threads.
#pragma once

#include <cstdint>

namespace mxf
{

class MemoryBudget
{
public:
    explicit MemoryBudget(std::uint64_t limit) : Limit(limit) {}
    MemoryBudget(const MemoryBudget&) = delete;
    MemoryBudget& operator=(const MemoryBudget&) = delete;

    // Counts bytes made; false once more than the limit is held. Taking never fails the allocation
    // itself: the reader that made it stops at its next step.
    bool Take(std::uint64_t bytes);
    // Counts bytes freed; never below nothing, as what was made before the count began may be freed.
    void GiveBack(std::uint64_t bytes);

    bool Spent() const { return Held > Limit; }
    std::uint64_t GetHeld() const { return Held; }
    std::uint64_t GetLimit() const { return Limit; }

    // The calling thread's budget; null when none is in force.
    static MemoryBudget* Current();
    // Takes from the thread's budget, when there is one.
    static void TakeFromCurrent(std::uint64_t bytes);
    // Whether the thread's budget, when there is one, is spent.
    static bool CurrentSpent();

    // Makes the budget the calling thread's while it lives, unless the thread has one already: an inner
    // reader then counts against the outer one.
    class Scope
    {
    public:
        explicit Scope(MemoryBudget& budget);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

        // The budget in force: this scope's, or the one that was there before it.
        MemoryBudget& Budget() const { return *InForce; }

    private:
        MemoryBudget* InForce;
        bool Installed;
    };

private:
    std::uint64_t Limit;
    std::uint64_t Held = 0;
};

// What each block the heap hands out costs beyond its bytes: its header and alignment.
constexpr std::uint64_t HeapBlockOverhead = 16;
// About what one entry of a list, map or hash table of pointers holds: its node, with its links and its
// share of the buckets.
constexpr std::uint64_t NodeCost = 4 * sizeof(void*) + HeapBlockOverhead;

} // namespace mxf
