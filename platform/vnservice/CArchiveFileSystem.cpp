#include "vnservice/CArchiveFileSystem.h"

#include "vnservice/CArchiveFileFragment.h"
#include "vnservice/CCatalogueStore.h"
#include "vnservice/CSystem.h"
#include "vnservice/ErrorGenerators.h"
#include "vnservice/HostErrors.h"

namespace
{
CStatus NotOffered(int line, const char* what)
{
    return CErrorGenMessage("ArchiveFileSystem", line, HostErrorNotOffered, {what});
}
} // namespace

CArchiveFileSystem::CArchiveFileSystem(CSystem* system, CSet<CTraceLoggable, 0>::pointer traceSource)
    : EventSource(traceSource ? traceSource->GetTraceName() : std::string()), HostSystem(system),
      TraceSource(std::move(traceSource))
{
}

CStatus CArchiveFileSystem::AnalyseForeignFile(CArchiveFileFragment& fragment, CFileListInternal* catalogue,
                                               std::uint32_t, std::uint32_t, std::uint32_t, const void*, bool)
{
    // Every file a tape holds becomes a version of its path of its own, numbered from 1 in the order the
    // tape holds them, so that two members of one name never share their records.
    if (!catalogue || !HostSystem || !HostSystem->Catalogues)
        return CStatus::Success();
    std::uint32_t newest = 0;
    CStatus status = HostSystem->Catalogues->GetNewestVersion(*catalogue, fragment.GetFileName(), newest);
    if (status.IsSuccess())
    {
        fragment.SegmentIndex = 0;
        fragment.OrderKey1 = 0;
        fragment.OrderKey2 = newest + 1;
    }
    return status;
}

void CArchiveFileSystem::SetRecognised(std::uint32_t replica, bool recognised)
{
    if (replica >= 32)
        return;
    if (recognised)
        RecognisedReplicas |= 1u << replica;
    else
        RecognisedReplicas &= ~(1u << replica);
}

bool CArchiveFileSystem::IsRecognised(std::uint32_t replica) const
{
    return replica < 32 && (RecognisedReplicas >> replica & 1) != 0;
}

CStatus CArchiveFileSystem::CheckUpdateable()
{
    return NotOffered(__LINE__, "writing to tapes");
}

CStatus CArchiveFileSystem::CountPathProperties(std::uint32_t& count)
{
    count = 0;
    return CStatus::Success();
}

CStatus CArchiveFileSystem::EnumeratePathProperties()
{
    return CStatus::Success();
}

CStatus CArchiveFileSystem::GetPathProperty()
{
    return NotOffered(__LINE__, "path properties");
}

CStatus CArchiveFileSystem::GetMAMAttribute()
{
    return NotOffered(__LINE__, "medium auxiliary memory");
}

CStatus CArchiveFileSystem::CheckFragmentWritten()
{
    return NotOffered(__LINE__, "the fragment check of written tapes");
}

CStatus CArchiveFileSystem::AllocateMedium()
{
    return NotOffered(__LINE__, "writing to tapes");
}

CStatus CArchiveFileSystem::InitialiseGlobalLockProvider()
{
    return NotOffered(__LINE__, "the global lock");
}

CStatus CArchiveFileSystem::ConnectGlobalLockProvider()
{
    return NotOffered(__LINE__, "the global lock");
}

CStatus CArchiveFileSystem::StartGlobalLockProvider()
{
    return NotOffered(__LINE__, "the global lock");
}

CStatus CArchiveFileSystem::ReleaseGlobalLock()
{
    return NotOffered(__LINE__, "the global lock");
}

CStatus CArchiveFileSystem::PassthroughWrite(CArchiveFileSystemOperation*)
{
    return NotOffered(__LINE__, "pass-through writes");
}

CStatus CArchiveFileSystem::PassthroughRead(CArchiveFileSystemOperation*)
{
    return NotOffered(__LINE__, "pass-through reads");
}

CStatus CArchiveFileSystem::PassthroughDelete(CArchiveFileSystemOperation*)
{
    return NotOffered(__LINE__, "pass-through deletes");
}

CStatus CArchiveFileSystem::GlobalLock(CArchiveFileSystemOperation*)
{
    return NotOffered(__LINE__, "the global lock");
}

CStatus CArchiveFileSystem::FragmentPropertyOp(CArchiveFileSystemOperation*)
{
    return NotOffered(__LINE__, "fragment properties");
}

CStatus CArchiveFileSystem::RunHandler(std::uint32_t opcode, CArchiveFileSystemOperation* operation)
{
    using Handler = CStatus (CArchiveFileSystem::*)(CArchiveFileSystemOperation*);
    static constexpr Handler handlers[] = {
        &CArchiveFileSystem::AcceptVolume,    &CArchiveFileSystem::RecogniseVolume,
        &CArchiveFileSystem::HandleOpcode3,   &CArchiveFileSystem::WriteUserFile,
        &CArchiveFileSystem::WriteFragment,   &CArchiveFileSystem::PassthroughWrite,
        &CArchiveFileSystem::ReadUserFile,    &CArchiveFileSystem::ReadFragment,
        &CArchiveFileSystem::PassthroughRead, &CArchiveFileSystem::HandleOpcode10,
        &CArchiveFileSystem::GetNextItem,     &CArchiveFileSystem::HandleOpcode12,
        &CArchiveFileSystem::HandleOpcode13,  &CArchiveFileSystem::PassthroughDelete,
        &CArchiveFileSystem::HandleOpcode15,  &CArchiveFileSystem::WriteDirectory,
        &CArchiveFileSystem::HandleOpcode17,  &CArchiveFileSystem::HandleOpcode18,
        &CArchiveFileSystem::HandleOpcode19,  &CArchiveFileSystem::HandleOpcode20,
        &CArchiveFileSystem::GlobalLock,      &CArchiveFileSystem::FragmentPropertyOp,
    };
    if (opcode < 1 || opcode > std::size(handlers))
        return CErrorGenMessage("ArchiveFileSystem", __LINE__, ErrorUnknownState,
                                {FormatParameter("0x%X", opcode)});
    return (this->*handlers[opcode - 1])(operation);
}
