// CTapeImageWriter: writes a tape image file (.tap) in tape order, record by record and mark by mark. The
// writer owns the file until Finish, which gives it its name; destroyed before a successful Finish, it
// removes what it wrote, so no half-written image is left behind and a file it was to replace stays as it
// was. A device or pipe is written as it is and never removed. Not thread-safe: one thread writes.
#pragma once

#include "vnservice/CStatus.h"

#include <cstdint>
#include <string>

struct iovec;

class CTapeImageWriter
{
public:
    CTapeImageWriter() = default;
    CTapeImageWriter(const CTapeImageWriter&) = delete;
    CTapeImageWriter& operator=(const CTapeImageWriter&) = delete;
    ~CTapeImageWriter();

    // Begins the image at path, to replace any file there when finished.
    CStatus Begin(const std::string& path);
    // One record of 1 to 2^31-1 bytes (an empty record cannot be told from a mark).
    CStatus WriteRecord(const void* data, std::uint32_t size);
    CStatus WriteMark();
    // Closes the image. Nothing is written after the last entry: the end of the file is the end of the
    // medium to every reader of the format, and an image that stops there can later be extended in place.
    CStatus Finish();

    // The bytes written so far.
    std::uint64_t GetSize() const { return Size; }

private:
    CStatus Write(const iovec* parts, int count);
    CStatus Fault(int line, const std::string& what) const;

    std::string Path;
    // Where the image is written until Finish; empty when it goes straight to Path.
    std::string Temporary;
    int Fd = -1;
    std::uint64_t Size = 0;
};
