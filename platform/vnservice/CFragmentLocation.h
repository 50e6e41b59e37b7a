// Where the host keeps a fragment of a file on a volume: the tape position its file starts at, in the
// unit of the volume's file system. A plain value the host passes when it asks whether a fragment has
// reached the tape.
#pragma once

#include <cstdint>

struct CFragmentLocation
{
    std::uint64_t StartPosition = 0;
};
