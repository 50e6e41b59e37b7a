// Restores from Active Circle tapes. A file lies whole on its volume, right after its headers, so the
// position of its catalogue record is all a restore needs: the handler reads the header there again,
// checks that it names the file asked for, and reads the data with one drive operation: the whole file
// into the user fragment's file, or a byte range of it into a stream.
#include "FileSystems/PoolReelFS/CActiveCircleFileSystem.h"
#include "FileSystems/PoolReelFS/CActiveCircleFileSystemOperation.h"
#include "FileSystems/TapeFS/FileSystemErrors.h"
#include "FileSystems/TapeFS/RestoreDestination.h"
#include "FileSystems/TapeFS/TimeHelpers.h"
#include "FileSystems/TarFile/TarScanStep.h"
#include "vnservice/CBlockBuffer.h"
#include "vnservice/CFragmentFile.h"
#include "vnservice/CSystem.h"
#include "vnservice/CVantrelFragmentImpl.h"
#include "vnservice/ErrorGenerators.h"
#include "win/Allocation.h"
#include "win/CodePage.h"

namespace
{
constexpr char Source[] = "ActiveCircleReadWrite";

enum State : std::uint32_t
{
    ReadHeader = 0,
    HeaderRead = 1,
    PaxRead = 2,
    DataRead = 3,
    SparseRead = 4,
    SparseMapRead = 5,
};

// What both handlers do up to the data read: read the header at the file's start position and check it.
class CHeaderCheck
{
public:
    CHeaderCheck(CActiveCircleFileSystem& fileSystem, CArchiveFileSystemOperation* operation)
        : FileSystem(fileSystem), Operation(*static_cast<CActiveCircleFileSystemOperation*>(operation)),
          Volume(*static_cast<CVolume*>(Operation.TargetResource))
    {
    }

    // State 0: reads the first header block at the file's start position.
    CStatus ReadHeader();
    // States 1 and 2: verifies the header and, when it carries pax records, reads them with the member's
    // ustar block first (`pending`, to come back in state 2). Once all is read, the header must name
    // `expected` ("0/" and the member's name, or a sparse member's stand-in name, as readers that take it
    // for a plain file catalogue it); `size` is then the member's size and ReadBlock the position of its
    // first data block.
    CStatus Check(const CFileName& expected, const CFileName& archiveName, bool& pending,
                  std::uint64_t& size);

    // With the header checked: when it is that of a sparse member of `size` bytes of data, catalogued as a
    // file of `cataloguedBytes`, the restore of its expanded file begins (`sparse` set).
    CStatus BeginSparse(const CFileName& archiveName, std::uint64_t size, std::uint64_t cataloguedBytes,
                        bool& sparse);
    // Readies the user fragment's file for `size` bytes, dated as the scan catalogued the member.
    CStatus PrepareFile(CFragmentFile& file, std::uint64_t size);

    CActiveCircleFileSystem& FileSystem;
    CActiveCircleFileSystemOperation& Operation;
    CVolume& Volume;
};

CStatus CHeaderCheck::ReadHeader()
{
    if (CStatus status = CreateRestoreBuffer(FileSystem, Operation, Source); status.Failed())
        return status;
    Operation.TarFile.reset(NewNoThrow<CActiveCircleTarFile>());
    if (!Operation.TarFile)
        return CErrorGenMemory(Source, __LINE__, sizeof(CActiveCircleTarFile));
    if (CStatus status =
            Operation.BlockBuffer->Append(&Operation.TarFile->Header[0], CTarFile::BlockBytes, nullptr);
        status.Failed())
        return status;
    const std::uint64_t start = Operation.RestoreStart();
    Operation.NextState(Volume.ReadBlocksOperation(&Operation, CTarFile::BlockBytes, Operation.ReplicaIndex,
                                                   1, start, 0, 0, Operation.BlockBuffer, 0, true, nullptr),
                        State::HeaderRead);
    Operation.ReadBlock = start + 1;
    return CStatus::Success();
}

CStatus CHeaderCheck::Check(const CFileName& expected, const CFileName& archiveName, bool& pending,
                            std::uint64_t& size)
{
    CActiveCircleTarFile& tar = *Operation.TarFile;
    pending = false;
    if (CStatus status = tar.GetPaxDataLength(FileSystem.VolumeID, Operation.RestoreStart()); status.Failed())
        return status;
    if (Operation.State == State::HeaderRead && tar.PaxLength > 0)
    {
        std::uint64_t bytes = 0;
        if (CStatus status = TargetPaxRecords(*Operation.BlockBuffer, tar, bytes); status.Failed())
            return status;
        Operation.NextState(Volume.ReadBlocksOperation(&Operation, bytes, Operation.ReplicaIndex, 1,
                                                       Operation.ReadBlock, 0, 0, Operation.BlockBuffer, 0,
                                                       false, nullptr),
                            State::PaxRead);
        Operation.ReadBlock += CTarFile::BlocksFor(bytes);
        pending = true;
        return CStatus::Success();
    }
    CFileName member;
    if (CStatus status = tar.GetName(CP_OEMCP, member); status.Failed())
        return status;
    const CFileName found(u"0/" + member.GetText());
    if (found.Compare(expected) != 0)
    {
        // A sparse member catalogued under its stand-in name, as readers that take it for a plain file
        // catalogue it, is the file asked for: the sparse restore tells whether the record has its size.
        CFileName plain;
        const bool sparseByPlainName = tar.GetSparseForm() != CTarFile::SparseForm::None &&
                                       tar.GetPlainName(CP_OEMCP, plain).IsSuccess() &&
                                       CFileName(u"0/" + plain.GetText()).Compare(expected) == 0;
        if (!sparseByPlainName)
            return CErrorGenFileSystem(Source, __LINE__, ErrorWrongMember, FileSystem.VolumeID,
                                       {found.ToUtf8(), archiveName.ToUtf8()});
    }
    return tar.GetSize(FileSystem.VolumeID, size);
}

CStatus CHeaderCheck::BeginSparse(const CFileName& archiveName, std::uint64_t size,
                                  std::uint64_t cataloguedBytes, bool& sparse)
{
    sparse = Operation.TarFile->GetSparseForm() != CTarFile::SparseForm::None;
    if (!sparse)
        return CStatus::Success();
    // The member's data follow its headers on this volume.
    Operation.Sparse = std::make_unique<CSparseRestore>();
    std::vector<CSparseRestore::DataRun> runs{
        {Operation.ReadBlock, CTarFile::BlocksFor(size), Operation.Volume}};
    return Operation.Sparse->Begin(FileSystem.VolumeID, archiveName.ToUtf8(), *Operation.TarFile, size,
                                   cataloguedBytes, Operation.ReadBlock, std::move(runs), true);
}

CStatus CHeaderCheck::PrepareFile(CFragmentFile& file, std::uint64_t size)
{
    std::int64_t time = 0;
    CStatus status = Operation.TarFile->GetCatalogueTime(FileSystem.VolumeID, time);
    return status.Failed()
               ? status
               : PrepareDestination(Operation, file, size, TimeToFileTime(time), Operation.FragmentFileOpen);
}
} // namespace

CStatus CActiveCircleFileSystem::ReadUserFile(CArchiveFileSystemOperation* base)
{
    CHeaderCheck step(*this, base);
    CActiveCircleFileSystemOperation& operation = step.Operation;
    switch (operation.State)
    {
    case State::ReadHeader:
    {
        auto* file = static_cast<CFragmentFile*>(operation.UserFragment());
        System->EventSink.Post(EventSource, 0x80261, file->GetArchiveFileName(true).GetText());
        return step.ReadHeader();
    }
    case State::HeaderRead:
    case State::PaxRead:
    {
        auto& file = *static_cast<CFragmentFile*>(operation.UserFragment());
        bool pending = false;
        std::uint64_t size = 0;
        CStatus status =
            step.Check(file.GetArchiveFileName(false), file.GetArchiveFileName(true), pending, size);
        if (status.Failed() || pending)
            return status;
        bool sparse = false;
        if (status = step.BeginSparse(file.GetArchiveFileName(true), size, file.Size, sparse);
            status.Failed())
            return status;
        if (!sparse)
        {
            operation.BlockBuffer->Clear();
            if (status = operation.BlockBuffer->Append(&file, nullptr); status.IsSuccess())
                status = step.PrepareFile(file, size);
            if (status.Failed())
                return status;
            StartWholeFileRead(operation, operation.ReadBlock, State::DataRead);
            return CStatus::Success();
        }
        [[fallthrough]];
    }
    case State::SparseMapRead:
    {
        // The destination is readied once the whole map has been read.
        auto& file = *static_cast<CFragmentFile*>(operation.UserFragment());
        if (CStatus status = operation.Sparse->ReadMap(operation, State::SparseMapRead);
            status.Failed() || !operation.Sparse->MapRead())
            return status;
        if (CStatus status = step.PrepareFile(file, operation.Sparse->FileSize()); status.Failed())
            return status;
        return operation.Sparse->RestoreWhole(operation, file, State::SparseRead);
    }
    case State::DataRead:
        return EndWholeFileRead(operation);
    case State::SparseRead:
        return operation.Sparse->Step(operation, State::SparseRead);
    default:
        return UnknownState(operation.State, __LINE__);
    }
}

CStatus CActiveCircleFileSystem::ReadFragment(CArchiveFileSystemOperation* base)
{
    CHeaderCheck step(*this, base);
    CActiveCircleFileSystemOperation& operation = step.Operation;
    CVantrelFragmentImpl& fragment = *operation.SourceFragment();
    switch (operation.State)
    {
    case State::ReadHeader:
        System->EventSink.Post(EventSource, 0x80268, fragment.GetArchiveFileName().GetText());
        return step.ReadHeader();
    case State::HeaderRead:
    case State::PaxRead:
    {
        bool pending = false;
        std::uint64_t size = 0;
        CStatus status = step.Check(fragment.GetFileName(), fragment.GetArchiveFileName(), pending, size);
        if (status.Failed() || pending)
            return status;
        bool sparse = false;
        if (status = step.BeginSparse(fragment.GetArchiveFileName(), size, fragment.FileSize, sparse);
            status.Failed())
            return status;
        if (sparse)
        {
            operation.GotoState(State::SparseMapRead);
            return CStatus::Success();
        }
        operation.BlockBuffer->Clear();
        if (status = operation.BlockBuffer->Append(&fragment.Stream); status.Failed())
            return status;
        // The read starts at the block that holds the offset and delivers exactly the bytes the stream
        // takes.
        const std::uint64_t first = operation.FragmentOffset();
        const RangeRead read =
            ReadOfRange(operation.ReadBlock, 0, size, first, StreamRangeEnd(fragment.Stream, first, size));
        if (read.Length == 0)
        {
            operation.GotoState(State::DataRead);
            return CStatus::Success();
        }
        operation.NextState(step.Volume.ReadBlocksOperation(&operation, 0, operation.ReplicaIndex, 1,
                                                            read.Position, read.Skip, read.Length,
                                                            operation.BlockBuffer, 0, false, nullptr),
                            State::DataRead);
        return CStatus::Success();
    }
    case State::DataRead:
        operation.Complete(CStatus::Success(), 0, nullptr);
        return CStatus::Success();
    case State::SparseMapRead:
        if (CStatus status = operation.Sparse->ReadMap(operation, State::SparseMapRead);
            status.Failed() || !operation.Sparse->MapRead())
            return status;
        return operation.Sparse->RestoreRange(operation, fragment.Stream, operation.FragmentOffset(),
                                              State::SparseRead);
    case State::SparseRead:
        return operation.Sparse->Step(operation, State::SparseRead);
    default:
        return UnknownState(operation.State, __LINE__);
    }
}
