// The trace source of a plug-in: one static object per plug-in library, registered with the system's
// trace registry by the library's first Create. The flag is plain: the host creates file systems from one
// thread at a time.
#pragma once

#include "vnservice/CTraceLoggable.h"

#include <cstdint>
#include <string>

template <class T> class CTraceName : public CTraceLoggable
{
public:
    explicit CTraceName(const char* name) : TraceName(name) {}

    std::string GetTraceName() const override { return TraceName; }

    std::string TraceName;
    std::uint8_t Registered = 0;

    // Lives from the library's load to its unload; never counted, never freed by a handle.
    static CTraceName Name;
};

template <class T> CTraceName<T> CTraceName<T>::Name(T::Texts.TraceName);
