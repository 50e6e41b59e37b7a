#include "HeaderEdits.h"

#include <algorithm>

namespace tdtest
{
namespace
{
const Bytes PrimerKey{0x06, 0x0e, 0x2b, 0x34, 0x02, 0x05, 0x01, 0x01,
                      0x0d, 0x01, 0x02, 0x01, 0x01, 0x05, 0x01, 0x00};

std::size_t Find(const Bytes& file, const Bytes& key)
{
    return static_cast<std::size_t>(std::search(file.begin(), file.end(), key.begin(), key.end()) -
                                    file.begin());
}

// The header partition pack's HeaderByteCount, big-endian at 52 in a pack of a 4-byte BER length.
void CountHeaderBytes(Bytes& file, std::int64_t grown)
{
    std::uint64_t count = 0;
    for (std::size_t i = 52; i < 60; ++i)
        count = count << 8 | file.at(i);
    count = static_cast<std::uint64_t>(static_cast<std::int64_t>(count) + grown);
    for (std::size_t i = 60; i-- > 52; count >>= 8)
        file[i] = static_cast<std::uint8_t>(count);
}
} // namespace

const Bytes PrefaceKey{0x06, 0x0e, 0x2b, 0x34, 0x02, 0x53, 0x01, 0x01,
                       0x0d, 0x01, 0x01, 0x01, 0x01, 0x01, 0x2f, 0x00};
const Bytes IdentificationKey{0x06, 0x0e, 0x2b, 0x34, 0x02, 0x53, 0x01, 0x01,
                              0x0d, 0x01, 0x01, 0x01, 0x01, 0x01, 0x30, 0x00};

std::size_t ItemSize(const Bytes& file, std::size_t at)
{
    std::size_t length = file.at(at + 16);
    std::size_t header = 17;
    if (length & 0x80)
    {
        const std::size_t bytes = length & 0x7f;
        length = 0;
        for (std::size_t i = 0; i < bytes; ++i)
            length = length << 8 | file.at(at + 17 + i);
        header += bytes;
    }
    return header + length;
}

Bytes WithSets(const Bytes& file, const std::vector<Bytes>& sets, const Bytes& drop)
{
    Bytes out = file;
    std::int64_t grown = 0;
    if (!drop.empty())
    {
        const auto at = static_cast<std::ptrdiff_t>(Find(out, drop));
        const auto size = static_cast<std::ptrdiff_t>(ItemSize(out, static_cast<std::size_t>(at)));
        out.erase(out.begin() + at, out.begin() + at + size);
        grown -= size;
    }
    std::size_t at = Find(out, PrimerKey);
    at += ItemSize(out, at);
    std::size_t added = 0;
    for (const Bytes& set : sets)
        added += set.size();
    Bytes inserted;
    inserted.reserve(added);
    for (const Bytes& set : sets)
        inserted.insert(inserted.end(), set.begin(), set.end());
    out.insert(out.begin() + static_cast<std::ptrdiff_t>(at), inserted.begin(), inserted.end());
    CountHeaderBytes(out, grown + static_cast<std::int64_t>(added));
    return out;
}

Bytes OtherPreface(const Bytes& file)
{
    const std::size_t at = Find(file, PrefaceKey);
    Bytes preface(file.begin() + static_cast<std::ptrdiff_t>(at),
                  file.begin() + static_cast<std::ptrdiff_t>(at + ItemSize(file, at)));
    const std::size_t items = 17 + (preface[16] & 0x80 ? preface[16] & 0x7f : 0); // past key and length
    for (std::size_t item = items; item + 4 <= preface.size();
         item += 4 + (preface[item + 2] << 8 | preface[item + 3]))
    {
        const auto tag = static_cast<std::uint16_t>(preface[item] << 8 | preface[item + 1]);
        const std::size_t length = preface[item + 2] << 8 | preface[item + 3];
        // InstanceUID and ContentStorage: one UUID; Identifications: a batch of them.
        if (tag == 0x3c0a || tag == 0x3b03)
            preface[item + 4 + 15] ^= 0xff;
        else if (tag == 0x3b06)
            for (std::size_t uuid = item + 4 + 8; uuid + 16 <= item + 4 + length; uuid += 16)
                preface[uuid + 15] ^= 0xff;
    }
    return preface;
}

Bytes LocalItem(std::uint16_t tag, const Bytes& value)
{
    Bytes out{static_cast<std::uint8_t>(tag >> 8), static_cast<std::uint8_t>(tag),
              static_cast<std::uint8_t>(value.size() >> 8), static_cast<std::uint8_t>(value.size())};
    out.insert(out.end(), value.begin(), value.end());
    return out;
}

std::vector<Bytes> IdentificationSets(std::size_t count, const Bytes& value)
{
    Bytes one = IdentificationKey;
    one.push_back(0x83);
    for (int shift : {16, 8, 0})
        one.push_back(static_cast<std::uint8_t>(value.size() >> shift));
    one.insert(one.end(), value.begin(), value.end());
    return std::vector<Bytes>(count, one);
}

std::vector<Bytes> HostileSets(Shape shape, std::size_t bytes)
{
    switch (shape)
    {
    case Shape::Batches:
    {
        // As many one-byte items as a local item holds.
        Bytes batch{0x00, 0x00, 0xff, 0xf7, 0x00, 0x00, 0x00, 0x01};
        batch.resize(8 + 0xfff7);
        const Bytes item = LocalItem(0x3b0a, batch); // EssenceContainers
        return IdentificationSets(std::max<std::size_t>(1, bytes / item.size()), item);
    }
    case Shape::Strings:
    {
        Bytes string;
        for (int i = 0; i < 32767; ++i)
            string.insert(string.end(), {0x00, 'A'});
        const Bytes item = LocalItem(0x3c01, string); // CompanyName
        return IdentificationSets(std::max<std::size_t>(1, bytes / item.size()), item);
    }
    case Shape::InstanceUIDs:
    {
        std::vector<Bytes> sets;
        Bytes uid(16, 0xfe);
        for (std::uint32_t i = 0; sets.size() * 40 < bytes; ++i)
        {
            for (int b = 0; b < 4; ++b)
                uid[12 + b] = static_cast<std::uint8_t>(i >> (8 * (3 - b)));
            sets.push_back(IdentificationSets(1, LocalItem(0x3c0a, uid))[0]);
        }
        return sets;
    }
    case Shape::Empty:
        return IdentificationSets(std::max<std::size_t>(1, bytes / 20), {});
    }
    return {};
}
} // namespace tdtest
