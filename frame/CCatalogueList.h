// The list type of a volume's catalogue: catalogue records made by CCatalogueItem::Allocator, the
// CCatalogueHeader user header and two indexes (0: tape position, 1: path and keys). See
// pagelist/CFileListInternal.h for the entry points and the locking.
#pragma once

#include "frame/CCatalogueHeader.h"
#include "frame/CCatalogueItem.h"
#include "pagelist/CFileListInternal.h"

using CCatalogueList = CFileList<CCatalogueItem, CCatalogueHeader, 2, CCatalogueItem::Allocator>;
