#include "CPluginLoader.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <system_error>

namespace
{
using RegisterFunction = std::uint32_t (*)();

// Opens one library and registers its factory; an empty text when that worked.
std::string LoadOne(const std::string& path)
{
    void* library = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library)
    {
        const char* error = ::dlerror();
        return error ? error : path + ": cannot be loaded";
    }
    auto registerFactory = reinterpret_cast<RegisterFunction>(::dlsym(library, "RegisterFactory0711"));
    if (!registerFactory)
    {
        ::dlclose(library);
        return path + ": not a plug-in (no RegisterFactory0711)";
    }
    if (std::uint32_t error = registerFactory())
        return path + ": registration failed with error " + std::to_string(error);
    return {};
}
} // namespace

CPluginLoader::CResult CPluginLoader::LoadFolder(const std::string& folder)
{
    CResult result;
    std::vector<std::string> paths;
    std::error_code error;
    for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end;
         entry.increment(error))
    {
        std::string name = entry->path().filename().string();
        if (name.starts_with("lib") && name.ends_with(".so") && !entry->is_directory())
            paths.push_back(entry->path().string());
    }
    if (error)
    {
        result.Problems.push_back("plug-in folder " + folder + ": " + error.message());
        return result;
    }
    std::sort(paths.begin(), paths.end());
    for (const std::string& path : paths)
    {
        std::string problem = LoadOne(path);
        if (problem.empty())
            result.Loaded.push_back(path);
        else
            result.Problems.push_back(problem);
    }
    return result;
}

std::string CPluginLoader::FindFolder(const std::string& buildFolder)
{
    if (const char* named = std::getenv("REELFS_PLUGINS"); named && *named)
        return named;
    std::error_code error;
    std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error)
    {
        std::filesystem::path installed = program.parent_path().parent_path() / "lib" / "reelfs";
        if (std::filesystem::is_directory(installed, error))
            return installed.string();
    }
    return buildFolder;
}
