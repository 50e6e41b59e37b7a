// An operation the host runs on a resource, one handler step at a time. A step that starts a drive
// operation names the state to continue in with NextState and returns; the host completes the drive
// operation, hands its status to the owning resource and enters the handler again in that state.
// GotoState continues without the drive; Complete ends the operation with its result. An operation is
// driven by one thread at a time.
#pragma once

#include "vnservice/COperationStatus.h"
#include "vnservice/CSet.h"
#include "vnservice/CStatus.h"

#include <cstdint>

class CResource;

class COperation
{
public:
    virtual ~COperation() = default;

    void NextState(COperationStatus driveOperation, std::uint32_t next);
    void GotoState(std::uint32_t next);
    void Complete(const CStatus& status, std::uint32_t code, void* data);

    bool IsComplete() const { return Completed; }
    // The pending drive operation and the state after it; taken by the host loop.
    COperationStatus TakePending() { return std::exchange(Pending, COperationStatus()); }
    bool HasPending() const { return Pending.IsValid(); }
    bool TakeGoto() { return std::exchange(GotoRequested, false); }
    std::uint32_t GetNextState() const { return Next; }
    // The result the operation ended with (or sent early to its caller).
    CStatus GetFinalStatus() const;

    std::uint32_t State = 0;
    CResource* OwnerResource = nullptr;
    CResource* TargetResource = nullptr;
    COperationStatus ResultStatus = COperationStatus::Finished(CStatus());

private:
    COperationStatus Pending;
    std::uint32_t Next = 0;
    bool GotoRequested = false;
    bool Completed = false;
    CStatus Final;
};
