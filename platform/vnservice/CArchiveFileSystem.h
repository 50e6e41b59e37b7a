// The base of every tape file system that a plug-in brings. The host creates a file system through its
// factory instance, stores and restores its settings, asks it to create operations and contexts, and runs
// each operation through the handler for its opcode. A plug-in overrides the operations below; those it
// leaves keep the host's bodies. A file system is driven by the host's operation thread, one call at a
// time.
#pragma once

#include "vnservice/CFileName.h"
#include "vnservice/CMedium.h"
#include "vnservice/CPersistable.h"
#include "vnservice/CPropertySet.h"
#include "vnservice/CResource.h"
#include "vnservice/CSet.h"
#include "vnservice/CStatus.h"
#include "vnservice/CTapeMedium.h"
#include "vnservice/CTraceLoggable.h"
#include "vnservice/CVolume.h"
#include "vnservice/Identities.h"

#include <cstdint>
#include <string>

class CSystem;
class CArchiveFileFragment;
class CFileListInternal;
class CUserFragment;
class CArchiveFileSystemOperation;
class CGetOperationContext;
class CReplicationContext;
struct CFragmentLocation;

// The host's request an operation serves; this host keeps nothing in it.
class CCachedRequestOperation : public CCounted
{
};

struct CPriority
{
    std::uint32_t Value = 0;
};

struct CResourceAffinity
{
    std::uint32_t Mask = 0;
};

using CVolumePointer = CSet<CVolume, 1>::pointer;
using CMediumPointer = CSet<CMedium, 1>::pointer;
using CRequestPointer = CSet<CCachedRequestOperation, 0>::pointer;

constexpr std::size_t DescriptorTextUnits = 64;

// What a file system tells the host of its type.
struct FileSystemTypeDescriptor
{
    const void* Instance = nullptr;
    char16_t TypeName[DescriptorTextUnits] = {};
    char16_t DisplayName[DescriptorTextUnits] = {};
    std::uint32_t MediumType = 0;
    std::uint32_t Constant = 0;
    std::uint32_t HookValue = 0;
    char16_t DescriptorText[DescriptorTextUnits] = {};
};

#pragma pack(push, 1)
// The block parameters a file system reports: the leading field is the host's.
struct CBlockParameters
{
    std::uint32_t Leading = 0;
    std::uint8_t Flag = 0;
    std::uint32_t BlockSize = 0;
    std::uint32_t Reserved = 0;
};
#pragma pack(pop)

class CArchiveFileSystem : public CPersistable, public CResource, public CPropertySet
{
public:
    CArchiveFileSystem(CSystem* system, CSet<CTraceLoggable, 0>::pointer traceSource);
    ~CArchiveFileSystem() override = default;

    WString GetTypeName() const override { return GetFileSystemType(); }

    virtual CArchiveFileSystemOperation* CreateOperation(CPriority priority, CResourceAffinity affinity,
                                                         CVolumePointer volume, CRequestPointer request) = 0;
    virtual WString GetFileSystemType() const = 0;
    virtual std::uint32_t GetMediumType() const = 0;
    virtual void NotifyOperation(CArchiveFileSystemOperation*) {}
    virtual std::uint32_t Hook09() = 0;
    virtual std::uint32_t Hook10(std::uint32_t argument) = 0;
    virtual CStatus Hook11() = 0;
    virtual CStatus CheckUpdateable();
    virtual std::uint64_t PadSizeEstimate(std::uint64_t a, std::uint64_t b, std::uint64_t n) = 0;
    virtual std::uint32_t Hook14() = 0;
    virtual bool Hook15() = 0;
    virtual bool Hook16() = 0;
    virtual std::uint32_t PostNotice600(std::uint64_t value) = 0;
    virtual void PostNotice601(CVolumePointer volume, std::uint64_t value) = 0;
    virtual void Hook19() = 0;
    virtual void NotifyVolume(CVolumePointer volume) = 0;
    virtual std::uint32_t Hook21() = 0;
    virtual std::uint32_t PostNotice602() = 0;
    virtual std::uint32_t Hook23() = 0;
    virtual std::uint32_t Hook24() = 0;
    virtual CGetOperationContext* CreateGetOperationContext(CVolumePointer volume, CMediumPointer medium) = 0;
    virtual CReplicationContext* CreateReplicationContext() = 0;
    virtual CStatus Hook27() = 0;
    virtual bool Hook28() = 0;
    virtual std::uint32_t Hook29() = 0;
    virtual std::uint64_t Hook30() = 0;
    virtual std::uint64_t GetLastWrittenBlock(CMedium* medium) = 0;
    virtual CStatus SetLastWrittenBlock(CMedium* medium, std::uint64_t block) = 0;
    virtual std::uint32_t Hook33() = 0;
    virtual bool IsFragmentWritten(CMedium* medium, CUserFragment* fragment,
                                   const CFragmentLocation& location) = 0;
    virtual bool Hook35() = 0;
    virtual CStatus EstimateBlocks(CMedium* medium, CArchiveFileSystemOperation* operation,
                                   std::uint64_t& blocks, std::uint64_t& bytes, std::uint8_t& flag) = 0;
    virtual std::uint32_t GetBlockSize(std::uint32_t opcode) = 0;
    virtual bool Hook38() = 0;
    virtual std::uint32_t Hook39(CFileName name) = 0;
    virtual CStatus GetBlockParameters(CBlockParameters& record) = 0;
    virtual std::uint32_t CheckMediumState(CMedium* medium) = 0;
    virtual CStatus GetTypeDescriptor(std::uint32_t argument, FileSystemTypeDescriptor& descriptor) = 0;

    // The host's own bodies. Writing and the global lock are not offered by this host.
    virtual CStatus InitialiseNewVolumeSet() { return CStatus::Success(); }
    virtual CStatus CountPathProperties(std::uint32_t& count);
    virtual CStatus EnumeratePathProperties();
    virtual CStatus GetPathProperty();
    virtual CStatus GetMAMAttribute();
    virtual CStatus CheckFragmentWritten();
    virtual CStatus AllocateMedium();
    virtual CStatus InitialiseGlobalLockProvider();
    virtual CStatus ConnectGlobalLockProvider();
    virtual CStatus StartGlobalLockProvider();
    virtual CStatus ReleaseGlobalLock();

    // One handler per opcode 1 to 22; each runs one step of the operation.
    virtual CStatus AcceptVolume(CArchiveFileSystemOperation* operation) = 0;
    virtual CStatus RecogniseVolume(CArchiveFileSystemOperation* operation) = 0;
    virtual CStatus HandleOpcode3(CArchiveFileSystemOperation* operation) = 0;
    virtual CStatus WriteUserFile(CArchiveFileSystemOperation* operation) = 0;
    virtual CStatus WriteFragment(CArchiveFileSystemOperation* operation) = 0;
    virtual CStatus PassthroughWrite(CArchiveFileSystemOperation* operation);
    virtual CStatus ReadUserFile(CArchiveFileSystemOperation* operation) = 0;
    virtual CStatus ReadFragment(CArchiveFileSystemOperation* operation) = 0;
    virtual CStatus PassthroughRead(CArchiveFileSystemOperation* operation);
    virtual CStatus HandleOpcode10(CArchiveFileSystemOperation* operation) = 0;
    virtual CStatus GetNextItem(CArchiveFileSystemOperation* operation) = 0;
    virtual CStatus HandleOpcode12(CArchiveFileSystemOperation* operation) = 0;
    virtual CStatus HandleOpcode13(CArchiveFileSystemOperation* operation) = 0;
    virtual CStatus PassthroughDelete(CArchiveFileSystemOperation* operation);
    virtual CStatus HandleOpcode15(CArchiveFileSystemOperation* operation) = 0;
    virtual CStatus WriteDirectory(CArchiveFileSystemOperation* operation) = 0;
    virtual CStatus HandleOpcode17(CArchiveFileSystemOperation* operation) = 0;
    virtual CStatus HandleOpcode18(CArchiveFileSystemOperation* operation) = 0;
    virtual CStatus HandleOpcode19(CArchiveFileSystemOperation* operation) = 0;
    virtual CStatus HandleOpcode20(CArchiveFileSystemOperation* operation) = 0;
    virtual CStatus GlobalLock(CArchiveFileSystemOperation* operation);
    virtual CStatus FragmentPropertyOp(CArchiveFileSystemOperation* operation);

    // Runs the handler of an opcode (1 to 22); another opcode fails.
    CStatus RunHandler(std::uint32_t opcode, CArchiveFileSystemOperation* operation);

    // The host's look at a file found on a foreign tape before it is catalogued: it numbers the file as the
    // next version of its path in the catalogue (segment 0, OrderKey1 0, OrderKey2 from 1).
    CStatus AnalyseForeignFile(CArchiveFileFragment& fragment, CFileListInternal* catalogue,
                               std::uint32_t blockSize, std::uint32_t one, std::uint32_t zero,
                               const void* map, bool flag);

    // Whether the file system took the tape in a replica of its volume as its own.
    void SetRecognised(std::uint32_t replica, bool recognised);
    bool IsRecognised(std::uint32_t replica) const;

    CSystem* GetSystem() const { return HostSystem; }
    const CSet<CTraceLoggable, 0>::pointer& GetTraceSource() const { return TraceSource; }

    // The identity of the volume set the file system serves, set by the host.
    CVolumeID VolumeID;
    // The name events are posted under.
    std::string EventSource;

private:
    CSystem* HostSystem;
    CSet<CTraceLoggable, 0>::pointer TraceSource;
    std::uint32_t RecognisedReplicas = 0;
};
