#include "vnservice/COperationRunner.h"

#include "vnservice/CArchiveFileSystem.h"
#include "vnservice/CArchiveFileSystemOperation.h"
#include "vnservice/ErrorGenerators.h"
#include "vnservice/HostErrors.h"

CStatus COperationRunner::Run(CArchiveFileSystem& fileSystem, CArchiveFileSystemOperation& operation)
{
    for (;;)
    {
        CStatus status = fileSystem.RunHandler(operation.Opcode, &operation);
        if (status.Failed())
            return status;
        if (operation.IsComplete())
            return operation.GetFinalStatus();
        if (operation.HasPending())
        {
            COperationStatus drive = operation.TakePending();
            CStatus driveStatus = drive.AwaitCompletion();
            bool taken = operation.OwnerResource &&
                         operation.OwnerResource->HandleOperationStatus(&operation, driveStatus);
            if (!taken && driveStatus.Failed())
                return driveStatus;
            operation.State = operation.GetNextState();
            continue;
        }
        if (operation.TakeGoto())
        {
            operation.State = operation.GetNextState();
            continue;
        }
        // A step that neither went on nor completed would leave the caller waiting for ever.
        return CErrorGenMessage("OperationLoop", __LINE__, HostErrorDrive,
                                {"a step of opcode " + std::to_string(operation.Opcode) + " in state " +
                                 std::to_string(operation.State) + " neither went on nor completed"});
    }
}
