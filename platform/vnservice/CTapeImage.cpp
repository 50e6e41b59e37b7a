#include "vnservice/CTapeImage.h"

#include "vnservice/CImageReader.h"
#include "vnservice/CTapeIndexCache.h"
#include "vnservice/ErrorGenerators.h"
#include "vnservice/HostErrors.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <new>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <unordered_map>
#include <xxhash.h>

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
    Cache = nullptr;
    State = {};
    Lengths.clear();
    Lengths.shrink_to_fit();
    Checkpoints.clear();
    Checkpoints.shrink_to_fit();
    NaturalBlockSize = 0;
    DataEnd = 0;
    CutShort.clear();
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
    Cache = cache;
    const CTapeIndexCache::CFileState state{
        static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino), fileSize,
        static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec,
        static_cast<std::int64_t>(info.st_ctim.tv_sec) * 1000000000 + info.st_ctim.tv_nsec};
    CStatus status;
    bool kept = false;
    try
    {
        kept = cache && cache->Load(path, state, Lengths) && Rebuild(fileSize);
        if (!kept)
        {
            Lengths.clear();
            Checkpoints.clear();
            DataEnd = 0;
        }
        // A kept index ends where the recorded data do: indexing from there finds how they end.
        status = Index(fileSize);
        if (status.IsSuccess())
        {
            Lengths.shrink_to_fit();
            Checkpoints.shrink_to_fit();
            CLengthTally tally;
            for (std::size_t entry = 0; entry < Lengths.size(); ++entry)
                if (Lengths[entry] != 0)
                    tally.Add(Lengths[entry], entry);
            NaturalBlockSize = tally.MostCommon();
        }
    }
    catch (const std::bad_alloc&)
    {
        status = Fault(__LINE__, "cannot be indexed: there is no memory for the index of its " +
                                     std::to_string(Lengths.size()) + " entries up to byte " +
                                     std::to_string(DataEnd));
    }
    if (status.Failed())
        Close();
    else if (cache && !kept)
        cache->Save(path, state, Lengths);
    State = state;
    return status;
}

bool CTapeImage::Rebuild(std::uint64_t fileSize)
{
    Checkpoints.clear();
    std::uint64_t pos = 0;
    for (std::size_t entry = 0; entry < Lengths.size(); ++entry)
    {
        if (entry % Stride == 0)
            Checkpoints.push_back(pos);
        const std::uint32_t length = Lengths[entry];
        // The second of two marks ends the data and is never kept.
        if ((length & BadRecordFlag) || (length == 0 && entry > 0 && Lengths[entry - 1] == 0))
            return false;
        pos += Footprint(length);
    }
    if (pos > fileSize)
        return false;
    DataEnd = pos;
    return true;
}

// One pass over the length words, in tape order. The trailing length of a record and the word after it
// are adjacent, so one read of eight bytes serves both, and no record data is ever read.
CStatus CTapeImage::Index(std::uint64_t fileSize)
{
    CImageReader reader(Fd);
    std::uint64_t pos = DataEnd;
    // How far apart the last record's length words lie, and so those of the next one most likely.
    std::uint64_t stride = 4;
    // The word at pos when the previous read already brought it in.
    bool havePending = false;
    std::uint32_t pending = 0;
    unsigned char bytes[8];
    // A read that finds fewer bytes than the image held when it was opened.
    auto unreadable = [&](long long got, const char* what, std::uint64_t at)
    {
        return Fault(__LINE__, "cannot read " + std::string(what) + " at byte " + std::to_string(at) + ": " +
                                   ShortReadText(got));
    };
    // Where the image ends inside an entry: the data end before it, unless it is the first, and the
    // image holds nothing of a tape.
    auto cutAt = [&](std::string what)
    {
        if (Lengths.empty())
            return Fault(__LINE__, what);
        CutShort = std::move(what);
        return CStatus::Success();
    };
    while (pos < fileSize)
    {
        std::uint32_t word = pending;
        if (!havePending)
        {
            if (fileSize - pos < 4)
                return cutAt("only " + std::to_string(fileSize - pos) +
                             " of the 4 bytes of a length word at byte " + std::to_string(pos));
            if (long long got = reader.ReadWords(pos, bytes, 4, stride); got != 4)
                return unreadable(got, "the length word", pos);
            word = LittleEndian32(bytes);
        }
        havePending = false;
        if (word == EndOfMedium)
            return CStatus::Success();
        if (word & BadRecordFlag)
            return Fault(__LINE__, "the record at byte " + std::to_string(pos) +
                                       " is marked bad (length word " + Hex32(word) + ")");
        if (word == 0 && !Lengths.empty() && Lengths.back() == 0)
            return CStatus::Success();
        if (word != 0)
        {
            const std::uint64_t trailer = pos + 4 + word + (word & 1);
            if (pos + 4 + word > fileSize)
                return cutAt("the record of " + std::to_string(word) + " bytes at byte " +
                             std::to_string(pos) + " runs past the end of the image at byte " +
                             std::to_string(fileSize));
            if (trailer + 4 > fileSize)
                return cutAt("the record of " + std::to_string(word) + " bytes at byte " +
                             std::to_string(pos) + " is cut short: its trailing length at byte " +
                             std::to_string(trailer) + " is missing");
            stride = trailer + 4 - pos;
            const std::size_t wanted =
                static_cast<std::size_t>(std::min<std::uint64_t>(8, fileSize - trailer));
            if (long long got = reader.ReadWords(trailer, bytes, wanted, stride);
                got != static_cast<long long>(wanted))
                return unreadable(got, "the trailing length", trailer);
            const std::uint32_t trailing = LittleEndian32(bytes);
            if (trailing != word)
                return Fault(__LINE__, "the record at byte " + std::to_string(pos) + " has leading length " +
                                           std::to_string(word) + " but trailing length " +
                                           std::to_string(trailing) + " at byte " + std::to_string(trailer));
            if (wanted == sizeof bytes)
            {
                havePending = true;
                pending = LittleEndian32(bytes + 4);
            }
        }
        if (Lengths.size() % Stride == 0)
            Checkpoints.push_back(pos);
        Lengths.push_back(word);
        pos += Footprint(word);
        DataEnd = pos;
    }
    // The last record of a tape is closed by a mark; one that is not was cut off from it.
    if (!Lengths.empty() && Lengths.back() != 0)
        CutShort = "no file mark closes the last record, which ends at byte " + std::to_string(pos);
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
    long long got = CImageReader::ReadUpTo(Fd, at, dest, size);
    if (got < 0 || static_cast<std::size_t>(got) != size)
        return Fault(__LINE__, "cannot read record " + std::to_string(entryIndex) + " at byte " +
                                   std::to_string(at) + ": " + ShortReadText(got));
    return CStatus::Success();
}

CStatus CTapeImage::ReadImage(std::uint64_t offset, void* dest, std::size_t size) const
{
    long long got = CImageReader::ReadUpTo(Fd, offset, dest, size);
    if (got < 0 || static_cast<std::size_t>(got) != size)
        return Fault(__LINE__, "cannot read bytes " + std::to_string(offset) + " to " +
                                   std::to_string(offset + size) + ": " + ShortReadText(got));
    return CStatus::Success();
}

bool CTapeImage::GetKeptDigest(std::string& digest) const
{
    return Cache && Cache->LoadDigest(Path, State, digest);
}

void CTapeImage::KeepDigest(const std::string& digest) const
{
    if (Cache)
        Cache->SaveDigest(Path, State, digest);
}

CStatus CTapeImage::GetContentDigest(std::string& digest) const
{
    if (GetKeptDigest(digest))
        return CStatus::Success();
    CStatus status = DigestContents(digest);
    if (status.IsSuccess())
        KeepDigest(digest);
    return status;
}

CStatus CTapeImage::DigestContents(std::string& digest) const
{
    // The image's bytes up to the end of the data hold every record's length and bytes and every mark.
    std::unique_ptr<XXH3_state_t, XXH_errorcode (*)(XXH3_state_t*)> state(XXH3_createState(), XXH3_freeState);
    if (!state || XXH3_128bits_reset(state.get()) != XXH_OK)
        return Fault(__LINE__, "has no memory for the digest of its contents");
    constexpr std::size_t Piece = 1 << 20;
    std::vector<std::uint8_t> bytes(std::min<std::uint64_t>(Piece, DataEnd));
    for (std::uint64_t offset = 0; offset < DataEnd; offset += Piece)
    {
        const std::size_t size = std::min<std::uint64_t>(Piece, DataEnd - offset);
        if (CStatus status = ReadImage(offset, bytes.data(), size); status.Failed())
            return status;
        XXH3_128bits_update(state.get(), bytes.data(), size);
    }
    const XXH128_hash_t value = XXH3_128bits_digest(state.get());
    char text[33];
    std::snprintf(text, sizeof text, "%016llx%016llx", static_cast<unsigned long long>(value.high64),
                  static_cast<unsigned long long>(value.low64));
    digest = text;
    return CStatus::Success();
}
