// A fresh folder under the temporary folder for one test or fixture, removed with all it holds when the
// object goes, also when the test fails. Its name is made unique by mkdtemp, so that test programs running
// at once (two build trees, or ctest -j) never share one. Declare it before anything that keeps files open
// in it, so that those close first.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>

class TempFolder
{
public:
    explicit TempFolder(const std::string& prefix)
    {
        std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "XXXXXX")).string();
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("cannot make a folder like " + pattern);
        Folder = pattern;
    }
    ~TempFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(Folder, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& Path() const { return Folder; }
    std::string operator/(const std::string& name) const { return (Folder / name).string(); }

private:
    std::filesystem::path Folder;
};
