// A record of a plain (non-object) page: a fixed number of raw bytes at an offset, with no path or type.
// Made by CFileListInternal::CreatePointer for handles that read plain pages; owned by its handle.
#pragma once

#include "pagelist/CFileListFile.h"

#include <vector>

class CFileListPlainRecord : public CFileListFile
{
public:
    explicit CFileListPlainRecord(std::size_t size) : Bytes(size) {}

    std::uint8_t GetObjectType(bool) const override { return 0; }
    const void* GetData() const override { return Bytes.data(); }
    std::size_t GetDataSize() const override { return Bytes.size(); }
    bool LessThan(const CFileListFile&, bool, int) const override { return false; }
    bool QueryInsert(int) const override { return false; }

private:
    std::vector<unsigned char> Bytes;
};
