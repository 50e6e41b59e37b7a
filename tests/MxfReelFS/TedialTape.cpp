#include "TedialTape.h"

namespace tdtest
{
std::string Label(const std::vector<std::string_view>& lines)
{
    std::string text;
    for (std::string_view line : lines)
        (text += line) += '\n';
    return text;
}

std::string ValidLabel(std::string_view name)
{
    return Label({"554362111000", "A", "B", name, "D", "25/12/2020 10:30"});
}

Bytes MxfFile()
{
    return ReadFixture("ffmpeg/tedial.mxf");
}
} // namespace tdtest
