// CTapeImage: a tape image file (.tap), opened read-only and indexed once at Open: every record and file
// mark of the recorded data in tape order, without reading any record data. The recorded data end where
// the image ends, at the end-of-medium word, or at the second of two consecutive marks, which is not
// kept; an image cut short ends them after its last whole entry. The image owns its file descriptor and
// its index. Open is not thread-safe; once it has succeeded, every const method may be called from
// several threads.
#pragma once

#include "vnservice/CStatus.h"
#include "vnservice/CTapeIndexCache.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class CTapeImage
{
public:
    enum class EntryKind : std::uint8_t
    {
        Record,
        Mark,
    };

    CTapeImage() = default;
    CTapeImage(const CTapeImage&) = delete;
    CTapeImage& operator=(const CTapeImage&) = delete;
    ~CTapeImage();

    // Opens and indexes the image. An inconsistent image, one that changes while it is indexed, or one
    // whose index finds no memory is refused with a message that names the byte offset of the fault; the
    // image is then left closed, as it is before Open. An image cut short is opened up to its last whole
    // entry and says where it was cut; one cut inside its first entry holds no tape and is refused.
    // With a cache, an image the cache knows in its present state takes the index kept there, and one it
    // does not is indexed and kept.
    CStatus Open(const std::string& path, CTapeIndexCache* cache = nullptr);

    const std::string& GetPath() const { return Path; }

    // Records and marks up to the end of the recorded data, in tape order.
    std::size_t GetEntryCount() const { return Lengths.size(); }
    EntryKind GetEntryKind(std::size_t index) const;
    // A record's length in bytes (1 to 2^31-1); 0 for a mark.
    std::uint32_t GetEntryLength(std::size_t index) const { return Lengths[index]; }
    // Where the entry's data begins in the image; for a mark, where its word is.
    std::uint64_t GetEntryOffset(std::size_t index) const;
    // Where the last entry ends in the image: the bytes before it are all the tape holds.
    std::uint64_t GetDataEnd() const { return DataEnd; }

    // The most common record length, the first one seen among equally common lengths; 0 without records.
    std::uint32_t GetNaturalBlockSize() const { return NaturalBlockSize; }
    // True when the image holds no records (it may hold marks).
    bool HasNoRecords() const { return NaturalBlockSize == 0; }

    // True when the image is cut short: it ends inside an entry, or after a record that no mark closes.
    bool IsCutShort() const { return !CutShort.empty(); }
    // What is missing where ("the record of 10240 bytes at byte 92232 runs past the end of the image at
    // byte 100000"); empty when the image is whole.
    const std::string& GetCutShortText() const { return CutShort; }

    // Copies size bytes from offsetInRecord of record entryIndex into dest. Fails, reading nothing, when the
    // entry is a mark or the range is not inside the record.
    CStatus Read(std::size_t entryIndex, std::uint32_t offsetInRecord, void* dest, std::size_t size) const;
    // Copies the image's bytes [offset, offset + size) as they stand, framing words and all: the caller has
    // found from the index where the records it wants lie.
    CStatus ReadImage(std::uint64_t offset, void* dest, std::size_t size) const;

    // Thirty-two hexadecimal digits, the 128-bit XXH3 digest of the image's bytes up to the end of the
    // recorded data (every record's length and bytes, every mark), read in pieces of a mebibyte.
    CStatus DigestContents(std::string& digest) const;
    // The digest that the cache the image was opened with keeps for the image in its present state; false
    // when it keeps none. KeepDigest hands it one to keep, so that the image is read whole once in that
    // state; both use the cache's database, which DigestContents never touches.
    bool GetKeptDigest(std::string& digest) const;
    void KeepDigest(const std::string& digest) const;
    // The kept digest, else the one read now and kept.
    CStatus GetContentDigest(std::string& digest) const;

private:
    // Every Stride-th entry's header offset is kept; the others follow from the lengths in between, which
    // keeps the index at a little over four bytes an entry.
    static constexpr std::size_t Stride = 32;

    // Indexes the entries from DataEnd on, after those the index holds, to the end of the recorded data.
    CStatus Index(std::uint64_t fileSize);
    // The checkpoints and the end of the data from the lengths of a kept index; false when the lengths do
    // not fit an image of `fileSize` bytes or its rules.
    bool Rebuild(std::uint64_t fileSize);
    void Close();
    CStatus Fault(int line, const std::string& what) const;

    std::string Path;
    int Fd = -1;
    CTapeIndexCache* Cache = nullptr;
    CTapeIndexCache::CFileState State;
    std::vector<std::uint32_t> Lengths; // 0 for a mark: a record is never empty
    std::vector<std::uint64_t> Checkpoints;
    std::uint32_t NaturalBlockSize = 0;
    std::uint64_t DataEnd = 0;
    std::string CutShort;
};
