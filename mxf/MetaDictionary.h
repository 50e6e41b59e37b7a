// The meta-dictionary loader: turns the type, class and property definitions that a file carries as
// metadata objects (an extension group or scheme) into type and class records and defines them. The
// records live for one call; the dictionary keeps what they define. It fills the process-wide registries
// without a lock of its own: callers load one dictionary at a time.
#pragma once

#include "mxf/MDObject.h"
#include "mxf/SymbolSpace.h"
#include "mxf/TypeRecord.h"

namespace mxf
{

// True when the group held both lists and the type definer and the class builder both succeeded.
bool LoadMetaDefinitions(const MDObjectPtr& group, const SymbolSpacePtr& space);
// The record of one type definition; empty for a kind of definition that is not handled.
TypeRecordPtr TypeRecordFromDefinition(const MDObjectPtr& definition);
// The member record for the type definition of a record member; the caller names it.
TypeRecordPtr RecordMemberTypeRecord(const MDObjectPtr& memberType, const std::string& memberName);

} // namespace mxf
