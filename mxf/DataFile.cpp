#include "mxf/DataFile.h"

#include <cstdlib>
#include <filesystem>
#include <mutex>

namespace mxf
{

namespace
{

struct DataDirectory
{
    std::mutex Lock;
    std::string Setting = "~";
};

DataDirectory& Directory()
{
    static auto* directory = new DataDirectory;
    return *directory;
}

bool Exists(const std::string& path)
{
    std::error_code error;
    return std::filesystem::exists(path, error);
}

bool IsPathOfItsOwn(std::string_view name)
{
    return name.starts_with('/') || name.starts_with('\\') || name.starts_with("./") ||
           name.starts_with("../") || name.starts_with(".\\") || name.starts_with("..\\") ||
           (name.size() > 1 && name[1] == ':');
}

} // namespace

std::string GetDataDirectorySetting()
{
    DataDirectory& directory = Directory();
    std::lock_guard guard(directory.Lock);
    return directory.Setting;
}

void SetDataDirectorySetting(std::string setting)
{
    DataDirectory& directory = Directory();
    std::lock_guard guard(directory.Lock);
    directory.Setting = std::move(setting);
}

std::string FindDataFile(std::string_view name)
{
    std::string list;
    {
        DataDirectory& directory = Directory();
        std::lock_guard guard(directory.Lock);
        if (directory.Setting == "~")
        {
            const char* fromEnvironment = std::getenv("MXF_DATA_DIR");
            directory.Setting = fromEnvironment ? fromEnvironment : "./";
        }
        list = directory.Setting;
    }
    return SearchPathList(list, name);
}

std::string SearchPathList(std::string_view list, std::string_view name)
{
    if (list.empty() || IsPathOfItsOwn(name))
    {
        std::string path(name);
        return Exists(path) ? path : std::string();
    }
    while (!list.empty())
    {
        const std::size_t separator = list.find(';');
        const std::string_view entry = list.substr(0, separator);
        list.remove_prefix(separator == std::string_view::npos ? list.size() : separator + 1);
        if (entry.empty())
            continue;
        std::string path(entry);
        if (!path.ends_with('/') && !path.ends_with('\\'))
            path += '/';
        path += name;
        if (Exists(path))
            return path;
    }
    return {};
}

} // namespace mxf
