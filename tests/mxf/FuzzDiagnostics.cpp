// The library's diagnostic hooks for the fuzz targets: every message is formatted, so that wrong arguments
// show, and none is kept.
#include "RecordingDiagnostics.h"

#include "mxf/Diagnostics.h"

#include <cstdarg>
#include <cstdio>

namespace
{

void Discard(const char* format, va_list arguments)
{
    char text[512];
    std::vsnprintf(text, sizeof text, format, arguments);
}

} // namespace

namespace mxf
{

void DiagnosticNote(const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    Discard(format, arguments);
    va_end(arguments);
}

void DiagnosticError(const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    Discard(format, arguments);
    va_end(arguments);
}

} // namespace mxf

namespace mxftest
{

// Nothing is kept, so there is nothing to clear for the dictionaries that clear what they leave.
void ClearDiagnostics() {}

} // namespace mxftest
