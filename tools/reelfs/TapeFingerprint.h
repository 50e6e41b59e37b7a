// What tells one tape from another of the same identity: digests of the tape's recorded data as its
// index and its records give it. Two tapes that the plug-ins take for copies of one volume (archives of
// one folder made a day apart, say) begin alike and may differ in one file in their middle, so the
// fingerprint digests every record whole. It begins with the digest that catalogues made before were
// kept with: of the length of every record and mark and of the bytes of the tape's first and last
// records and of records spread between them. The recorded data end at the first two consecutive marks,
// whatever the image holds after them. The whole tape is read once for each state of its image, which
// the home database keeps; the image may be read from several threads.
#pragma once

#include "vnservice/CStatus.h"

#include <string>

class CTapeImage;

// Thirty-two hexadecimal digits, the same for every mount of an unchanged image: the sixteen of the
// sampled digest, then those of the whole records'.
CStatus TapeFingerprint(const CTapeImage& image, std::string& fingerprint);

// Whether the fingerprint kept with a catalogue is that of the mounted tape; one of sixteen digits, kept
// before the records were digested whole, by the sampled digest.
bool IsFingerprintOf(const std::string& kept, const std::string& mounted);
