#include "TestDictionary.h"

#include "mxf/BuiltInDictionary.h"
#include "mxf/SymbolSpace.h"

#include <atomic>
#include <cstring>

namespace mxftest
{

mxf::ULPtr NewLabel(std::uint8_t family, std::uint8_t version)
{
    static std::atomic<std::uint32_t> counter{0};
    const std::uint32_t n = ++counter;
    const std::uint8_t bytes[16] = {0x06,
                                    0x0e,
                                    0x2b,
                                    0x34,
                                    family,
                                    0x01,
                                    0x01,
                                    version,
                                    0x0e,
                                    0x7f,
                                    static_cast<std::uint8_t>(n >> 16),
                                    static_cast<std::uint8_t>(n >> 8),
                                    static_cast<std::uint8_t>(n),
                                    0,
                                    0,
                                    0};
    return new mxf::UL(bytes);
}

mxf::MDTypePtr DefineValueType(const std::string& name, std::int32_t size, mxf::MDTraits* traits,
                               std::uint8_t family)
{
    const mxf::ULPtr label = NewLabel(family);
    mxf::MDTypePtr type = mxf::MDType::DefineBasic(name, name, label, size);
    if (traits)
        type->Traits = traits;
    mxf::DefaultSymbolSpace()->AddSymbol(name, label);
    return type;
}

mxf::MDOTypePtr DefineClass(int containerKind, const std::string& name, const mxf::MDTypePtr& valueType,
                            std::uint8_t family, mxf::Tag tag, const mxf::MDOTypePtr& parent)
{
    const std::string root = parent ? parent->FullName() + "/" : "";
    const int keyFormat = containerKind == mxf::MDOType::SET ? 2 : 0;
    const int lenFormat = containerKind == mxf::MDOType::SET ? 2 : 3;
    mxf::MDOTypePtr type =
        new mxf::MDOType(containerKind, root, name, name, valueType, keyFormat, lenFormat, 0, 0, 0);
    type->TypeUL = NewLabel(family);
    type->GlobalKey.Resize(16);
    std::memcpy(type->GlobalKey.Data(), type->TypeUL->GetValue(), 16);
    if (tag)
        type->StaticTag = tag;
    else
    {
        type->Key.Resize(16);
        std::memcpy(type->Key.Data(), type->TypeUL->GetValue(), 16);
    }
    if (parent)
    {
        type->SetParent(parent);
        parent->InsertChild(type);
    }
    type->Register();
    mxf::DefaultSymbolSpace()->AddSymbol(type->FullName(), type->TypeUL);
    return type;
}

void DefineUnknownEntries()
{
    mxf::InitBuiltInDictionary();
}

mxf::MDObjectPtr ValueOf(const mxf::MDTypePtr& type)
{
    return new mxf::MDObject(type.GetPtr());
}

} // namespace mxftest
