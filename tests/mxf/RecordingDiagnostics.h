// Test versions of the library's diagnostic hooks: every formatted message is kept, per hook, so tests can
// check the exact texts. Thread-safe.
#pragma once

#include <string>
#include <vector>

namespace mxftest
{

void ClearDiagnostics();
std::vector<std::string> Notes();
std::vector<std::string> Errors();

} // namespace mxftest
