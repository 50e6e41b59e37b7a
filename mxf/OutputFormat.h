// The numbers of identifier text forms. UL, UUID and UMID each know one form, their standard form, whose
// number is handed out from one shared counter the first time the class formats with -1 (the default).
// Thread-safe.
#pragma once

#include <atomic>
#include <mutex>

namespace mxf
{

class OutputFormat
{
public:
    // className names the formatter in the message for an unknown number.
    explicit OutputFormat(const char* className) : ClassName(className) {}

    // Every format but -1 and the standard form's number is reported; the standard form is used either way.
    void Resolve(int format);

private:
    const char* ClassName;
    std::once_flag Assigned;
    std::atomic<int> StandardNumber{-1}; // -1 until handed out
};

} // namespace mxf
