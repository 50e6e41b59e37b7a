// The loader of the library's own XML dictionary documents: element names are the names of the value
// types, labels and classes they define, attributes their properties. Types are defined section by section
// as the document is parsed, classes once the whole document has parsed. Not safe for concurrent use: the
// definers fill process-wide registries without a lock; callers load one dictionary at a time.
#pragma once

#include "mxf/SymbolSpace.h"

#include <string>

namespace mxf
{

// 0 when the document parsed (whatever the definers reported), -1 when the file was not found, not
// readable or not well-formed. Definitions without a space of their own go into space.
int LoadXMLDictionaryFile(const char* fileName, const SymbolSpacePtr& space);
// The same for a document held in memory, with the default symbol space.
int LoadXMLDictionaryText(const std::string& text);

} // namespace mxf
