// A file system for the host's tests that plays a script instead of reading TAR headers. It recognises
// the tapes whose first record begins with "SCRIPT", hands back one item of the script per GetNextItem
// (the scan position is the item's index), and restores a file version by writing the bytes that
// ScriptedContent gives its path and version; like the tape file systems, it finds no file of no bytes.
// Registered under "Scripted"; the script is shared by every object and set by the tests, on the test's
// thread.
#pragma once

#include "FileSystems/TarReelFS/CGenericTarFileSystem.h"

#include <cstdint>
#include <string>
#include <vector>

struct CScriptItem
{
    std::uint32_t Opcode = 4; // 4 file, 16 directory, 20 archive end, 0 label, others ignored
    std::string Name;         // without "0/"
    std::uint64_t Size = 0;   // a file's bytes
    std::uint64_t Time = 0;   // a file's FILETIME
    std::uint32_t OrderKey2 = 1;
    bool Fails = false;       // the operation fails, after filling the item
    bool StandsStill = false; // the scan position does not move on past the item
};

// The bytes of a file version, as the scripted restores write them.
std::string ScriptedContent(const WString& path, std::uint32_t orderKey2, std::uint64_t size);

class CScriptedFileSystem : public CGenericTarFileSystem
{
public:
    static constexpr CPluginTexts Texts = {u"Scripted", u"Scripted", "Scripted", u"0"};
    // The label identifier the first item writes into the catalogue header.
    static constexpr char Label[] = "SCRIPTED LABEL\t1";

    using CGenericTarFileSystem::CGenericTarFileSystem;

    // Registers the type with the host's factory once.
    static void Register();

    WString GetFileSystemType() const override { return Texts.TypeName; }
    CStatus RecogniseVolume(CArchiveFileSystemOperation* operation) override;
    CStatus GetNextItem(CArchiveFileSystemOperation* operation) override;
    CStatus ReadUserFile(CArchiveFileSystemOperation* operation) override;
    CStatus ReadFragment(CArchiveFileSystemOperation* operation) override;

    static inline std::vector<CScriptItem> Script;
    // A restore of this path fails after it has written part of the file.
    static inline WString FailingPath = u"0/fails";
};
