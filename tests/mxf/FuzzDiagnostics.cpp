// The diagnostic hooks of the dictionary loader fuzz targets: every message is formatted, so that wrong
// arguments show, and none is kept.
#include "mxf/Diagnostics.h"

#include <cstdarg>
#include <cstdio>

namespace mxf
{

void DiagnosticNote(const char* format, ...)
{
    char text[512];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
}

void DiagnosticError(const char* format, ...)
{
    char text[512];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
}

} // namespace mxf
