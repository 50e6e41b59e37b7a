// A medium (a tape) in a drive, as the file systems see it: what the drive reported of its block size,
// whether it stands at a file mark, its last written block, its state and attribute, and its alert
// status. Positions are in the medium's logical blocks: 512 bytes unless the file system addresses the
// medium in its physical blocks (SetPhysicalBlockSize(0)). Counted host object; changed by the
// operation thread that runs the drive.
#pragma once

#include "vnservice/CResource.h"
#include "vnservice/CSet.h"
#include "vnservice/CStatus.h"

#include <cstdint>
#include <string>

class CMediumAttribute
{
public:
    CMediumAttribute() = default;
    explicit CMediumAttribute(std::uint32_t type) : Type(type) {}
    // 1 and 2: tapes a file system may read; 3: a tape of the host's own format.
    std::uint32_t GetType() const { return Type; }

private:
    std::uint32_t Type = 1;
};

class CMedium : public CCounted, public CResource
{
public:
    explicit CMedium(std::string name) : Name(std::move(name)) {}

    const std::string& GetName() const { return Name; }

    void SetAlertStatus(const CStatus& status) { AlertStatus = status; }
    const CStatus& GetAlertStatus() const { return AlertStatus; }

    CStatus SetLastWrittenBlock(std::uint32_t kind, std::uint64_t block);
    std::uint32_t GetLogicalBlockSize() const { return LogicalBlockSize; }
    // Rounds a count of logical blocks up to whole physical blocks, in logical blocks; with
    // `roundUp` false, rounds down.
    std::uint64_t AdjustToPhysicalBlockBoundary(std::uint64_t blocks, bool roundUp) const;
    // 0: address the medium in its physical blocks; otherwise the physical block size in bytes.
    void SetPhysicalBlockSize(std::uint32_t bytes);
    std::uint32_t GetPhysicalBlockSize() const { return PhysicalBlockSize; }
    // Back to 512-byte logical blocks, as the medium was mounted.
    void ResetAddressing()
    {
        LogicalBlockSize = 512;
        PhysicalBlockSize = 0;
    }

    void MarkIdentified()
    {
        Identified = 1;
        IdentifiedCompanion = 0;
    }
    bool IsIdentified() const { return Identified == 1; }

    std::uint32_t ReportedBlockSize = 0;
    std::uint8_t BlockSizeKnown = 0;
    std::uint8_t AtFileMark = 0;
    std::uint64_t LastWrittenBlock = 0;
    static constexpr std::uint32_t StateUsable = 1; // the `MediumState` of a medium that can be used
    std::uint32_t MediumState = StateUsable;
    CMediumAttribute Attribute;

protected:
    std::uint32_t LogicalBlockSize = 512;
    std::uint32_t PhysicalBlockSize = 0;

private:
    std::string Name;
    CStatus AlertStatus;
    std::uint8_t Identified = 0;
    std::uint8_t IdentifiedCompanion = 0;
};
