#include "mxf/StringArray.h"

#include "mxf/Diagnostics.h"
#include "mxf/MDObject.h"

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

std::list<std::string> SplitStringArray(const MDObjectPtr& value)
{
    std::list<std::string> texts;
    if (!value)
        return texts;
    // Looked up once, also when the dictionary lacks it then.
    static const MDTypePtr stringType = MDType::FindByName("UTF16String", DefaultSymbolSpace(), false);
    if (!stringType)
    {
        DiagnosticError("Can't build UTF16String value required by SplitStringArray() - need this type to be "
                        "defined in the dictionary file\n");
        return texts;
    }
    const DataChunkPtr bytes = value->EncodeValue(PrimerPtr());
    for (const auto& [offset, length] : UTF16StringPieces(bytes->Data(), bytes->Size()))
    {
        MDObjectPtr piece(new MDObject(stringType.GetPtr()));
        piece->ReadValue(bytes->Data() + offset, length, PrimerPtr());
        texts.push_back(piece->GetString(std::string()));
    }
    return texts;
}

} // namespace mxf
