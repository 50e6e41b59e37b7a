#include "ActiveCircleTape.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace actest
{
std::string Label(std::string_view line1, std::string_view line2, std::string_view line3)
{
    return std::string(line1) + "\r\n" + std::string(line2) + "\r\n" + std::string(line3);
}

const std::string ValidLabel = Label("ActiveCircle 3.2 Apr 15, 2021 01 : 00 : 00 pm", "pool-7", "VOL001");

Bytes LabelBlock(std::string_view text, std::uint32_t block)
{
    Bytes bytes(std::max<std::size_t>(block, text.size()), 0);
    std::memcpy(bytes.data(), text.data(), text.size());
    return bytes;
}

void WriteActiveCircleTape(const std::string& path, std::uint32_t block, std::string_view label)
{
    WriteTape(path, block, {LabelBlock(label, block), ReadFixture("gnutar/ustar.tar")});
}

void PinTimeZone()
{
    ::setenv("TZ", "EST5", 1);
    ::tzset();
}
} // namespace actest
