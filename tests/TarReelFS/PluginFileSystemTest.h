// The fixture of a plug-in's file-system object tests: a system of its own in a fresh home folder under
// the temporary folder (removed with all it holds after each test), file systems of `FileSystem` made by the
// plug-in's factory instance, its settings as the database stores them, and operations of `Operation` on a
// volume.
#pragma once

#include "TempFolder.h"

#include "frame/CInstance.h"
#include "vnservice/CArchiveFileSystem.h"
#include "vnservice/CFactory.h"
#include "vnservice/CSystem.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

template <class FileSystem, class Operation> class PluginFileSystemTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(System.Open(Home.string()).IsSuccess());
        Fs = Create();
        ASSERT_TRUE(Fs);
    }

    std::unique_ptr<FileSystem> Create()
    {
        return std::unique_ptr<FileSystem>(static_cast<FileSystem*>(Instance.Create(&System)));
    }

    CVolumePointer AddVolume(CVolumeID id)
    {
        return System.Volumes.Insert(CVolumePointer(new CVolume(&System, id, "tape")));
    }

    // An operation of the opcode on Volume.
    std::unique_ptr<Operation> OperationOf(std::uint32_t opcode)
    {
        std::unique_ptr<Operation> operation(
            static_cast<Operation*>(Fs->CreateOperation({}, {}, Volume, {})));
        operation->Opcode = opcode;
        return operation;
    }

    // The type descriptor that the file system gives while the host's factory holds the plug-in's
    // factory instance under `typeName` (null: while the factory holds nothing).
    CStatus DescriptorWithFactory(const char16_t* typeName, FileSystemTypeDescriptor& descriptor)
    {
        auto* saved = CFactory<CArchiveFileSystem>::Factory;
        CFactory<CArchiveFileSystem> factory;
        CFactory<CArchiveFileSystem>::Factory = &factory;
        Instance.Self = &Instance;
        if (typeName)
            factory.Register(&Instance, typeName);
        CStatus status = Fs->GetTypeDescriptor(0, descriptor);
        CFactory<CArchiveFileSystem>::Factory = saved;
        return status;
    }

    // The settings stored under the owner: key to text.
    std::map<std::string, std::string> Stored(const std::string& owner)
    {
        std::map<std::string, std::string> values;
        CDatabase::CStatement statement;
        EXPECT_TRUE(System.Database.Prepare("SELECT key, value FROM settings WHERE owner = ?1", statement)
                        .IsSuccess());
        statement.Bind(1, owner);
        while (statement.Step())
            values[statement.ColumnText(0)] = statement.ColumnText(1);
        return values;
    }

    TempFolder Temp{"reelfs-fs-"};
    std::filesystem::path Home = Temp.Path() / "home";
    CSystem System;
    CInstance<CArchiveFileSystem, FileSystem> Instance;
    std::unique_ptr<FileSystem> Fs;
    CVolumePointer Volume;
};
