#include "FileDictionary.h"

#include "TestBytes.h"
#include "TestDictionary.h"

#include "mxf/ClassDefinition.h"
#include "mxf/SymbolSpace.h"
#include "mxf/TypeDefinition.h"

#include <mutex>
#include <string>

namespace mxftest
{

namespace
{

constexpr std::uint8_t Family = 0x6c;

mxf::ULPtr Label(const char* hex)
{
    return new mxf::UL(FileLabel(hex));
}

mxf::TypeRecordPtr Type(std::int32_t kind, const std::string& name, const std::string& base,
                        std::int32_t size)
{
    mxf::TypeRecordPtr record(new mxf::TypeRecord);
    record->Kind = kind;
    record->Name = name;
    record->Base = base;
    record->Size = size;
    record->Endian = kind == mxf::TypeRecord::BASIC;
    record->UL = NewLabel(Family);
    return record;
}

mxf::ClassRecordPtr Item(const std::string& name, const std::string& type, std::int32_t tag = 0,
                         const char* label = nullptr, std::int32_t refKind = -1)
{
    mxf::ClassRecordPtr record(new mxf::ClassRecord);
    record->Class = mxf::ClassRecord::ITEM;
    record->Name = name;
    record->Base = type;
    record->Tag = tag;
    record->UL = label ? Label(label) : NewLabel(Family);
    record->RefKind = refKind;
    return record;
}

mxf::ClassRecordPtr Group(std::int32_t kind, const std::string& name, const char* label,
                          const std::string& base, mxf::ClassRecordList members = {})
{
    mxf::ClassRecordPtr record(new mxf::ClassRecord);
    record->Class = base.empty() ? kind : mxf::ClassRecord::DERIVED;
    record->Name = name;
    record->Base = base;
    record->UL = label ? Label(label) : NewLabel(Family);
    // Sets have 2-byte tags and lengths; packs neither; derived classes take their base's.
    record->MinSize = !base.empty() ? 7 : kind == mxf::ClassRecord::SET ? 2 : 0;
    record->MaxSize = !base.empty() ? 5 : kind == mxf::ClassRecord::SET ? 2 : 0;
    record->Children = std::move(members);
    return record;
}

void Define()
{
    using T = mxf::TypeRecord;
    mxf::TypeRecordPtr timestamp = Type(T::COMPOUND, "Timestamp", "", 0);
    for (const char* member : {"Year", "Month", "Day", "Hours", "Minutes", "Seconds", "msBy4"})
    {
        mxf::TypeRecordPtr field =
            Type(T::SUB, member, std::string(member) == "Year" ? "UInt16" : "UInt8", 0);
        field->UL = nullptr;
        timestamp->Children.push_back(field);
    }
    mxf::TypeRecordPtr strongRef = Type(T::INTERPRETATION, "StrongRef", "UUID", 0);
    strongRef->RefKind = 1;
    mxf::TypeRecordPtr strongRefBatch = Type(T::MULTIPLE, "StrongRefBatch", "StrongRef", 0);
    strongRefBatch->ArrayKind = 1;
    mxf::TypeRecordPtr bytes = Type(T::MULTIPLE, "UInt8Array", "UInt8", 0);
    mxf::TypeRecordPtr labelBatch = Type(T::MULTIPLE, "ULBatch", "UL", 0);
    labelBatch->ArrayKind = 1;
    mxf::DefineTypesFromRecords({Type(T::BASIC, "UInt8", "", 1), Type(T::BASIC, "UInt16", "", 2),
                                 Type(T::BASIC, "UInt32", "", 4), Type(T::BASIC, "UInt64", "", 8),
                                 Type(T::BASIC, "UUID", "", 16), Type(T::BASIC, "UL", "", 16), timestamp,
                                 strongRef, strongRefBatch, bytes, labelBatch},
                                mxf::DefaultSymbolSpace());

    using C = mxf::ClassRecord;
    const char* pack = "060e2b34 02050101 0d010201 01";
    auto partitionKey = [&](const char* kind) { return std::string(pack) + kind + "00"; };
    mxf::ClassRecordList classes = {
        Group(C::PACK, "PartitionMetadata", nullptr, "",
              {Item("MajorVersion", "UInt16"), Item("MinorVersion", "UInt16"), Item("KAGSize", "UInt32"),
               Item("ThisPartition", "UInt64", 0, "060e2b34 01010104 06101003 01000000"),
               Item("PreviousPartition", "UInt64"),
               Item("FooterPartition", "UInt64", 0, "060e2b34 01010104 06101005 01000000"),
               Item("HeaderByteCount", "UInt64", 0, "060e2b34 01010104 04060901 00000000"),
               Item("IndexByteCount", "UInt64"), Item("IndexSID", "UInt32"), Item("BodyOffset", "UInt64"),
               Item("BodySID", "UInt32"), Item("OperationalPattern", "UL"),
               Item("EssenceContainers", "ULBatch")}),
        Group(C::PACK, "Primer", "060e2b34 02050101 0d010201 01050100", ""),
        Group(C::SET, "InterchangeObject", "060e2b34 02530101 0d010101 01010100", "",
              {Item("InstanceUID", "UUID", 0x3c0a, "060e2b34 01010101 01011502 00000000", 6)}),
        Group(C::SET, "Preface", "060e2b34 02530101 0d010101 01012f00", "InterchangeObject",
              {Item("LastModifiedDate", "Timestamp", 0x3b02, "060e2b34 01010102 07020110 02040000"),
               Item("ContentStorage", "StrongRef", 0x3b03, "060e2b34 01010102 06010104 02010000", 1)}),
        Group(C::SET, "ContentStorage", "060e2b34 02530101 0d010101 01011800", "InterchangeObject",
              {Item("Packages", "StrongRefBatch", 0x1901, "060e2b34 01010102 06010104 05010000", 1),
               Item("EssenceContainerData", "StrongRefBatch", 0x1902, "060e2b34 01010102 06010104 05020000",
                    1)}),
        Group(C::SET, "MaterialPackage", "060e2b34 02530101 0d010101 01013600", "InterchangeObject"),
        Group(C::SET, "SourcePackage", "060e2b34 02530101 0d010101 01013700", "InterchangeObject"),
        Group(C::SET, "EssenceContainerData", "060e2b34 02530101 0d010101 01012300", "InterchangeObject"),
    };
    mxf::ClassRecordPtr fill = Item("KLVFill", "UInt8Array", 0, "060e2b34 01010102 03010210 01000000");
    classes.push_back(fill);
    // Header, body and footer packs, open or closed, incomplete or complete.
    const char* kinds[][2] = {{"OpenHeader", "0201"},
                              {"ClosedHeader", "0202"},
                              {"OpenCompleteHeader", "0203"},
                              {"ClosedCompleteHeader", "0204"},
                              {"OpenBodyPartition", "0301"},
                              {"ClosedBodyPartition", "0302"},
                              {"OpenCompleteBodyPartition", "0303"},
                              {"ClosedCompleteBodyPartition", "0304"},
                              {"Footer", "0402"},
                              {"CompleteFooter", "0404"}};
    for (const auto& [name, kind] : kinds)
        classes.push_back(Group(C::PACK, name, partitionKey(kind).c_str(), "PartitionMetadata"));
    mxf::DefineClassesFromRecords(classes, mxf::DefaultSymbolSpace());
}

} // namespace

mxf::UL FileLabel(const char* hex)
{
    return mxf::UL(Bytes16(hex).data());
}

void DefineFileClasses()
{
    static std::once_flag once;
    std::call_once(once, Define);
}

} // namespace mxftest
