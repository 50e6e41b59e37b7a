// The compiled-in tables of the built-in dictionary, their conversion into records, and the once-only load.
#include "mxf/BuiltInDictionary.h"

#include "mxf/ClassDefinition.h"
#include "mxf/Hex.h"
#include "mxf/IdentifierText.h"
#include "mxf/TextChars.h"
#include "mxf/TypeDefinition.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string_view>

namespace mxf
{

namespace
{

// The kind or class of a table row that ends the table (or, of class rows, a member list) and of one that
// names a symbol space.
enum : std::int32_t
{
    RowEnd = 0,
    RowSymbolSpace = 8,
};

enum : std::uint8_t
{
    FlagEndian = 1,     // type rows
    FlagExtendSubs = 1, // class rows
    FlagBaseline = 2,
};

// Kind 0 ends the table; kind 8 only names a symbol space.
struct StaticTypeRow
{
    std::int32_t Kind;
    const char* Name;
    const char* Detail;
    const char* Base;
    const char* ULText;
    const char* Value;
    std::int32_t Size;
    std::int32_t ArrayKind;
    std::int32_t RefKind;
    const char* RefTarget;
    const char* SymbolSpace;
    std::uint8_t Flags;
};

// Class 0 closes a member list, or at the top level ends the table; class 8 names the symbol space of the
// rows after it.
struct StaticClassRow
{
    std::int32_t Class;
    std::int32_t MinSize;
    std::int32_t MaxSize;
    const char* Name;
    const char* Detail;
    std::int32_t Usage;
    const char* Base;
    std::int32_t Tag;
    const char* ULText;
    const char* Default;
    const char* DValue;
    std::int32_t RefKind;
    const char* RefTarget;
    const char* SymbolSpace;
    std::uint8_t Flags;
};

constexpr StaticTypeRow StaticTypeTable[] = {
    {1, "Internal-UInt8", "Internally used 8 bit unsigned integer", nullptr,
     "8F 64 35 9B FE 75 36 89 8C 4E 57 91 CD 68 6C E3", nullptr, 1, 0, -1, nullptr, nullptr, 0},
    {3, "Internal-UInt8Array", "Array of bytes", "Internal-UInt8",
     "8F 64 35 9B FE 75 36 89 8C 4E 57 91 CD 68 6C 31", nullptr, 0, 0, -1, nullptr, nullptr, 0},
    {3, "UnknownType", "Array of bytes", "Internal-UInt8", "8F 64 35 9B FE 75 36 89 8C 4E 57 91 CD 68 6C E4",
     nullptr, 0, 0, -1, nullptr, nullptr, 0},
    {3, "Internal-UUID", "Internally used 16-byte UUID", "Internal-UInt8",
     "8F 64 35 9B FE 75 36 89 8C 4E 57 91 CD 68 6C E5", nullptr, 16, 0, -1, nullptr, nullptr, 0},
    {3, "Internal-UUIDSet", "Internally used batch of UUIDs", "Internal-UUID",
     "8F 64 35 9B FE 75 36 89 8C 4E 57 91 CD 68 6C E6", nullptr, 0, 1, -1, nullptr, nullptr, 0},
    {4, "Internal-Indirect", "Indirect Data", nullptr, "8F 64 35 9B FE 75 36 89 8C 4E 57 91 CD 68 6C EE",
     nullptr, 0, 0, -1, nullptr, nullptr, 0},
    {5, "Order", "Object Byte Order", "Internal-UInt8", nullptr, nullptr, 0, 0, -1, nullptr, nullptr, 0},
    {5, "Type", "Type of Data", "Internal-UUID", nullptr, nullptr, 0, 0, -1, nullptr, nullptr, 0},
    {5, "Data", "Data", "Internal-UInt8Array", nullptr, nullptr, 0, 0, -1, nullptr, nullptr, 0},
    {0, nullptr, nullptr, nullptr, nullptr, nullptr, 0, 0, -1, nullptr, nullptr, 0},
};

constexpr StaticClassRow StaticClassTable[] = {
    {5, 0, 0, "Unknown", "Unknown Item", 1, "UnknownType", 0,
     "E0 72 D2 17 EF 1E FB 6E 9B 9E E1 A8 83 B6 4B 3C", nullptr, nullptr, -1, nullptr, nullptr,
     FlagExtendSubs},
    {2, 2, 2, "UnknownSet", "Unknown Set", 0, nullptr, 0, "E0 72 D2 17 EF 1E FB 6E 9B 9E E1 A8 83 B6 4B 3D",
     nullptr, nullptr, -1, nullptr, nullptr, FlagExtendSubs},
    {0, 0, 0, nullptr, nullptr, 0, nullptr, 0, nullptr, nullptr, nullptr, -1, nullptr, nullptr, 0},
    {0, 0, 0, nullptr, nullptr, 0, nullptr, 0, nullptr, nullptr, nullptr, -1, nullptr, nullptr, 0},
};

std::string TextOf(const char* text)
{
    return text ? std::string(text) : std::string();
}

// The registered space of the name, or a new one of that name.
SymbolSpacePtr SpaceNamed(const char* name)
{
    if (SymbolSpacePtr space = SymbolSpace::FindSymbolSpace(name))
        return space;
    return SymbolSpacePtr(new SymbolSpace(name));
}

TypeRecordPtr ConvertStaticTypeRecord(const StaticTypeRow& row)
{
    TypeRecordPtr record(new TypeRecord);
    record->Kind = row.Kind;
    record->Name = TextOf(row.Name);
    record->Detail = TextOf(row.Detail);
    record->Base = TextOf(row.Base);
    record->Value = TextOf(row.Value);
    record->Size = row.Size;
    record->ArrayKind = row.ArrayKind;
    record->RefKind = row.RefKind;
    record->Endian = (row.Flags & FlagEndian) != 0;
    record->Baseline = (row.Flags & FlagBaseline) != 0;
    record->RefTarget = TextOf(row.RefTarget);
    if (row.ULText && *row.ULText)
        record->UL = ULFromText(row.ULText);
    if (row.SymbolSpace)
        record->SymbolSpace = SpaceNamed(row.SymbolSpace);
    return record;
}

// A UL from "urn:" identifier text, else from exactly 16 hexadecimal bytes; else none.
ULPtr StaticClassUL(const char* text)
{
    if (!text)
        return ULPtr();
    std::uint8_t bytes[16] = {};
    if (StartsWithNoCase(text, "urn:") && ParseIdentifierText(text, bytes))
        return ULPtr(new UL(bytes));
    std::uint8_t read[17] = {};
    std::string_view rest = text;
    if (HexBytesFromText(rest, sizeof read, read) == 16)
        return ULPtr(new UL(read));
    return ULPtr();
}

// The row at the cursor and its member rows; leaves the cursor after the record's last row.
ClassRecordPtr ConvertStaticClassRecord(const StaticClassRow*& cursor, const SymbolSpacePtr& space)
{
    const StaticClassRow& row = *cursor++;
    ClassRecordPtr record(new ClassRecord);
    record->Class = row.Class;
    record->MinSize = row.MinSize;
    record->MaxSize = row.MaxSize;
    record->Name = TextOf(row.Name);
    record->Detail = TextOf(row.Detail);
    record->Usage = row.Usage;
    record->Base = TextOf(row.Base);
    record->Tag = row.Tag;
    record->RefKind = row.RefKind;
    record->RefTarget = TextOf(row.RefTarget);
    record->UL = StaticClassUL(row.ULText);
    record->HasDefault = row.Default != nullptr;
    record->Default = TextOf(row.Default);
    record->HasDValue = row.DValue != nullptr;
    record->DValue = TextOf(row.DValue);
    record->SymbolSpace = row.SymbolSpace ? SpaceNamed(row.SymbolSpace) : space;
    record->ExtendSubs = (row.Flags & FlagExtendSubs) != 0;
    record->Baseline = (row.Flags & FlagBaseline) != 0;
    switch (row.Class)
    {
    case ClassRecord::PACK:
    case ClassRecord::SET:
    case ClassRecord::VECTOR:
    case ClassRecord::ARRAY:
    case ClassRecord::CONTAINER:
        while (cursor->Class != RowEnd)
            record->Children.push_back(ConvertStaticClassRecord(cursor, space));
        ++cursor; // the row that closes the member list
        break;
    default:
        break;
    }
    return record;
}

// The flag the load sets before it starts, so that the definers it calls do not start it again; and the
// flag that tells other threads, without the lock, that it has ended.
bool BuiltInDictionaryLoaded = false;
std::atomic<bool> BuiltInDictionaryInPlace = false;

std::recursive_mutex& BuiltInDictionaryLock()
{
    static auto* lock = new std::recursive_mutex;
    return *lock;
}

} // namespace

void InitBuiltInDictionary()
{
    if (BuiltInDictionaryInPlace.load(std::memory_order_acquire))
        return;
    std::lock_guard guard(BuiltInDictionaryLock());
    if (BuiltInDictionaryLoaded)
        return;
    BuiltInDictionaryLoaded = true;
    LoadStaticTypeTable();
    LoadStaticClassTable(DefaultSymbolSpace());
    RegisterBuiltInTraits(); // unless a dictionary document has already made the bindings
    BuiltInDictionaryInPlace.store(true, std::memory_order_release);
}

int LoadStaticTypeTable()
{
    InitBuiltInDictionary();
    TypeRecordList records;
    for (const StaticTypeRow* row = StaticTypeTable; row->Kind != RowEnd;)
    {
        // A row that names a symbol space defines nothing: the compiled-in types go to the default space
        // unless their own row names one.
        if (row->Kind == RowSymbolSpace)
        {
            ++row;
            continue;
        }
        TypeRecordPtr record = ConvertStaticTypeRecord(*row++);
        if (record->Kind == TypeRecord::COMPOUND || record->Kind == TypeRecord::ENUM)
            for (; row->Kind == TypeRecord::SUB; ++row)
                record->Children.push_back(ConvertStaticTypeRecord(*row));
        records.push_back(record);
    }
    return DefineTypesFromRecords(records, DefaultSymbolSpace());
}

int LoadStaticClassTable(const SymbolSpacePtr& space)
{
    SymbolSpacePtr tableSpace = space;
    ClassRecordList records;
    for (const StaticClassRow* row = StaticClassTable; row->Class != RowEnd;)
    {
        if (row->Class == RowSymbolSpace)
            tableSpace = SpaceNamed((row++)->SymbolSpace);
        else
            records.push_back(ConvertStaticClassRecord(row, tableSpace));
    }
    return DefineClassesFromRecords(records, tableSpace);
}

} // namespace mxf
