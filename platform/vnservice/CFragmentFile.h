// Fragment files: the destination of a restored file. The drive writes the file's bytes into it through
// a block buffer; Prepare, SetSize and SetTime make the destination ready, SetStatus records the outcome.
// A local fragment file writes to a file of the host (or to a descriptor it is given, such as standard
// output); an empty one stands for a file of no bytes. Owned by the host; one thread at a time.
#pragma once

#include "vnservice/CStatus.h"
#include "vnservice/CUserFragment.h"

#include <cstddef>
#include <cstdint>
#include <string>

class CSystem;

class CFragmentFile : public CUserFragment
{
public:
    explicit CFragmentFile(CSystem* system) : System(system) {}

    virtual CStatus Prepare(bool truncate, std::uint32_t flags, std::uint32_t reserved) = 0;
    virtual CStatus SetSize(std::uint64_t size);
    virtual CStatus SetTime(std::uint64_t fileTime);
    // Records the outcome: an OS error of 0 is success. Returns the status recorded.
    virtual CStatus SetStatus(std::uint32_t osError, std::uint32_t code, void* data, std::uint32_t size,
                              bool early);
    // Writes bytes of the file at `offset`.
    virtual CStatus Write(std::uint64_t offset, const std::uint8_t* data, std::size_t size) = 0;

    std::uint64_t GetPreparedSize() const { return PreparedSize; }
    std::uint64_t GetPreparedTime() const { return PreparedTime; }
    std::uint32_t GetRecordedOSError() const { return RecordedOSError; }
    bool HasRecordedStatus() const { return StatusRecorded; }

protected:
    CSystem* System;
    std::uint64_t PreparedSize = 0;
    std::uint64_t PreparedTime = 0;

private:
    std::uint32_t RecordedOSError = 0;
    bool StatusRecorded = false;
};

class CLocalFragmentFile : public CFragmentFile
{
public:
    explicit CLocalFragmentFile(CSystem* system) : CFragmentFile(system) {}
    ~CLocalFragmentFile() override;

    // Where the bytes go: a path (made or truncated by Prepare), or a descriptor that stays open.
    void SetDestination(std::string path) { Path = std::move(path); }
    void SetDestinationDescriptor(int descriptor) { Descriptor = descriptor; }

    CStatus Prepare(bool truncate, std::uint32_t flags, std::uint32_t reserved) override;
    CStatus Write(std::uint64_t offset, const std::uint8_t* data, std::size_t size) override;
    // Flushes and closes a destination file, giving it the prepared time.
    CStatus Close();

private:
    std::string Path;
    int Descriptor = -1;
    bool OwnsDescriptor = false;
    std::uint64_t Written = 0;
};

class CEmptyFragmentFile : public CFragmentFile
{
public:
    CEmptyFragmentFile(CSystem* system, std::uint64_t size) : CFragmentFile(system) { PreparedSize = size; }
    CStatus Prepare(bool, std::uint32_t, std::uint32_t) override { return CStatus::Success(); }
    CStatus Write(std::uint64_t offset, const std::uint8_t* data, std::size_t size) override;
};
