// Helpers for the dictionary document tests: documents written to temporary files, and lookups of what a
// load defined. Single-threaded test code.
#pragma once

#include "mxf/MDOType.h"
#include "mxf/MDType.h"

#include <string>
#include <vector>

namespace mxftest
{

// A file holding text in the program's temporary folder, which goes when the program ends.
std::string WriteTempFile(const std::string& name, const std::string& text);

mxf::MDTypePtr TypeNamed(const std::string& name);
mxf::MDOTypePtr ClassNamed(const std::string& name);
std::vector<std::string> MemberNames(const mxf::MDOTypePtr& type);
// Whether a message of either hook contains the text.
bool Reported(const std::string& text);

} // namespace mxftest
