// Fuzzes the Tedial label parser with whole label blocks as they come off tape.
#include "FileSystems/MxfReelFS/TedialLabel.h"

#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    TedialLabel label;
    (void)TedialLabel::Parse(std::string_view(reinterpret_cast<const char*>(data), size), label);
    return 0;
}
