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
#include <array>
#include <cstddef>
#include <cstring>
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
// The end of a path weighs 0 and '/' 1, below every other unit. With `wrap` the sum wraps at 16 bits, so
// that U+FFFF weighs as the end of a path, as the order of searches has it; the order of stored records
// must not wrap, or "a" would sort with both "a\uFFFF" and "a\uFFFFb", which do not sort together.
int Weight(char16_t mapped, bool wrap)
{
    if (mapped == u'/')
        return 1;
    if (mapped == 0)
        return 0;
    return wrap ? static_cast<std::uint16_t>(mapped + 1) : mapped + 1;
}

// Where the run of units from `i` on that are equal in a and b, and not the end of a string, ends; at
// most `common`. Paths share long leading runs, which are passed over four units at a time.
std::size_t EqualRun(WStringView a, WStringView b, std::size_t i, std::size_t common)
{
    constexpr std::uint64_t Ones = 0x0001000100010001;
    constexpr std::uint64_t Highs = 0x8000800080008000;
    for (; i + 4 <= common; i += 4)
    {
        std::uint64_t x, y;
        std::memcpy(&x, a.data() + i, sizeof x);
        std::memcpy(&y, b.data() + i, sizeof y);
        // Unequal, or a unit of zero among the four.
        if (x != y || ((x - Ones) & ~x & Highs) != 0)
            break;
    }
    while (i < common && a[i] == b[i] && a[i] != 0)
        ++i;
    return i;
}

int CompareWeights(WStringView a, WStringView b, CCollation collation, std::uint64_t n, bool wrap)
{
    std::size_t common = std::min(a.size(), b.size());
    for (std::uint64_t i = 0;; ++i)
    {
        // Equal units map to equal units under every collation: pass over them without mapping.
        i = EqualRun(a, b, i, common);
        if (i >= n)
            return 0;
        char16_t unitA = i < a.size() ? a[i] : 0;
        char16_t unitB = i < b.size() ? b[i] : 0;
        char16_t mappedA = Collate(unitA, collation);
        char16_t mappedB = Collate(unitB, collation);
        if (unitA == 0 || mappedA != mappedB || i + 1 >= n)
            return Weight(mappedA, wrap) - Weight(mappedB, wrap);
    }
}
} // namespace

int ComparePaths(WStringView a, WStringView b, CCollation collation, std::uint64_t n)
{
    return CompareWeights(a, b, collation, n, true);
}

namespace
{
// What the index order asks of a record object.
class CItemKeys
{
public:
    explicit CItemKeys(const CCatalogueItem& item) : Item(item) {}
    WStringView KeyPath() const { return Item.GetKeyPath(); }
    std::uint64_t CompareLength() const { return Item.GetCompareLength(); }
    bool IsCaseSensitive() const { return Item.IsCaseSensitive(); }
    std::uint64_t Position() const { return Item.GetPosition(); }
    // In the order they are compared.
    std::array<std::uint32_t, 3> Keys() const
    {
        return {Item.GetOrderKey1(), Item.GetOrderKey2(), Item.GetSegmentIndex()};
    }

private:
    const CCatalogueItem& Item;
};

// The same questions answered from a stored entry in place, as the record rebuilt from it would answer
// them. Stored records compare their whole paths, case-sensitively: search keys are never stored.
class CStoredKeys
{
public:
    explicit CStoredKeys(const CFileListEntry& entry) : Entry(entry) {}
    WStringView KeyPath() const { return Entry.Path; }
    std::uint64_t CompareLength() const { return WholePath; }
    bool IsCaseSensitive() const { return true; }
    std::uint64_t Position() const
    {
        return (Entry.Type & 0x0F) == KindDirectory ? 0 : Read<std::uint64_t>(0);
    }
    std::array<std::uint32_t, 3> Keys() const
    {
        switch (Entry.Type & 0x0F)
        {
        case KindArchive:
            return KeysOf<CCatArchivePayload>();
        case KindReference:
            return KeysOf<CCatReferencePayload>();
        case KindExtent:
            return KeysOf<CCatExtentPayload>();
        case KindSync:
            return {(Entry.Type & CCatSync::FlagCounts)
                        ? Read<std::uint32_t>(offsetof(CCatSyncPayload, SyncNumber))
                        : 0,
                    AnyKey, AnyKey};
        default:
            return {AnyKey, AnyKey, AnyKey};
        }
    }

private:
    // The list stores only payloads of the length their type byte calls for; a field beyond the payload
    // reads as 0 all the same.
    template <class T> T Read(std::size_t offset) const
    {
        T value = 0;
        if (offset + sizeof value <= Entry.Payload.size())
            std::memcpy(&value, Entry.Payload.data() + offset, sizeof value);
        return value;
    }
    template <class P> std::array<std::uint32_t, 3> KeysOf() const
    {
        return {Read<std::uint32_t>(offsetof(P, OrderKey1)), Read<std::uint32_t>(offsetof(P, OrderKey2)),
                Read<std::uint32_t>(offsetof(P, SegmentIndex))};
    }

    const CFileListEntry& Entry;
};

CCollation CollationFor(bool collate, bool ownCaseSensitive, bool otherCaseSensitive)
{
    if (!collate)
        return CCollation::Plain;
    return ownCaseSensitive && otherCaseSensitive ? CCollation::CaseSensitive : CCollation::CaseInsensitive;
}

// The order of LessThan, for record objects and stored entries alike.
template <class Own, class Other>
bool KeyLessThan(const Own& own, const Other& other, bool collate, int index)
{
    if (index == 0)
        return own.Position() < other.Position();
    if (index != 1)
        return false;
    CCollation collation = CollationFor(collate, own.IsCaseSensitive(), other.IsCaseSensitive());
    WStringView ownPath = own.KeyPath();
    std::uint64_t n = own.CompareLength();
    int r = ComparePaths(ownPath, other.KeyPath(), collation, n);
    if (r != 0)
        return r < 0;
    if (n != WholePath)
    {
        // A prefix key sorts before every path that begins with it.
        if (ownPath.size() == n)
            return true;
        return ComparePaths(ownPath, other.KeyPath(), collation, ownPath.size()) < 0;
    }
    std::array<std::uint32_t, 3> ownKeys = own.Keys(), otherKeys = other.Keys();
    for (std::size_t k = 0; k < ownKeys.size(); ++k)
    {
        if (ownKeys[k] == AnyKey || otherKeys[k] == AnyKey || ownKeys[k] > otherKeys[k])
            return false;
        if (ownKeys[k] < otherKeys[k])
            return true;
    }
    return false;
}

template <class T> int Sign(const T& a, const T& b)
{
    return a < b ? -1 : b < a ? 1 : 0;
}
} // namespace

bool CCatalogueItem::LessThan(const CFileListFile& other, bool collate, int index) const
{
    return KeyLessThan(CItemKeys(*this), CItemKeys(static_cast<const CCatalogueItem&>(other)), collate,
                       index);
}

int CCatalogueItem::CompareEntries(const CFileListEntry& a, const CFileListEntry& b, int index)
{
    CStoredKeys own(a), other(b);
    if (index == 0)
        return Sign(own.Position(), other.Position());
    if (index != 1)
        return 0;
    CCollation collation = CollationFor(true, own.IsCaseSensitive(), other.IsCaseSensitive());
    if (int r = CompareWeights(own.KeyPath(), other.KeyPath(), collation, WholePath, false))
        return r;
    return Sign(own.Keys(), other.Keys());
}

bool CCatalogueItem::EntryLessThan(const CFileListEntry& entry, const CFileListFile& key, int index)
{
    return KeyLessThan(CStoredKeys(entry), CItemKeys(static_cast<const CCatalogueItem&>(key)), true, index);
}

CStoredItem CCatalogueItem::ReadEntry(const CFileListEntry& entry)
{
    const std::array<std::uint32_t, 3> keys = CStoredKeys(entry).Keys();
    return {static_cast<std::uint8_t>(entry.Type & 0x0F), entry.Path, keys[2], keys[0], keys[1]};
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
