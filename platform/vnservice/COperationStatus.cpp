#include "vnservice/COperationStatus.h"

COperationStatus COperationStatus::Finished(CStatus result)
{
    COperationStatus status;
    status.State = std::make_shared<Shared>();
    status.State->Complete = true;
    status.State->Status = std::move(result);
    return status;
}

CStatus COperationStatus::AwaitCompletion()
{
    if (!State)
        return CStatus::Success();
    if (!State->Complete)
    {
        State->Status = State->Run();
        State->Complete = true;
    }
    return State->Status;
}

void COperationStatus::SendResultToCaller(const CStatus& status, bool early, std::uint32_t, void*)
{
    if (!State)
        State = std::make_shared<Shared>();
    if (State->HasResult)
        return;
    State->HasResult = true;
    State->Early = early;
    State->Result = status;
}

const CStatus& COperationStatus::GetResult() const
{
    static const CStatus none;
    return State ? State->Result : none;
}
