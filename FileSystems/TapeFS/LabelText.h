// Reading the text of tape labels: white space as the "C" locale knows it, trimming, ASCII letter case,
// and a cursor that reads a date field by field by the conventions of strptime in the "C" locale. The
// Active Circle and Tedial labels are read with them. Pure functions and a cursor over a text the caller
// keeps; a cursor serves one thread.
#pragma once

#include "vnservice/CStatus.h"

#include <cstddef>
#include <functional>
#include <string_view>

class CBlockBuffer;

// Space, tab, LF, VT, FF and CR.
bool IsLabelSpace(char c);
std::string_view TrimLabelText(std::string_view text);
bool EqualsNoCaseAscii(std::string_view a, std::string_view b);

// A blank of a date format matches any run of white space, none included; a number may be preceded by
// white space and takes at most its field's digits; a month is named in full or by its first three
// letters, in any letter case. Every step answers whether it matched and moves past it.
class CDateText
{
public:
    explicit CDateText(std::string_view text) : Text(text) {}

    bool Blanks();
    bool Literal(char c);
    bool Number(int maxDigits, int low, int high, int& value);
    // The month as 0 to 11.
    bool Month(int& month);
    // The next run of bytes that are not white space, after any white space; none is a failure.
    bool Word(std::string_view& word);

private:
    std::string_view Text;
    std::size_t At = 0;
};

// Hands the label block that a drive read put at the start of `buffer` to `parse`, and gives the bytes
// back to the buffer whatever it answers. A buffer that holds no bytes there fails with its status.
CStatus ParseLabelBlock(CBlockBuffer& buffer, const std::function<CStatus(std::string_view)>& parse);
