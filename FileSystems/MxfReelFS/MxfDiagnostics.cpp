// The MXF library's two diagnostic hooks, as this plug-in defines them: its notes and errors are not
// kept. What the library reports reaches the host through the statuses of the handlers instead.
#include "mxf/Diagnostics.h"

namespace mxf
{

void DiagnosticNote(const char*, ...) {}

void DiagnosticError(const char*, ...) {}

} // namespace mxf
