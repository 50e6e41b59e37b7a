// Helpers of the Active Circle tests: label texts and blocks, tape images of labelled tapes, the TAR
// fixtures the peers made, and a pinned time zone so that label dates convert the same everywhere.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace actest
{
using Bytes = std::vector<std::uint8_t>;

// The three lines joined by CR LF.
std::string Label(std::string_view line1, std::string_view line2, std::string_view line3);
// The text at the start of a zeroed block of `block` bytes.
Bytes LabelBlock(std::string_view text, std::uint32_t block);
// A fixture file of tests/fixtures, e.g. "gnutar/ustar.tar".
Bytes ReadFixture(const std::string& relative);

// Writes a tape image: each file cut into records of `block` bytes (the last one zero-padded) and
// followed by a file mark.
void WriteTape(const std::string& path, std::uint32_t block, const std::vector<Bytes>& files);
// A label block, a mark, the ustar fixture archive and a mark: a tape as Active Circle writes it.
void WriteActiveCircleTape(const std::string& path, std::uint32_t block, std::string_view label);

// Local time is five hours behind UTC all year round (no daylight saving).
void PinTimeZone();
} // namespace actest
