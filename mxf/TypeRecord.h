// TypeRecord: one value type, compound member, enumerated value or label as a dictionary source gives it,
// before the type definer turns it into a dictionary entry; with TypeRecordPtr and TypeRecordList. A record
// owns its members (Children) and holds its label and symbol space; records live for one load and are
// plain data that one loading thread fills and reads.
#pragma once

#include "mxf/Kinds.h"
#include "mxf/RefCount.h"
#include "mxf/SymbolSpace.h"
#include "mxf/UL.h"

#include <cstdint>
#include <list>
#include <string>

namespace mxf
{

class TypeRecord;

using TypeRecordPtr = SmartPtr<TypeRecord>;
using TypeRecordList = std::list<TypeRecordPtr>;

class TypeRecord : public RefCount<TypeRecord>
{
public:
    enum : std::int32_t
    {
        BASIC = 1,
        INTERPRETATION = 2,
        MULTIPLE = 3,
        COMPOUND = 4,
        SUB = 5, // a compound member or an enumerated value; only inside Children
        ENUM = 6,
        LABEL = 7,
    };

    std::int32_t Kind = 0;
    std::string Name; // of a kind-5 record: the member's or the value's name
    std::string Detail;
    // The interpreted, element, member or value type, by name or label text; empty when none.
    std::string Base;
    ULPtr UL; // null: the source gave none
    // Of an enumerated value: the value as text; of a label: its mask as hexadecimal bytes.
    std::string Value;
    // Basic: bytes; interpretation and multiple: the size handed on (a multiple's element count, 0 any);
    // compound member: the member's size.
    std::int32_t Size = 0;
    bool Endian = false;
    // An ArrayKinds code; a basic or interpretation of String holds characters.
    std::int32_t ArrayKind = ArrayKinds::Plain;
    // A RefKinds code, Nested included.
    std::int32_t RefKind = RefKinds::NotGiven;
    std::string RefTarget;
    SymbolSpacePtr SymbolSpace; // null: the definer's space
    bool Baseline = false;
    TypeRecordList Children; // members of a compound, values of an enumeration
};

} // namespace mxf
