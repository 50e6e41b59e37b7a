// What tells one tape from another of the same identity: a digest of the tape's recorded data as its
// index and its records give it. Two tapes that the plug-ins take for copies of one volume (archives of
// one folder made a day apart, say) begin alike, so the digest covers the length of every record and
// mark, which any change of a member's size shifts, and the bytes of the tape's first and last records
// and of records spread between them, which hold the headers that name and date the members. The
// recorded data end at the first two consecutive marks, whatever the image holds after them. Reads a few
// MiB whatever the tape's size; the image may be read from several threads.
#pragma once

#include "vnservice/CStatus.h"

#include <string>

class CTapeImage;

// Sixteen hexadecimal digits, the same for every mount of an unchanged image.
CStatus TapeFingerprint(const CTapeImage& image, std::string& fingerprint);
