// The indexes of the tape images a host has mounted, kept in its database, so that mounting an image
// again does not read every record's length words again, nor every record to digest its contents. An
// index is kept under the image's path with
// what identifies the file's contents (device, inode, size, and modification and change times to the
// nanosecond); an image that changed in any of them is indexed afresh. The change time is the one that
// every write moves and no tool can set back. Used by the host's operation thread; the database
// serialises its own use.
#pragma once

#include "vnservice/CStatus.h"

#include <cstdint>
#include <string>
#include <vector>

class CDatabase;

class CTapeIndexCache
{
public:
    // What tells one state of an image file from another.
    struct CFileState
    {
        std::uint64_t Device = 0;
        std::uint64_t Inode = 0;
        std::uint64_t Size = 0;
        std::int64_t ModifiedNanoseconds = 0;
        std::int64_t ChangedNanoseconds = 0;
    };

    explicit CTapeIndexCache(CDatabase& database) : Database(database) {}

    // Creates the table when the database has none.
    CStatus Prepare();
    // The entry lengths (0 for a mark) kept for the image in this state; false when none are.
    bool Load(const std::string& path, const CFileState& state, std::vector<std::uint32_t>& lengths);
    // Keeps the lengths for the image in this state; a failure only means the next mount indexes again.
    void Save(const std::string& path, const CFileState& state, const std::vector<std::uint32_t>& lengths);
    // The digest of the contents kept for the image in this state, with its index; false when none is.
    bool LoadDigest(const std::string& path, const CFileState& state, std::string& digest);
    // Keeps the digest with the index kept for the image in this state; without one, nothing is kept.
    void SaveDigest(const std::string& path, const CFileState& state, const std::string& digest);

private:
    CDatabase& Database;
};
