#include "FileSystems/TapeFS/TapeRecognitionStep.h"

#include "FileSystems/TapeFS/CTapeFileSystem.h"
#include "FileSystems/TapeFS/CTapeOperation.h"
#include "FileSystems/TapeFS/FileSystemErrors.h"
#include "frame/CCatalogueHeader.h"
#include "pagelist/CFileListInternal.h"
#include "vnservice/CBlockBuffer.h"
#include "vnservice/CSystem.h"
#include "vnservice/CVolumeSet.h"
#include "vnservice/ErrorGenerators.h"
#include "vnservice/Opcodes.h"
#include "win/WideString.h"

#include <algorithm>
#include <cstring>

CTapeRecognitionStep::CTapeRecognitionStep(CTapeFileSystem& fileSystem, CTapeOperation& operation,
                                           bool& alertFlag, bool& recognised, const Layout& layout)
    : FileSystem(fileSystem), Operation(operation), Volume(*static_cast<CVolume*>(operation.TargetResource)),
      HeldMedium(Volume.GetReplica(operation.ReplicaIndex)), Medium(HeldMedium.get()), AlertFlag(alertFlag),
      Recognised(recognised), TapeLayout(layout)
{
}

CStatus CTapeRecognitionStep::Run()
{
    CStatus status;
    if (ReadyForStep(status))
        status = RunStep();
    return Finish(status);
}

CStatus CTapeRecognitionStep::RunStep()
{
    const std::uint32_t state = Operation.State;
    if (state == 0)
        return Start();
    if (state == 1)
        return BlockSizeReported();
    if (state == TapeLayout.CheckState)
        return Checked();
    if (state == TapeLayout.CheckState + 1)
        return Identify();
    return RunState(state);
}

CStatus CTapeRecognitionStep::RunState(std::uint32_t state)
{
    return FileSystem.UnknownState(state, __LINE__);
}

// A step that follows a drive operation does no work when the status hook kept a failure of it (the
// finishing takes the kept one), nor when the replica has lost its medium.
bool CTapeRecognitionStep::ReadyForStep(CStatus& status) const
{
    const std::uint32_t state = Operation.State;
    if (state < 1 || state > TapeLayout.CheckState + 1)
        return true;
    if (Operation.KeptStatus.Failed())
        return false;
    if (Medium)
        return true;
    status = MediumMissing(__LINE__);
    return false;
}

// The operation's replica counts as not recognised, and a failure of the block-size request puts the
// volume in alert.
CStatus CTapeRecognitionStep::Start()
{
    FileSystem.SetRecognised(Operation.ReplicaIndex, false);
    AlertFlag = true;
    if (!Medium)
        return MediumMissing(__LINE__);
    Operation.NextState(Volume.GetBlockSizeOperation(&Operation, Operation.ReplicaIndex, 1), 1);
    return CStatus::Success();
}

CStatus CTapeRecognitionStep::BlockSizeReported()
{
    AlertFlag = false;
    if (TapeLayout.BlockSizeUnknown != 0 && Medium->BlockSizeKnown != 1)
        return Refused(TapeLayout.BlockSizeUnknown, __LINE__);
    FileSystem.BlockSize = Medium->ReportedBlockSize;
    // Type 3 is a medium of the host's own format.
    if (std::uint32_t type = CMediumAttribute(Medium->Attribute).GetType(); type == 3)
        Result = Outcome::NotThisLayout;
    else if (type != 1 && type != 2)
        return FileSystem.UnknownState(type, __LINE__);
    else if (TapeLayout.WholeTarBlocks && (FileSystem.BlockSize & 511) != 0)
        Result = Outcome::NotThisLayout;
    else
        return FirstRead();
    return CStatus::Success();
}

CStatus CTapeRecognitionStep::Checked()
{
    CStatus status = Check();
    if (status.Failed() || Result != Outcome::Continue)
        return status;
    status = SettleVolumeNumber(TapeIdentity());
    if (status.IsSuccess())
    {
        AlertFlag = true;
        Operation.NextState(Volume.FindLastWrittenBlockOperation(&Operation, Operation.ReplicaIndex, 1),
                            TapeLayout.CheckState + 1);
    }
    return status;
}

CStatus CTapeRecognitionStep::Identify()
{
    if (TapeLayout.MarksIdentified)
        Medium->MarkIdentified();
    CStatus status = Volume.ConditionallyUpdateState(CVolume::CState(CVolume::CState::Identified), false);
    if (status.IsSuccess())
        Result = Outcome::Recognised;
    return status;
}

// Gives the volume the first number from the identity's on whose catalogue is not open or holds the
// label identifier in one of its replica slots; a catalogue opened for a number passed over is closed
// again. Every round that ends without failure sets Recognised and marks the file system's replica 0
// recognised. A catalogue that cannot be opened or read ends the search with its failure.
CStatus CTapeRecognitionStep::SettleVolumeNumber(const Identity& identity)
{
    const CVolumeSetID set(CSystemID(), TapeLayout.VolumeSetType);
    std::uint32_t number = identity.FirstNumber;
    for (;;)
    {
        Volume.SetID(CVolumeID(set, number));
        bool openedHere = false;
        auto volumeSet = Volume.GetVolumeSet();
        if (!volumeSet || !volumeSet->Volumes.Find(Volume.GetID()))
        {
            bool wasOpen = Volume.Catalogue != nullptr;
            if (CStatus status = Volume.OpenCatalogue(false, false); status.Failed())
                return status;
            openedHere = !wasOpen;
        }
        if (Volume.Catalogue && Volume.Catalogue->IsOpen())
        {
            CCatalogueHeader header;
            std::uint32_t error = Volume.Catalogue->GetUserHeader(&header, sizeof header);
            bool match = false;
            for (int slot = 0; error == 0 && slot < CCatalogueHeader::ReplicaSlots && !match; ++slot)
                match = std::memcmp(header.ReplicaSlot[slot].LabelId, identity.LabelId.data(),
                                    identity.LabelId.size()) == 0;
            if (!match)
            {
                ++number;
                if (openedHere)
                    Volume.CloseCatalogue();
            }
            if (error != 0)
                return CErrorNumber::OsError(FileSystem.OpsSource, __LINE__, error);
            Recognised = true;
            FileSystem.SetRecognised(0, true);
            if (match)
                return CStatus::Success();
            continue;
        }
        if (openedHere)
            Volume.CloseCatalogue();
        Recognised = true;
        FileSystem.SetRecognised(0, true);
        return CStatus::Success();
    }
}

// A failure (of the step, or of the last drive operation as the operation kept it) puts the volume in
// alert while the alert flag is set. It is marked ignored, as a tape of another layout, when the kept
// status's error number is a quiet one and the alert flag is clear; otherwise it becomes the medium's
// alert status. Once Recognised, a failure still reports the tape as found, "in alert state". Every
// step that ends the operation without failing itself completes it.
CStatus CTapeRecognitionStep::Finish(const CStatus& status)
{
    Outcome outcome = Result;
    const bool failed = Operation.KeptStatus.Failed() || status.Failed();
    WString message;
    if ((failed || outcome == Outcome::Recognised) && Recognised)
        message = u"found file system " + WidenAscii(Volume.GetIDAsString());
    if (failed)
    {
        if (AlertFlag)
            Volume.SetAlert(true);
        CStatus taken = Operation.KeptStatus.Failed() ? Operation.KeptStatus : status;
        const std::uint32_t kept = Operation.KeptStatus.GetInternalErrorCode();
        const auto& quiet = TapeLayout.QuietCodes;
        if (!AlertFlag && std::find(quiet.begin(), quiet.end(), kept) != quiet.end())
            taken.Ignored();
        else if (Medium)
            Medium->SetAlertStatus(taken);
        if (Recognised)
        {
            message += u" (in alert state)";
            outcome = Outcome::Recognised;
        }
        else
            outcome = Outcome::NotThisLayout;
    }
    if (outcome == Outcome::Recognised)
        FileSystem.System->EventSink.Post(FileSystem.EventSource, 0x8025C, message);
    if (outcome != Outcome::Continue && status.IsSuccess())
        Operation.Complete(CStatus::Success(), 0, nullptr);
    return status;
}

CStatus CTapeRecognitionStep::CreateBlockBuffer()
{
    Operation.BlockBuffer = FileSystem.CreateBlockBuffer(OpcodeRecogniseVolume, Medium);
    if (!Operation.BlockBuffer)
        return CErrorGenMemory(FileSystem.OpsSource, __LINE__, sizeof(CBlockBuffer));
    return CStatus::Success();
}

void CTapeRecognitionStep::ReadBlock(std::uint64_t position, std::uint32_t next)
{
    Operation.NextState(Volume.ReadBlocksOperation(&Operation, FileSystem.BlockSize, Operation.ReplicaIndex,
                                                   1, position, 0, 0, Operation.BlockBuffer, 0, false,
                                                   nullptr),
                        next);
}

void CTapeRecognitionStep::ReadMark(std::uint64_t position, std::uint32_t next)
{
    Operation.NextState(Volume.ReadMarkOperation(&Operation, Operation.ReplicaIndex, 1, position), next);
}

CStatus CTapeRecognitionStep::Refused(std::uint32_t number, int line) const
{
    return CErrorGenMessage(FileSystem.OpsSource, line, number, {Medium->GetName()});
}

CStatus CTapeRecognitionStep::MediumMissing(int line) const
{
    return CErrorGenFileSystem(FileSystem.OpsSource, line, ErrorNoMedium, FileSystem.VolumeID,
                               {FormatParameter("%d", Operation.ReplicaIndex)});
}
