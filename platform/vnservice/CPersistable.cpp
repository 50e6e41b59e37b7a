#include "vnservice/CPersistable.h"

CStatus CPersistable::Save(CSystem*, CPersistanceEngine::CNode&)
{
    return CStatus::Success();
}

CStatus CPersistable::Load(CSystem*, CPersistanceEngine::CNode&)
{
    return CStatus::Success();
}
