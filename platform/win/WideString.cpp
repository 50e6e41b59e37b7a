#include "win/WideString.h"

#include "win/WinError.h"

#include <algorithm>

WString WidenAscii(std::string_view text)
{
    return WString(text.begin(), text.end());
}

char16_t FoldCase(char16_t unit)
{
    return unit >= u'A' && unit <= u'Z' ? static_cast<char16_t>(unit - u'A' + u'a') : unit;
}

int CompareNoCase(WStringView a, WStringView b)
{
    std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i)
    {
        char16_t x = FoldCase(a[i]);
        char16_t y = FoldCase(b[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool EqualsNoCase(WStringView a, WStringView b)
{
    return a.size() == b.size() && CompareNoCase(a, b) == 0;
}

int BoundedCopy(char16_t* field, std::size_t units, WStringView text)
{
    if (units == 0)
        return ERANGE_COPY;
    if (text.size() + 1 > units)
    {
        field[0] = 0;
        return ERANGE_COPY;
    }
    std::copy(text.begin(), text.end(), field);
    field[text.size()] = 0;
    return 0;
}

std::size_t BoundedLength(const char16_t* field, std::size_t units)
{
    std::size_t n = 0;
    while (n < units && field[n] != 0)
        ++n;
    return n;
}
