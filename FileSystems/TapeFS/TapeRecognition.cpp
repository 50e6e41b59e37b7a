#include "FileSystems/TapeFS/TapeRecognition.h"

#include "FileSystems/TapeFS/CTapeFileSystem.h"
#include "FileSystems/TapeFS/CTapeOperation.h"
#include "frame/CCatalogueHeader.h"
#include "pagelist/CFileListInternal.h"
#include "vnservice/CArchiveFileSystemOperation.h"
#include "vnservice/CSystem.h"
#include "vnservice/CVolumeSet.h"
#include "vnservice/ErrorGenerators.h"
#include "win/WideString.h"

#include <algorithm>
#include <cstring>

namespace
{
constexpr std::uint32_t ErrorNoMedium = 0xC0000FA2;
} // namespace

CStatus StartRecognition(CTapeFileSystem& fileSystem, CArchiveFileSystemOperation& operation, CVolume& volume,
                         CMedium* medium, bool& alertFlag)
{
    const std::uint32_t replica = operation.ReplicaIndex;
    fileSystem.SetRecognised(replica, false);
    alertFlag = true;
    if (!medium)
        return CErrorGenFileSystem(fileSystem.OpsSource, __LINE__, ErrorNoMedium, fileSystem.VolumeID,
                                   {FormatParameter("%d", replica)});
    operation.NextState(volume.GetBlockSizeOperation(&operation, replica, 1), 1);
    return CStatus::Success();
}

bool ReadyForRecognitionStep(CTapeFileSystem& fileSystem, CTapeOperation& operation, CMedium* medium,
                             std::uint32_t lastDriveState, CStatus& status)
{
    if (operation.State < 1 || operation.State > lastDriveState)
        return true;
    if (operation.KeptStatus.Failed())
        return false;
    if (medium)
        return true;
    status = CErrorGenFileSystem(fileSystem.OpsSource, __LINE__, ErrorNoMedium, fileSystem.VolumeID,
                                 {FormatParameter("%d", operation.ReplicaIndex)});
    return false;
}

CStatus IdentifyVolume(CVolume& volume, CMedium& medium, RecognitionOutcome& outcome)
{
    medium.MarkIdentified();
    CStatus status = volume.ConditionallyUpdateState(CVolume::CState(6), false);
    if (status.IsSuccess())
        outcome = RecognitionOutcome::Recognised;
    return status;
}

CStatus SettleVolumeNumber(CTapeFileSystem& fileSystem, CVolume& volume, const CVolumeSetID& set,
                           std::uint32_t number, const std::uint8_t (&labelId)[48], bool& recognised)
{
    for (;;)
    {
        volume.SetID(CVolumeID(set, number));
        bool openedHere = false;
        auto volumeSet = volume.GetVolumeSet();
        if (!volumeSet || !volumeSet->Volumes.Find(volume.GetID()))
        {
            bool wasOpen = volume.Catalogue != nullptr;
            if (CStatus status = volume.OpenCatalogue(false, false); status.Failed())
                return status;
            openedHere = !wasOpen;
        }
        if (volume.Catalogue && volume.Catalogue->IsOpen())
        {
            CCatalogueHeader header;
            std::uint32_t error = volume.Catalogue->GetUserHeader(&header, sizeof header);
            bool match = false;
            for (int slot = 0; error == 0 && slot < CCatalogueHeader::ReplicaSlots && !match; ++slot)
                match = std::memcmp(header.ReplicaSlot[slot].LabelId, labelId, sizeof labelId) == 0;
            if (!match)
            {
                ++number;
                if (openedHere)
                    volume.CloseCatalogue();
            }
            if (error != 0)
                return CErrorNumber::OsError(fileSystem.OpsSource, __LINE__, error);
            recognised = true;
            fileSystem.SetRecognised(0, true);
            if (match)
                return CStatus::Success();
            continue;
        }
        if (openedHere)
            volume.CloseCatalogue();
        recognised = true;
        fileSystem.SetRecognised(0, true);
        return CStatus::Success();
    }
}

CStatus FinishRecognitionStep(CTapeFileSystem& fileSystem, CTapeOperation& operation, CVolume& volume,
                              CMedium* medium, RecognitionOutcome outcome, const CStatus& status,
                              bool recognised, std::span<const std::uint32_t> quietCodes)
{
    const bool failed = operation.KeptStatus.Failed() || status.Failed();
    WString message;
    if ((failed || outcome == RecognitionOutcome::Recognised) && recognised)
        message = u"found file system " + WidenAscii(volume.GetIDAsString());
    if (failed)
    {
        const bool alert = operation.IsAlertFlagSet();
        if (alert)
            volume.SetAlert(true);
        CStatus taken = operation.KeptStatus.Failed() ? operation.KeptStatus : status;
        const std::uint32_t kept = operation.KeptStatus.GetInternalErrorCode();
        if (!alert && std::find(quietCodes.begin(), quietCodes.end(), kept) != quietCodes.end())
            taken.Ignored();
        else if (medium)
            medium->SetAlertStatus(taken);
        if (recognised)
        {
            message += u" (in alert state)";
            outcome = RecognitionOutcome::Recognised;
        }
        else
            outcome = RecognitionOutcome::NotThisLayout;
    }
    if (outcome == RecognitionOutcome::Recognised)
        fileSystem.System->EventSink.Post(fileSystem.EventSource, 0x8025C, message);
    if (outcome != RecognitionOutcome::Continue && status.IsSuccess())
        operation.Complete(CStatus::Success(), 0, nullptr);
    return status;
}
