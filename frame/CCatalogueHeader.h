// The user header of a volume's catalogue list, 2096 bytes, read and written whole: one slot per replica
// holding the label identifier of the tape that carries it, and the counters kept by the insertion
// upkeep. A plain value; bytes that are not named here are kept as the list's owner wrote them.
#pragma once

#include <cstddef>
#include <cstdint>

#pragma pack(push, 1)
struct CReplicaSlot
{
    std::uint8_t Reserved[80];
    std::uint8_t LabelId[48];
};

struct CCatalogueHeader
{
    static constexpr int ReplicaSlots = 16;

    std::uint8_t Reserved0[8];
    CReplicaSlot ReplicaSlot[ReplicaSlots];
    std::uint32_t RecordCount;
    std::uint32_t ArchiveCount;
    std::uint32_t SupersededCount;
    std::uint32_t Reserved1;
    std::uint64_t TotalBytes;
    std::uint64_t SupersededBytes;
    std::uint8_t Reserved2[8];
};
#pragma pack(pop)
static_assert(sizeof(CReplicaSlot) == 128);
static_assert(offsetof(CCatalogueHeader, ReplicaSlot) == 8);
static_assert(offsetof(CCatalogueHeader, ReplicaSlot[1].LabelId) == 88 + 128);
static_assert(offsetof(CCatalogueHeader, RecordCount) == 2056);
static_assert(offsetof(CCatalogueHeader, ArchiveCount) == 2060);
static_assert(offsetof(CCatalogueHeader, SupersededCount) == 2064);
static_assert(offsetof(CCatalogueHeader, TotalBytes) == 2072);
static_assert(offsetof(CCatalogueHeader, SupersededBytes) == 2080);
static_assert(sizeof(CCatalogueHeader) == 2096);
