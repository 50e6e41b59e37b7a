// The MXF library's two diagnostic hooks, as this plug-in defines them. Notes are not kept; errors only
// on a thread that captures them. What the library reports otherwise reaches the host through the
// statuses of the handlers.
#include "FileSystems/MxfReelFS/MxfDiagnostics.h"

#include "mxf/Diagnostics.h"

#include <cstdarg>
#include <cstdio>
#include <map>
#include <mutex>
#include <new>
#include <string>
#include <thread>

namespace
{
std::mutex CaptureLock;
// The first error reported on each capturing thread.
std::map<std::thread::id, std::string> Captured;
} // namespace

CDiagnosticCapture::CDiagnosticCapture()
{
    std::lock_guard lock(CaptureLock);
    Captured[std::this_thread::get_id()].clear();
}

CDiagnosticCapture::~CDiagnosticCapture()
{
    std::lock_guard lock(CaptureLock);
    Captured.erase(std::this_thread::get_id());
}

std::string CDiagnosticCapture::FirstError() const
{
    std::lock_guard lock(CaptureLock);
    const auto found = Captured.find(std::this_thread::get_id());
    return found == Captured.end() ? std::string() : found->second;
}

namespace mxf
{

void DiagnosticNote(const char*, ...) {}

// Reports also come from destructors, and while a failed allocation unwinds: keeping one never throws.
void DiagnosticError(const char* format, ...)
{
    std::lock_guard lock(CaptureLock);
    const auto found = Captured.find(std::this_thread::get_id());
    if (found == Captured.end() || !found->second.empty())
        return;
    char text[1024];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    // The parser's reports run over several lines ("... at line 3:\nmismatched tag\n").
    std::string& kept = found->second;
    try
    {
        for (const char* c = text; *c; ++c)
            if (*c != '\n')
                kept += *c;
            else if (c[1] != '\0' && c[1] != '\n')
                kept += ' ';
    }
    catch (const std::bad_alloc&)
    {
        // What fitted is kept; the memory that ran out is reported by whoever asked for it.
    }
}

} // namespace mxf
