#include "FileSystems/PoolReelFS/ActiveCircleLabel.h"

#include "FileSystems/PoolReelFS/CActiveCircleFileSystemOperation.h"
#include "FileSystems/TarReelFS/FileSystemErrors.h"
#include "vnservice/CBlockBuffer.h"
#include "vnservice/ErrorGenerators.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <ctime>
#include <string>

namespace
{
constexpr char Source[] = "ActiveCircleFileSystem";
constexpr std::string_view LineBreak = "\r\n";
constexpr std::string_view ProductWord = "ActiveCircle";

bool IsSpace(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

char FoldAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsNoCaseAscii(std::string_view a, std::string_view b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return FoldAscii(x) == FoldAscii(y); });
}

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && IsSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

// Reads the date text field by field as "%b %d, %Y %I : %M : %S " in the "C" locale, by the conventions
// of strptime: a blank of the format matches any run of white space, none included; a number may be
// preceded by white space and takes at most its field's digits; a month is named in full or by its
// first three letters, in any letter case. Every step answers whether it matched and moves past it.
class CDateText
{
public:
    explicit CDateText(std::string_view text) : Text(text) {}

    bool Blanks()
    {
        while (At < Text.size() && IsSpace(Text[At]))
            ++At;
        return true;
    }

    bool Literal(char c)
    {
        if (At >= Text.size() || Text[At] != c)
            return false;
        ++At;
        return true;
    }

    bool Number(int maxDigits, int low, int high, int& value)
    {
        Blanks();
        int digits = 0;
        int number = 0;
        for (; digits < maxDigits && At < Text.size() && Text[At] >= '0' && Text[At] <= '9'; ++digits)
            number = number * 10 + (Text[At++] - '0');
        if (digits == 0 || number < low || number > high)
            return false;
        value = number;
        return true;
    }

    // The month as 0 to 11.
    bool Month(int& month)
    {
        static constexpr std::array<std::string_view, 12> names = {
            "January", "February", "March",     "April",   "May",      "June",
            "July",    "August",   "September", "October", "November", "December"};
        for (int i = 0; i < 12; ++i)
            for (std::string_view name : {names[i], names[i].substr(0, 3)})
                if (EqualsNoCaseAscii(Text.substr(At, name.size()), name))
                {
                    At += name.size();
                    month = i;
                    return true;
                }
        return false;
    }

    // The next run of bytes that are not white space, after any white space; none is a failure.
    bool Word(std::string_view& word)
    {
        Blanks();
        std::size_t start = At;
        while (At < Text.size() && !IsSpace(Text[At]))
            ++At;
        word = Text.substr(start, At - start);
        return !word.empty();
    }

private:
    std::string_view Text;
    std::size_t At = 0;
};

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
    const std::string_view text = Trim(block.substr(0, block.find('\0')));
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
    const std::uint8_t* data = nullptr;
    std::size_t length = 0;
    CStatus status = operation.BlockBuffer->GetData(0, false, 0xFFFFFFFF, data, length);
    if (status.Failed())
        return status;
    ActiveCircleLabel label;
    status = ActiveCircleLabel::Parse(std::string_view(reinterpret_cast<const char*>(data), length), label);
    // The buffer lends its bytes until they are released, whatever the label held.
    operation.BlockBuffer->ReleaseData(0, length);
    if (status.IsSuccess())
    {
        operation.LabelTime = label.Time;
        std::memcpy(operation.LabelId, label.LabelId, sizeof label.LabelId);
    }
    return status;
}
