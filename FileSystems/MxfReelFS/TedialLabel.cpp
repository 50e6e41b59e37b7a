#include "FileSystems/MxfReelFS/TedialLabel.h"

#include "FileSystems/MxfReelFS/CTedialFileSystemOperation.h"
#include "FileSystems/TapeFS/LabelText.h"
#include "FileSystems/TapeFS/FileSystemErrors.h"
#include "vnservice/ErrorGenerators.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace
{
constexpr char Source[] = "TedialFileSystem";
constexpr std::string_view LayoutLine = "554362111000";
constexpr std::size_t LabelLines = 6;

// "%d / %m / %Y %H : %M" into `time`; what follows the minutes is not looked at.
bool ReadDate(std::string_view text, std::tm& time)
{
    CDateText in(text);
    int year = 0;
    bool read = in.Number(2, 1, 31, time.tm_mday) && in.Blanks() && in.Literal('/') && in.Blanks() &&
                in.Number(2, 1, 12, time.tm_mon) && in.Blanks() && in.Literal('/') && in.Blanks() &&
                in.Number(4, 0, 9999, year) && in.Blanks() && in.Number(2, 0, 23, time.tm_hour) &&
                in.Blanks() && in.Literal(':') && in.Blanks() && in.Number(2, 0, 59, time.tm_min);
    time.tm_mon -= 1;
    time.tm_year = year - 1900;
    return read;
}
} // namespace

CStatus TedialLabel::Parse(std::string_view block, TedialLabel& label)
{
    const std::string_view text = TrimLabelText(block.substr(0, block.find('\0')));
    auto malformed = [&](int line)
    { return CErrorGenMessage(Source, line, ErrorMalformedTedialLabel, {std::string(text)}); };

    // A CR before an LF stays part of its line.
    std::vector<std::string_view> lines;
    for (std::size_t at = 0; at <= text.size() && lines.size() <= LabelLines;)
    {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        if (end > at)
            lines.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    if (lines.size() != LabelLines || lines[0] != LayoutLine)
        return malformed(__LINE__);

    std::tm time{};
    if (!ReadDate(lines[5], time))
        return malformed(__LINE__);
    time.tm_sec = 0;
    time.tm_isdst = 0;
    label.Time = static_cast<std::int64_t>(std::mktime(&time));

    std::string id(lines[3]);
    id += ';';
    id += lines[5];
    std::memset(label.LabelId, 0, sizeof label.LabelId);
    std::memcpy(label.LabelId, id.data(), std::min(id.size(), sizeof label.LabelId));
    return CStatus::Success();
}

CStatus ParseTedialLabel(CTedialFileSystemOperation& operation)
{
    TedialLabel label;
    CStatus status = ParseLabelBlock(*operation.BlockBuffer, [&label](std::string_view block)
                                     { return TedialLabel::Parse(block, label); });
    if (status.IsSuccess())
    {
        operation.LabelTime = label.Time;
        std::memcpy(operation.LabelId, label.LabelId, sizeof label.LabelId);
    }
    return status;
}
