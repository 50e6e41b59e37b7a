// Restores from Tedial tapes. An MXF file lies whole between two file marks, from the block its catalogue
// record names, so a restore reads it with one drive operation from there: the whole file into the user
// fragment's file, or a byte range of it into a stream. Neither handler reads MXF or the catalogue.
#include "FileSystems/MxfReelFS/CTedialFileSystem.h"
#include "FileSystems/MxfReelFS/CTedialFileSystemOperation.h"
#include "FileSystems/TapeFS/FileSystemErrors.h"
#include "FileSystems/TapeFS/RestoreDestination.h"
#include "vnservice/CBlockBuffer.h"
#include "vnservice/CFragmentFile.h"
#include "vnservice/CSystem.h"
#include "vnservice/CVantrelFragmentImpl.h"
#include "vnservice/ErrorGenerators.h"

namespace
{
constexpr char Source[] = "TedialReadWrite";

enum State : std::uint32_t
{
    ReadData = 0,
    DataRead = 1,
};

// The block buffer of a restore, once the file system knows its tape blocks: before recognition or Load
// no position on the tape can be found.
CStatus MakeBlockBuffer(CTedialFileSystem& fileSystem, CTedialFileSystemOperation& operation)
{
    CStatus status = CreateRestoreBuffer(fileSystem, operation, Source);
    if (status.IsSuccess() && fileSystem.BlockSize == 0)
        status = CErrorGenFileSystem(Source, __LINE__, ErrorBlockSizeUnknown, fileSystem.VolumeID);
    if (status.IsSuccess())
        operation.BlockBuffer->Clear();
    return status;
}
} // namespace

CStatus CTedialFileSystem::ReadUserFile(CArchiveFileSystemOperation* base)
{
    auto& operation = *static_cast<CTedialFileSystemOperation*>(base);
    switch (operation.State)
    {
    case State::ReadData:
    {
        auto& file = *static_cast<CFragmentFile*>(operation.UserFragment());
        System->EventSink.Post(EventSource, 0x80261, file.GetArchiveFileName(true).GetText());
        operation.StartBlock = operation.RestoreStart();
        // Sized and dated as the scan catalogued the file.
        operation.ByteCount = file.ComputeFragmentFileSize();
        operation.FileTime = file.Time;
        CStatus status = MakeBlockBuffer(*this, operation);
        if (status.IsSuccess())
            status = operation.BlockBuffer->Append(&file, nullptr);
        if (status.IsSuccess())
            status = PrepareDestination(operation, file, operation.ByteCount, operation.FileTime,
                                        operation.FragmentFileOpen);
        if (status.Failed())
            return status;
        StartWholeFileRead(operation, operation.StartBlock, State::DataRead);
        return CStatus::Success();
    }
    case State::DataRead:
        return EndWholeFileRead(operation);
    default:
        return UnknownState(operation.State, __LINE__);
    }
}

CStatus CTedialFileSystem::ReadFragment(CArchiveFileSystemOperation* base)
{
    auto& operation = *static_cast<CTedialFileSystemOperation*>(base);
    auto& volume = *static_cast<CVolume*>(operation.TargetResource);
    CVantrelFragmentImpl& fragment = *operation.SourceFragment();
    switch (operation.State)
    {
    case State::ReadData:
    {
        System->EventSink.Post(EventSource, 0x80268, fragment.GetArchiveFileName().GetText());
        // No MXF file is empty: a fragment without its catalogued size has nothing to bound its bytes.
        if (fragment.FileSize == 0)
            return CErrorGenFileSystem(Source, __LINE__, ErrorNoFile, VolumeID,
                                       {fragment.GetArchiveFileName().ToUtf8()});
        CStatus status = MakeBlockBuffer(*this, operation);
        if (status.IsSuccess())
            status = operation.BlockBuffer->Append(&fragment.Stream);
        if (status.Failed())
            return status;
        // From the block that holds the offset, the bytes before the offset skipped: the stream gets the
        // bytes it asks for within the file's catalogued size, which the host's fragment carries.
        const std::uint64_t offset = operation.FragmentOffset();
        const std::uint64_t length = StreamRangeEnd(fragment.Stream, offset, fragment.FileSize) - offset;
        if (length == 0)
        {
            operation.GotoState(State::DataRead);
            return CStatus::Success();
        }
        operation.NextState(volume.ReadBlocksOperation(&operation, 0, operation.ReplicaIndex, 1,
                                                       operation.RestoreStart() + offset / BlockSize,
                                                       offset % BlockSize, length, operation.BlockBuffer, 0,
                                                       false, nullptr),
                            State::DataRead);
        return CStatus::Success();
    }
    case State::DataRead:
        operation.Complete(CStatus::Success(), 0, nullptr);
        return CStatus::Success();
    default:
        return UnknownState(operation.State, __LINE__);
    }
}
