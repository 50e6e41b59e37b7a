#include "mxf/MemoryBudget.h"

#include "mxf/Diagnostics.h"

#include <string>

namespace mxf
{

namespace
{
// Initial-exec, so that the plug-in that holds the library gets no dynamic TLS block on any thread.
[[gnu::tls_model("initial-exec")]] thread_local MemoryBudget* ThreadBudget = nullptr;
} // namespace

bool MemoryBudget::Take(std::uint64_t bytes)
{
    const bool wasSpent = Spent();
    Held = bytes > UINT64_MAX - Held ? UINT64_MAX : Held + bytes;
    if (Spent() && !wasSpent)
        DiagnosticError("Header metadata needs more than %s bytes of memory to hold; refused as damaged\n",
                        std::to_string(Limit).c_str());
    return !Spent();
}

void MemoryBudget::GiveBack(std::uint64_t bytes)
{
    Held -= bytes < Held ? bytes : Held;
}

MemoryBudget* MemoryBudget::Current()
{
    return ThreadBudget;
}

void MemoryBudget::TakeFromCurrent(std::uint64_t bytes)
{
    if (ThreadBudget)
        ThreadBudget->Take(bytes);
}

bool MemoryBudget::CurrentSpent()
{
    return ThreadBudget && ThreadBudget->Spent();
}

MemoryBudget::Scope::Scope(MemoryBudget& budget)
    : InForce(ThreadBudget ? ThreadBudget : &budget), Installed(!ThreadBudget)
{
    ThreadBudget = InForce;
}

MemoryBudget::Scope::~Scope()
{
    if (Installed)
        ThreadBudget = nullptr;
}

} // namespace mxf
