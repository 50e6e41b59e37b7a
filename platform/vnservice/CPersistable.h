// An object whose settings the host stores and restores through a persistence node.
#pragma once

#include "vnservice/CPersistanceEngine.h"
#include "vnservice/CStatus.h"
#include "win/WideString.h"

class CSystem;

class CPersistable
{
public:
    virtual ~CPersistable() = default;
    virtual WString GetTypeName() const = 0;
    virtual CStatus Save(CSystem* system, CPersistanceEngine::CNode& node);
    virtual CStatus Load(CSystem* system, CPersistanceEngine::CNode& node);
    // Returns the settings to their defaults; the host's objects have none of their own.
    virtual void Default() {}
};
