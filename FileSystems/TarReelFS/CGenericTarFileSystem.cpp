#include "FileSystems/TarReelFS/CGenericTarFileSystem.h"

#include "FileSystems/TapeFS/FileSystemErrors.h"
#include "FileSystems/TarReelFS/CGenericTarFileSystemOperation.h"
#include "FileSystems/TarReelFS/CGenericTarGetOperationContext.h"
#include "vnservice/CSystem.h"
#include "vnservice/ErrorGenerators.h"
#include "vnservice/HostErrors.h"
#include "win/Allocation.h"

namespace
{
constexpr char Source[] = "GenericTar";
constexpr char16_t KeyStandard[] = u"Standard";
constexpr char16_t KeyBlockSize[] = u"BlockSize";
constexpr char16_t KeyNextVolume[] = u"NextVolume";
constexpr std::uint32_t UiNextVolumeSet = 0x9719C;
constexpr std::uint32_t UiNextVolumeCleared = 0x93194;
} // namespace

template class CTapeFileSystemKinds<CGenericTarFileSystem, CTapeFileSystem, CGenericTarFileSystemOperation,
                                    CGenericTarGetOperationContext, CGenericTarReplicationContext>;

CGenericTarFileSystem::CGenericTarFileSystem(CSystem* system, CSet<CTraceLoggable, 0>::pointer traceSource)
    : CGenericTarFileSystemKinds(system, std::move(traceSource), Texts, "GenericTarOps")
{
}

CStatus CGenericTarFileSystem::Save(CSystem* system, CPersistanceEngine::CNode& node)
{
    CStatus status = CTapeFileSystem::Save(system, node);
    if (status.IsSuccess() && (Standard == 1 || Standard == 2))
        status = node.WriteText(KeyStandard, Standard == 1 ? u"Posix" : u"GNU");
    if (status.IsSuccess())
        status = node.WriteNumber(KeyBlockSize, BlockSize);
    if (status.IsSuccess() && IsNextVolumeSet())
        status = node.WriteString(KeyNextVolume, NextVolume.ToWideString());
    return status;
}

CStatus CGenericTarFileSystem::Load(CSystem* system, CPersistanceEngine::CNode& node)
{
    CStatus status = CTapeFileSystem::Load(system, node);
    if (status.IsSuccess() && node.HasValue(KeyStandard))
    {
        WString text;
        status = node.ReadString(KeyStandard, text);
        if (status.IsSuccess())
        {
            if (EqualsNoCase(text, u"Posix"))
                Standard = 1;
            else if (EqualsNoCase(text, u"GNU"))
                Standard = 2;
            else
                status = CErrorGenFileSystem(Source, __LINE__, ErrorUnknownStandard, VolumeID,
                                             {WideParameter(text)});
        }
    }
    if (status.IsSuccess())
        status = node.ReadNumber(KeyBlockSize, BlockSize);
    if (status.IsSuccess() && node.HasValue(KeyNextVolume))
    {
        WString text;
        status = node.ReadString(KeyNextVolume, text);
        if (status.IsSuccess())
            status = CVolumeID::FromString(text, NextVolume);
    }
    return status;
}

CStatus CGenericTarFileSystem::CountProperties(std::uint32_t& count)
{
    CStatus status = CTapeFileSystem::CountProperties(count);
    if (status.IsSuccess() && IsNextVolumeSet())
        ++count;
    return status;
}

CStatus CGenericTarFileSystem::EnumerateProperties(const CPropertyRecord& model, std::size_t& remainingBytes,
                                                   CPropertyRecord*& cursor)
{
    CStatus status = CTapeFileSystem::EnumerateProperties(model, remainingBytes, cursor);
    if (status.IsSuccess() && remainingBytes >= sizeof(CPropertyRecord) && IsNextVolumeSet())
    {
        *cursor = CPropertyRecord{};
        cursor->Kind = 2;
        cursor->Access = model.Access;
        cursor->Group = model.Group;
        cursor->Flag = 0;
        BoundedCopy(cursor->Name, PropertyNameUnits, KeyNextVolume);
        ++cursor;
        remainingBytes -= sizeof(CPropertyRecord);
    }
    return status;
}

CStatus CGenericTarFileSystem::GetProperty(const CPropertyValue& property, CVariant& value)
{
    if (EqualsNoCase(property.GetName(), KeyNextVolume) && IsNextVolumeSet())
        return GetPropertyValue(NextVolume.ToWideString(), value);
    return CTapeFileSystem::GetProperty(property, value);
}

CStatus CGenericTarFileSystem::UpdateProperty(CPropertyValue& value, bool flag)
{
    WStringView name = value.Kind == 8 ? WStringView() : value.GetName();
    if (!EqualsNoCase(name, KeyNextVolume))
        return CTapeFileSystem::UpdateProperty(value, flag);

    WString kept = NextVolume.ToWideString();
    WString text;
    CStatus status;
    CVariant variant = GetPropertyValue(value);
    if (!variant)
    {
        NextVolume = CVolumeID();
        text = NextVolume.ToWideString();
    }
    else
    {
        status = UpdatePropertyValue(variant, text);
        CVolumeID id;
        if (status.IsSuccess())
            status = CVolumeID::FromString(text, id);
        if (status.IsSuccess())
        {
            if (System->Volumes.Find(id))
                NextVolume = id;
            else
                status = CErrorGenMessage(Source, __LINE__, ErrorNoSuchVolume, {WideParameter(text)});
        }
    }
    if (status.IsSuccess() && !EqualsNoCase(text, kept))
        status = UIObject->SaveAndUpdateUI(IsNextVolumeSet() ? UiNextVolumeSet : UiNextVolumeCleared);
    value.Variant.reset();
    return status;
}
