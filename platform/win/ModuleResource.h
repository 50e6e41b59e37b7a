// Module resources: the data files that a plug-in module carries (RCDATA resources by id), found in the
// calling module's own table. The table is generated at build time from the module's resource files and is
// constant, so lookups are thread-safe.
#pragma once

#include <cstddef>

struct ModuleResource
{
    unsigned Id;
    const unsigned char* Bytes;
    std::size_t Size;
};

// Defined by each module that has resources, in its generated resource source; ended by an entry of id 0.
// Hidden symbols keep every module's table its own.
extern const ModuleResource ModuleResourceTable[];

// The resource of that id in this module, or null when it has none.
inline const ModuleResource* FindModuleResource(unsigned id)
{
    for (const ModuleResource* resource = ModuleResourceTable; resource->Id != 0; ++resource)
        if (resource->Id == id)
            return resource;
    return nullptr;
}
