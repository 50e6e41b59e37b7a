#include "pagelist/CFileListIndex.h"

#include "pagelist/CFileListInternal.h"
#include "pagelist/CFileListPageStore.h"

#include <algorithm>
#include <memory>

struct CFileListIndex::CNode
{
    explicit CNode(bool isLeaf) : IsLeaf(isLeaf) {}

    const bool IsLeaf;
    std::uint32_t Count = 0;
    CInner* Parent = nullptr;
};

struct CFileListIndex::CInner : CNode
{
    CInner() : CNode(false) {}

    CNode* Children[InnerCapacity];
    // The first record below each child.
    CFileListOffset Firsts[InnerCapacity];
};

struct CFileListIndex::CLeaf : CNode
{
    CLeaf() : CNode(true) {}

    CLeaf* Previous = nullptr;
    CLeaf* Next = nullptr;
    CFileListOffset Items[LeafCapacity];
};

namespace
{
// The first of `offsets[from, count)` for which `before` fails; `before` holds for a leading run.
template <class Before>
std::uint32_t Partition(const CFileListOffset* offsets, std::uint32_t from, std::uint32_t count,
                        Before before)
{
    while (from < count)
    {
        std::uint32_t middle = from + (count - from) / 2;
        if (before(offsets[middle]))
            from = middle + 1;
        else
            count = middle;
    }
    return from;
}
} // namespace

CFileListIndex::CFileListIndex(const std::vector<const unsigned char*>& pageBytes,
                               const CFileListOrdering& ordering, int index)
    : PageBytes(pageBytes), Ordering(ordering), Index(index)
{
}

CFileListIndex::~CFileListIndex()
{
    Destroy(Root);
}

CFileListEntry CFileListIndex::EntryAt(const CFileListOffset& at) const
{
    return PageEntry::View(PageBytes[at.Page] + at.Position);
}

void CFileListIndex::Prefetch(const CFileListOffset* offsets, std::uint32_t count) const
{
    // The entry's head and the rest of a path of common length: a comparison reads up to where two
    // paths differ.
    for (std::uint32_t i = 0; i < count; ++i)
    {
        const unsigned char* entry = PageBytes[offsets[i].Page] + offsets[i].Position;
        __builtin_prefetch(entry);
        __builtin_prefetch(entry + 64);
    }
}

template <class Before> CFileListIndex::CLeaf* CFileListIndex::Descend(CNode* node, Before before) const
{
    while (node && !node->IsLeaf)
    {
        auto* inner = static_cast<CInner*>(node);
        Prefetch(inner->Firsts + 1, inner->Count - 1);
        node = inner->Children[Partition(inner->Firsts, 1, inner->Count, before) - 1];
    }
    if (node)
        Prefetch(static_cast<CLeaf*>(node)->Items, node->Count);
    return static_cast<CLeaf*>(node);
}

CFileListIndex::CCursor CFileListIndex::CursorAt(CPosition position) const
{
    // A slot past a leaf's last record is the first record of the next leaf.
    if (position.Leaf && position.Slot == position.Leaf->Count)
        position = position.Leaf->Next ? CPosition{position.Leaf->Next, 0} : CPosition{};
    return {position.Leaf ? position.Leaf->Items[position.Slot] : CFileListOffset{}, position, Version,
            Removals};
}

CFileListIndex::CPosition CFileListIndex::FirstPosition() const
{
    CNode* node = Root;
    while (node && !node->IsLeaf)
        node = static_cast<CInner*>(node)->Children[0];
    return {static_cast<CLeaf*>(node), 0};
}

CFileListIndex::CCursor CFileListIndex::Insert(const CFileListOffset& at, const CCursor& after,
                                               const CCursor& before)
{
    CFileListEntry entry = EntryAt(at);
    auto sortsAfter = [&](const CFileListOffset& other)
    { return Ordering.Compare(entry, EntryAt(other), Index) < 0; };
    CPosition position;
    CCursor hint = before;
    if (Refresh(hint) && sortsAfter(hint.Offset))
    {
        CCursor previous = Previous(hint);
        if (previous.Offset == hint.Offset || !sortsAfter(previous.Offset))
            position = hint.Position;
    }
    hint = after;
    if (!position.Leaf && Refresh(hint) && !sortsAfter(hint.Offset))
    {
        CCursor next = CursorAt({hint.Position.Leaf, hint.Position.Slot + 1});
        if (!next.Position.Leaf || sortsAfter(next.Offset))
            position = {hint.Position.Leaf, hint.Position.Slot + 1};
    }
    if (!position.Leaf && Root)
    {
        CLeaf* leaf = Descend(Root, [&](const CFileListOffset& other) { return !sortsAfter(other); });
        position = {leaf, Partition(leaf->Items, 0, leaf->Count,
                                    [&](const CFileListOffset& other) { return !sortsAfter(other); })};
    }
    if (!Root)
    {
        Root = new CLeaf;
        position = {static_cast<CLeaf*>(Root), 0};
    }
    return CursorAt(InsertAt(position, at));
}

CFileListIndex::CPosition CFileListIndex::InsertAt(CPosition position, const CFileListOffset& at)
{
    CLeaf* leaf = position.Leaf;
    std::uint32_t slot = position.Slot;
    if (leaf->Count == LeafCapacity)
    {
        Split(leaf, slot == leaf->Count && !leaf->Next);
        if (slot > leaf->Count)
        {
            slot -= leaf->Count;
            leaf = leaf->Next;
        }
    }
    std::copy_backward(leaf->Items + slot, leaf->Items + leaf->Count, leaf->Items + leaf->Count + 1);
    leaf->Items[slot] = at;
    ++leaf->Count;
    if (slot == 0)
        UpdateFirst(leaf);
    ++Version;
    return {leaf, slot};
}

void CFileListIndex::Split(CNode* node, bool atEnd)
{
    std::unique_ptr<CNode, void (*)(CNode*)> sibling(
        node->IsLeaf ? static_cast<CNode*>(new CLeaf) : new CInner, &Free);
    // Room in the parent first; each step leaves a whole tree behind, should a later one fail.
    if (!node->Parent)
    {
        auto* root = new CInner;
        root->Children[0] = node;
        root->Firsts[0] = FirstOf(node);
        root->Count = 1;
        node->Parent = root;
        Root = root;
    }
    else if (node->Parent->Count == InnerCapacity)
        Split(node->Parent, atEnd);

    // Nodes filled in order stay nearly full: only the last entry moves.
    std::uint32_t keep = atEnd ? node->Count - 1 : node->Count / 2;
    std::uint32_t moved = node->Count - keep;
    if (node->IsLeaf)
    {
        auto* leaf = static_cast<CLeaf*>(node);
        auto* right = static_cast<CLeaf*>(sibling.get());
        std::copy(leaf->Items + keep, leaf->Items + leaf->Count, right->Items);
        right->Next = leaf->Next;
        right->Previous = leaf;
        if (leaf->Next)
            leaf->Next->Previous = right;
        leaf->Next = right;
    }
    else
    {
        auto* inner = static_cast<CInner*>(node);
        auto* right = static_cast<CInner*>(sibling.get());
        std::copy(inner->Children + keep, inner->Children + inner->Count, right->Children);
        std::copy(inner->Firsts + keep, inner->Firsts + inner->Count, right->Firsts);
        for (std::uint32_t i = 0; i < moved; ++i)
            right->Children[i]->Parent = right;
    }
    node->Count = keep;
    sibling->Count = moved;
    InsertChild(node->Parent, SlotInParent(node) + 1, sibling.release());
    ++Version;
}

void CFileListIndex::InsertChild(CInner* parent, std::uint32_t slot, CNode* child)
{
    std::copy_backward(parent->Children + slot, parent->Children + parent->Count,
                       parent->Children + parent->Count + 1);
    std::copy_backward(parent->Firsts + slot, parent->Firsts + parent->Count,
                       parent->Firsts + parent->Count + 1);
    parent->Children[slot] = child;
    parent->Firsts[slot] = FirstOf(child);
    child->Parent = parent;
    ++parent->Count;
}

CFileListOffset CFileListIndex::FirstOf(const CNode* node)
{
    return node->IsLeaf ? static_cast<const CLeaf*>(node)->Items[0]
                        : static_cast<const CInner*>(node)->Firsts[0];
}

std::uint32_t CFileListIndex::SlotInParent(const CNode* node)
{
    const CInner* parent = node->Parent;
    return static_cast<std::uint32_t>(std::find(parent->Children, parent->Children + parent->Count, node) -
                                      parent->Children);
}

void CFileListIndex::UpdateFirst(CNode* node)
{
    while (node->Parent && node->Count > 0)
    {
        std::uint32_t slot = SlotInParent(node);
        node->Parent->Firsts[slot] = FirstOf(node);
        if (slot != 0)
            return;
        node = node->Parent;
    }
}

void CFileListIndex::Erase(const CFileListOffset& at)
{
    CPosition position = Find(at).Position;
    CLeaf* leaf = position.Leaf;
    if (!leaf)
        return;
    std::copy(leaf->Items + position.Slot + 1, leaf->Items + leaf->Count, leaf->Items + position.Slot);
    --leaf->Count;
    if (leaf->Count == 0)
        RemoveNode(leaf);
    else if (position.Slot == 0)
        UpdateFirst(leaf);
    ++Version;
    ++Removals;
}

void CFileListIndex::RemoveNode(CNode* node)
{
    CInner* parent = node->Parent;
    if (node->IsLeaf)
    {
        auto* leaf = static_cast<CLeaf*>(node);
        if (leaf->Previous)
            leaf->Previous->Next = leaf->Next;
        if (leaf->Next)
            leaf->Next->Previous = leaf->Previous;
    }
    if (!parent)
    {
        Root = nullptr;
        Free(node);
        return;
    }
    std::uint32_t slot = SlotInParent(node);
    Free(node);
    std::copy(parent->Children + slot + 1, parent->Children + parent->Count, parent->Children + slot);
    std::copy(parent->Firsts + slot + 1, parent->Firsts + parent->Count, parent->Firsts + slot);
    --parent->Count;
    if (parent->Count == 0)
        RemoveNode(parent);
    else if (slot == 0)
        UpdateFirst(parent);
}

void CFileListIndex::Clear()
{
    Destroy(Root);
    Root = nullptr;
    ++Version;
    ++Removals;
}

void CFileListIndex::Free(CNode* node)
{
    if (node->IsLeaf)
        delete static_cast<CLeaf*>(node);
    else
        delete static_cast<CInner*>(node);
}

void CFileListIndex::Destroy(CNode* node)
{
    if (!node)
        return;
    if (!node->IsLeaf)
        for (std::uint32_t i = 0; i < node->Count; ++i)
            Destroy(static_cast<CInner*>(node)->Children[i]);
    Free(node);
}

CFileListIndex::CCursor CFileListIndex::LowerBound(const CFileListFile& key, const CCursor& near) const
{
    auto precedes = [&](const CFileListOffset& other)
    { return Ordering.PrecedesKey(EntryAt(other), key, Index); };
    CNode* from = Root;
    CCursor start = near;
    if (Refresh(start) && !precedes(start.Offset))
    {
        // The record sought lies at or before `near`: in the lowest subtree above it whose first record
        // precedes the key, or at the beginning.
        from = start.Position.Leaf;
        while (from && !precedes(FirstOf(from)))
            from = from->Parent;
        if (!from)
            return Begin();
    }
    else if (start.Position.Leaf)
    {
        // The record sought lies after `near`: in the lowest subtree above it whose next sibling's first
        // record does not precede the key (it may be that record itself, right after the subtree).
        from = start.Position.Leaf;
        while (CInner* parent = from->Parent)
        {
            std::uint32_t slot = SlotInParent(from);
            if (slot + 1 < parent->Count && !precedes(parent->Firsts[slot + 1]))
                break;
            from = parent;
        }
    }
    CLeaf* leaf = Descend(from, precedes);
    if (!leaf)
        return End();
    return CursorAt({leaf, Partition(leaf->Items, 0, leaf->Count, precedes)});
}

CFileListIndex::CCursor CFileListIndex::Find(const CFileListOffset& at) const
{
    CFileListEntry entry = EntryAt(at);
    auto sortsBefore = [&](const CFileListOffset& other)
    { return Ordering.Compare(EntryAt(other), entry, Index) < 0; };
    CLeaf* leaf = Descend(Root, sortsBefore);
    if (!leaf)
        return End();
    // Among the records that sort with it, in append order.
    for (CCursor cursor = CursorAt({leaf, Partition(leaf->Items, 0, leaf->Count, sortsBefore)});
         cursor.Position.Leaf && !(Ordering.Compare(entry, EntryAt(cursor.Offset), Index) < 0);
         cursor = Next(cursor))
        if (cursor.Offset == at)
            return cursor;
    return End();
}

CFileListIndex::CPosition CFileListIndex::Moved(const CCursor& cursor) const
{
    // An insert moves records right within their leaf, a split moves them on into a new leaf after it;
    // records that came in order split leaves at their ends, so a record moves a leaf or two at most.
    constexpr int LeavesLooked = 3;
    CLeaf* leaf = cursor.Position.Leaf;
    std::uint32_t from = cursor.Position.Slot;
    for (int i = 0; leaf && i < LeavesLooked; ++i, leaf = leaf->Next, from = 0)
    {
        const CFileListOffset* begin = leaf->Items + std::min(from, leaf->Count);
        const CFileListOffset* end = leaf->Items + leaf->Count;
        const CFileListOffset* found = std::find(begin, end, cursor.Offset);
        if (found != end)
            return {leaf, static_cast<std::uint32_t>(found - leaf->Items)};
    }
    return Find(cursor.Offset).Position;
}

CFileListIndex::CPosition CFileListIndex::PositionOf(CCursor& cursor) const
{
    if (IsCurrent(cursor))
        return cursor.Position;
    if (cursor.Offset == CFileListOffset{})
        cursor = End();
    else if (cursor.Position.Leaf && cursor.Removals == Removals)
        cursor = CursorAt(Moved(cursor));
    else
        cursor = Find(cursor.Offset);
    return cursor.Position;
}

CFileListIndex::CCursor CFileListIndex::Next(CCursor cursor) const
{
    CPosition position = PositionOf(cursor);
    if (!position.Leaf)
        return cursor;
    return CursorAt({position.Leaf, position.Slot + 1});
}

CFileListIndex::CCursor CFileListIndex::Previous(CCursor cursor) const
{
    CPosition position = PositionOf(cursor);
    if (position.Leaf && position.Slot > 0)
        return CursorAt({position.Leaf, position.Slot - 1});
    CLeaf* leaf = position.Leaf ? position.Leaf->Previous : nullptr;
    if (!position.Leaf && Root)
    {
        // From the end to the last record.
        CNode* node = Root;
        while (!node->IsLeaf)
            node = static_cast<CInner*>(node)->Children[node->Count - 1];
        leaf = static_cast<CLeaf*>(node);
    }
    if (!leaf)
        return cursor;
    return CursorAt({leaf, leaf->Count - 1});
}
