// The label of a Tedial tape: the tape's first block, six lines of text separated by LF, of which the
// first is "554362111000", the fourth names the tape and the sixth is the date it was labelled
// ("25/12/2020 10:30"). The label gives the tape its identifier and the number its volume starts from.
// A plain value.
#pragma once

#include "vnservice/CStatus.h"

#include <cstdint>
#include <string_view>

class CTedialFileSystemOperation;

struct TedialLabel
{
    // The date as local time, seconds since 1970; -1 when it cannot be converted.
    std::int64_t Time = 0;
    // Line 4, ";" and line 6, cut to 48 bytes, zero-padded.
    std::uint8_t LabelId[48] = {};

    // Parses a label block: its bytes up to the first NUL, trimmed of white space at both ends, split at
    // LF with empty lines dropped. A malformed label fails with ErrorMalformedTedialLabel and the trimmed
    // text, and leaves `label` as it was.
    static CStatus Parse(std::string_view block, TedialLabel& label);
};

// Parses the label held in the operation's block buffer into the operation's LabelTime and LabelId.
CStatus ParseTedialLabel(CTedialFileSystemOperation& operation);
