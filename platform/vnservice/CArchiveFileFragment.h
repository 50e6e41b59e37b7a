// A file found on a foreign tape, as the host analyses it before the file is catalogued: its name, size,
// time and place on tape, and the three numbers that name its version (segment index and two order
// keys), which the analysis may set. File systems derive their own fragment; it lives for one call.
#pragma once

#include "vnservice/CFileName.h"

#include <cstdint>

class CArchiveFileFragment
{
public:
    CArchiveFileFragment(std::uint32_t segmentIndex, std::uint32_t orderKey1, std::uint32_t orderKey2)
        : SegmentIndex(segmentIndex), OrderKey1(orderKey1), OrderKey2(orderKey2)
    {
    }
    virtual ~CArchiveFileFragment() = default;

    virtual CFileName GetFileName() const = 0;
    virtual std::uint64_t GetStartPosition() const = 0;
    virtual std::uint64_t GetSize() const = 0;
    virtual std::uint64_t Hook04() const { return 0; }
    virtual std::uint64_t GetTime() const = 0;
    virtual bool Hook06() const { return false; }
    virtual std::uint64_t Hook07() const { return 0; }
    // The fragment's one extent: its offset in the file, its size, the extent count, its tape position
    // and a reserved value.
    virtual bool GetExtent(std::uint32_t index, std::uint64_t& offset, std::uint64_t& size,
                           std::uint32_t& count, std::uint64_t& position, std::uint64_t& reserved) const = 0;

    std::uint32_t SegmentIndex;
    std::uint32_t OrderKey1;
    std::uint32_t OrderKey2;
};
