#include "vnservice/CGetOperationContext.h"

#include "vnservice/CVolume.h"

CGetOperationContext::CGetOperationContext(CVolumePointer volume, CMediumPointer medium)
    : Volume(volume), Medium(std::move(medium)), ItemOperation(CPriority(), CResourceAffinity(), volume, {})
{
}
