// A host for the tests of a tape file system's handlers: a system in a temporary home, tape images made
// from TAR archives (and whatever else a layout puts on tape), volumes recognised and scanned the way the
// host does it (each file item becomes a file record of the catalogue), and restores of whole files and
// byte ranges into memory. Each plug-in's fixture says which file system reads its volumes.
#pragma once

#include "../TarFile/TarTestSupport.h"
#include "FileSystems/TapeFS/CTapeFileSystem.h"
#include "frame/CCatalogueListStore.h"
#include "frame/CInstance.h"
#include "vnservice/CSystem.h"

#include "TempFolder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

// A fixture file of tests/fixtures.
Bytes ReadFixture(const std::string& relative);
// Writes a tape image: each file cut into records of `block` bytes (the last one zero-padded) and
// followed by a file mark, the last one too unless `markAfterLast` is false (data that end the image).
void WriteTape(const std::string& path, std::uint32_t block, const std::vector<Bytes>& files,
               bool markAfterLast = true);
// A fixture listing of tests/fixtures.
std::vector<tartest::Listed> ReadListing(const std::string& relative);
// Gives the header block at `block` a valid checksum again after a test changed it.
void FixChecksum(std::uint8_t* block);

// What one scan operation handed back.
struct ScanItem
{
    std::uint32_t Opcode;
    std::string Name; // the anchored name of a file or directory
    std::uint64_t Position;
    std::uint64_t Size;
    std::uint64_t Counter;
};

class TapeFixture : public ::testing::Test
{
protected:
    // A file system of the plug-in under test, made by its factory instance for the system.
    virtual CTapeFileSystem* CreateFileSystem() = 0;

    void SetUp() override;
    void TearDown() override;

    // A tape holding each file as one tape file of `block`-byte records, each followed by a mark (the
    // last one unless `markAfterLast` is false).
    CVolumePointer Mount(const std::vector<Bytes>& files, std::uint32_t block = 10240,
                         bool markAfterLast = true);
    // Runs recognition with a file system of the volume's own; the volume then joins the system.
    CStatus Recognise(const CVolumePointer& volume);
    // Runs GetNextItem until the end of the data or a failure, cataloguing each file item.
    CStatus Scan(const CVolumePointer& volume, std::vector<ScanItem>* items = nullptr);
    // Mount, recognise and scan; the scan must succeed.
    CVolumePointer MountAndScan(const std::vector<Bytes>& archives, std::uint32_t block = 10240);

    // The file records of the volume's catalogue, in index 1 order.
    struct FileRecord
    {
        std::string Path;
        std::uint64_t Size;
        std::uint64_t FileTime;
        std::uint64_t Position;
        std::uint32_t OrderKey2;
    };
    std::vector<FileRecord> Files(const CVolumePointer& volume);

    // Restores the newest version of the path (or the one of `orderKey2`) into `out`.
    CStatus Restore(const CVolumePointer& volume, const std::string& path, Bytes& out,
                    std::uint32_t orderKey2 = 0, bool early = false);
    // Restores `length` bytes from `offset` of the newest version of the path into `out`.
    CStatus RestoreRange(const CVolumePointer& volume, const std::string& path, std::uint64_t offset,
                         std::uint64_t length, Bytes& out);

    // The volume's file system, made when it has none yet.
    CTapeFileSystem& TapeFileSystemOf(const CVolumePointer& volume);
    // The members of an archive as GNU tar extracts them: name to bytes.
    std::map<std::string, Bytes> ExtractWithTar(const std::vector<std::string>& archives);

    // Runs an operation of the opcode on the volume's file system, the parameters filled by `fill`.
    CStatus RunOperation(const CVolumePointer& volume, std::uint32_t opcode,
                         const std::function<void(CArchiveFileSystemOperation&)>& fill);

    TempFolder Temp{"reelfs-tartape-"};
    std::filesystem::path Base = Temp.Path();
    CSystem System;
    CCatalogueListStore Store{System.Database};
    std::vector<std::unique_ptr<CTapeFileSystem>> FileSystems;
    std::vector<CVolumePointer> Volumes;
    // The result status of the last operation run, as its caller saw it.
    COperationStatus LastResult;
    int Tapes = 0;

private:
    bool FindNewest(const CVolumePointer& volume, const std::string& path, std::uint32_t orderKey2,
                    FileRecord& record);
};

// The fixture of one plug-in's handler tests: volumes read by file systems of `FileSystem`, made by its
// factory instance.
template <class FileSystem> class PluginTape : public TapeFixture
{
protected:
    CTapeFileSystem* CreateFileSystem() override
    {
        return static_cast<FileSystem*>(Instance.Create(&System));
    }

    FileSystem& FileSystemOf(const CVolumePointer& volume)
    {
        return static_cast<FileSystem&>(TapeFileSystemOf(volume));
    }

    CInstance<CArchiveFileSystem, FileSystem> Instance;
};
