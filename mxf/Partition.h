// Partition: a partition pack held as a metadata object, with the header metadata that follows it once
// read: the primer, every object in reading order, the objects that no strong reference owns, and the
// reference targets and still unmatched sources by instance UUID. The partition owns all its objects; links
// between them are weak, except strong references, which own their targets. Not thread-safe: one partition
// is used by one thread at a time.
#pragma once

#include "mxf/Identifier.h"
#include "mxf/MDObject.h"
#include "mxf/MXFFile.h"
#include "mxf/ObjectInterface.h"
#include "mxf/PartitionPtr.h"
#include "mxf/Primer.h"
#include "mxf/RefCount.h"

#include <cstdint>
#include <map>
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

    PrimerPtr HeaderPrimer;
    MDObjectList Objects;
    MDObjectList TopLevelObjects;
    // Keyed by the 16 bytes of an instance UUID.
    std::map<Identifier<16>, MDObjectPtr> TargetsByUUID;
    std::multimap<Identifier<16>, MDObjectPtr> UnmatchedRefs;

private:
    using Path = std::vector<const MDObject*>;
    void Add(const MDObjectPtr& object, bool atFront, Path& path);
    void AddOwned(const MDObjectPtr& child, bool atFront, Path& path);
    void AddTargetsInside(const MDObjectPtr& object, bool atFront, Path& path);
    // Links source to target unless a strong link would close a loop of ownership; false when refused.
    bool Link(const MDObjectPtr& source, const MDObjectPtr& target);
    void RemoveTopLevel(const MDObject* object);
};

} // namespace mxf
