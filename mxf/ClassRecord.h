// ClassRecord: one class (set, pack, item, old-style vector or array) as a dictionary source gives it,
// before the class builder turns it into a class type; with ClassRecordPtr and ClassRecordList. A record
// owns its member records (Children) and holds its labels and symbol space; records live for one load and
// are plain data that one loading thread fills and reads.
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

class ClassRecord;

using ClassRecordPtr = SmartPtr<ClassRecord>;
using ClassRecordList = std::list<ClassRecordPtr>;

class ClassRecord : public RefCount<ClassRecord>
{
public:
    enum : std::int32_t
    {
        EXTEND = 0, // no kind: extends an existing class or derives from Base
        PACK = 1,
        SET = 2,
        VECTOR = 3, // old style: the one child names the element
        ARRAY = 4,  // old style: the one child names the element
        ITEM = 5,
        DERIVED = 6,
        CONTAINER = 7, // of no given kind: only extends an existing class
    };

    std::int32_t Class = EXTEND;
    std::int32_t MinSize = 0; // items: least length; sets and packs: the KeyFormats code
    std::int32_t MaxSize = 0; // items: greatest length; sets and packs: the LengthFormats code
    std::string Name;
    std::string Detail;
    // 0 not given, 1 optional, 2 decoder required, 3 encoder required, 4 required, 5 best effort, 6 toxic,
    // 7 dark.
    std::int32_t Usage = 0;
    // The base class to derive from, by name or label text; of an item, its value type.
    std::string Base;
    std::int32_t Tag = 0;
    ULPtr UL; // null: the source gave none
    bool HasDefault = false;
    std::string Default;
    bool HasDValue = false;
    std::string DValue;
    ClassRecordList Children;
    // A RefKinds code, Nested included.
    std::int32_t RefKind = RefKinds::NotGiven;
    std::string RefTarget;
    SymbolSpacePtr SymbolSpace; // null: the builder's space
    bool Baseline = false;
    // An extension of an existing class is also merged into the classes derived from it.
    bool ExtendSubs = true;
    // Set by the class builder on a member it defers: the label of the class it belongs in.
    ULPtr ParentUL;
};

} // namespace mxf
