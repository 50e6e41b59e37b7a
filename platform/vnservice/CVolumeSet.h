// A volume set: the volumes of one type of tape layout in this system (9 generic TAR, 6 Active Circle,
// 7 Tedial), under the set's identity. Counted host object; the system keeps its sets for its lifetime.
#pragma once

#include "vnservice/CIDSet.h"
#include "vnservice/CSet.h"
#include "vnservice/CVolume.h"
#include "vnservice/Identities.h"

class CVolumeSet : public CCounted
{
public:
    explicit CVolumeSet(CVolumeSetID id) : ID(id) {}
    const CVolumeSetID& GetID() const { return ID; }

    CIDSet<CVolume, 1> Volumes;

private:
    CVolumeSetID ID;
};
