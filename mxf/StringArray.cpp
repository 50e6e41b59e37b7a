#include "mxf/StringArray.h"

namespace mxf
{

std::vector<std::pair<std::uint64_t, std::uint64_t>> UTF16StringPieces(const std::uint8_t* bytes,
                                                                       std::uint64_t size)
{
    std::vector<std::pair<std::uint64_t, std::uint64_t>> pieces;
    std::uint64_t start = 0;
    while (size - start >= 2)
    {
        std::uint64_t end = start;
        while (size - end >= 2)
        {
            const bool terminator = bytes[end] == 0 && bytes[end + 1] == 0;
            end += 2;
            if (terminator)
                break;
        }
        pieces.emplace_back(start, end - start);
        start = end;
    }
    return pieces;
}

} // namespace mxf
