#include "FileSystems/PoolReelFS/ActiveCircleLabel.h"

#include "FileSystems/PoolReelFS/CActiveCircleFileSystemOperation.h"
#include "FileSystems/TapeFS/FileSystemErrors.h"
#include "FileSystems/TapeFS/LabelText.h"
#include "vnservice/ErrorGenerators.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <string>

namespace
{
constexpr char Source[] = "ActiveCircleFileSystem";
constexpr std::string_view LineBreak = "\r\n";
constexpr std::string_view ProductWord = "ActiveCircle";

// The date of the label into `time` (hours 0 to 11 as the 12-hour clock gives them, 12 read as 0) and
// the word after it.
bool ReadDate(std::string_view text, std::tm& time, std::string_view& word)
{
    CDateText in(text);
    int year = 0;
    int hour = 0;
    bool read = in.Month(time.tm_mon) && in.Blanks() && in.Number(2, 1, 31, time.tm_mday) &&
                in.Literal(',') && in.Blanks() && in.Number(4, 0, 9999, year) && in.Blanks() &&
                in.Number(2, 1, 12, hour) && in.Blanks() && in.Literal(':') && in.Blanks() &&
                in.Number(2, 0, 59, time.tm_min) && in.Blanks() && in.Literal(':') && in.Blanks() &&
                in.Number(2, 0, 60, time.tm_sec) && in.Blanks() && in.Word(word);
    time.tm_year = year - 1900;
    time.tm_hour = hour % 12;
    return read;
}
} // namespace

CStatus ActiveCircleLabel::Parse(std::string_view block, ActiveCircleLabel& label)
{
    const std::string_view text = TrimLabelText(block.substr(0, block.find('\0')));
    auto malformed = [&](int line)
    { return CErrorGenMessage(Source, line, ErrorMalformedLabel, {std::string(text)}); };

    // Exactly three lines: two line breaks and no third.
    const std::size_t first = text.find(LineBreak);
    const std::size_t second = first == std::string_view::npos
                                   ? std::string_view::npos
                                   : text.find(LineBreak, first + LineBreak.size());
    if (second == std::string_view::npos ||
        text.find(LineBreak, second + LineBreak.size()) != std::string_view::npos)
        return malformed(__LINE__);
    const std::string_view line1 = text.substr(0, first);
    const std::string_view line2 = text.substr(first + LineBreak.size(), second - first - LineBreak.size());
    const std::string_view line3 = text.substr(second + LineBreak.size());

    const std::size_t blank1 = line1.find(' ');
    if (blank1 == std::string_view::npos || !EqualsNoCaseAscii(line1.substr(0, blank1), ProductWord))
        return malformed(__LINE__);
    const std::size_t blank2 = line1.find(' ', blank1 + 1);
    if (blank2 == std::string_view::npos)
        return malformed(__LINE__);
    const std::string_view date = line1.substr(blank2 + 1);

    std::tm time{};
    std::string_view word;
    if (!ReadDate(date, time, word))
        return malformed(__LINE__);
    if (EqualsNoCaseAscii(word, "pm"))
        time.tm_hour += 12;
    time.tm_isdst = 0;
    label.Time = static_cast<std::uint64_t>(static_cast<std::int64_t>(std::mktime(&time)));

    std::string id(line3);
    id += ';';
    id += line2;
    id += ';';
    id += date;
    std::memset(label.LabelId, 0, sizeof label.LabelId);
    std::memcpy(label.LabelId, id.data(), std::min(id.size(), sizeof label.LabelId));
    return CStatus::Success();
}

CStatus ParseActiveCircleLabel(CActiveCircleFileSystemOperation& operation)
{
    ActiveCircleLabel label;
    CStatus status = ParseLabelBlock(*operation.BlockBuffer, [&label](std::string_view block)
                                     { return ActiveCircleLabel::Parse(block, label); });
    if (status.IsSuccess())
    {
        operation.LabelTime = label.Time;
        std::memcpy(operation.LabelId, label.LabelId, sizeof label.LabelId);
    }
    return status;
}
