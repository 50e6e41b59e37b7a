// Fuzzes the readers of the MXF library: the input is read as the value of a primer pack (after the primer
// pack's own key and length, when it starts with them, as the committed fixture does), as label text for
// every text reader, and as the bytes and the text of a value of every scalar traits class.
#include "mxf/DataChunk.h"
#include "mxf/Hex.h"
#include "mxf/IdentifierText.h"
#include "mxf/MDObject.h"
#include "mxf/MDTraitsInt.h"
#include "mxf/MDTraitsRaw.h"
#include "mxf/Primer.h"
#include "mxf/UL.h"

#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace
{

// A value type of each scalar traits class, once with the class's own size and once of any size.
const std::vector<mxf::MDTypePtr>& ValueTypes()
{
    static const std::vector<mxf::MDTypePtr> types = []
    {
        const std::pair<mxf::MDTraits*, std::int32_t> traits[] = {
            {new mxf::MDTraits_Int8, 1},   {new mxf::MDTraits_UInt8, 1},  {new mxf::MDTraits_ISO7, 1},
            {new mxf::MDTraits_Int16, 2},  {new mxf::MDTraits_UInt16, 2}, {new mxf::MDTraits_UTF16, 2},
            {new mxf::MDTraits_Int32, 4},  {new mxf::MDTraits_UInt32, 4}, {new mxf::MDTraits_Int64, 8},
            {new mxf::MDTraits_UInt64, 8}, {new mxf::MDTraits_Raw, 16},   {new mxf::MDTraits_UUID, 16},
            {new mxf::MDTraits_Label, 16}, {new mxf::MDTraits_UMID, 32},
        };
        std::vector<mxf::MDTypePtr> made;
        std::uint8_t number = 0;
        for (const auto& [each, size] : traits)
        {
            const mxf::MDTraitsPtr held(each);
            for (const std::int32_t typeSize : {size, 0})
            {
                const std::uint8_t label[16] = {0x06, 0x0e, 0x2b, 0x34, 0x7f, 0x7f, 0x7f, 0x01,
                                                0x0f, 0x7f, 0x7f, 0x7f, 0x7f, 0x7f, 0x7f, ++number};
                made.push_back(mxf::MDType::DefineBasic(held->Name(), "", new mxf::UL(label), typeSize));
                made.back()->Traits = held;
            }
        }
        return made;
    }();
    return types;
}

// Reads the bytes into a value of every type, shows it, and sets it again from its text and from the input.
void ReadValues(const std::uint8_t* data, std::size_t size, const std::string& text)
{
    const std::uint32_t count = size ? data[0] : 0;
    for (const mxf::MDTypePtr& type : ValueTypes())
    {
        const mxf::MDObjectPtr value = new mxf::MDObject(type.GetPtr());
        if (value->Traits->ReadValue(*value, data, size, count) > size)
            __builtin_trap();
        const std::string shown = value->Traits->GetString(*value);
        value->Traits->SetString(*value, shown);
        value->Traits->SetString(*value, text);
        (void)value->Traits->GetString(*value);
        (void)value->Traits->GetInt64(*value);
        (void)value->Traits->GetUInt(*value);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::uint8_t primerKey[16] = {0x06, 0x0e, 0x2b, 0x34, 0x02, 0x05, 0x01, 0x01,
                                               0x0d, 0x01, 0x02, 0x01, 0x01, 0x05, 0x01, 0x00};
    const std::uint8_t* value = data;
    std::size_t valueSize = size;
    if (size >= 19 && std::memcmp(data, primerKey, 16) == 0 && data[16] == 0x82)
    {
        value += 19;
        valueSize -= 19;
    }
    mxf::Primer primer;
    const std::uint64_t used = primer.ReadPack(value, valueSize);
    if (used > valueSize)
        __builtin_trap();

    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::uint8_t bytes[16];
    mxf::ParseIdentifierText(text, bytes);
    const mxf::UL label(text);
    (void)label.GetString();
    std::string_view cursor = text;
    mxf::HexBytesFromText(cursor, sizeof bytes, bytes);
    (void)mxf::DataChunkFromHex(text)->GetString();
    ReadValues(data, size, std::string(text));
    return 0;
}
