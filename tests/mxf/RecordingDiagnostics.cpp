#include "RecordingDiagnostics.h"

#include "mxf/Diagnostics.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>

namespace mxftest
{

namespace
{

struct Recorder
{
    std::mutex Lock;
    std::vector<std::string> Notes;
    std::vector<std::string> Errors;
};

Recorder& Record()
{
    static auto* recorder = new Recorder;
    return *recorder;
}

void Keep(std::vector<std::string> Recorder::*list, const char* format, va_list arguments)
{
    va_list copy;
    va_copy(copy, arguments);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text(length > 0 ? static_cast<std::size_t>(length) : 0, '\0');
    std::vsnprintf(text.data(), text.size() + 1, format, arguments);
    Recorder& recorder = Record();
    std::lock_guard guard(recorder.Lock);
    (recorder.*list).push_back(std::move(text));
}

} // namespace

void ClearDiagnostics()
{
    Recorder& recorder = Record();
    std::lock_guard guard(recorder.Lock);
    recorder.Notes.clear();
    recorder.Errors.clear();
}

std::vector<std::string> Notes()
{
    Recorder& recorder = Record();
    std::lock_guard guard(recorder.Lock);
    return recorder.Notes;
}

std::vector<std::string> Errors()
{
    Recorder& recorder = Record();
    std::lock_guard guard(recorder.Lock);
    return recorder.Errors;
}

} // namespace mxftest

namespace mxf
{

void DiagnosticNote(const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    mxftest::Keep(&mxftest::Recorder::Notes, format, arguments);
    va_end(arguments);
}

void DiagnosticError(const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    mxftest::Keep(&mxftest::Recorder::Errors, format, arguments);
    va_end(arguments);
}

} // namespace mxf
