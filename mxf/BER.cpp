#include "mxf/BER.h"

#include "mxf/Diagnostics.h"
#include "mxf/Hex.h"

#include <cstring>

namespace mxf
{

namespace
{

bool Fits(std::uint64_t length, std::uint32_t size)
{
    if (size == 1)
        return length <= 0x7f;
    if (size >= 9)
        return true;
    return length < (std::uint64_t{1} << (8 * (size - 1)));
}

std::uint32_t ChosenSize(std::uint64_t length)
{
    if (length < 0x1000000)
        return 4;
    if (length < (std::uint64_t{1} << 56))
        return 8;
    return 9;
}

} // namespace

BERLength ReadBER(const std::uint8_t* bytes, std::uint64_t available)
{
    BERLength ber;
    if (available == 0)
        return ber;
    if (bytes[0] < 0x80)
        return {BERLength::Decoded, 1, bytes[0]};
    const std::uint32_t count = bytes[0] & 0x7f;
    if (count > 8)
    {
        ber.Result = BERLength::TooLong;
        return ber;
    }
    if (available - 1 < count)
        return ber;
    ber = {BERLength::Decoded, 1 + count, 0};
    for (std::uint32_t i = 1; i <= count; ++i)
        ber.Length = ber.Length << 8 | bytes[i];
    return ber;
}

std::uint32_t MakeBER(std::uint8_t* out, std::uint64_t length, std::uint32_t size)
{
    if (size > 9)
    {
        DiagnosticError("Maximum BER size is 9 bytes, however %d bytes specified in call to MakeBER()\n",
                        static_cast<int>(size));
        size = 9;
    }
    if (size != 0 && !Fits(length, size))
    {
        DiagnosticError(
            "BER size specified in call to MakeBER() is %d, however length 0x%s will not fit in that "
            "size\n",
            static_cast<int>(size), HexText64(length, 0).c_str());
        size = 0;
    }
    if (size == 0)
        size = ChosenSize(length);
    if (size == 1)
    {
        out[0] = static_cast<std::uint8_t>(length);
        return 1;
    }
    out[0] = static_cast<std::uint8_t>(0x80 + (size - 1));
    for (std::uint32_t i = 1; i < size; ++i)
        out[i] = static_cast<std::uint8_t>(length >> (8 * (size - 1 - i)));
    return size;
}

DataChunkPtr MakeBERChunk(std::uint64_t length, std::uint32_t size)
{
    std::uint8_t bytes[9];
    const std::uint32_t count = MakeBER(bytes, length, size);
    DataChunkPtr chunk = new DataChunk(count);
    std::memcpy(chunk->Data(), bytes, count);
    return chunk;
}

} // namespace mxf
