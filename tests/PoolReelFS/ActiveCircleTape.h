// Helpers of the Active Circle tests: label texts and blocks, tapes as Active Circle writes them, a
// pinned time zone so that label dates convert the same everywhere, and the host of the scan and restore
// tests, whose volumes the Active Circle file system reads.
#pragma once

#include "../TarReelFS/TapeFixture.h"

#include "FileSystems/PoolReelFS/CActiveCircleFileSystem.h"
#include "frame/CInstance.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace actest
{
// The three lines joined by CR LF.
std::string Label(std::string_view line1, std::string_view line2, std::string_view line3);
// The text at the start of a zeroed block of `block` bytes.
Bytes LabelBlock(std::string_view text, std::uint32_t block);
// A valid label: its date is 13:00 on 15 April 2021, local time.
extern const std::string ValidLabel;

// A label block, a mark, the ustar fixture archive and a mark: a tape as Active Circle writes it.
void WriteActiveCircleTape(const std::string& path, std::uint32_t block, std::string_view label);

// Local time is five hours behind UTC all year round (no daylight saving).
void PinTimeZone();
} // namespace actest

class ActiveCircleTape : public PluginTape<CActiveCircleFileSystem>
{
protected:
    void SetUp() override
    {
        actest::PinTimeZone();
        PluginTape::SetUp();
    }

    // A tape as Active Circle writes it: the label block and its mark, then each archive and a mark. A
    // tape without a label of its own is labelled with its number, as a tape of its own.
    CVolumePointer MountLabelled(const std::vector<Bytes>& archives, std::uint32_t block = 10240,
                                 std::string label = {}, bool markAfterLast = true)
    {
        if (label.empty())
            label = TapeLabel(Tapes + 1);
        std::vector<Bytes> files{actest::LabelBlock(label, block)};
        files.insert(files.end(), archives.begin(), archives.end());
        return Mount(files, block, markAfterLast);
    }

    static std::string TapeLabel(int tape)
    {
        return actest::Label("ActiveCircle 3.2 Apr 15, 2021 01 : 00 : 00 pm", "pool-7",
                             "VOL" + std::to_string(tape));
    }
};
