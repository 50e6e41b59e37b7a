// The host's operation loop: runs an operation's handler step by step until the operation completes or
// a step fails. After a step that started a drive operation, the loop completes it (its outputs are
// written then), hands its status to the operation's owning resource and enters the handler again in the
// state the step named; a step that called GotoState is entered again at once. Runs on the calling thread.
#pragma once

#include "vnservice/CStatus.h"

#include <cstdint>

class CArchiveFileSystem;
class CArchiveFileSystemOperation;

class COperationRunner
{
public:
    // The status the operation ended with: its completion status, a failed step's status, or the failure
    // of a drive operation that the owning resource left to the host.
    static CStatus Run(CArchiveFileSystem& fileSystem, CArchiveFileSystemOperation& operation);
};
