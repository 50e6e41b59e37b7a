// A directory above stored paths (kind 5), made by the insertion upkeep so that every path has its
// directories before it in index 1. Enters index 1 only. A value; not locked.
#pragma once

#include "frame/CCatalogueItem.h"

#include <cstddef>

#pragma pack(push, 1)
struct CCatDirectoryPayload
{
    std::uint64_t CreationTime = 0; // FILETIME (UTC) at which the catalogue made the record
};
#pragma pack(pop)
static_assert(sizeof(CCatDirectoryPayload) == 8);

class CCatDirectory : public CCatalogueItem, public CCatDirectoryPayload
{
public:
    // Both are cleared when a record is added below the directory.
    static constexpr std::uint8_t FlagMask = 0x60;

    CCatDirectory() = default;
    CCatDirectory(WString path, std::uint64_t creationTime) : CCatalogueItem(std::move(path))
    {
        CreationTime = creationTime;
    }

    // 0x05, 0x25 or 0x45.
    bool AcceptObjectType(std::uint8_t type) override
    {
        if (type != KindDirectory && type != (0x20 | KindDirectory) && type != (0x40 | KindDirectory))
            return false;
        Flags = type & 0xF0;
        return true;
    }
    std::uint8_t GetObjectType(bool withFlags) const override
    {
        return withFlags ? static_cast<std::uint8_t>(Flags | KindDirectory) : KindDirectory;
    }
    const void* GetData() const override { return static_cast<const CCatDirectoryPayload*>(this); }
    std::size_t GetDataSize() const override { return sizeof(CCatDirectoryPayload); }
    bool QueryInsert(int index) const override { return index != 0; }
    void PostInsert(CFileListInternal& list, const CFileListOffset& at, int index) override;

    std::uint64_t GetPosition() const override { return 0; }
    void SetPosition(std::uint64_t) override {}

    std::uint8_t Flags = 0;
};
