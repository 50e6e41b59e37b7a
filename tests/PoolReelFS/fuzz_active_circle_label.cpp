// Fuzzes the label parser with whole label blocks as they come off tape.
#include "FileSystems/PoolReelFS/ActiveCircleLabel.h"

#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    ActiveCircleLabel label;
    (void)ActiveCircleLabel::Parse(std::string_view(reinterpret_cast<const char*>(data), size), label);
    return 0;
}
