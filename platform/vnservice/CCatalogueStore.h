// Where the host keeps the catalogues of its volumes. The host program supplies the store (it knows the
// catalogue record types); volumes open and close their catalogue through it. Used by the operation
// thread that works on the volume.
#pragma once

#include "vnservice/CStatus.h"

#include <cstdint>

class CVolume;
class CFileListInternal;
class CFileName;

class CCatalogueStore
{
public:
    virtual ~CCatalogueStore() = default;
    // Opens the catalogue of the volume's current identity. Without `create`, an identity that has no
    // catalogue gives a list that is not open (IsOpen false), not a failure.
    virtual CStatus Open(CVolume& volume, bool create, CFileListInternal*& catalogue) = 0;
    // Commits and closes the list, then frees it.
    virtual CStatus Close(CFileListInternal* catalogue) = 0;
    // Commits what the list holds so far.
    virtual CStatus Commit(CFileListInternal* catalogue) = 0;
    // The newest version the catalogue holds of a file: the highest OrderKey2 among the path's file records
    // of segment 0 and OrderKey1 0; 0 when it holds none.
    virtual CStatus GetNewestVersion(CFileListInternal& catalogue, const CFileName& path,
                                     std::uint32_t& orderKey2) = 0;
    // Forgets the stored catalogue of the volume's current identity, so that the next Open with `create`
    // starts an empty one. The volume's own list must be closed (CVolume::DropCatalogue closes it).
    virtual CStatus Drop(CVolume& volume) = 0;
};
