#include "FileSystems/TapeFS/TapeScanStep.h"

#include "FileSystems/TapeFS/CTapeFileSystem.h"
#include "FileSystems/TapeFS/CTapeGetOperationContext.h"
#include "FileSystems/TapeFS/CTapeOperation.h"
#include "FileSystems/TapeFS/TapeScanItems.h"
#include "frame/CCatArchive.h"
#include "vnservice/CBlockBuffer.h"
#include "vnservice/CFragmentFile.h"
#include "vnservice/CSystem.h"
#include "vnservice/ErrorGenerators.h"
#include "vnservice/Opcodes.h"

CTapeScanStep::CTapeScanStep(CTapeFileSystem& fileSystem, CTapeOperation& operation,
                             CTapeGetOperationContext& context)
    : FileSystem(fileSystem), Operation(operation), Context(context), Catalogue(operation.ScanCatalogue()),
      Volume(*static_cast<CVolume*>(operation.TargetResource)),
      HeldMedium(Volume.GetReplica(operation.ReplicaIndex)), Medium(HeldMedium.get()),
      Item(context.ItemOperation)
{
}

CStatus CTapeScanStep::Run()
{
    const std::uint32_t state = Operation.State;
    if (state == 0)
        FileSystem.System->EventSink.Post(FileSystem.EventSource, 0x40080263, Context.ScanPosition);
    if (!Medium)
        return CTapeFileSystem::NoMedium(FileSystem.OpsSource, __LINE__, Volume, Operation.ReplicaIndex);
    return RunStep(state);
}

CStatus CTapeScanStep::CreateBlockBuffer()
{
    Operation.BlockBuffer = FileSystem.CreateBlockBuffer(OpcodeGetNextItem, Medium);
    return Operation.BlockBuffer ? CStatus::Success()
                                 : CErrorGenMemory(FileSystem.OpsSource, __LINE__, sizeof(CBlockBuffer));
}

void CTapeScanStep::ReadMark(std::uint64_t position, std::uint32_t next)
{
    Operation.NextState(Volume.ReadMarkOperation(&Operation, Operation.ReplicaIndex, 1, position), next);
}

CStatus CTapeScanStep::StoreLabelId(const std::uint8_t (&labelId)[48], bool unreadableFails)
{
    return ::StoreLabelId(Catalogue, Operation.ReplicaIndex, labelId, unreadableFails, FileSystem.OpsSource);
}

CStatus CTapeScanStep::FillFile(const CFileName& path, const CCatArchive& record, std::uint64_t position,
                                std::uint64_t time)
{
    Item.Opcode = ItemFile;
    Item.ClearParameters();
    Item.AnchoredFileName = path;
    CFragmentFile* file = nullptr;
    if (CStatus status = MakeFileFragment(FileSystem, record, FileSystem.OpsSource, file); status.Failed())
        return status;
    Item.SetItemFragment(file);
    Item.ItemPosition() = position;
    Item.ItemSize() = time;
    Item.ItemCounter() = record.FileSize;
    Item.Slot(5) = 0;
    Item.ItemFileSize() = record.FileSize;
    Item.ItemFileStart() = Context.ItemStart;
    return CStatus::Success();
}

CStatus CTapeScanStep::Finish(const CStatus& status)
{
    Operation.Complete(status, 0, nullptr);
    return CStatus::Success();
}
