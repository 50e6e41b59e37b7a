// The parts of recognition that every tape file system shares: settling the volume's number, so that a
// tape read again keeps the number it had, and the end of every recognition step (the "found file
// system" event, alerts, the quiet refusal of tapes of other layouts, completion). Each plug-in's
// RecogniseVolume runs its own states and calls these. They run on the host's operation thread, inside
// one handler step; they take no lock.
#pragma once

#include "vnservice/CStatus.h"
#include "vnservice/Identities.h"

#include <cstdint>
#include <span>

class CArchiveFileSystemOperation;
class CMedium;
class CTapeFileSystem;
class CTapeOperation;
class CVolume;

enum class RecognitionOutcome
{
    Continue, // a drive operation was started
    Recognised,
    NotThisLayout
};

// The first step of every recognition (state 0): the operation's replica counts as not recognised, a
// failure of the coming block-size request puts the volume in alert (`alertFlag`), and the request is
// started, to continue in state 1. Without a medium it fails with 0xC0000FA2.
CStatus StartRecognition(CTapeFileSystem& fileSystem, CArchiveFileSystemOperation& operation, CVolume& volume,
                         CMedium* medium, bool& alertFlag);

// Whether a step that follows one of the drive operations of states 1 to `lastDriveState` may do its work:
// not when the status hook kept a failure of that operation (`status` stays as it is, the finishing
// takes the kept one), nor when the replica has lost its medium (`status` is then 0xC0000FA2). Either
// way the step goes straight to FinishRecognitionStep.
bool ReadyForRecognitionStep(CTapeFileSystem& fileSystem, CTapeOperation& operation, CMedium* medium,
                             std::uint32_t lastDriveState, CStatus& status);

// The last step of every recognition, once the last written block is known: the medium is marked
// identified and the volume's state updated; the outcome is recognised unless the update fails.
CStatus IdentifyVolume(CVolume& volume, CMedium& medium, RecognitionOutcome& outcome);

// Gives the volume the first number from `number` on, in volume set `set`, whose catalogue is not open
// or holds `labelId` in one of its replica slots; a catalogue it opened for a number it passes over is
// closed again. Every round that ends without failure sets `recognised` and marks the file system's
// replica 0 recognised. A catalogue that cannot be opened or read ends the search with its failure.
CStatus SettleVolumeNumber(CTapeFileSystem& fileSystem, CVolume& volume, const CVolumeSetID& set,
                           std::uint32_t number, const std::uint8_t (&labelId)[48], bool& recognised);

// Ends a recognition step whose own status is `status` and whose outcome is `outcome`. A failure (of
// the step, or of the last drive operation as the operation kept it) puts the volume in alert while the
// operation's alert flag is set. It is marked ignored, as a tape of another layout, when the kept drive
// status's error number is one of `quietCodes` (0 standing for none) and the alert flag is clear;
// otherwise it becomes the medium's alert status. Once `recognised`, a failure still reports the tape as
// found, "in alert state". Posts the event of a found tape and completes every step that ends the
// operation without failing itself. Returns `status`.
CStatus FinishRecognitionStep(CTapeFileSystem& fileSystem, CTapeOperation& operation, CVolume& volume,
                              CMedium* medium, RecognitionOutcome outcome, const CStatus& status,
                              bool recognised, std::span<const std::uint32_t> quietCodes);
