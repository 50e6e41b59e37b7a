// The two calls through which an application loads a dictionary document: an SMPTE register document or a
// document in the library's own XML dictionary format, told apart by parsing it as a register document
// first. Not safe for concurrent use: the registries they fill are process-wide and unlocked.
#pragma once

#include "mxf/SymbolSpace.h"

#include <string>

namespace mxf
{

// 0 when the document was read (also when some of its records stayed undefined), -1 when it was not
// readable or not parsable; a document in the library's own format gives the XML dictionary loader's result.
int LoadDictionaryFromFile(const char* fileName, const SymbolSpacePtr& space, const std::string& application);
// The same for a document held in memory; everything goes into the default symbol space.
int LoadDictionaryFromText(const std::string& text, const std::string& application);

} // namespace mxf
