// The walk over the records of one file version in index 1 of a catalogue: its own record and its
// extents, which share its path and keys. Runs on the thread that holds the catalogue.
#pragma once

#include "frame/CCatSearch.h"
#include "frame/CCatalogueItem.h"
#include "frame/CFileListPointer.h"
#include "pagelist/CFileListInternal.h"

#include <cstdint>

// Hands `visit` a handle on each record of `path` whose keys match those given (AnyKey matches any), in
// index order, until a record does not match or `visit` answers false. Throws the catalogue's Win32
// error numbers.
template <class Visit>
void ForEachVersionRecord(CFileListInternal& catalogue, WStringView path, std::uint32_t segmentIndex,
                          std::uint32_t orderKey1, std::uint32_t orderKey2, Visit visit)
{
    const auto matches = [](std::uint32_t wanted, std::uint32_t actual)
    { return wanted == AnyKey || wanted == actual; };
    CCatSearch key(path, orderKey1, orderKey2, segmentIndex);
    for (auto at = catalogue.find(key, 1), end = catalogue.end(1); at != end; ++at)
    {
        CFileListPointer<CCatalogueItem> handle = GetPointer<CCatalogueItem>(at);
        const CCatalogueItem& record = *handle.Get();
        // Paths compare exactly: tapes from systems whose names tell case apart hold "FAQ" beside "faq".
        if (record.GetKeyPath() != path || !matches(segmentIndex, record.GetSegmentIndex()) ||
            !matches(orderKey1, record.GetOrderKey1()) || !matches(orderKey2, record.GetOrderKey2()))
            return;
        if (!visit(handle))
            return;
    }
}
