#include "vnservice/CFactory.h"

CFactory<CArchiveFileSystem>* CFactory<CArchiveFileSystem>::Factory = nullptr;

void CFactory<CArchiveFileSystem>::Register(Instance* instance, const char16_t* name)
{
    Instances.push_back(instance);
    TypeNames.push_back(name ? WString(name) : WString());
    InstanceMap.emplace(instance->Self, instance);
    if (name)
        NameMap.emplace(WString(name), instance);
}

CFactory<CArchiveFileSystem>::Instance* CFactory<CArchiveFileSystem>::Find(WStringView name) const
{
    auto found = NameMap.find(WString(name));
    return found == NameMap.end() ? nullptr : found->second;
}
