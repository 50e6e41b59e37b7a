// The base of every catalogue record: what both catalogue indexes order by (index 0 by tape position,
// index 1 by path, then by three 32-bit keys) and the factory the list rebuilds records with. A record
// object is owned by its maker (a local in a scan, or a record handle); its Lock is held while the
// catalogue header is updated on its behalf. Records are not locked while they are read.
#pragma once

#include "pagelist/CFileListEntry.h"
#include "pagelist/CFileListFile.h"
#include "win/CriticalSection.h"
#include "win/WideString.h"

#include <cstdint>

// A key that matches any value, and a compare length that covers the whole path.
constexpr std::uint32_t AnyKey = 0xFFFFFFFF;
constexpr std::uint64_t WholePath = ~std::uint64_t{0};

// The record kinds: the low four bits of the object type byte; the high four are flags.
constexpr std::uint8_t KindArchive = 0;
constexpr std::uint8_t KindReference = 1;
constexpr std::uint8_t KindSync = 4;
constexpr std::uint8_t KindDirectory = 5;
constexpr std::uint8_t KindExtent = 9;
constexpr std::uint8_t KindSearch = 10;

enum class CCollation
{
    Plain,
    CaseSensitive,   // A < a < B < b < ... < Z < z < [ \ ] ^ _ ` < {
    CaseInsensitive, // as CaseSensitive, with a letter and its capital equal
};

// One UTF-16 code unit mapped for comparison under a collation.
char16_t Collate(char16_t unit, CCollation collation);
// Compares at most n code units (WholePath: all) after collation; '/' sorts right after the end of a
// path and before every other unit, so a directory's contents follow the directory at once.
int ComparePaths(WStringView a, WStringView b, CCollation collation, std::uint64_t n);

// A stored record read in place: its kind and path, and the keys that the record made from it gives.
struct CStoredItem
{
    std::uint8_t Kind;
    WStringView Path;
    std::uint32_t SegmentIndex;
    std::uint32_t OrderKey1;
    std::uint32_t OrderKey2;
};

class CCatalogueItem : public CFileListFile
{
public:
    // Makes the record object for a stored type byte (the list's factory).
    struct Allocator
    {
        static CFileListFile* Create(std::uint8_t type);
    };

    explicit CCatalogueItem(WString path = {}) : CFileListFile(std::move(path)) {}
    CCatalogueItem(const CCatalogueItem&) = delete;
    CCatalogueItem& operator=(const CCatalogueItem&) = delete;

    // AnyKey in either record makes the two mutually not less: a search key with AnyKey lands on the
    // first record of its path whatever that record's keys.
    bool LessThan(const CFileListFile& other, bool collate, int index) const final;

    // The list's order among stored records, read in place from their entries: as LessThan, but keys
    // compare as plain numbers (AnyKey the greatest) and U+FFFF sorts last, not as the end of a path, so
    // that the order is a strict weak one even where records of one path hold AnyKey and other keys.
    static int CompareEntries(const CFileListEntry& a, const CFileListEntry& b, int index);
    // LessThan of a stored record, read in place, against a search key.
    static bool EntryLessThan(const CFileListEntry& entry, const CFileListFile& key, int index);
    // What a stored record holds, read in place, so that a walk need not make record objects to learn
    // it. The entry is one the list has stored, of a type it knows.
    static CStoredItem ReadEntry(const CFileListEntry& entry);

    virtual std::uint64_t GetPosition() const = 0;
    virtual void SetPosition(std::uint64_t position) = 0;
    virtual std::uint32_t GetSegmentIndex() const { return AnyKey; }
    virtual std::uint32_t GetOrderKey1() const { return AnyKey; }
    virtual std::uint32_t GetOrderKey2() const { return AnyKey; }
    const WString& GetKeyPath() const { return Path; }
    // How many code units of the key path a comparison covers.
    virtual std::uint64_t GetCompareLength() const { return WholePath; }
    virtual bool IsCaseSensitive() const { return true; }

    CCriticalSection Lock;
};
