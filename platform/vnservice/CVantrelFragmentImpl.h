// A fragment of a catalogued file that a user asked for: the file's names, version keys and catalogued
// size, and the stream that receives the bytes from `Offset` of the file, `Length` of them (0: the rest of
// the file), written to a destination descriptor. Owned by the host; one thread at a time.
#pragma once

#include "vnservice/CBlockBuffer.h"
#include "vnservice/CFileName.h"

#include <cstdint>

class CVantrelFragmentImpl
{
public:
    class CDescriptorStream : public CBlockBuffer::CStream
    {
    public:
        CStatus Write(const std::uint8_t* data, std::size_t size) override;
        int Descriptor = -1;
        std::uint64_t Delivered = 0;
    };

    CFileName GetArchiveFileName() const;
    const CFileName& GetFileName() const { return FileName; }

    CFileName FileName; // the catalogue path
    std::uint32_t SegmentIndex = 0;
    std::uint32_t OrderKey1 = 0;
    std::uint32_t OrderKey2 = 0;
    std::uint64_t FileSize = 0; // the version's size in the catalogue
    CDescriptorStream Stream;
};
