// The status of an asynchronous piece of work: a drive operation that a handler started, or the result
// that an operation owes its caller. A drive operation does nothing when it is started: it runs when the
// host completes it (or when AwaitCompletion runs it inline), and only then writes its outputs. Copies
// share one state; the state belongs to the operation thread that started the work.
#pragma once

#include "vnservice/CStatus.h"

#include <memory>
#include <optional>

class COperationStatus
{
public:
    COperationStatus() = default;
    // A drive operation that runs `work` (a callable giving a CStatus) when completed. The work is kept
    // in the shared state itself, so that starting a drive operation costs one allocation.
    template <class Work> static COperationStatus Pending(Work work)
    {
        COperationStatus status;
        status.State = std::make_shared<WorkState<Work>>(std::move(work));
        return status;
    }
    // Work that failed before it could start; completing it gives the failure.
    static COperationStatus Finished(CStatus status);

    bool IsValid() const { return static_cast<bool>(State); }
    bool IsComplete() const { return State && State->Complete; }

    // Runs the work if it has not run yet and gives its status.
    CStatus AwaitCompletion();

    // For an operation's own result: hands the status to the waiting caller now, ahead of completion.
    void SendResultToCaller(const CStatus& status, bool early, std::uint32_t code, void* data);
    bool HasResult() const { return State && State->HasResult; }
    bool ResultWasEarly() const { return State && State->Early; }
    const CStatus& GetResult() const;

private:
    struct Shared
    {
        virtual ~Shared() = default;
        // Runs the work and lets it go; a status without work has none to run.
        virtual CStatus Run() { return CStatus::Success(); }

        bool Complete = false;
        CStatus Status;
        bool HasResult = false;
        bool Early = false;
        CStatus Result;
    };
    template <class Work> struct WorkState : Shared
    {
        explicit WorkState(Work work) : Pending(std::move(work)) {}
        CStatus Run() override
        {
            CStatus status = (*Pending)();
            Pending.reset();
            return status;
        }
        std::optional<Work> Pending;
    };
    std::shared_ptr<Shared> State;
};
