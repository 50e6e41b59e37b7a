// Header metadata of many small sets, for the tests and benchmarks of reading header metadata at scale:
// chains of content storages, each owning the one before it through a strong reference, and runs of
// packages that refer to nothing. The classes are those of the file test dictionary.
#pragma once

#include "FileBytes.h"

#include <cstddef>

namespace mxftest
{

enum class ChainOrder
{
    OwnedFirst, // each set is read before the set that owns it
    OwnerFirst, // the chain's root is read first, the most deeply owned set last
};

// A primer and n content storages; storage i owns storage i - 1 through its packages.
ByteString ChainedSets(std::size_t n, ChainOrder order);
// A primer and n packages of 40 bytes each.
ByteString FlatSets(std::size_t n);
// The bytes of a header partition whose header metadata are the given bytes.
ByteString HeaderPartition(const ByteString& metadata);

} // namespace mxftest
