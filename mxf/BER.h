// BER coding of KLV lengths: the one decoder that every reader of a length uses, and the coder the library
// writes with. Pure functions, thread-safe.
#pragma once

#include "mxf/DataChunk.h"

#include <cstdint>

namespace mxf
{

// A BER length as decoded: one byte below 0x80 is the length; else 0x80 + n, and n bytes big-endian. A
// coding of more than 8 length bytes is TooLong whatever its bytes, as no 64-bit length needs it; each
// reader then holds the length to what it can take.
struct BERLength
{
    enum Outcome
    {
        Decoded,
        Short,   // fewer bytes available than the coding says
        TooLong, // more than 8 length bytes
    };
    Outcome Result = Short;
    std::uint32_t Size = 0; // bytes of the coding, first byte included; 0 unless decoded
    std::uint64_t Length = 0;
};

// Decodes the length at bytes, reading at most available bytes.
BERLength ReadBER(const std::uint8_t* bytes, std::uint64_t available);

// Writes the BER coding of length in size bytes (0 chooses: 4, 8 or 9 bytes, never the short form) into out,
// which holds at least 9 bytes, and returns the number written. A size above 9, or one that cannot hold the
// length, is reported and replaced (by 9, or by the chosen size).
std::uint32_t MakeBER(std::uint8_t* out, std::uint64_t length, std::uint32_t size);
// A new chunk holding the MakeBER bytes.
DataChunkPtr MakeBERChunk(std::uint64_t length, std::uint32_t size);

} // namespace mxf
