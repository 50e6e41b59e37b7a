// The generic TAR tape file system: POSIX ustar tapes with pax records or GNU long names, possibly
// continued on a next volume. It keeps the TAR dialect found on the tape, the tape's block size and the
// volume files continue on ("NextVolume", a property and a setting). Made by the plug-in's factory
// instance, owned and driven by the host's operation thread; it takes no lock.
#pragma once

#include "FileSystems/TapeFS/CTapeFileSystem.h"
#include "FileSystems/TapeFS/TapeFileSystemKinds.h"
#include "frame/PluginTexts.h"
#include "vnservice/Identities.h"

#include <cstdint>

class CGenericTarFileSystemOperation;
class CGenericTarGetOperationContext;
class CGenericTarReplicationContext;

class CGenericTarFileSystem;
using CGenericTarFileSystemKinds =
    CTapeFileSystemKinds<CGenericTarFileSystem, CTapeFileSystem, CGenericTarFileSystemOperation,
                         CGenericTarGetOperationContext, CGenericTarReplicationContext>;

class CGenericTarFileSystem : public CGenericTarFileSystemKinds
{
public:
    static constexpr CPluginTexts Texts = {u"GenericTar", u"Generic TAR", "GenericTAR", u"0"};

    CGenericTarFileSystem(CSystem* system, CSet<CTraceLoggable, 0>::pointer traceSource);

    CStatus Save(CSystem* system, CPersistanceEngine::CNode& node) override;
    CStatus Load(CSystem* system, CPersistanceEngine::CNode& node) override;

    bool IsFragmentWritten(CMedium*, CUserFragment*, const CFragmentLocation&) override { return true; }
    CStatus EstimateBlocks(CMedium* medium, CArchiveFileSystemOperation* operation, std::uint64_t& blocks,
                           std::uint64_t& bytes, std::uint8_t& flag) override;

    CStatus CountProperties(std::uint32_t& count) override;
    CStatus EnumerateProperties(const CPropertyRecord& model, std::size_t& remainingBytes,
                                CPropertyRecord*& cursor) override;
    CStatus GetProperty(const CPropertyValue& property, CVariant& value) override;
    CStatus UpdateProperty(CPropertyValue& value, bool flag) override;

    CStatus RecogniseVolume(CArchiveFileSystemOperation* operation) override;
    CStatus ReadUserFile(CArchiveFileSystemOperation* operation) override;
    CStatus ReadFragment(CArchiveFileSystemOperation* operation) override;
    CStatus GetNextItem(CArchiveFileSystemOperation* operation) override;

    // Fills the operation's ByteCount, FileTime, FileStart and Extents for the file version, following
    // the file onto the volumes that continue it until the extents hold `dataBytes`, the bytes the member
    // has on tape (ByteCount but for a sparse member).
    CStatus LocateFile(CGenericTarFileSystemOperation& operation, const CFileName& path,
                       std::uint32_t segmentIndex, std::uint32_t orderKey1, std::uint32_t orderKey2,
                       const std::uint64_t* dataBytes = nullptr);
    // Header blocks a member of the name and size takes in the tape's dialect.
    CStatus CountHeaderBlocks(const CFileName& name, std::uint64_t size, std::uint64_t& blocks);

    // "NextVolume" counts as set when it names a system.
    bool IsNextVolumeSet() const { return NextVolume.GetVolumeSetID().GetSystemID().GetValue() != 0; }

    // 0 unset, 1 POSIX (pax headers seen), 2 GNU (long-name entries seen).
    std::int32_t Standard = 0;
    CVolumeID NextVolume;

private:
    // The first steps of both restores: finds the file version's record and reads its headers back
    // (`pending` while a read runs), then finds its extents; `sparse` when the member is sparse, whose
    // restore is then begun.
    CStatus LocateAndReadHeaders(CGenericTarFileSystemOperation& operation, const CFileName& path,
                                 std::uint32_t segmentIndex, std::uint32_t orderKey1, std::uint32_t orderKey2,
                                 const CFileName& archiveName, bool& pending, bool& sparse);
    // Starts the read of the next extent that holds any of the file's bytes [first, last); completes the
    // operation when none is left.
    CStatus ReadNextExtent(CGenericTarFileSystemOperation& operation, std::uint64_t first,
                           std::uint64_t last);
};

extern template class CTapeFileSystemKinds<CGenericTarFileSystem, CTapeFileSystem,
                                           CGenericTarFileSystemOperation, CGenericTarGetOperationContext,
                                           CGenericTarReplicationContext>;
