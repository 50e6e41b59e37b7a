// The classes that reading MXF files needs, defined from type and class records the way a dictionary
// document would give them: partition packs of every kind, the primer and fill, and the header metadata
// sets whose links the tests follow (Preface, Content Storage, packages, essence container data), all of
// them deriving their InstanceUID from one base set. Defined once per test program.
#pragma once

#include "mxf/UL.h"

namespace mxftest
{

void DefineFileClasses();

// Labels of the file classes, for tests that build header metadata of their own.
mxf::UL FileLabel(const char* hex);

} // namespace mxftest
