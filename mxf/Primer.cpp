#include "mxf/Primer.h"

#include "mxf/Diagnostics.h"
#include "mxf/MDOType.h"

#include <algorithm>
#include <cstdio>

namespace mxf
{

namespace
{

std::uint32_t ReadU32(const std::uint8_t* bytes)
{
    return std::uint32_t{bytes[0]} << 24 | std::uint32_t{bytes[1]} << 16 | std::uint32_t{bytes[2]} << 8 |
           bytes[3];
}

} // namespace

std::pair<Primer::TagMap::iterator, bool> Primer::InsertTag(Tag tag, const UL& label)
{
    LabelToTag.try_emplace(label.GetArray(), tag);
    return TagToLabel.try_emplace(tag, label);
}

std::uint64_t Primer::ReadPack(const std::uint8_t* bytes, std::uint64_t size)
{
    TagToLabel.clear();
    if (size < 8)
    {
        DiagnosticError("Primer too small, must be at least 8 bytes!\n");
        return 0;
    }
    const std::uint32_t claimed = ReadU32(bytes);
    const std::uint32_t itemSize = ReadU32(bytes + 4);
    if (itemSize < 18)
    {
        DiagnosticError(
            "Malformed vector header in Primer - each entry is 18 bytes, size in vector header is %d\n",
            static_cast<int>(itemSize));
        return 0;
    }
    std::uint64_t items = (size - 8) / itemSize;
    std::uint64_t used = size;
    if ((size - 8) % itemSize)
    {
        DiagnosticError("Primer not an integer number of items!\n");
        used = 8 + items * itemSize;
    }
    if (items != claimed)
    {
        DiagnosticError(
            "Malformed vector header in Primer - number of entries is %d, vector header claims %d\n",
            static_cast<int>(items), static_cast<int>(claimed));
        items = std::min<std::uint64_t>(items, claimed);
        used = 8 + items * itemSize;
    }
    for (std::uint64_t i = 0; i < items; ++i)
    {
        const std::uint8_t* item = bytes + 8 + i * itemSize;
        const Tag tag = Tag{item[0]} << 8 | item[1];
        const UL label(item + 2);
        InsertTag(tag, label);
        DiagnosticNote("  %s -> %s\n", TagText(tag).c_str(), label.GetString().c_str());
    }
    return used;
}

Tag Primer::TagFor(const ULPtr& label, Tag preferred)
{
    const UL bytes(label);
    if (const Tag existing = ExistingTagFor(bytes, preferred))
        return existing;
    if (const MDOTypePtr type = MDOType::FindByUL(bytes); type && type->StaticTag != 0)
    {
        InsertTag(type->StaticTag, bytes);
        return type->StaticTag;
    }
    return NewDynamicTag(bytes);
}

Tag Primer::ExistingTagFor(const UL& label, Tag preferred) const
{
    if (preferred != 0)
        if (auto entry = TagToLabel.find(preferred); entry != TagToLabel.end() && entry->second == label)
            return preferred;
    auto entry = LabelToTag.find(label.GetArray());
    return entry == LabelToTag.end() ? 0 : entry->second;
}

Tag Primer::NewDynamicTag(const UL& label)
{
    // Once below 0x8000 the counter stays there, so that later calls cannot wrap round to a tag.
    for (; NextDynamicTag >= 0x8000; --NextDynamicTag)
        if (!TagToLabel.contains(NextDynamicTag))
        {
            InsertTag(NextDynamicTag, label);
            return NextDynamicTag--;
        }
    DiagnosticError("Run out of dynamic tags!\n");
    return 0;
}

std::string TagText(Tag tag)
{
    char text[16];
    if (tag <= 0xffff)
        std::snprintf(text, sizeof text, "%02x.%02x", tag >> 8, tag & 0xff);
    else
        std::snprintf(text, sizeof text, "0x%04x", tag);
    return text;
}

} // namespace mxf
