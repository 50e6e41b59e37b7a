#include "mxf/OutputFormat.h"

#include "mxf/Diagnostics.h"

namespace mxf
{

namespace
{
std::atomic<int> NextFormatNumber{0};
}

void OutputFormat::Resolve(int format)
{
    if (format == -1)
    {
        std::call_once(Assigned, [this] { StandardNumber.store(NextFormatNumber.fetch_add(1)); });
        return;
    }
    if (format != StandardNumber.load())
        DiagnosticError("Unknown OutputFormat %d in %s::FormatString()\n", format, ClassName);
}

} // namespace mxf
