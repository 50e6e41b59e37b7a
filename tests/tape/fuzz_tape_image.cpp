// Indexes arbitrary bytes as a tape image file. Whatever is accepted must hold together: entries in order,
// each inside the file, and every record reading back the very bytes at its offset.
#include "vnservice/CTapeImage.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace
{
const std::string& ImagePath()
{
    static const std::string path = []
    {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/fuzz-tape-XXXXXX";
        int fd = ::mkstemp(pattern.data());
        if (fd < 0)
            std::abort();
        ::close(fd);
        return pattern;
    }();
    return path;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::ofstream(ImagePath(), std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    CTapeImage image;
    if (image.Open(ImagePath()).Failed())
        return 0;
    // Walk the layout again from the input itself: each entry where the one before it ends, its length
    // words as the input has them, its bytes as read through the image.
    auto word = [&](std::uint64_t at)
    {
        std::uint32_t value = 0;
        for (int i = 3; i >= 0; --i)
            value = value << 8 | data[at + static_cast<unsigned>(i)];
        return value;
    };
    std::uint64_t at = 0;
    bool anyRecord = false;
    bool lastIsMark = false;
    std::vector<unsigned char> bytes;
    for (std::size_t i = 0; i < image.GetEntryCount(); ++i)
    {
        std::uint32_t length = image.GetEntryLength(i);
        bool mark = image.GetEntryKind(i) == CTapeImage::EntryKind::Mark;
        // Two marks in a row end the data: the second is never an entry.
        if (mark != (length == 0) || at + 4 > size || word(at) != length || (mark && lastIsMark))
            std::abort();
        lastIsMark = mark;
        if (mark)
        {
            if (image.GetEntryOffset(i) != at)
                std::abort();
            at += 4;
            continue;
        }
        std::uint64_t offset = at + 4;
        at = offset + length + (length & 1);
        if (image.GetEntryOffset(i) != offset || at + 4 > size || word(at) != length)
            std::abort();
        at += 4;
        anyRecord = true;
        bytes.resize(length);
        if (image.Read(i, 0, bytes.data(), length).Failed() ||
            !std::equal(bytes.begin(), bytes.end(), data + offset))
            std::abort();
    }
    if (image.GetDataEnd() != at)
        std::abort();
    // What follows the last entry ends the recorded data: the end of the input, the end-of-medium marker
    // or the second of two marks; or, on an image cut short, less than a whole entry, or nothing after a
    // record that no mark closes.
    if (image.IsCutShort())
    {
        const bool partial = size - at < 4 || (word(at) != 0 && word(at) != 0xFFFFFFFF && !(word(at) >> 31) &&
                                               at + 8 + word(at) + (word(at) & 1) > size);
        if (image.GetEntryCount() == 0 || (at == size ? lastIsMark : !partial))
            std::abort();
    }
    else if (at == size ? image.GetEntryCount() > 0 && !lastIsMark
                        : at + 4 > size || (word(at) != 0xFFFFFFFF && !(word(at) == 0 && lastIsMark)))
        std::abort();
    if (anyRecord == image.HasNoRecords() || anyRecord != (image.GetNaturalBlockSize() != 0))
        std::abort();
    return 0;
}
