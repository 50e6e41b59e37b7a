// Shared pieces of the host's tests: a fresh folder per test with a home folder in it, tapes made from
// fixtures or from a script's magic, runs of the reelfs command line inside the test process with its
// output caught, and the plug-ins loaded once.
#pragma once

#include "CHost.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

struct CRunResult
{
    int Exit = 0;
    std::string Out;
    std::string Err;
};

class HostTest : public ::testing::Test
{
protected:
    void SetUp() override;

    // A tape image in the test folder whose one tape file holds the bytes of `data`.
    std::string MakeTape(const std::string& name, const std::string& data);
    // A tape image of a fixture (a path below the fixtures folder).
    std::string FixtureTape(const std::string& name, const std::string& fixture);
    // A tape that the scripted file system recognises.
    std::string ScriptTape(const std::string& name);

    // Runs reelfs with --home set to the test's home folder, catching what it writes.
    CRunResult Reelfs(std::vector<std::string> args);
    // The same through the program, for what writes to the descriptors themselves: standard output
    // goes to `out` (a file in the test folder when empty, and then caught). A limit (KiB) bounds the
    // program's address space.
    CRunResult Program(const std::vector<std::string>& args, const std::string& out = "",
                       std::size_t addressSpaceKiB = 0);

    TempFolder Temp{"reelfs-host-"};
    std::filesystem::path Folder = Temp.Path();
    std::string Home;
};

std::string ReadFile(const std::filesystem::path& path);
// The text's lines, without their line feeds.
std::vector<std::string> Lines(const std::string& text);
