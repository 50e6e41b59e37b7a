// The type definer: turns the type records of any dictionary source into value types, labels and symbols,
// deferring records whose base is not defined yet and retrying them until a pass defines nothing. It fills
// the process-wide registries without a lock of its own: callers load one dictionary at a time.
#pragma once

#include "mxf/MDType.h"
#include "mxf/SymbolSpace.h"
#include "mxf/TypeRecord.h"

#include <cstdint>
#include <string>

namespace mxf
{

// 0 when the records were processed; -1 when a pass could define none of its records. Records without a
// symbol space get space, records without a label a new one.
int DefineTypesFromRecords(const TypeRecordList& records, const SymbolSpacePtr& space);

// The type of the name in the space (with searchAll, in any space), else of the name read as label text.
MDTypePtr FindTypeByNameOrUL(const std::string& name, const SymbolSpacePtr& space, bool searchAll);

// An interpretation whose detail is its name.
MDTypePtr DefineNamedInterpretation(const std::string& name, const MDTypePtr& base, const ULPtr& label,
                                    std::int32_t size);

} // namespace mxf
