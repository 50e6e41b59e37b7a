// Small MXF byte streams for tests: KLV items, local sets, primer packs and partition packs, and helpers
// that write bytes to a temporary file or open them as a memory file.
#pragma once

#include "TestBytes.h"

#include "mxf/MXFFile.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace mxftest
{

using ByteString = std::vector<std::uint8_t>;

ByteString operator+(ByteString a, const ByteString& b);
// A 4-byte BER length (0x83 and three bytes).
ByteString Klv(const std::string& keyHex, const ByteString& value);
ByteString BigEndian(std::uint64_t value, int size);
// A local set of 2-byte tags and 2-byte lengths.
ByteString LocalSet(const std::string& keyHex,
                    const std::vector<std::pair<std::uint16_t, ByteString>>& items);
ByteString PrimerPack(const std::vector<std::pair<std::uint16_t, std::string>>& entries);
// A partition pack of the kind ("0204" closed complete header, "0404" complete footer ...).
ByteString PartitionPack(const std::string& kind, std::uint64_t headerByteCount, std::uint64_t footer = 0);

// A file on disk holding the bytes, removed with the object.
class TempFile
{
public:
    explicit TempFile(const ByteString& bytes);
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    const std::string& Path() const { return Name; }

private:
    std::string Name;
};

mxf::MXFFilePtr MemoryFile(const ByteString& bytes);

} // namespace mxftest
