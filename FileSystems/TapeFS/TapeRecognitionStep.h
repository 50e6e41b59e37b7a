// The recognition of a tape, written once for every layout: the states that start it (the block-size
// request, the block-size rule), the readiness checks before each step, the settling of the volume's
// number, so that a tape read again keeps the number it had, the identifying of the medium, and the end
// of every step (the "found file system" event, alerts, the quiet refusal of tapes of other layouts,
// completion). Each plug-in derives its step class and supplies its first read, the states that read on,
// its check and its identity. A step object lives for one call of RecogniseVolume, on the host's
// operation thread; the operation, volume and medium it works on are the host's. It takes no lock.
#pragma once

#include "vnservice/CArchiveFileSystem.h"
#include "vnservice/CStatus.h"

#include <cstdint>
#include <span>

class CTapeFileSystem;
class CTapeOperation;
class CVolume;

class CTapeRecognitionStep
{
public:
    // What sets one layout's recognition apart besides its hooks.
    struct Layout
    {
        // The state whose step checks what the tape holds and settles the volume number; the state after
        // it identifies the medium, once the last written block is known.
        std::uint32_t CheckState;
        // The volume-set type of the layout's tapes.
        std::uint32_t VolumeSetType;
        // The failure for a block size the drive does not know (with the medium's name); 0 when the
        // layout takes the reported size as it comes.
        std::uint32_t BlockSizeUnknown;
        // Whether a block size that is not a multiple of 512 means the tape is not of the layout.
        bool WholeTarBlocks;
        // Whether the medium is marked identified before the volume's state is updated.
        bool MarksIdentified;
        // The error numbers of a kept drive status that only mean the tape is not of the layout (0
        // standing for none), when the alert flag is clear.
        std::span<const std::uint32_t> QuietCodes;
    };

    // Runs the step of the operation's state and ends it: the shared states here, the others in
    // RunState. Returns the step's own status.
    CStatus Run();

protected:
    enum class Outcome
    {
        Continue, // a drive operation was started, or the step failed
        Recognised,
        NotThisLayout
    };

    // The identity a checked tape asks for: the first volume number to try, and the label identifier
    // that a catalogue header of the tape holds in one of its replica slots.
    struct Identity
    {
        std::uint32_t FirstNumber;
        std::span<const std::uint8_t, 48> LabelId;
    };

    // `alertFlag` and `recognised` are the operation's own flags: the status hook reads the first.
    CTapeRecognitionStep(CTapeFileSystem& fileSystem, CTapeOperation& operation, bool& alertFlag,
                         bool& recognised, const Layout& layout);
    virtual ~CTapeRecognitionStep() = default;

    // State 1, once the block size passed the rule: sets up the target of the tape's first read and
    // starts it, to go on in state 2.
    virtual CStatus FirstRead() = 0;
    // The layout's states between the first read and the check; here, the failure of an unknown state.
    virtual CStatus RunState(std::uint32_t state);
    // The check state: whether the tape is of the layout, as far as the reads so far tell. A failure,
    // or an outcome of NotThisLayout, ends recognition; otherwise the volume number is settled.
    virtual CStatus Check() = 0;
    // Asked once Check passed.
    virtual Identity TapeIdentity() const = 0;

    // The block buffer of recognition, in 512-byte units, as the operation's BlockBuffer.
    CStatus CreateBlockBuffer();
    // Reads the block at `position` (in the layout's units) into the block buffer, to go on in `next`.
    void ReadBlock(std::uint64_t position, std::uint32_t next);
    // Reads the file mark expected at `position`, to go on in `next`.
    void ReadMark(std::uint64_t position, std::uint32_t next);
    // The failure `number` of source line `line`, with the medium's name.
    CStatus Refused(std::uint32_t number, int line) const;

    CTapeFileSystem& FileSystem;
    CTapeOperation& Operation;
    CVolume& Volume;
    CMediumPointer HeldMedium;
    // Present in every state after 0: a step is not run on a replica without a medium.
    CMedium* Medium;
    Outcome Result = Outcome::Continue;

private:
    CStatus RunStep();
    bool ReadyForStep(CStatus& status) const;
    CStatus Start();
    CStatus BlockSizeReported();
    CStatus Checked();
    CStatus Identify();
    CStatus SettleVolumeNumber(const Identity& identity);
    CStatus Finish(const CStatus& status);
    CStatus MediumMissing(int line) const;

    bool& AlertFlag;
    bool& Recognised;
    const Layout TapeLayout;
};

// The base of one layout's step, over the layout's operation class, whose AlertFlag and Recognised the
// shared states keep.
template <class OperationClass> class CLayoutRecognitionStep : public CTapeRecognitionStep
{
public:
    CLayoutRecognitionStep(CTapeFileSystem& fileSystem, OperationClass& operation, const Layout& layout)
        : CTapeRecognitionStep(fileSystem, operation, operation.AlertFlag, operation.Recognised, layout),
          LayoutOperation(operation)
    {
    }

protected:
    OperationClass& LayoutOperation;
};
