// A synchronisation point at a file mark (kind 4, path "Sync"): where the mark lies, its size on the
// medium and the running number of the archive at which it was met. Enters index 0 only. A value; not
// locked.
#pragma once

#include "frame/CCatalogueItem.h"
#include "win/Allocation.h"

#include <cstddef>

#pragma pack(push, 1)
// MarkBytes and SyncNumber are stored only with flag 0x20.
struct CCatSyncPayload
{
    std::uint64_t Position = 0; // the file mark (index-0 key)
    std::uint64_t MarkBytes = 0;
    std::uint32_t SyncNumber = 0;
};
#pragma pack(pop)
static_assert(offsetof(CCatSyncPayload, MarkBytes) == 8);
static_assert(offsetof(CCatSyncPayload, SyncNumber) == 16);
static_assert(sizeof(CCatSyncPayload) == 20);

class CCatSync : public CCatalogueItem, public CCatSyncPayload
{
public:
    static constexpr std::uint8_t FlagAlways = 0x40;
    static constexpr std::uint8_t FlagCounts = 0x20;

    CCatSync() : CCatalogueItem(u"Sync") {}
    CCatSync(std::uint64_t position, std::uint64_t markBytes, std::uint32_t syncNumber)
        : CCatalogueItem(u"Sync")
    {
        Position = position;
        MarkBytes = markBytes;
        SyncNumber = syncNumber;
        Flags = static_cast<std::uint8_t>(FlagAlways | (markBytes != 0 || syncNumber != 0 ? FlagCounts : 0));
    }
    // An object to load a stored record of type byte 0x44 or 0x64 into; null when out of memory. The
    // record takes no type byte through AcceptObjectType, so the list's factory restores flags here.
    static CCatSync* FromTypeByte(std::uint8_t type)
    {
        CCatSync* record = NewNoThrow<CCatSync>();
        if (record && type == (FlagAlways | FlagCounts | KindSync))
            record->Flags = FlagAlways | FlagCounts;
        return record;
    }

    std::uint8_t GetObjectType(bool withFlags) const override
    {
        return withFlags ? static_cast<std::uint8_t>(Flags | KindSync) : KindSync;
    }
    const void* GetData() const override { return static_cast<const CCatSyncPayload*>(this); }
    std::size_t GetDataSize() const override { return (Flags & FlagCounts) ? 20 : 8; }
    bool QueryInsert(int index) const override { return index != 1; }
    void PostInsert(CFileListInternal& list, const CFileListOffset& at, int index) override;

    std::uint64_t GetPosition() const override { return Position; }
    void SetPosition(std::uint64_t position) override { Position = position; }
    std::uint32_t GetOrderKey1() const override { return (Flags & FlagCounts) ? SyncNumber : 0; }

    std::uint8_t Flags = FlagAlways;
};
