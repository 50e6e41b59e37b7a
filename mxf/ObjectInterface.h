// ObjectInterface: the base of classes that wrap one metadata object (a partition, for one) and can copy
// it. The wrapper owns its object. Not thread-safe: one wrapper is used by one thread at a time.
#pragma once

#include "mxf/MDObject.h"

#include <string>

namespace mxf
{

class ObjectInterface
{
public:
    ObjectInterface() = default;
    ObjectInterface(const ObjectInterface&) = delete;
    ObjectInterface& operator=(const ObjectInterface&) = delete;
    virtual ~ObjectInterface() = default;

    // A plain copy of the wrapped object; no new wrapper is built around it.
    virtual MDObjectPtr MakeCopy();
    std::string FullName() const;

    MDObjectPtr Object;
};

} // namespace mxf
