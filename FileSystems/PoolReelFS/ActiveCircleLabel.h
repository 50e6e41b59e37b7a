// The label of an Active Circle tape: the tape's first block, three lines of text separated by CR LF.
// The first line is the word "ActiveCircle", a second word and the date the tape was labelled, on the
// 12-hour clock ("ActiveCircle pool Apr 15, 2021 01 : 00 : 00 pm"); the other two lines are free text.
// The label gives the tape its identifier and the number its volume starts from. A plain value.
#pragma once

#include "vnservice/CStatus.h"

#include <cstdint>
#include <string_view>

class CActiveCircleFileSystemOperation;

struct ActiveCircleLabel
{
    // The date as local time, seconds since 1970; all ones when it cannot be converted.
    std::uint64_t Time = 0;
    // Line 3, ";", line 2, ";" and the date text with its am/pm word, cut to 48 bytes, zero-padded.
    std::uint8_t LabelId[48] = {};

    // Parses a label block: its bytes up to the first NUL, trimmed of white space at both ends. A
    // malformed label fails with ErrorMalformedLabel and the trimmed text, and leaves `label` as it was.
    static CStatus Parse(std::string_view block, ActiveCircleLabel& label);
};

// Parses the label held in the operation's block buffer into the operation's LabelTime and LabelId.
CStatus ParseActiveCircleLabel(CActiveCircleFileSystemOperation& operation);
