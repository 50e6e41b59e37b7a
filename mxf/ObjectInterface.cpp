#include "mxf/ObjectInterface.h"

namespace mxf
{

MDObjectPtr ObjectInterface::MakeCopy()
{
    DiagnosticNote(
        "Copy made of higher-level object %s with ObjectInterface::MakeCopy() - new outer not built\n",
        FullName().c_str());
    return Object->MakeCopy();
}

std::string ObjectInterface::FullName() const
{
    return Object ? Object->FullName() : std::string();
}

} // namespace mxf
