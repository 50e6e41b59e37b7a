// Helpers of the Tedial tests: label texts, tapes as Tedial writes them (a label block, a mark, then
// each MXF file between marks), and the host of the recognition and restore tests, whose volumes the
// Tedial file system reads. Label dates convert in the pinned time zone of the Active Circle tests.
#pragma once

#include "../PoolReelFS/ActiveCircleTape.h"

#include "FileSystems/MxfReelFS/CTedialFileSystem.h"
#include "frame/CInstance.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tdtest
{
// The lines, each ended by LF.
std::string Label(const std::vector<std::string_view>& lines);
// A valid label whose fourth line is `name`: its date is 10:30 on 25 December 2020, local time.
std::string ValidLabel(std::string_view name = "C");
// The small MXF file that ffmpeg made (tests/fixtures/ffmpeg/make_tedial_mxf.sh).
Bytes MxfFile();
} // namespace tdtest

class TedialTape : public PluginTape<CTedialFileSystem>
{
protected:
    void SetUp() override
    {
        actest::PinTimeZone();
        PluginTape::SetUp();
    }

    // A tape as Tedial writes it: the label block and its mark, then each file and a mark.
    CVolumePointer MountTedial(const std::vector<Bytes>& files, std::uint32_t block = 65536,
                               const std::string& label = tdtest::ValidLabel())
    {
        std::vector<Bytes> tape{actest::LabelBlock(label, block)};
        tape.insert(tape.end(), files.begin(), files.end());
        return Mount(tape, block);
    }
};
