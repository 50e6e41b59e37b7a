// Fuzzes the loader of the library's XML dictionary documents: the input is loaded as dictionary text,
// through the entry point that also tries it as a register document first.
#include "mxf/DictionaryLoad.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    mxf::LoadDictionaryFromText(std::string(reinterpret_cast<const char*>(data), size), "");
    return 0;
}
