// Small dictionaries for tests: labels that no other test uses, value types with traits and a symbol, and
// classes keyed as a dictionary gives them. The registries live as long as the test program and hold the
// built-in dictionary beside these, so every test names its entries apart.
#pragma once

#include "mxf/MDOType.h"
#include "mxf/MDObject.h"
#include "mxf/MDTraits.h"
#include "mxf/MDType.h"

#include <cstdint>
#include <string>

namespace mxftest
{

// A new SMPTE-style label: 06 0e 2b 34, then family, then a running number; byte 8 is version.
mxf::ULPtr NewLabel(std::uint8_t family, std::uint8_t version = 0x01);

// A basic value type of the size, with the traits, entered as a symbol of the default space.
mxf::MDTypePtr DefineValueType(const std::string& name, std::int32_t size, mxf::MDTraits* traits,
                               std::uint8_t family);
// A registered class with a symbol of the default space and keys as a dictionary gives them.
mxf::MDOTypePtr DefineClass(int containerKind, const std::string& name, const mxf::MDTypePtr& valueType,
                            std::uint8_t family, mxf::Tag tag = 0, const mxf::MDOTypePtr& parent = {});

// The library's own class "Unknown" and value type "UnknownType", which objects fall back on: the built-in
// dictionary is loaded first, so that a test sees the same entries whichever tests ran before it.
void DefineUnknownEntries();

// A value object of the type; its traits are the type's.
mxf::MDObjectPtr ValueOf(const mxf::MDTypePtr& type);

} // namespace mxftest
