// One file of a TAR tape while the host analyses it: the member's name, size, first header position
// (512-byte units) and time. Built on the stack by the scans; lives for the host call it is passed to.
#pragma once

#include "vnservice/CArchiveFileFragment.h"
#include "vnservice/CFileName.h"

#include <cstdint>

class CGenericTarFragment : public CArchiveFileFragment
{
public:
    CGenericTarFragment() : CArchiveFileFragment(0, 0xFFFFFFFF, 0xFFFFFFFF) {}

    // "0/" followed by the member's name: the path of the file in the catalogue.
    CFileName GetFileName() const override { return CFileName(u"0/" + Name.GetText()); }
    std::uint64_t GetStartPosition() const override { return StartPosition; }
    std::uint64_t GetSize() const override { return Size; }
    std::uint64_t GetTime() const override { return Time; }
    bool GetExtent(std::uint32_t, std::uint64_t& offset, std::uint64_t& size, std::uint32_t& count,
                   std::uint64_t& position, std::uint64_t& reserved) const override
    {
        offset = 0;
        size = Size;
        count = 1;
        position = StartPosition;
        reserved = 0;
        return true;
    }

    CFileName Name;
    std::uint64_t Size = 0;
    std::uint64_t StartPosition = 0;
    std::uint64_t Time = 0;
};
