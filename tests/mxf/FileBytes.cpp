#include "FileBytes.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include <unistd.h>

namespace mxftest
{

ByteString operator+(ByteString a, const ByteString& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

ByteString BigEndian(std::uint64_t value, int size)
{
    ByteString bytes(static_cast<std::size_t>(size));
    for (int i = size - 1; i >= 0; --i, value >>= 8)
        bytes[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value);
    return bytes;
}

ByteString Klv(const std::string& keyHex, const ByteString& value)
{
    return Bytes(keyHex) + ByteString{0x83} + BigEndian(value.size(), 3) + value;
}

ByteString LocalSet(const std::string& keyHex, const std::vector<std::pair<std::uint16_t, ByteString>>& items)
{
    ByteString value;
    for (const auto& [tag, bytes] : items)
        value = value + BigEndian(tag, 2) + BigEndian(bytes.size(), 2) + bytes;
    return Klv(keyHex, value);
}

ByteString PrimerPack(const std::vector<std::pair<std::uint16_t, std::string>>& entries)
{
    ByteString value = BigEndian(entries.size(), 4) + BigEndian(18, 4);
    for (const auto& [tag, label] : entries)
        value = value + BigEndian(tag, 2) + Bytes(label);
    return Klv("060e2b34 02050101 0d010201 01050100", value);
}

ByteString PartitionPack(const std::string& kind, std::uint64_t headerByteCount, std::uint64_t footer)
{
    const ByteString value = BigEndian(1, 2) + BigEndian(3, 2) + BigEndian(512, 4) + BigEndian(0, 8) +
                             BigEndian(0, 8) + BigEndian(footer, 8) + BigEndian(headerByteCount, 8) +
                             BigEndian(0, 8) + BigEndian(0, 4) + BigEndian(0, 8) + BigEndian(1, 4) +
                             Bytes("060e2b34 04010101 0d010201 01010900") + BigEndian(0, 4) +
                             BigEndian(16, 4);
    return Klv("060e2b34 02050101 0d010201 01" + kind + "00", value);
}

TempFile::TempFile(const ByteString& bytes)
{
    static std::atomic<int> counter{0};
    Name = (std::filesystem::temp_directory_path() /
            ("mxf_file_test_" + std::to_string(::getpid()) + "_" + std::to_string(++counter) + ".mxf"))
               .string();
    std::ofstream(Name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

TempFile::~TempFile()
{
    std::remove(Name.c_str());
}

mxf::MXFFilePtr MemoryFile(const ByteString& bytes)
{
    mxf::DataChunkPtr chunk(new mxf::DataChunk(bytes.size()));
    if (!bytes.empty())
        std::memcpy(chunk->Data(), bytes.data(), bytes.size());
    mxf::MXFFilePtr file(new mxf::MXFFile);
    file->OpenMemory(chunk, 0);
    return file;
}

} // namespace mxftest
