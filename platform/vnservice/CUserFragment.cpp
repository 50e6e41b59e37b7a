#include "vnservice/CUserFragment.h"

#include <utility>

CStatus CUserFragment::ConstructFromCatalogue(CFileName fileSystemName, CCatalogueFileRecord record)
{
    FileSystemName = std::move(fileSystemName);
    CatalogueFileName = std::move(record.Path);
    Position = record.Position;
    Size = record.Size;
    Time = record.Time;
    SegmentIndex = record.SegmentIndex;
    OrderKey1 = record.OrderKey1;
    OrderKey2 = record.OrderKey2;
    Flags = record.Flags;
    return CStatus::Success();
}

CFileName CUserFragment::GetArchiveFileName(bool stripAnchor) const
{
    const WString& path = CatalogueFileName.GetText();
    if (stripAnchor && path.size() >= 2 && path[0] == u'0' && path[1] == u'/')
        return CFileName(path.substr(2));
    return CatalogueFileName;
}
