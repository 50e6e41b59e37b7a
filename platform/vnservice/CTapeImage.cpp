#include "vnservice/CTapeImage.h"

#include "vnservice/CTapeIndexCache.h"
#include "vnservice/ErrorGenerators.h"
#include "vnservice/HostErrors.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <unordered_map>

namespace
{
constexpr std::uint32_t EndOfMedium = 0xFFFFFFFF;
constexpr std::uint32_t BadRecordFlag = 0x80000000;

std::uint32_t LittleEndian32(const unsigned char* bytes)
{
    return std::uint32_t(bytes[0]) | std::uint32_t(bytes[1]) << 8 | std::uint32_t(bytes[2]) << 16 |
           std::uint32_t(bytes[3]) << 24;
}

// The bytes an entry takes in the image: a mark is one word; a record is its data, padded to an even
// length, between two length words.
std::uint64_t Footprint(std::uint32_t length)
{
    return length == 0 ? 4 : 8 + std::uint64_t(length) + (length & 1);
}

std::string Hex32(std::uint32_t word)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(word));
    return text;
}

std::string ErrnoText(int error)
{
    return std::error_code(error, std::generic_category()).message();
}

// Reads up to size bytes at offset; fewer only at the end of the file. Returns -1 (errno set) on an error.
long long ReadUpTo(int fd, std::uint64_t offset, void* dest, std::size_t size)
{
    auto* out = static_cast<unsigned char*>(dest);
    std::size_t done = 0;
    while (done < size)
    {
        ssize_t got = ::pread(fd, out + done, size - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return -1;
        if (got == 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    return static_cast<long long>(done);
}

// Why a read brought fewer bytes than the image's size promised.
std::string ShortReadText(long long got)
{
    return got < 0 ? ErrnoText(errno) : "the image has shrunk since it was opened";
}

// Counts record lengths for the natural block size. A tape holds few distinct lengths (an image of S bytes
// can hold at most about sqrt(2S) of them), so the tally stays small however many records there are.
class CLengthTally
{
public:
    void Add(std::uint32_t length, std::size_t order)
    {
        // Records come in long runs of one length: the run's tally is at hand without a lookup.
        if (!Last || LastLength != length)
        {
            Last = &Tallies.try_emplace(length, Tally{0, order}).first->second;
            LastLength = length;
        }
        ++Last->Count;
    }

    std::uint32_t MostCommon() const
    {
        std::uint32_t best = 0;
        const Tally* bestTally = nullptr;
        for (const auto& [length, tally] : Tallies)
            if (!bestTally || tally.Count > bestTally->Count ||
                (tally.Count == bestTally->Count && tally.First < bestTally->First))
            {
                best = length;
                bestTally = &tally;
            }
        return best;
    }

private:
    struct Tally
    {
        std::size_t Count;
        std::size_t First;
    };
    std::unordered_map<std::uint32_t, Tally> Tallies;
    Tally* Last = nullptr; // unordered_map keeps its elements where they are as it grows
    std::uint32_t LastLength = 0;
};
} // namespace

CTapeImage::~CTapeImage()
{
    Close();
}

void CTapeImage::Close()
{
    if (Fd >= 0)
        ::close(Fd);
    Fd = -1;
    Lengths.clear();
    Lengths.shrink_to_fit();
    Checkpoints.clear();
    Checkpoints.shrink_to_fit();
    NaturalBlockSize = 0;
    DataEnd = 0;
}

CStatus CTapeImage::Fault(int line, const std::string& what) const
{
    return CErrorGenMessage("TapeImage", line, HostErrorTapeImage, {Path, what});
}

CStatus CTapeImage::Open(const std::string& path, CTapeIndexCache* cache)
{
    Close();
    Path = path;
    Fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (Fd < 0)
        return Fault(__LINE__, "cannot be opened: " + ErrnoText(errno));
    struct stat info;
    if (::fstat(Fd, &info) != 0)
    {
        auto status = Fault(__LINE__, "cannot be examined: " + ErrnoText(errno));
        Close();
        return status;
    }
    if (!S_ISREG(info.st_mode))
    {
        Close();
        return Fault(__LINE__, "is not a regular file");
    }
    const std::uint64_t fileSize = static_cast<std::uint64_t>(info.st_size);
    const CTapeIndexCache::CFileState state{
        static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino), fileSize,
        static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
    if (cache && cache->Load(path, state, Lengths) && Rebuild(fileSize))
        return CStatus::Success();
    Lengths.clear();
    Checkpoints.clear();
    auto status = Index(fileSize);
    if (status.Failed())
        Close();
    else if (cache)
        cache->Save(path, state, Lengths);
    return status;
}

bool CTapeImage::Rebuild(std::uint64_t fileSize)
{
    CLengthTally tally;
    Checkpoints.clear();
    std::uint64_t pos = 0;
    for (std::size_t entry = 0; entry < Lengths.size(); ++entry)
    {
        if (entry % Stride == 0)
            Checkpoints.push_back(pos);
        const std::uint32_t length = Lengths[entry];
        if (length & BadRecordFlag)
            return false;
        pos += length == 0 ? 4 : 8 + std::uint64_t{length} + (length & 1);
        if (length != 0)
            tally.Add(length, entry);
    }
    if (pos > fileSize)
        return false;
    DataEnd = pos;
    NaturalBlockSize = tally.MostCommon();
    return true;
}

// One pass over the length words, in tape order. The trailing length of a record and the word after it
// are adjacent, so one read of eight bytes serves both, and no record data is ever read.
namespace
{
// The image seen through a moving window of mapped pages while it is indexed: the length words lie a
// record apart, and reading them from a window filled in one call costs far less than a system call
// each. Memory stays bounded by the window.
class CIndexWindow
{
public:
    CIndexWindow(int fd, std::uint64_t fileSize) : Fd(fd), FileSize(fileSize) {}
    CIndexWindow(const CIndexWindow&) = delete;
    CIndexWindow& operator=(const CIndexWindow&) = delete;
    ~CIndexWindow() { Unmap(); }

    // Copies `size` bytes at `offset` (inside the file) into `dest`; false when the pages cannot be had.
    bool Read(std::uint64_t offset, unsigned char* dest, std::size_t size)
    {
        if (offset + size > FileSize)
        {
            errno = EINVAL;
            return false;
        }
        if (offset < Start || offset + size > Start + Size)
        {
            Unmap();
            Start = offset / Span * Span;
            Size = static_cast<std::size_t>(std::min<std::uint64_t>(Span + PageOverlap, FileSize - Start));
            void* map =
                ::mmap(nullptr, Size, PROT_READ, MAP_SHARED | MAP_POPULATE, Fd, static_cast<off_t>(Start));
            if (map == MAP_FAILED)
            {
                Size = 0;
                return false;
            }
            Map = static_cast<const unsigned char*>(map);
        }
        std::memcpy(dest, Map + (offset - Start), size);
        return true;
    }

    // Asks the memory for the bytes at `offset` ahead of their reading, when the window holds them: the
    // length words of records of one size lie a stride apart, and fetching several at once hides the
    // latency of each.
    void Prefetch(std::uint64_t offset) const
    {
        if (offset >= Start && offset < Start + Size)
            __builtin_prefetch(Map + (offset - Start));
    }

private:
    static constexpr std::uint64_t Span = 8 << 20;
    // Windows overlap by a page, so a word that straddles a window's end is read whole from the next.
    static constexpr std::uint64_t PageOverlap = 4096;

    void Unmap()
    {
        if (Map)
            ::munmap(const_cast<unsigned char*>(Map), Size);
        Map = nullptr;
        Size = 0;
    }

    int Fd;
    std::uint64_t FileSize;
    const unsigned char* Map = nullptr;
    std::uint64_t Start = 0;
    std::size_t Size = 0;
};
} // namespace

CStatus CTapeImage::Index(std::uint64_t fileSize)
{
    // How many records ahead the window is asked for the trailing word of a record of the same size.
    constexpr std::uint64_t LookAhead = 8;
    CIndexWindow window(Fd, fileSize);
    CLengthTally tally;
    std::uint64_t pos = 0;
    // The word at pos when the previous read already brought it in.
    bool havePending = false;
    std::uint32_t pending = 0;
    unsigned char bytes[8];
    while (pos < fileSize)
    {
        std::uint32_t word = pending;
        if (!havePending)
        {
            if (fileSize - pos < 4)
                return Fault(__LINE__, "only " + std::to_string(fileSize - pos) +
                                           " of the 4 bytes of a length word at byte " + std::to_string(pos));
            if (!window.Read(pos, bytes, 4))
                return Fault(__LINE__, "cannot read the length word at byte " + std::to_string(pos) + ": " +
                                           ErrnoText(errno));
            word = LittleEndian32(bytes);
        }
        havePending = false;
        if (word == EndOfMedium)
            break;
        if (word & BadRecordFlag)
            return Fault(__LINE__, "the record at byte " + std::to_string(pos) +
                                       " is marked bad (length word " + Hex32(word) + ")");
        if (Lengths.size() % Stride == 0)
            Checkpoints.push_back(pos);
        if (word == 0)
        {
            Lengths.push_back(0);
            pos += 4;
            DataEnd = pos;
            continue;
        }
        std::uint64_t dataEnd = pos + 4 + word;
        if (dataEnd > fileSize)
            return Fault(__LINE__, "the record of " + std::to_string(word) + " bytes at byte " +
                                       std::to_string(pos) + " runs past the end of the image at byte " +
                                       std::to_string(fileSize));
        std::uint64_t trailer = dataEnd + (word & 1);
        if (trailer + 4 > fileSize)
            return Fault(__LINE__, "the record of " + std::to_string(word) + " bytes at byte " +
                                       std::to_string(pos) + " is cut short: its trailing length at byte " +
                                       std::to_string(trailer) + " is missing");
        const std::size_t got = std::min<std::uint64_t>(sizeof bytes, fileSize - trailer);
        if (!window.Read(trailer, bytes, got))
            return Fault(__LINE__, "cannot read the trailing length at byte " + std::to_string(trailer) +
                                       ": " + ErrnoText(errno));
        std::uint32_t trailing = LittleEndian32(bytes);
        if (trailing != word)
            return Fault(__LINE__, "the record at byte " + std::to_string(pos) + " has leading length " +
                                       std::to_string(word) + " but trailing length " +
                                       std::to_string(trailing) + " at byte " + std::to_string(trailer));
        tally.Add(word, Lengths.size());
        Lengths.push_back(word);
        pos = trailer + 4;
        DataEnd = pos;
        window.Prefetch(pos + LookAhead * (pos - (dataEnd - word - 4)));
        if (got == sizeof bytes)
        {
            havePending = true;
            pending = LittleEndian32(bytes + 4);
        }
    }
    Lengths.shrink_to_fit();
    Checkpoints.shrink_to_fit();
    NaturalBlockSize = tally.MostCommon();
    return CStatus::Success();
}

CTapeImage::EntryKind CTapeImage::GetEntryKind(std::size_t index) const
{
    return Lengths[index] == 0 ? EntryKind::Mark : EntryKind::Record;
}

std::uint64_t CTapeImage::GetEntryOffset(std::size_t index) const
{
    std::size_t first = index - index % Stride;
    std::uint64_t offset = Checkpoints[index / Stride];
    for (std::size_t i = first; i < index; ++i)
        offset += Footprint(Lengths[i]);
    return Lengths[index] == 0 ? offset : offset + 4;
}

CStatus CTapeImage::Read(std::size_t entryIndex, std::uint32_t offsetInRecord, void* dest,
                         std::size_t size) const
{
    if (entryIndex >= Lengths.size())
        return Fault(__LINE__, "there is no entry " + std::to_string(entryIndex) + "; the image holds " +
                                   std::to_string(Lengths.size()));
    std::uint32_t length = Lengths[entryIndex];
    if (length == 0)
        return Fault(__LINE__, "entry " + std::to_string(entryIndex) + " is a file mark, not a record");
    if (offsetInRecord > length || size > length - offsetInRecord)
        return Fault(__LINE__, "bytes " + std::to_string(offsetInRecord) + " to " +
                                   std::to_string(std::uint64_t(offsetInRecord) + size) +
                                   " are not inside the " + std::to_string(length) + " bytes of record " +
                                   std::to_string(entryIndex));
    std::uint64_t at = GetEntryOffset(entryIndex) + offsetInRecord;
    long long got = ReadUpTo(Fd, at, dest, size);
    if (got < 0 || static_cast<std::size_t>(got) != size)
        return Fault(__LINE__, "cannot read record " + std::to_string(entryIndex) + " at byte " +
                                   std::to_string(at) + ": " + ShortReadText(got));
    return CStatus::Success();
}

CStatus CTapeImage::ReadImage(std::uint64_t offset, void* dest, std::size_t size) const
{
    long long got = ReadUpTo(Fd, offset, dest, size);
    if (got < 0 || static_cast<std::size_t>(got) != size)
        return Fault(__LINE__, "cannot read bytes " + std::to_string(offset) + " to " +
                                   std::to_string(offset + size) + ": " + ShortReadText(got));
    return CStatus::Success();
}
