// Fuzzes the reader of SMPTE register documents: the input is written to a file (register documents are
// read with namespaces only from files) and parsed, with and without an application to choose entries for.
#include "mxf/RXIDictionary.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::string path =
        (std::filesystem::temp_directory_path() / ("fuzz_register_" + std::to_string(getpid()) + ".xml"))
            .string();
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    mxf::ParseRXIFile(path, mxf::DefaultSymbolSpace(), "");
    mxf::ParseRXIFile(path, mxf::DefaultSymbolSpace(), "Edit[2.5]~");
    return 0;
}
