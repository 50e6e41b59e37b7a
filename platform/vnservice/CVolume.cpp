#include "vnservice/CVolume.h"

#include "vnservice/CCatalogueStore.h"
#include "vnservice/CSystem.h"
#include "vnservice/CVolumeSet.h"
#include "vnservice/ErrorGenerators.h"
#include "vnservice/HostErrors.h"

#include <utility>

namespace
{
CStatus NoCatalogueStore(int line)
{
    return CErrorGenMessage("Volume", line, HostErrorNotOffered, {"catalogues without a catalogue store"});
}
} // namespace

CVolume::~CVolume()
{
    CloseCatalogue();
}

CStatus CVolume::OpenCatalogue(bool create, bool)
{
    if (Catalogue)
        return CStatus::Success();
    if (!System || !System->Catalogues)
        return NoCatalogueStore(__LINE__);
    return System->Catalogues->Open(*this, create, Catalogue);
}

CStatus CVolume::CloseCatalogue()
{
    if (!Catalogue)
        return CStatus::Success();
    CFileListInternal* catalogue = std::exchange(Catalogue, nullptr);
    return System->Catalogues->Close(catalogue);
}

CStatus CVolume::DropCatalogue()
{
    if (!System || !System->Catalogues)
        return NoCatalogueStore(__LINE__);
    CStatus status = CloseCatalogue();
    return status.Failed() ? status : System->Catalogues->Drop(*this);
}

CStatus CVolume::ConditionallyUpdateState(CState state, bool)
{
    State = state;
    return CStatus::Success();
}

CSet<CVolumeSet, 1>::pointer CVolume::GetVolumeSet() const
{
    return CSet<CVolumeSet, 1>::pointer(VolumeSet);
}
