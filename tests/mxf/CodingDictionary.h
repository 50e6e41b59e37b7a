// The small dictionary that the tests of object values, references and KLV coding share: integer, UUID and
// raw value types, sets with 2-byte, 1-byte, OID and 16-byte keys, packs with and without lengths, batches
// and arrays that the object decoder reads itself, and reference items. Built once; lives for the program.
#pragma once

#include "mxf/MDOType.h"
#include "mxf/MDObject.h"
#include "mxf/MDType.h"
#include "mxf/Primer.h"

namespace mxftest
{

struct CodingDictionary
{
    mxf::MDTypePtr U8, U16, U32, Uuid, Raw, U32Elements, U32Batch, Interpreted;
    // A set with 2-byte tags and lengths and its items, tagged through Tags.
    mxf::MDOTypePtr Set, Word, Long, Bytes, InstanceUID, StrongRef, WeakRef, Plain;
    // A strong reference whose target, a LengthPack, is held in its value, and one (of static tag 0x6006)
    // whose target is a Set, so that sets can hold chains of them.
    mxf::MDOTypePtr Nested, NestedSet;
    // Sets keyed by 1-byte tags (with BER lengths), OID tags, labels and the unsupported 4-byte tags.
    mxf::MDOTypePtr ShortTagSet, ShortA, ShortB, OidSet, OidItem, LabelSet, WideTagSet;
    // A fixed pack (a word, a partition array, a long) and a pack with 1-byte lengths.
    mxf::MDOTypePtr FixedPack, PackWord, PackArray, PackLong, LengthPack, LengthA, LengthB;
    // A batch and an array of 4-byte elements whose type has no traits, so the object decoder reads them.
    mxf::MDOTypePtr Batch, Array;
    // An array defined the old way, by item classes taken in turn: a byte, then a word.
    mxf::MDOTypePtr OldArray;
    mxf::PrimerPtr Tags;

    static const CodingDictionary& Get();

private:
    CodingDictionary();
};

} // namespace mxftest
