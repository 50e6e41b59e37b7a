// PartitionPtr: the strong pointer that holds a partition (a partition pack with its header metadata).
// Not thread-safe beyond the counting of the pointers themselves.
#pragma once

#include "mxf/RefCount.h"

namespace mxf
{

class Partition;

class PartitionPtr : public SmartPtr<Partition>
{
public:
    using SmartPtr<Partition>::SmartPtr;
    PartitionPtr(const SmartPtr<Partition>& other) : SmartPtr<Partition>(other) {}
    using SmartPtr<Partition>::operator=;
};

} // namespace mxf
