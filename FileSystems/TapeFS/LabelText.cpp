#include "FileSystems/TapeFS/LabelText.h"

#include "vnservice/CBlockBuffer.h"

#include <algorithm>
#include <array>

namespace
{
char FoldAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
} // namespace

bool IsLabelSpace(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

std::string_view TrimLabelText(std::string_view text)
{
    while (!text.empty() && IsLabelSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsLabelSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

bool EqualsNoCaseAscii(std::string_view a, std::string_view b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return FoldAscii(x) == FoldAscii(y); });
}

bool CDateText::Blanks()
{
    while (At < Text.size() && IsLabelSpace(Text[At]))
        ++At;
    return true;
}

bool CDateText::Literal(char c)
{
    if (At >= Text.size() || Text[At] != c)
        return false;
    ++At;
    return true;
}

bool CDateText::Number(int maxDigits, int low, int high, int& value)
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

bool CDateText::Month(int& month)
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

bool CDateText::Word(std::string_view& word)
{
    Blanks();
    std::size_t start = At;
    while (At < Text.size() && !IsLabelSpace(Text[At]))
        ++At;
    word = Text.substr(start, At - start);
    return !word.empty();
}

CStatus ParseLabelBlock(CBlockBuffer& buffer, const std::function<CStatus(std::string_view)>& parse)
{
    const std::uint8_t* data = nullptr;
    std::size_t length = 0;
    CStatus status = buffer.GetData(0, false, 0xFFFFFFFF, data, length);
    if (status.Failed())
        return status;
    status = parse(std::string_view(reinterpret_cast<const char*>(data), length));
    // The buffer lends its bytes until they are released.
    buffer.ReleaseData(0, length);
    return status;
}
