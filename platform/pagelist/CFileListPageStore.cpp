#include "pagelist/CFileListPageStore.h"

#include <algorithm>

std::ptrdiff_t CFileListPageStore::FindEntry(std::uint32_t position) const
{
    auto at = std::lower_bound(Starts.begin(), Starts.end(), position);
    if (at == Starts.end() || *at != position)
        return -1;
    return at - Starts.begin();
}
