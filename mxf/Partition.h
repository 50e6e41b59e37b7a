// Partition: a partition pack held as a metadata object, with the header metadata that follows it once
// read: the primer, every object in reading order, the objects that no strong reference owns, and the
// reference targets and still unmatched sources by instance UUID. The partition owns all its objects; links
// between them are weak, except strong references, which own their targets: each set has at most one strong
// owner, and no set owns itself through them. TopLevelObjects is changed through the partition only. Not
// thread-safe: one partition is used by one thread at a time.
#pragma once

#include "mxf/Identifier.h"
#include "mxf/MDObject.h"
#include "mxf/MXFFile.h"
#include "mxf/MemoryBudget.h"
#include "mxf/ObjectInterface.h"
#include "mxf/PartitionPtr.h"
#include "mxf/Primer.h"
#include "mxf/RefCount.h"

#include <cstdint>
#include <map>
#include <unordered_map>
#include <vector>

namespace mxf
{

class Partition : public ObjectInterface, public RefCount<Partition>
{
public:
    explicit Partition(const ULPtr& key);
    ~Partition() override;

    // Reads the header metadata that follows this pack in the file it was read from; the bytes consumed.
    std::uint64_t ReadMetadata();
    // Reads size bytes of header metadata at the file's position, after an optional fill item; the bytes
    // consumed, fill included. Replaces whatever was read before.
    std::uint64_t ReadMetadata(const MXFFilePtr& file, std::uint64_t size);
    void ClearMetadata();
    // Adds the object, with the objects it strongly owns, and links or queues its references.
    void AddMetadata(const MDObjectPtr& object, bool atFront = false);
    void AddStrongRefTargets(const MDObjectPtr& object, bool atFront = false);
    void LinkChildReferences(const MDObjectPtr& object);

    // Header metadata of more bytes than this are taken for damage and not read: real files hold some
    // kilobytes to a few megabytes, and each byte read is held in some 40 bytes of objects (an object of
    // some 400 bytes for each set and each item of it). Set once, before reading starts, by a process that
    // means to read more.
    static inline std::uint64_t MaxHeaderMetadataSize = 32 << 20;
    // What reading one partition's header metadata may make its objects hold, by the count of
    // MemoryBudget; past it the metadata are taken for damage. Real files need some tens of megabytes at
    // most; a hostile one of a few megabytes of one-byte items would need gigabytes. Set like the limit
    // above. A reader that gives the thread a budget of its own (one that also counts what it makes of
    // the objects) is held to that one instead.
    static inline std::uint64_t MaxHeaderMetadataMemory = 512 << 20;
    // Set by a ReadMetadata that refused the header metadata as damaged (too large to be real, or too
    // costly to hold).
    bool MetadataRefused = false;

    PrimerPtr HeaderPrimer;
    MDObjectList Objects;
    MDObjectList TopLevelObjects;
    // Keyed by the 16 bytes of an instance UUID.
    std::map<Identifier<16>, MDObjectPtr> TargetsByUUID;
    std::multimap<Identifier<16>, MDObjectPtr> UnmatchedRefs;

private:
    // The steps of reading header metadata: the file's position moves past a fill item that comes first,
    // and the items held in memory are turned into the primer and the sets.
    bool SkipLeadingFill(const MXFFilePtr& file, std::uint64_t& start, std::uint64_t& fill);
    std::uint64_t ReadMetadataItems(const MXFFilePtr& file, const std::uint8_t* bytes, std::uint64_t start,
                                    std::uint64_t size);

    using Path = std::vector<const MDObject*>;
    void Add(const MDObjectPtr& object, bool atFront, Path& path);
    void AddOwned(const MDObjectPtr& child, bool atFront, Path& path);
    void AddTargetsInside(const MDObjectPtr& object, bool atFront, Path& path);
    // Links source to target unless a strong link would give the target a second owner or close a loop of
    // ownership; false when refused.
    bool Link(const MDObjectPtr& source, const MDObjectPtr& target);
    void PutTopLevel(const MDObjectPtr& object, bool atFront);
    void RemoveTopLevel(const MDObject* object);

    // The sets joined by strong references form a forest, since each set has at most one owner; a strong
    // link from a set to the root of another tree joins the two, and one to a set of its own tree would close
    // a loop. The trees are kept as disjoint sets (union by size, path halving), so that the check costs
    // about the same for every link, in whatever order the sets come.
    struct Ownership
    {
        const MDObject* Up = nullptr; // towards the tree's representative; null at the representative
        std::size_t Size = 1;         // sets in the tree, kept at the representative
        bool Owned = false;           // a strong reference owns this set
    };
    const MDObject* TreeOf(const MDObject* set);
    void Own(const MDObject* owner, const MDObject* target);
    std::unordered_map<const MDObject*, Ownership> Owners;
    // Where each top-level object stands in TopLevelObjects, so that removing one costs no search.
    std::unordered_multimap<const MDObject*, MDObjectList::iterator> TopLevelEntries;
};

} // namespace mxf
