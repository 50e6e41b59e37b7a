#include "vnservice/COperation.h"

void COperation::NextState(COperationStatus driveOperation, std::uint32_t next)
{
    Pending = std::move(driveOperation);
    Next = next;
}

void COperation::GotoState(std::uint32_t next)
{
    GotoRequested = true;
    Next = next;
}

void COperation::Complete(const CStatus& status, std::uint32_t code, void* data)
{
    Completed = true;
    Final = status;
    ResultStatus.SendResultToCaller(status, false, code, data);
}

CStatus COperation::GetFinalStatus() const
{
    return Completed ? Final : ResultStatus.GetResult();
}
