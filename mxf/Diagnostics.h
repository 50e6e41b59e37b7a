// The two hooks through which the MXF library reports notes and errors. The library declares them and the
// application defines them; a hook sees one printf-style message ending in a line feed and cannot change
// what the reporting operation does next. Hooks may be called from any thread that uses the library.
#pragma once

namespace mxf
{

[[gnu::format(printf, 1, 2)]] void DiagnosticNote(const char* format, ...);
[[gnu::format(printf, 1, 2)]] void DiagnosticError(const char* format, ...);

} // namespace mxf
