// A volume known to the host: its identity, its name and whether its medium can be reached now.
// Volumes are counted host objects, shared through CSet<CVolume,1>::pointer; members that change
// after construction are changed by the host's operation thread only.
#pragma once

#include "vnservice/CMedium.h"
#include "vnservice/COperationStatus.h"
#include "vnservice/CResource.h"
#include "vnservice/CSet.h"
#include "vnservice/Identities.h"

#include <cstdint>
#include <string>
#include <vector>

class CSystem;
class COperation;
class CBlockBuffer;
class CTapeMedium;
class CFileListInternal;
class CVolumeSet;
class CArchiveFileSystem;

class CVolume : public CCounted, public CResource
{
public:
    // A volume's state as the host tracks it.
    struct CState
    {
        static constexpr std::uint32_t Identified = 6; // a file system has recognised the volume
        explicit CState(std::uint32_t value = 0) : Value(value) {}
        std::uint32_t Value;
    };

    CVolume(CSystem* system, CVolumeID id, std::string name) : System(system), ID(id), Name(std::move(name))
    {
    }
    ~CVolume() override;

    CSystem* GetSystem() const { return System; }
    const CVolumeID& GetID() const { return ID; }
    void SetID(const CVolumeID& id) { ID = id; }
    const std::string& GetName() const { return Name; }
    std::string GetIDAsString() const { return ID.ToString(); }

    bool IsAccessible() const { return Accessible; }
    void SetAccessible(bool accessible) { Accessible = accessible; }

    // The medium in each replica slot; an empty handle when the slot holds none.
    CSet<CMedium, 1>::pointer GetReplica(std::uint32_t replica) const
    {
        return replica < Replicas.size() ? Replicas[replica] : CSet<CMedium, 1>::pointer();
    }
    void SetReplica(std::uint32_t replica, CSet<CMedium, 1>::pointer medium)
    {
        if (Replicas.size() <= replica)
            Replicas.resize(replica + 1);
        Replicas[replica] = std::move(medium);
    }

    // The volume's catalogue, opened for its current identity; null while closed.
    CStatus OpenCatalogue(bool create, bool flag);
    CStatus CloseCatalogue();
    // Closes the catalogue and forgets what is stored of it, so that the next OpenCatalogue with `create`
    // starts an empty one.
    CStatus DropCatalogue();
    CFileListInternal* Catalogue = nullptr;

    // The volume set the volume belongs to; empty while it belongs to none.
    CSet<CVolumeSet, 1>::pointer GetVolumeSet() const;
    void SetVolumeSet(CVolumeSet* set) { VolumeSet = set; }

    CStatus ConditionallyUpdateState(CState state, bool flag);
    std::uint32_t GetState() const { return State.Value; }

    // The file system that reads this volume's tapes, set by the host; it keeps the volume's settings
    // (a generic TAR volume's continuation, say). Not owned.
    CArchiveFileSystem* GetFileSystem() const { return FileSystem; }
    void SetFileSystem(CArchiveFileSystem* fileSystem) { FileSystem = fileSystem; }

    void SetAlert(bool alert) { Alert = alert; }
    bool IsAlert() const { return Alert; }

    // Drive operations on the medium of a replica. Nothing happens until the returned status is
    // completed; outputs (block buffer, position reached, medium members) are written then. Positions
    // are in the block buffer's unit for reads, in the medium's logical blocks otherwise.
    COperationStatus GetBlockSizeOperation(COperation* operation, std::uint32_t replica, std::uint32_t one);
    COperationStatus ReadBlocksOperation(COperation* operation, std::uint64_t bytes, std::uint32_t replica,
                                         std::uint32_t one, std::uint64_t position, std::uint64_t offset,
                                         std::uint64_t length, CBlockBuffer* buffer, std::uint32_t progress,
                                         bool flag, std::uint64_t* count);
    COperationStatus ReadMarkOperation(COperation* operation, std::uint32_t replica, std::uint32_t one,
                                       std::uint64_t position);
    COperationStatus SpaceMarksOperation(COperation* operation, std::uint32_t replica, std::uint32_t one,
                                         std::uint64_t from, std::uint32_t marks, std::uint64_t* reached);
    COperationStatus FindLastWrittenBlockOperation(COperation* operation, std::uint32_t replica,
                                                   std::uint32_t one);
    // Success when the replica's tape holds whole entries to the end of its data; for a tape image cut
    // short, the failure that says where it ends. Answered at once, for the host.
    CStatus CheckTapeWhole(std::uint32_t replica) const;

private:
    CTapeMedium* DriveMedium(std::uint32_t replica) const;
    // A drive operation on the replica's medium that runs `work(CTapeMedium&)` when completed.
    template <class Work> COperationStatus Start(std::uint32_t replica, Work work) const;

    CSystem* System;
    CVolumeID ID;
    std::string Name;
    bool Accessible = false;
    bool Alert = false;
    CState State;
    CVolumeSet* VolumeSet = nullptr; // the set holds its volumes; the volume does not hold its set
    CArchiveFileSystem* FileSystem = nullptr;
    std::vector<CSet<CMedium, 1>::pointer> Replicas;
};
