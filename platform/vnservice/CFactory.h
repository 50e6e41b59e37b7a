// The host's process-wide factory of file systems. Plug-ins register one instance each under their type
// name; the host creates file systems through the instance found by name. The factory is made by the
// first library that needs it and lives until the process ends. Registration and lookup happen on one
// thread at a time (the host loads plug-ins before it runs operations).
#pragma once

#include "win/WideString.h"

#include <map>
#include <vector>

class CArchiveFileSystem;
class CSystem;

template <class T> class CFactory;

template <> class CFactory<CArchiveFileSystem>
{
public:
    class Instance
    {
    public:
        virtual ~Instance() = default;
        virtual CArchiveFileSystem* Create(CSystem* system) = 0;
        Instance* Self = nullptr;
    };

    // Null until some library constructs the factory.
    static CFactory* Factory;

    // Appends to the lists; the maps keep the first entry for a key. A null name registers as "" in the
    // list of names and not at all in the name map.
    void Register(Instance* instance, const char16_t* name);

    // The instance registered first under the name, or null.
    Instance* Find(WStringView name) const;

    std::vector<Instance*> Instances;
    std::vector<WString> TypeNames;
    std::map<const Instance*, Instance*> InstanceMap;
    std::map<WString, Instance*> NameMap; // code-unit order, case-sensitive
};
