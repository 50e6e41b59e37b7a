#include "TapeFingerprint.h"

#include "vnservice/CTapeImage.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace
{
// The bytes read at each end of the tape, and from each record sampled between them.
constexpr std::uint64_t EndBytes = 1 << 20;
constexpr std::uint32_t SampleBytes = 4 << 10;
constexpr std::size_t Samples = 64;

// FNV-1a: simple, and stable from one build to the next, as a digest kept in a database must be.
class CDigest
{
public:
    void Add(const void* data, std::size_t size)
    {
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        for (std::size_t i = 0; i < size; ++i)
            Value = (Value ^ bytes[i]) * 0x100000001B3ull;
    }
    void Add(std::uint64_t number)
    {
        std::uint8_t bytes[8];
        for (int i = 0; i < 8; ++i)
            bytes[i] = static_cast<std::uint8_t>(number >> (8 * i));
        Add(bytes, sizeof bytes);
    }
    std::string Text() const
    {
        char text[17];
        std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(Value));
        return text;
    }

private:
    std::uint64_t Value = 0xCBF29CE484222325ull;
};

// The entries before the first two consecutive marks.
std::size_t RecordedEntries(const CTapeImage& image)
{
    for (std::size_t i = 1; i < image.GetEntryCount(); ++i)
        if (image.GetEntryLength(i - 1) == 0 && image.GetEntryLength(i) == 0)
            return i - 1;
    return image.GetEntryCount();
}
} // namespace

CStatus TapeFingerprint(const CTapeImage& image, std::string& fingerprint)
{
    const std::size_t entries = RecordedEntries(image);
    CDigest digest;
    digest.Add(entries);
    std::vector<std::size_t> records;
    for (std::size_t i = 0; i < entries; ++i)
    {
        digest.Add(image.GetEntryLength(i));
        if (image.GetEntryLength(i) != 0)
            records.push_back(i);
    }

    // The records to read from, in tape order: the first and the last ones up to EndBytes at each end,
    // and the first bytes of Samples records spread evenly between them.
    std::size_t headCount = 0, tailCount = 0;
    for (std::uint64_t bytes = 0; headCount < records.size() && bytes < EndBytes; ++headCount)
        bytes += image.GetEntryLength(records[headCount]);
    for (std::uint64_t bytes = 0; tailCount < records.size() && bytes < EndBytes; ++tailCount)
        bytes += image.GetEntryLength(records[records.size() - 1 - tailCount]);
    std::vector<std::size_t> chosen;
    for (std::size_t k = 0; k < Samples && !records.empty(); ++k)
        chosen.push_back(records.size() * k / Samples);
    for (std::size_t i = 0; i < headCount; ++i)
        chosen.push_back(i);
    for (std::size_t i = records.size() - tailCount; i < records.size(); ++i)
        chosen.push_back(i);
    std::sort(chosen.begin(), chosen.end());
    chosen.erase(std::unique(chosen.begin(), chosen.end()), chosen.end());

    std::vector<std::uint8_t> bytes(SampleBytes);
    for (std::size_t i : chosen)
    {
        const std::size_t entry = records[i];
        const bool atEnd = i < headCount || i >= records.size() - tailCount;
        const std::uint64_t wanted =
            std::min<std::uint64_t>(image.GetEntryLength(entry), atEnd ? EndBytes : SampleBytes);
        for (std::uint32_t offset = 0; offset < wanted; offset += SampleBytes)
        {
            const auto size =
                static_cast<std::uint32_t>(std::min<std::uint64_t>(wanted - offset, SampleBytes));
            CStatus status = image.Read(entry, offset, bytes.data(), size);
            if (status.Failed())
                return status;
            digest.Add(bytes.data(), size);
        }
    }
    std::string whole;
    if (CStatus status = image.GetContentDigest(whole); status.Failed())
        return status;
    fingerprint = digest.Text() + whole;
    return CStatus::Success();
}

bool IsFingerprintOf(const std::string& kept, const std::string& mounted)
{
    constexpr std::size_t SampledDigits = 16;
    return kept.size() == SampledDigits ? mounted.compare(0, SampledDigits, kept) == 0 : kept == mounted;
}
