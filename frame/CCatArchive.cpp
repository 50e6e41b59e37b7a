#include "frame/CCatArchive.h"

CCatArchive::CCatArchive(std::uint64_t position, WString path, std::uint64_t fileSize,
                         std::uint64_t modifiedTime, std::uint32_t segmentIndex, std::uint32_t orderKey1,
                         std::uint32_t orderKey2)
    : CCatalogueItem(std::move(path))
{
    Position = position;
    FileSize = fileSize;
    SegmentIndex = segmentIndex;
    OrderKey1 = orderKey1;
    OrderKey2 = orderKey2;
    ModifiedTime = modifiedTime;
    Flags = modifiedTime != 0 ? FlagModifiedTime : 0;
}

CCatArchive::CCatArchive(std::uint64_t position, WString path, std::uint64_t fileSize,
                         std::uint64_t alternativeSize, std::uint64_t time)
    : CCatArchive(position, std::move(path), fileSize != 0 ? fileSize : alternativeSize, time, 0, 0, 1)
{
    Flags = time != 0 ? FlagArchiveTime : 0;
}

std::uint64_t CCatArchive::GetSegmentLength(std::uint64_t fileSize, std::uint64_t segmentSize,
                                            std::uint32_t segmentIndex)
{
    if (segmentSize == 0)
        return fileSize;
    if (fileSize == 0)
        return segmentSize;
    std::uint64_t start = 0;
    // A start beyond 64 bits lies past the end of any file.
    if (__builtin_mul_overflow(std::uint64_t{segmentIndex}, segmentSize, &start) || fileSize <= start)
        return fileSize;
    std::uint64_t rest = fileSize - start;
    return rest < segmentSize ? rest : segmentSize;
}

bool CCatArchive::AcceptObjectType(std::uint8_t type)
{
    if ((type & 0x0F) != KindArchive || (type & 0x30) == 0x30)
        return false;
    Flags = type;
    return true;
}

std::size_t CCatArchive::GetDataSize() const
{
    return 36 + ((Flags & FlagModifiedTime) ? 8 : 0) + ((Flags & FlagArchiveTime) ? 8 : 0);
}
