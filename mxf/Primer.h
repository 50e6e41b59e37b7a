// Primer: the map between the 2-byte local tags of one partition's local sets and the labels they stand for,
// in both directions, and PrimerPtr, its strong pointer. A partition owns its primer. Not thread-safe: a
// primer that several threads use needs external synchronisation.
#pragma once

#include "mxf/RefCount.h"
#include "mxf/UL.h"

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <utility>

namespace mxf
{

using Tag = std::uint32_t; // holds a 2-byte local tag; 0 means no tag

class Primer : public RefCount<Primer>
{
public:
    using TagMap = std::map<Tag, UL>;

    // The first label given for a tag and the first tag given for a label both stay. Returns the tag map's
    // entry for the tag and whether it was inserted.
    std::pair<TagMap::iterator, bool> InsertTag(Tag tag, const UL& label);

    // Fills the tag map from the value of a primer pack (the label-to-tag map keeps what it holds) and
    // returns the bytes used: 0 for a pack that is too small or whose items are under 18 bytes, fewer than
    // size when the pack ends in a partial item or claims more items than it holds.
    std::uint64_t ReadPack(const std::uint8_t* bytes, std::uint64_t size);

    // The tag to write for a label: the preferred tag when it stands for this label here, else the label's
    // tag in this primer, else the static tag of its class in the dictionary, else a new dynamic tag (0 when
    // they have run out).
    Tag TagFor(const ULPtr& label, Tag preferred);
    // The first two steps of TagFor: the preferred tag or the label's tag here; 0 when neither applies.
    Tag ExistingTagFor(const UL& label, Tag preferred) const;
    // The last step of TagFor: the highest free tag from 0xFFFF down to 0x8000, entered for the label; 0,
    // reported, when none is free.
    Tag NewDynamicTag(const UL& label);

    const TagMap& Tags() const { return TagToLabel; }

private:
    TagMap TagToLabel;
    Tag NextDynamicTag = 0xffff;
    std::map<std::array<std::uint8_t, 16>, Tag> LabelToTag;
};

using PrimerPtr = SmartPtr<Primer>;

// "3c.0a" for a 2-byte tag; "0x12345" for a larger one.
std::string TagText(Tag tag);

} // namespace mxf
