// One index of a catalogue list: the offsets of the records in the index, in index order, held in a
// B+ tree whose comparisons read the records' entries in place through the list type's ordering. A
// descent fetches the entries of a node ahead of comparing them, so that a search waits for memory about
// once per level. Owned by its list and guarded by the list's lock.
//
// Positions name a leaf slot and hold only until the tree next changes; a cursor keeps the offset of
// its record as well and finds its place again after a change: near where it was while only inserts
// came in between (they move records right, never free a node), else by a search.
#pragma once

#include "pagelist/CFileListEntry.h"
#include "pagelist/CFileListOffset.h"

#include <cstdint>
#include <vector>

class CFileListFile;
struct CFileListOrdering;

class CFileListIndex
{
    struct CNode;
    struct CInner;
    struct CLeaf;

public:
    // A record's place: a leaf and a slot in it; no leaf at the end.
    struct CPosition
    {
        CLeaf* Leaf = nullptr;
        std::uint32_t Slot = 0;
    };
    // A record of the index, its place, the tree version for which that place holds and the removal
    // count for which its leaf still exists.
    struct CCursor
    {
        CFileListOffset Offset;
        CPosition Position;
        std::uint64_t Version = 0;
        std::uint64_t Removals = 0;
    };

    // `pageBytes` maps page numbers to their bytes; it belongs to the list and outlives the index.
    CFileListIndex(const std::vector<const unsigned char*>& pageBytes, const CFileListOrdering& ordering,
                   int index);
    CFileListIndex(const CFileListIndex&) = delete;
    CFileListIndex& operator=(const CFileListIndex&) = delete;
    ~CFileListIndex();

    // Enters the record at `at` after every record that does not sort after it. When `after` is the
    // cursor of the record it belongs right after (as for records that come in order), or `before` that
    // of the record it belongs right before (as where a search for its key landed), no search is made.
    // Returns the new record's cursor. Throws std::bad_alloc, leaving the index as it was.
    CCursor Insert(const CFileListOffset& at, const CCursor& after, const CCursor& before);
    // Removes the record at `at`; nothing when it is not in the index.
    void Erase(const CFileListOffset& at);
    void Clear();

    // The first record that does not precede `key`, by the ordering's PrecedesKey. The search starts
    // from the lowest subtree around `near` (the last one inserted, say) that holds the record sought.
    CCursor LowerBound(const CFileListFile& key, const CCursor& near) const;
    // The record at `at`, or the end when it is not in the index.
    CCursor Find(const CFileListOffset& at) const;
    CCursor Begin() const { return CursorAt(FirstPosition()); }
    CCursor End() const { return CursorAt({}); }

    // A cursor's place now; the cursor is brought up to date (to the end when its record has gone).
    CPosition PositionOf(CCursor& cursor) const;
    // Brings the cursor up to date; false at the end, or when its record has gone.
    bool Refresh(CCursor& cursor) const { return PositionOf(cursor).Leaf != nullptr; }
    // The next and the previous record; stepping past either end stays there.
    CCursor Next(CCursor cursor) const;
    CCursor Previous(CCursor cursor) const;
    // Whether the cursor still stands where it stood, so that its place can be used without a search.
    bool IsCurrent(const CCursor& cursor) const { return cursor.Version == Version; }
    CFileListEntry EntryAt(const CFileListOffset& at) const;

private:
    static constexpr std::uint32_t LeafCapacity = 32;
    static constexpr std::uint32_t InnerCapacity = 16;

    CCursor CursorAt(CPosition position) const;
    // Where the record of a cursor has moved to since inserts came in: in its leaf or a few leaves on.
    CPosition Moved(const CCursor& cursor) const;
    CPosition FirstPosition() const;
    // The leaf where a descent from `node` ends: in each inner node, the last child whose first record
    // `before` holds for, or the first child. Fetches the leaf's entries.
    template <class Before> CLeaf* Descend(CNode* node, Before before) const;
    void Prefetch(const CFileListOffset* offsets, std::uint32_t count) const;
    CPosition InsertAt(CPosition position, const CFileListOffset& at);
    // Makes room in a full leaf or inner node by moving its upper half into a new right sibling; only
    // its last entry when `atEnd`, the node being the last of its level and growing at its end.
    void Split(CNode* node, bool atEnd);
    void InsertChild(CInner* parent, std::uint32_t slot, CNode* child);
    void RemoveNode(CNode* node);
    // After the first record below `node` changed.
    void UpdateFirst(CNode* node);
    static CFileListOffset FirstOf(const CNode* node);
    static std::uint32_t SlotInParent(const CNode* node);
    // Deletes one node as what it is; Destroy deletes a subtree.
    static void Free(CNode* node);
    void Destroy(CNode* node);

    const std::vector<const unsigned char*>& PageBytes;
    const CFileListOrdering& Ordering;
    const int Index;
    CNode* Root = nullptr;
    // Changes with every insert and removal.
    std::uint64_t Version = 1;
    // Changes with every removal, which may free nodes.
    std::uint64_t Removals = 0;
};
