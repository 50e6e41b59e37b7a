// The built-in traits bindings: which traits class serves each standard type name and type label.
#include "mxf/BuiltInDictionary.h"

#include "mxf/Labels.h"
#include "mxf/MDTraitsArray.h"
#include "mxf/MDTraitsCompound.h"
#include "mxf/MDTraitsEnum.h"
#include "mxf/MDTraitsInt.h"
#include "mxf/MDTraitsRaw.h"
#include "mxf/MDType.h"

#include <array>
#include <atomic>
#include <cstdint>

namespace mxf
{

namespace
{

struct Binding
{
    const char* TypeName; // null: bound by Label
    std::array<std::uint8_t, 16> Label;
    MDTraitsPtr (*Make)();
};

template <class T> MDTraitsPtr Make()
{
    return MDTraitsPtr(new T);
}

// The SMPTE labels of the standard integer types and of the UTF-16 string type.
constexpr LabelKey SMPTEType(std::uint8_t byte10, std::uint8_t byte11)
{
    return FamilyLabel(SMPTETypePrefix, std::array{byte10, byte11});
}

const Binding Bindings[] = {
    {"Default-Basic", {}, Make<MDTraits_Raw>},
    {"Default-Array", {}, Make<MDTraits_BasicArray>},
    {"Default-Compound", {}, Make<MDTraits_BasicCompound>},
    {"Default-Enum", {}, Make<MDTraits_BasicEnum>},
    {"RAW", {}, Make<MDTraits_Raw>},
    {"UnknownType", {}, Make<MDTraits_Raw>},
    {"Int8", {}, Make<MDTraits_Int8>},
    {nullptr, SMPTEType(0x01, 0x05), Make<MDTraits_Int8>},
    {"UInt8", {}, Make<MDTraits_UInt8>},
    {"Uint8", {}, Make<MDTraits_UInt8>},
    {nullptr, SMPTEType(0x01, 0x01), Make<MDTraits_UInt8>},
    {"Internal-UInt8", {}, Make<MDTraits_UInt8>},
    {"Int16", {}, Make<MDTraits_Int16>},
    {nullptr, SMPTEType(0x01, 0x06), Make<MDTraits_Int16>},
    {"UInt16", {}, Make<MDTraits_UInt16>},
    {"Uint16", {}, Make<MDTraits_UInt16>},
    {nullptr, SMPTEType(0x01, 0x02), Make<MDTraits_UInt16>},
    {"Int32", {}, Make<MDTraits_Int32>},
    {nullptr, SMPTEType(0x01, 0x07), Make<MDTraits_Int32>},
    {"UInt32", {}, Make<MDTraits_UInt32>},
    {"Uint32", {}, Make<MDTraits_UInt32>},
    {nullptr, SMPTEType(0x01, 0x03), Make<MDTraits_UInt32>},
    {"Int64", {}, Make<MDTraits_Int64>},
    {nullptr, SMPTEType(0x01, 0x08), Make<MDTraits_Int64>},
    {"UInt64", {}, Make<MDTraits_UInt64>},
    {"Uint64", {}, Make<MDTraits_UInt64>},
    {nullptr, SMPTEType(0x01, 0x04), Make<MDTraits_UInt64>},
    {"ISO7", {}, Make<MDTraits_ISO7>},
    {"UTF16", {}, Make<MDTraits_UTF16>},
    {"ISO7String", {}, Make<MDTraits_BasicStringArray>},
    {"UTF16String", {}, Make<MDTraits_UTF16String>},
    {nullptr, SMPTEType(0x10, 0x02), Make<MDTraits_UTF16String>},
    {"StringArray", {}, Make<MDTraits_StringArray>},
    {"UTF", {}, Make<MDTraits_ISO7>},
    {"UTFString", {}, Make<MDTraits_BasicStringArray>},
    {"UInt8Array", {}, Make<MDTraits_RawArray>},
    {"Uint8Array", {}, Make<MDTraits_RawArray>},
    {"Internal-UUID", {}, Make<MDTraits_UUID>},
    {"UUID", {}, Make<MDTraits_UUID>},
    {"UID", {}, Make<MDTraits_Label>},
    {"UL", {}, Make<MDTraits_Label>},
    {"UMID", {}, Make<MDTraits_UMID>},
    {"Rational", {}, Make<MDTraits_Rational>},
    {"Timestamp", {}, Make<MDTraits_TimeStamp>},
};

std::atomic<bool> BuiltInTraitsPending = true;

// The name under which traits of this name are registered: these traits, unless some came first.
std::string RegisteredName(const MDTraitsPtr& traits)
{
    const std::string name = traits->Name();
    if (!LookupTraits(name))
        RegisterTraits(name, traits);
    return name;
}

} // namespace

std::string MapTypeNameToTraits(const std::string& typeName, const MDTraitsPtr& traits)
{
    const std::string name = RegisteredName(traits);
    return MDType::BindTraitsByName(typeName, name) ? name : std::string();
}

std::string MapULToTraits(const UL& label, const MDTraitsPtr& traits)
{
    const std::string name = RegisteredName(traits);
    return MDType::BindTraitsByUL(label, name) ? name : std::string();
}

void RegisterBuiltInTraits()
{
    if (!BuiltInTraitsPending.exchange(false))
        return;
    for (const Binding& binding : Bindings)
    {
        if (binding.TypeName)
            MapTypeNameToTraits(binding.TypeName, binding.Make());
        else
            MapULToTraits(UL(binding.Label.data()), binding.Make());
    }
}

} // namespace mxf
