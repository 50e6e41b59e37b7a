// A volume known to the host: its identity, its name and whether its medium can be reached now.
// Volumes are counted host objects, shared through CSet<CVolume,1>::pointer; members that change
// after construction are changed by the host's operation thread only.
#pragma once

#include "vnservice/CResource.h"
#include "vnservice/CSet.h"
#include "vnservice/Identities.h"

#include <string>

class CSystem;

class CVolume : public CCounted, public CResource
{
public:
    CVolume(CSystem* system, CVolumeID id, std::string name) : System(system), ID(id), Name(std::move(name))
    {
    }

    CSystem* GetSystem() const { return System; }
    const CVolumeID& GetID() const { return ID; }
    void SetID(const CVolumeID& id) { ID = id; }
    const std::string& GetName() const { return Name; }
    std::string GetIDAsString() const { return ID.ToString(); }

    bool IsAccessible() const { return Accessible; }
    void SetAccessible(bool accessible) { Accessible = accessible; }

private:
    CSystem* System;
    CVolumeID ID;
    std::string Name;
    bool Accessible = false;
};
