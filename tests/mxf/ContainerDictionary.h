// The dictionary that the tests of array, compound and enumeration traits and of the sets cut from an
// ffmpeg file share: integer, character, identifier and text types; arrays, batches, rationals, time
// stamps and enumerations; and, under their registered labels, the packs, sets and items of the header
// metadata that ffmpeg writes (the items the tests look at; the others read as unknown raw items). Built
// once; lives for the program.
#pragma once

#include "mxf/MDOType.h"
#include "mxf/MDObject.h"
#include "mxf/MDType.h"

namespace mxftest
{

struct ContainerDictionary
{
    mxf::MDTypePtr U8, U16, U32, U64, Int64, Char7, Char16, Uuid, Label;
    // Arrays of 2-byte words: of any size, of 2 and of 4 elements, and a batch.
    mxf::MDTypePtr Words, Words2, Words4, WordBatch;
    mxf::MDTypePtr Text7, Text16, Texts, RawNumbers, RawWords;
    mxf::MDTypePtr Rational, TimeStamp, TwoLevelTimeStamp, Point, Colours, ColourName;
    mxf::MDTypePtr IndexEntry, IndexEntries;
    mxf::MDOTypePtr IndexTableSegment, SliceCount, IndexEntryArray;

    static const ContainerDictionary& Get();

private:
    ContainerDictionary();
};

} // namespace mxftest
