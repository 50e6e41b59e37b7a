// RXIData: what one parse of a register document yields: the old-format flag for a document in the
// library's own XML dictionary format, and the type, element, group and label records of a register
// document, ready for the definers. Counted; the lists own their records. Filled by one parsing thread.
#pragma once

#include "mxf/ClassRecord.h"
#include "mxf/RefCount.h"
#include "mxf/TypeRecord.h"

namespace mxf
{

class RXIData : public RefCount<RXIData>
{
public:
    bool OldFormat = false; // the four lists are then empty
    // Groups in the order their entries closed, each followed by its coded variants.
    ClassRecordList GroupRecords;
    // Elements that no group took as a member, in ascending order of their labels' bytes.
    ClassRecordList ElementRecords;
    // Value types in the order their entries closed; the item type of a collection precedes it.
    TypeRecordList TypeRecords;
    TypeRecordList LabelRecords;
};

using RXIDataPtr = SmartPtr<RXIData>;

} // namespace mxf
