// The class builder: turns the class records of any dictionary source into class types (sets, packs,
// items, batches and arrays with their members), extends classes that exist, defers records and members
// that wait for a base or a value type, and retries them until a pass defines nothing. It fills the
// process-wide registries without a lock of its own: callers load one dictionary at a time.
#pragma once

#include "mxf/ClassRecord.h"
#include "mxf/SymbolSpace.h"

#include <cstddef>

namespace mxf
{

// 0, or -1 when a pass defines no record and no member. Then rebuilds the static primer.
int DefineClassesFromRecords(const ClassRecordList& records, const SymbolSpacePtr& space);

// The records of the list and, through their members, of every record below them.
std::size_t CountClassRecords(const ClassRecordList& records);

} // namespace mxf
