// CStatus: the result of a host or file-system operation. Success holds nothing and costs nothing; a
// failure refers to an error record (host error number, OS error, source file and line, parameters) that
// every copy shares, so a mark set through one copy (Ignored, NotPropagated) is seen through all of them.
// A status may be copied between threads; marking one that other threads also mark needs their agreement.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct CErrorRecord
{
    std::uint32_t Code = 0;
    std::uint32_t OSError = 0;
    std::string SourceFile;
    int Line = 0;
    std::vector<std::string> Parameters; // UTF-8
    bool Ignored = false;
    bool NotPropagated = false;
};

class CStatus
{
public:
    CStatus() = default;
    explicit CStatus(std::shared_ptr<CErrorRecord> record) : Record(std::move(record)) {}

    static CStatus Success() { return CStatus(); }

    bool IsSuccess() const { return !Record; }
    bool Failed() const { return static_cast<bool>(Record); }

    // Marks the failure as expected; callers that see it need not report it. No effect on success.
    CStatus& Ignored();
    bool IsIgnored() const { return Record && Record->Ignored; }

    // Marks the failure as already handled, so that it is not reported again when released.
    CStatus& NotPropagated();
    bool IsNotPropagated() const { return Record && Record->NotPropagated; }

    // The host error number; 0 for success.
    std::uint32_t GetInternalErrorCode() const { return Record ? Record->Code : 0; }
    // The Win32 error number behind the failure; 0 when there is none.
    std::uint32_t GetOSStatus() const { return Record ? Record->OSError : 0; }

    const CErrorRecord* GetRecord() const { return Record.get(); }
    const std::vector<std::string>& GetParameters() const;

    // "0x" and the number in eight hex digits, ": ", then its text with the parameters in place ("host
    // error" and the parameters for a number without a text); "success" for success.
    std::string ToString() const;
    // As ToString, followed by " (source:line)".
    std::string ToStringWithSource() const;

    // True when both refer to the same error record (or both are success).
    bool SameRecord(const CStatus& other) const { return Record == other.Record; }

private:
    std::shared_ptr<CErrorRecord> Record;
};
