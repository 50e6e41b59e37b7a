// The contexts the Tedial file system makes for the host: the context of one scan of a volume, which
// carries the tape block reached from item to item and counts bytes in the file system's tape blocks, and
// the replication context, which holds nothing. The scan context owns the stylesheet document its files
// are named with. Owned by the host; used by the scan's operation thread.
#pragma once

#include "FileSystems/MxfReelFS/CTedialFileSystem.h"
#include "FileSystems/TapeFS/CTapeGetOperationContext.h"
#include "msxml/MsXml.h"

class CTedialGetOperationContext : public CTapeGetOperationContext
{
public:
    CTedialGetOperationContext(CTedialFileSystem* fileSystem, CVolumePointer volume, CMediumPointer medium)
        : CTapeGetOperationContext(std::move(volume), std::move(medium)), FileSystem(fileSystem)
    {
    }

    // Positions are tape blocks of the file system's BlockSize, whatever the medium's logical block.
    std::uint64_t GetItemStartBytes() override { return GetItemStart() * FileSystem->BlockSize; }
    std::uint64_t GetLastWrittenBytes() override { return GetLastWrittenBlock() * FileSystem->BlockSize; }

    CTedialFileSystem* FileSystem;
    // The stylesheet that names the scan's files, loaded by its first operation.
    CComPtr<IXMLDOMDocument> Stylesheet;
};

class CTedialReplicationContext : public CReplicationContext
{
};
