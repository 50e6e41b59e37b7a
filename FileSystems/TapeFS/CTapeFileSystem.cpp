#include "FileSystems/TapeFS/CTapeFileSystem.h"

#include "FileSystems/TapeFS/CTapeOperation.h"
#include "FileSystems/TapeFS/FileSystemErrors.h"
#include "vnservice/CBlockBuffer.h"
#include "vnservice/CEventLog.h"
#include "vnservice/CFactory.h"
#include "vnservice/CFragmentFile.h"
#include "vnservice/CMedium.h"
#include "vnservice/CSystem.h"
#include "vnservice/ErrorGenerators.h"
#include "vnservice/Opcodes.h"
#include "win/Allocation.h"

CTapeFileSystem::CTapeFileSystem(CSystem* system, CSet<CTraceLoggable, 0>::pointer traceSource,
                                 const CPluginTexts& texts, const char* opsSource)
    : CArchiveFileSystem(system, std::move(traceSource)), Texts(texts), OpsSource(opsSource), System(system)
{
    // The texts only word messages: without memory for them the numbers still format, and the next file
    // system or registration hands them in again.
    static_cast<void>(RegisterFileSystemErrorTexts());
}

std::uint32_t CTapeFileSystem::PostNotice600(std::uint64_t value)
{
    return System->EventSink.Post(EventSource, 0x40080258, value);
}

void CTapeFileSystem::PostNotice601(CVolumePointer volume, std::uint64_t value)
{
    System->EventSink.Post(EventSource, 0x40080259, value);
    volume.release();
}

std::uint32_t CTapeFileSystem::PostNotice602()
{
    System->EventSink.Post(EventSource, 0x4008025A, std::uint64_t{0});
    return 0;
}

std::uint64_t CTapeFileSystem::GetLastWrittenBlock(CMedium* medium)
{
    return medium->LastWrittenBlock;
}

CStatus CTapeFileSystem::SetLastWrittenBlock(CMedium* medium, std::uint64_t block)
{
    return medium->SetLastWrittenBlock(1, block);
}

CStatus CTapeFileSystem::GetBlockParameters(CBlockParameters& record)
{
    record.Flag = 0;
    record.BlockSize = BlockSize;
    record.Reserved = 0;
    return CStatus::Success();
}

std::uint32_t CTapeFileSystem::CheckMediumState(CMedium* medium)
{
    return medium->MediumState == CMedium::StateUsable ? 0 : ErrorMediumState;
}

CStatus CTapeFileSystem::GetTypeDescriptor(std::uint32_t argument, FileSystemTypeDescriptor& descriptor)
{
    auto* factory = CFactory<CArchiveFileSystem>::Factory;
    auto* instance = factory ? factory->Find(Texts.TypeName) : nullptr;
    descriptor.Instance = instance ? instance->Self : nullptr;
    for (auto [field, text] : {std::pair{descriptor.TypeName, Texts.TypeName},
                               std::pair{descriptor.DisplayName, Texts.DisplayName}})
        if (int error = BoundedCopy(field, DescriptorTextUnits, text))
            return CErrorNumber::OsError(OpsSource, __LINE__, static_cast<std::uint32_t>(error));
    descriptor.MediumType = CTapeMedium::Type();
    descriptor.Constant = 1;
    descriptor.HookValue = Hook10(argument);
    if (int error = BoundedCopy(descriptor.DescriptorText, DescriptorTextUnits, Texts.DescriptorText))
        return CErrorNumber::OsError(OpsSource, __LINE__, static_cast<std::uint32_t>(error));
    return CStatus::Success();
}

bool CTapeFileSystem::HandleOperationStatus(COperation* operation, const CStatus& status)
{
    auto* tapeOperation = static_cast<CTapeOperation*>(operation);
    if (tapeOperation->Opcode == OpcodeRecogniseVolume)
    {
        if (tapeOperation->IsAlertFlagSet())
            CEventLog::LogStatus(status);
        tapeOperation->KeptStatus = status;
        return true;
    }
    if (tapeOperation->Opcode == OpcodeReadUserFile && tapeOperation->IsFragmentFileOpen() &&
        tapeOperation->BlockBuffer)
    {
        if (CFragmentFile* file = tapeOperation->BlockBuffer->GetFragmentFile())
            CEventLog::LogStatus(file->SetStatus(status.GetOSStatus(), 0, nullptr, 0, false));
    }
    return false;
}

CStatus CTapeFileSystem::HandleOpcode20(CArchiveFileSystemOperation* operation)
{
    if (operation->State != 0)
        return UnknownState(operation->State, __LINE__);
    std::uint32_t subCode = operation->ItemSubCode();
    if (subCode != SubCodeCompleted7 && subCode != SubCodeCompleted8)
        return CErrorGenMessage(OpsSource, __LINE__, ErrorUnknownState, {FormatParameter("0x%X", subCode)});
    operation->Complete(CStatus::Success(), 0, nullptr);
    return CStatus::Success();
}

CStatus CTapeFileSystem::AcceptVolume(CArchiveFileSystemOperation* operation)
{
    if (operation->State != 0)
        return UnknownState(operation->State, __LINE__);
    // Replica 0, whatever the operation's replica, as recognition marks it when it settles a number.
    SetRecognised(0, true);
    operation->Complete(CStatus::Success(), 0, nullptr);
    return CStatus::Success();
}

CBlockBuffer* CTapeFileSystem::CreateBlockBuffer(std::uint32_t opcode, CMedium* medium)
{
    return NewNoThrow<CBlockBuffer>(System, 512, medium->ReportedBlockSize, GetBlockSize(opcode));
}

CStatus CTapeFileSystem::UnknownState(std::uint32_t state, int line) const
{
    return CErrorGenMessage(OpsSource, line, ErrorUnknownState, {FormatParameter("0x%X", state)});
}

CStatus CTapeFileSystem::NoMedium(const char* source, int line, const CVolume& volume, std::uint32_t replica)
{
    return CErrorGenMessage(source, line, ErrorNoMedium,
                            {volume.GetIDAsString(), FormatParameter("%d", replica)});
}

CStatus CTapeFileSystem::Refuse(CArchiveFileSystemOperation* operation) const
{
    if (operation->State != 0)
        return UnknownState(operation->State, __LINE__);
    return CErrorGenMessage(OpsSource, __LINE__, ErrorRefused);
}
