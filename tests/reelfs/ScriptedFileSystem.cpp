#include "ScriptedFileSystem.h"

#include "FileSystems/TarReelFS/CGenericTarGetOperationContext.h"
#include "frame/CCatalogueHeader.h"
#include "frame/PluginRegistration.h"
#include "pagelist/CFileListInternal.h"
#include "vnservice/CFragmentFile.h"
#include "vnservice/CVantrelFragmentImpl.h"
#include "vnservice/ErrorGenerators.h"
#include "vnservice/HostErrors.h"

#include <cstring>

namespace
{
CStatus ScriptFailure(int line)
{
    return CErrorGenMessage("Scripted", line, HostErrorDrive, {"the script fails here"});
}
} // namespace

std::string ScriptedContent(const WString& path, std::uint32_t orderKey2, std::uint64_t size)
{
    std::string unit = WideParameter(path) + "#" + std::to_string(orderKey2) + "\n";
    std::string content;
    while (content.size() < size)
        content += unit;
    content.resize(size);
    return content;
}

void CScriptedFileSystem::Register()
{
    CPluginRegistration<CScriptedFileSystem>::Register();
}

CStatus CScriptedFileSystem::RecogniseVolume(CArchiveFileSystemOperation* operation)
{
    auto& volume = *static_cast<CVolume*>(operation->TargetResource);
    auto* tape = dynamic_cast<CTapeMedium*>(volume.GetReplica(0).get());
    char magic[6] = {};
    if (tape && tape->GetImage().GetEntryCount() > 0 &&
        tape->GetImage().Read(0, 0, magic, sizeof magic).IsSuccess() &&
        std::memcmp(magic, "SCRIPT", sizeof magic) == 0)
    {
        tape->LastWrittenBlock = Script.size();
        volume.SetID(CVolumeID(CVolumeSetID(CSystemID(), 99), 7));
        SetRecognised(0, true);
    }
    operation->Complete(CStatus::Success(), 0, nullptr);
    return CStatus::Success();
}

CStatus CScriptedFileSystem::GetNextItem(CArchiveFileSystemOperation* operation)
{
    auto& context = *static_cast<CGenericTarGetOperationContext*>(operation->ScanContext());
    if (context.ScanPosition == 0)
    {
        CCatalogueHeader header{};
        operation->ScanCatalogue()->GetUserHeader(&header, sizeof header);
        std::memcpy(header.ReplicaSlot[0].LabelId, Label, sizeof Label - 1);
        operation->ScanCatalogue()->SetUserHeader(&header, sizeof header);
    }
    const CScriptItem& step = Script[context.ScanPosition];
    context.ItemStart = step.StandsStill ? context.ScanPosition : context.ScanPosition++;
    CArchiveFileSystemOperation& item = context.ItemOperation;
    item.Opcode = step.Opcode;
    item.ClearParameters();
    if (step.Opcode == 4)
    {
        auto* fragment = new CLocalFragmentFile(System);
        fragment->ConstructFromCatalogue(CFileName(Texts.TypeName),
                                         {CFileName(u"0/" + WidenAscii(step.Name)), context.ItemStart,
                                          step.Size, step.Time, 0, 0, step.OrderKey2});
        item.SetItemFragment(fragment);
        item.ItemFileSize() = step.Size;
        item.ItemFileStart() = context.ItemStart;
    }
    else if (step.Opcode == 16)
        item.AnchoredFileName = CFileName(WidenAscii(step.Name));
    if (step.Fails)
        return ScriptFailure(__LINE__);
    operation->Complete(CStatus::Success(), 0, nullptr);
    return CStatus::Success();
}

CStatus CScriptedFileSystem::ReadUserFile(CArchiveFileSystemOperation* operation)
{
    auto& file = *static_cast<CFragmentFile*>(operation->UserFragment());
    // As the tape file systems do: a file without data has no extents to be found.
    if (file.Size == 0)
        return CErrorGenMessage("Scripted", __LINE__, 0xC0000813, {file.GetCatalogueFileName().ToUtf8()});
    std::string content = ScriptedContent(file.GetCatalogueFileName().GetText(), file.OrderKey2, file.Size);
    CStatus status = file.Prepare(true, 0, 0);
    if (status.IsSuccess())
        status = file.SetSize(file.Size);
    if (status.IsSuccess())
        status = file.SetTime(file.Time);
    const bool fails = file.GetCatalogueFileName().GetText() == FailingPath;
    if (status.IsSuccess())
        status = file.Write(0, reinterpret_cast<const std::uint8_t*>(content.data()),
                            fails ? content.size() / 2 : content.size());
    if (status.IsSuccess() && fails)
        status = ScriptFailure(__LINE__);
    if (status.IsSuccess())
        operation->Complete(status, 0, nullptr);
    return status;
}

CStatus CScriptedFileSystem::ReadFragment(CArchiveFileSystemOperation* operation)
{
    auto& fragment = *operation->SourceFragment();
    std::string content = ScriptedContent(fragment.GetFileName().GetText(), fragment.OrderKey2,
                                          operation->FragmentOffset() + fragment.Stream.Length);
    CStatus status = fragment.Stream.Write(reinterpret_cast<const std::uint8_t*>(content.data()) +
                                               operation->FragmentOffset(),
                                           fragment.Stream.Length);
    if (status.IsSuccess())
        operation->Complete(status, 0, nullptr);
    return status;
}
