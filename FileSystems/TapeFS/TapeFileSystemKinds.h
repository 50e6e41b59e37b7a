// The three factories by which the host gets a plug-in's own operation, scan context and replication
// context, written once for every tape file system. A file system derives from
// `CTapeFileSystemKinds<itself, its base, Operation, GetOperationContext, ReplicationContext>`, declares
// the specialisation `extern template` after its class and instantiates it in its own source file, where
// the three classes are complete. Each factory gives null when memory runs out.
#pragma once

#include "vnservice/CArchiveFileSystem.h"
#include "win/Allocation.h"

template <class FileSystem, class Base, class Operation, class GetOperationContext, class ReplicationContext>
class CTapeFileSystemKinds : public Base
{
public:
    using Base::Base;

    CArchiveFileSystemOperation* CreateOperation(CPriority priority, CResourceAffinity affinity,
                                                 CVolumePointer volume, CRequestPointer request) override;
    CGetOperationContext* CreateGetOperationContext(CVolumePointer volume, CMediumPointer medium) override;
    CReplicationContext* CreateReplicationContext() override;
};

template <class FileSystem, class Base, class Operation, class GetOperationContext, class ReplicationContext>
CArchiveFileSystemOperation*
CTapeFileSystemKinds<FileSystem, Base, Operation, GetOperationContext, ReplicationContext>::CreateOperation(
    CPriority priority, CResourceAffinity affinity, CVolumePointer volume, CRequestPointer request)
{
    return this->template NewOperation<Operation>(priority, affinity, std::move(volume), std::move(request));
}

template <class FileSystem, class Base, class Operation, class GetOperationContext, class ReplicationContext>
CGetOperationContext*
CTapeFileSystemKinds<FileSystem, Base, Operation, GetOperationContext,
                     ReplicationContext>::CreateGetOperationContext(CVolumePointer volume,
                                                                    CMediumPointer medium)
{
    return NewNoThrow<GetOperationContext>(static_cast<FileSystem*>(this), std::move(volume),
                                           std::move(medium));
}

template <class FileSystem, class Base, class Operation, class GetOperationContext, class ReplicationContext>
CReplicationContext* CTapeFileSystemKinds<FileSystem, Base, Operation, GetOperationContext,
                                          ReplicationContext>::CreateReplicationContext()
{
    return NewNoThrow<ReplicationContext>();
}
