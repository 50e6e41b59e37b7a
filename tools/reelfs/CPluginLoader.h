// Loads the file-system plug-ins: every lib*.so of a folder is opened and its RegisterFactory0711 called,
// which registers the plug-in's factory instance with the host's process-wide factory. Libraries stay
// loaded for the life of the process, since their instances stay registered. Call from one thread,
// before any file system is made.
#pragma once

#include <string>
#include <vector>

class CPluginLoader
{
public:
    struct CResult
    {
        std::vector<std::string> Loaded;   // paths of the plug-ins that registered
        std::vector<std::string> Problems; // one line for each library that did not
    };

    // Loads the plug-ins of `folder` in the order of their names. A library that cannot be opened, has no
    // export or fails to register is reported in Problems; the others load all the same. A folder that
    // cannot be read is one problem.
    static CResult LoadFolder(const std::string& folder);

    // The folder to load from: the one REELFS_PLUGINS names; else lib/reelfs under the prefix of the
    // running program, when it is there (an installed host); else `buildFolder` (a host that runs from
    // its build tree).
    static std::string FindFolder(const std::string& buildFolder);
};
