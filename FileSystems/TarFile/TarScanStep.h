// The steps that the scans of tapes of TAR archives share, on the frame every tape scan has: reading a
// member's header, with its pax records and its ustar block in one read when it has records; the end of
// an archive (two zero blocks, then a file mark the drive spaces over); and handing back directory, file
// and archive-end items. Each plug-in's scan derives its step class through CLayoutScanStep, names the
// states the shared steps go on in, and adds what its layout has besides. A step object lives for one
// call of the handler, on the host's operation thread; the operation and the context it works on are the
// host's.
#pragma once

#include "FileSystems/TapeFS/TapeScanStep.h"
#include "FileSystems/TarFile/CTarGetOperationContext.h"
#include "vnservice/CStatus.h"

#include <cstdint>

class CBlockBuffer;
class CFileName;
class CGenericTarFragment;
class CTarFile;

// Makes the block buffer take the header's pax records (PaxData sized by AllocatePaxData) and then the
// member's ustar block, for the read that follows a pax header; `bytes` gets the buffer's byte count.
CStatus TargetPaxRecords(CBlockBuffer& buffer, CTarFile& tar, std::uint64_t& bytes);

class CTarScanStep : public CTapeScanStep
{
public:
    // The states in which the shared steps go on.
    struct States
    {
        std::uint32_t HeaderRead;
        std::uint32_t PaxRead;
        std::uint32_t ZeroBlockRead;
        std::uint32_t ArchiveMarkPassed;
        std::uint32_t SparseExtensionRead;
    };

protected:
    CTarScanStep(CTapeFileSystem& fileSystem, CTapeOperation& operation, CTarGetOperationContext& context,
                 const States& states);
    virtual ~CTarScanStep() = default;

    // The header object the operation reads through; made by the item's first step.
    virtual CTarFile& Tar() = 0;
    // The steps of the layout's own states, and the failure for states nobody knows.
    virtual CStatus RunState(std::uint32_t state) = 0;
    // A verified header without pax records: the entry itself, unless the layout reads more first.
    virtual CStatus HeaderWithoutRecords() { return MemberHeaderRead(); }
    // A pax header is about to have its records read.
    virtual void PaxHeaderSeen() {}
    // The entry whose headers are all read: its name, then HandleMember.
    virtual CStatus HandleEntry();
    // How a failure ends the step before the entry is handled: returned as the step's own failure, or
    // completing the operation with it.
    virtual CStatus EntryUnreadable(const CStatus& failure) { return failure; }
    // Whether a file of `size` bytes whose data start at the scan position can be on tape; a failure
    // ends the scan. Here: its data end within the numbers a volume's bytes can take.
    virtual CStatus CheckData(const CFileName& name, std::uint64_t size);
    // A file item is filled: pass over its data on tape and complete.
    virtual CStatus FileFound(const CFileName& name, std::uint64_t size, const CGenericTarFragment& fragment);
    // A zero block has been read where a header was due: the block after it is read, which ends the
    // archive when it is zero too. A layout may look at what stands there first.
    virtual CStatus ZeroBlockFound() { return ReadBlockAfterZero(); }
    // The failure for a block after a zero block that is not zero too.
    virtual CStatus ArchiveEndNotZero() const = 0;

    // Reads the header block at the scan position, where the item starts.
    CStatus ReadHeader(std::uint32_t next);
    // Reads the header block at the scan position into the header object's first block: the header that
    // follows an extension header, of the same item.
    CStatus ReadFollowingHeader();
    // Reads `bytes` into the block buffer at the scan position, which moves on by `advance` blocks.
    CStatus ReadInto(std::uint64_t bytes, std::uint64_t advance, std::uint32_t next);
    CStatus SpaceOverMark(std::uint32_t next);
    // Reads the block at the scan position, after a zero block, into the header's first block.
    CStatus ReadBlockAfterZero();
    // A header block has been read: a zero block, a pax header whose records follow, or the entry.
    CStatus HeaderRead();
    // Reads the records of the pax header in Header[0] and the block after them into Header[1].
    CStatus ReadPaxRecords();
    // The member's own header has been read: the extension blocks of an old GNU sparse header, which
    // belong to the header, are read (one at a time, each saying whether another follows), then the
    // entry is handled.
    CStatus MemberHeaderRead();
    // A directory or a file of the name, dated by the member's time as written. A sparse member is
    // catalogued at the size of the file it stands for; its data on tape are what the member holds.
    CStatus HandleMember(const CFileName& name);
    void FillArchiveEnd(std::uint64_t itemEnd);

    // The context's archive counter, which archive-end items carry.
    std::uint32_t& ArchiveCounter;

private:
    // The shared states here, the others in RunState.
    CStatus RunStep(std::uint32_t state) final;
    CStatus PaxRead();
    CStatus SparseExtensionRead();
    CStatus ZeroBlockRead();
    CStatus ArchiveMarkPassed();
    CStatus FillMemberFile(const CFileName& name, std::uint64_t size, std::uint64_t fileTime,
                           CGenericTarFragment& fragment);

    const States Next;
};

// The base of a TAR layout's step, whose operation owns the header object it reads through as TarFile.
template <class FileSystemClass, class OperationClass, class ContextClass>
class CTarLayoutScanStep : public CLayoutScanStep<CTarScanStep, FileSystemClass, OperationClass, ContextClass>
{
public:
    CTarLayoutScanStep(FileSystemClass& fileSystem, OperationClass& operation,
                       const CTarScanStep::States& states)
        : CLayoutScanStep<CTarScanStep, FileSystemClass, OperationClass, ContextClass>(fileSystem, operation,
                                                                                       states)
    {
    }

protected:
    CTarFile& Tar() override { return *this->LayoutOperation.TarFile; }
};
