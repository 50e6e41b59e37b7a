// Fuzzes MXF file access: the input is opened as a memory file (past its run-in), every partition pack met
// walking its KLV items is read with its header metadata, and so is the footer that the backward search
// finds. No object may own itself through strong references, and every walk must end.
#include "FileDictionary.h"

#include "mxf/MDObject.h"
#include "mxf/MXFFile.h"
#include "mxf/Partition.h"
#include "mxf/PartitionKey.h"

#include <cstring>
#include <set>

namespace
{

// Walks what the object owns; reaching an object already on the way down is a loop of ownership.
void WalkOwned(const mxf::MDObject* object, std::set<const mxf::MDObject*>& path, int depth)
{
    if (!path.insert(object).second || depth > 10000)
        __builtin_trap();
    if (const mxf::MDObject* target = object->StrongLink.GetPtr())
        WalkOwned(target, path, depth + 1);
    for (const auto& [label, child] : *object)
        if (child)
            WalkOwned(child.GetPtr(), path, depth + 1);
    path.erase(object);
}

void ReadPartitionAt(mxf::MXFFile& file, std::uint64_t at)
{
    file.Seek(at);
    const mxf::PartitionPtr partition = file.ReadPartition();
    if (!partition)
        return;
    partition->ReadMetadata();
    for (const mxf::MDObjectPtr& object : partition->TopLevelObjects)
    {
        std::set<const mxf::MDObject*> path;
        WalkOwned(object.GetPtr(), path, 0);
        (void)object->GetString(std::string());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    mxftest::DefineFileClasses();
    mxf::DataChunkPtr bytes(new mxf::DataChunk(size));
    if (size)
        std::memcpy(bytes->Data(), data, size);
    mxf::MXFFilePtr file(new mxf::MXFFile);
    file->OpenMemory(bytes, 0);
    if (!file->FindRunIn())
        return 0;
    const std::uint64_t end = size - file->RunInSize;
    std::uint64_t at = 0;
    while (at + 17 <= end)
    {
        file->Seek(at);
        const mxf::ULPtr key = file->ReadULKey();
        const std::int64_t length = key ? file->ReadBERLength() : -1;
        if (length < 0)
            break;
        const std::uint64_t next = file->Tell() + static_cast<std::uint64_t>(length);
        if (mxf::IsPartitionPackKey(key->GetValue()))
            ReadPartitionAt(*file, at);
        if (next <= at || next > end)
            break;
        at = next;
    }
    if (const std::uint64_t footer = file->ScanBackForFooter(1 << 20))
        ReadPartitionAt(*file, footer);
    return 0;
}
