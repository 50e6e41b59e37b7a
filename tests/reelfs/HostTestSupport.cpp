#include "HostTestSupport.h"

#include "CPluginLoader.h"
#include "Command.h"
#include "ScriptedFileSystem.h"

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <unistd.h>

void HostTest::SetUp()
{
    static const bool loaded = []
    {
        CPluginLoader::LoadFolder(REELFS_PLUGIN_DIR);
        CScriptedFileSystem::Register();
        return true;
    }();
    (void)loaded;
    Home = (Folder / "home").string();
}

std::string HostTest::MakeTape(const std::string& name, const std::string& data)
{
    std::filesystem::path content = Folder / (name + ".data");
    std::ofstream(content, std::ios::binary) << data;
    std::string image = (Folder / (name + ".tap")).string();
    CRunResult made = Reelfs({"mktape", "-o", image, content.string()});
    EXPECT_EQ(made.Exit, 0) << made.Err;
    return image;
}

std::string HostTest::FixtureTape(const std::string& name, const std::string& fixture)
{
    return MakeTape(name, ReadFile(std::filesystem::path(std::getenv("REELFS_FIXTURES")) / fixture));
}

std::string HostTest::ScriptTape(const std::string& name)
{
    return MakeTape(name, "SCRIPT");
}

CRunResult HostTest::Reelfs(std::vector<std::string> args)
{
    args.insert(args.begin(), {"--home", Home});
    std::ostringstream out, err;
    std::streambuf* savedOut = std::cout.rdbuf(out.rdbuf());
    std::streambuf* savedErr = std::cerr.rdbuf(err.rdbuf());
    int exit = reelfs::Main(args);
    std::cout.rdbuf(savedOut);
    std::cerr.rdbuf(savedErr);
    return {exit, out.str(), err.str()};
}

CRunResult HostTest::Program(const std::vector<std::string>& args, const std::string& out,
                             std::size_t addressSpaceKiB)
{
    auto quoted = [](const std::string& text)
    {
        std::string result = "'";
        for (char c : text)
            result += c == '\'' ? std::string("'\\''") : std::string(1, c);
        return result + "'";
    };
    const std::string outPath = out.empty() ? (Folder / "program.out").string() : out;
    const std::string errPath = (Folder / "program.err").string();
    std::string command = quoted(REELFS_PROGRAM) + " --home " + quoted(Home);
    if (addressSpaceKiB)
        command = "ulimit -v " + std::to_string(addressSpaceKiB) + " && exec " + command;
    for (const std::string& arg : args)
        command += " " + quoted(arg);
    command += " >" + quoted(outPath) + " 2>" + quoted(errPath);
    const int status = std::system(command.c_str());
    return {WEXITSTATUS(status), out.empty() ? ReadFile(outPath) : "", ReadFile(errPath)};
}

std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}
