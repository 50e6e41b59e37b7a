// A walk over one index of a catalogue, record by record through record handles, for the host's
// commands. Used by the thread that holds the catalogue.
#pragma once

#include "frame/CCatalogueItem.h"
#include "frame/CFileListPointer.h"
#include "pagelist/CFileListInternal.h"
#include "vnservice/ErrorGenerators.h"

// Hands each record of the index from `at` on to `visit` until it answers false. The catalogue reports
// what it cannot read by throwing its Win32 error number, which becomes the status.
template <class Visit>
CStatus WalkCatalogue(CFileListInternal& catalogue, int index, CFileListInternal::iterator at, Visit visit)
{
    try
    {
        for (CFileListInternal::iterator end = catalogue.end(index); at != end; ++at)
        {
            CFileListPointer<CCatalogueItem> handle = GetPointer<CCatalogueItem>(at);
            if (!visit(*handle.Get()))
                break;
        }
    }
    catch (std::uint32_t error)
    {
        return CErrorNumber::OsError("Catalogue", __LINE__, error);
    }
    return CStatus::Success();
}
