// A source of trace output, known to the system's trace registry by its name.
#pragma once

#include "vnservice/CSet.h"

#include <string>

class CTraceLoggable : public CCounted
{
public:
    virtual std::string GetTraceName() const = 0;
};
