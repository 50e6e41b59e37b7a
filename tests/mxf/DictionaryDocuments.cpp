#include "DictionaryDocuments.h"

#include "RecordingDiagnostics.h"
#include "TempFolder.h"

#include "mxf/SymbolSpace.h"

#include <fstream>

namespace mxftest
{

std::string WriteTempFile(const std::string& name, const std::string& text)
{
    static const TempFolder folder("mxfdict");
    const std::string path = folder / name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

mxf::MDTypePtr TypeNamed(const std::string& name)
{
    return mxf::MDType::FindByName(name, mxf::DefaultSymbolSpace(), false);
}

mxf::MDOTypePtr ClassNamed(const std::string& name)
{
    return mxf::MDOType::FindByName(name, mxf::DefaultSymbolSpace(), false);
}

std::vector<std::string> MemberNames(const mxf::MDOTypePtr& type)
{
    return type ? std::vector<std::string>(type->ChildNames().begin(), type->ChildNames().end())
                : std::vector<std::string>{"(no class)"};
}

bool Reported(const std::string& text)
{
    for (const auto& list : {Notes(), Errors()})
        for (const std::string& message : list)
            if (message.find(text) != std::string::npos)
                return true;
    return false;
}

} // namespace mxftest
