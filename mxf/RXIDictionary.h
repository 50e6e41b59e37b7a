// The reader of SMPTE register documents (root "register" in a namespace ending in "RXI"): their type,
// element, group and label entries become records, optionally chosen for one application. It also tells a
// document in the library's own dictionary format apart. Not safe for concurrent use: a parse may add
// symbol spaces to the process-wide registry.
#pragma once

#include "mxf/RXIData.h"
#include "mxf/SymbolSpace.h"

#include <string>

namespace mxf
{

// application is empty (every entry), or a name with an optional "[version]" and an optional '~' that
// lets entries give themselves another symbol for it. Null when the document could not be read or parsed.
RXIDataPtr ParseRXIFile(const std::string& fileName, const SymbolSpacePtr& space,
                        const std::string& application);
// Text is parsed without namespaces: a register document given as text yields an empty result, while a
// document in the library's own format is still recognised.
RXIDataPtr ParseRXIText(const std::string& text, const SymbolSpacePtr& space, const std::string& application);
RXIDataPtr ParseRXI(const std::string& fileName, const std::string& text, const SymbolSpacePtr& space,
                    const std::string& application);

// A version text in hundredths: "1" 100, "1.5" 150, "1.25" 125, "1.234" 1234, "abc" 0.
int ParseVersionHundredths(const std::string& text);

} // namespace mxf
