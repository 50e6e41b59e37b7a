#include "vnservice/CVolume.h"

#include "vnservice/CCatalogueStore.h"
#include "vnservice/CSystem.h"
#include "vnservice/CVolumeSet.h"
#include "vnservice/ErrorGenerators.h"
#include "vnservice/HostErrors.h"

#include <utility>

CVolume::~CVolume()
{
    CloseCatalogue();
}

CStatus CVolume::OpenCatalogue(bool create, bool)
{
    if (Catalogue)
        return CStatus::Success();
    if (!System || !System->Catalogues)
        return CErrorGenMessage("Volume", __LINE__, HostErrorNotOffered,
                                {"catalogues without a catalogue store"});
    return System->Catalogues->Open(*this, create, Catalogue);
}

CStatus CVolume::CloseCatalogue()
{
    if (!Catalogue)
        return CStatus::Success();
    CFileListInternal* catalogue = std::exchange(Catalogue, nullptr);
    return System->Catalogues->Close(catalogue);
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
