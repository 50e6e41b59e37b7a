// The lookups that values make in the sets around them while those sets are read from bytes. Each thread
// keeps its own record of the sets it is reading, so the functions need no lock.
#pragma once

#include "mxf/MDObject.h"

namespace mxf
{

// Whether the child carries the label, by its key or by its value type, as FindChildByUL asks.
inline bool ChildCarries(const MDObject::Child& child, const UL& label)
{
    const MDObject& object = *child.second;
    return child.first.Matches(label) ||
           (object.ValueType && object.ValueType->TypeUL && object.ValueType->TypeUL->Matches(label));
}

// The set's first child that carries the label, as FindChildByUL finds it. While this thread reads the set
// its children only grow, so the children already looked through for the label are not looked through
// again: each of the many index entries of a segment finds the segment's slice count in constant time,
// however many items stand before it.
MDObjectPtr FindChildWhileReading(const MDObject& set, const UL& label);

} // namespace mxf
