#include "frame/CCatalogueItem.h"

#include "frame/CCatArchive.h"
#include "frame/CCatDirectory.h"
#include "frame/CCatExtent.h"
#include "frame/CCatReference.h"
#include "frame/CCatSync.h"
#include "pagelist/ListErrors.h"
#include "win/Allocation.h"
#include "win/WinError.h"

#include <algorithm>
#include <memory>

char16_t Collate(char16_t unit, CCollation collation)
{
    if (collation == CCollation::Plain)
        return unit;
    if (unit >= u'A' && unit <= u'Z')
        return static_cast<char16_t>(2 * unit - 0x41);
    if (unit >= u'a' && unit <= u'z')
        return static_cast<char16_t>(2 * unit - (collation == CCollation::CaseSensitive ? 0x80 : 0x81));
    if (unit >= 0x5B && unit <= 0x60)
        return static_cast<char16_t>(unit + 0x1A);
    return unit;
}

namespace
{
// The end of a path weighs 0 and '/' 1, below every other unit; the sum wraps at 16 bits.
int Weight(char16_t mapped)
{
    if (mapped == u'/')
        return 1;
    return static_cast<std::uint16_t>(mapped == 0 ? 0 : mapped + 1);
}
} // namespace

int ComparePaths(WStringView a, WStringView b, CCollation collation, std::uint64_t n)
{
    std::size_t common = std::min(a.size(), b.size());
    for (std::uint64_t i = 0;; ++i)
    {
        // Equal units map to equal units under every collation: pass over them without mapping.
        while (i < common && a[i] == b[i] && a[i] != 0)
            ++i;
        if (i >= n)
            return 0;
        char16_t unitA = i < a.size() ? a[i] : 0;
        char16_t unitB = i < b.size() ? b[i] : 0;
        char16_t mappedA = Collate(unitA, collation);
        char16_t mappedB = Collate(unitB, collation);
        if (unitA == 0 || mappedA != mappedB || i + 1 >= n)
            return Weight(mappedA) - Weight(mappedB);
    }
}

bool CCatalogueItem::LessThan(const CFileListFile& otherFile, bool collate, int index) const
{
    const auto& other = static_cast<const CCatalogueItem&>(otherFile);
    if (index == 0)
        return GetPosition() < other.GetPosition();
    if (index != 1)
        return false;
    CCollation collation = !collate                                       ? CCollation::Plain
                           : IsCaseSensitive() && other.IsCaseSensitive() ? CCollation::CaseSensitive
                                                                          : CCollation::CaseInsensitive;
    std::uint64_t n = GetCompareLength();
    int r = ComparePaths(GetKeyPath(), other.GetKeyPath(), collation, n);
    if (r != 0)
        return r < 0;
    if (n != WholePath)
    {
        // A prefix key sorts before every path that begins with it.
        if (GetKeyPath().size() == n)
            return true;
        return ComparePaths(GetKeyPath(), other.GetKeyPath(), collation, GetKeyPath().size()) < 0;
    }
    const std::uint32_t own[] = {GetOrderKey1(), GetOrderKey2(), GetSegmentIndex()};
    const std::uint32_t theirs[] = {other.GetOrderKey1(), other.GetOrderKey2(), other.GetSegmentIndex()};
    for (int k = 0; k < 3; ++k)
    {
        if (own[k] == AnyKey || theirs[k] == AnyKey || own[k] > theirs[k])
            return false;
        if (own[k] < theirs[k])
            return true;
    }
    return false;
}

CFileListFile* CCatalogueItem::Allocator::Create(std::uint8_t type)
{
    std::unique_ptr<CCatalogueItem> record;
    switch (type & 0x0F)
    {
    case KindArchive:
        record.reset(NewNoThrow<CCatArchive>());
        break;
    case KindReference:
        record.reset(NewNoThrow<CCatReference>());
        break;
    case KindSync:
        record.reset(CCatSync::FromTypeByte(type));
        break;
    case KindDirectory:
        record.reset(NewNoThrow<CCatDirectory>());
        break;
    case KindExtent:
        record.reset(NewNoThrow<CCatExtent>());
        break;
    default:
        ThrowWin32Error(ERROR_FILE_CORRUPT);
    }
    if (record && record->GetObjectType(true) != type && !record->AcceptObjectType(type))
        ThrowWin32Error(ERROR_FILE_CORRUPT);
    return record.release();
}
