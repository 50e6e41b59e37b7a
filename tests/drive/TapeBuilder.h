// Builds small tape images for the tests: files of records, each file closed by a mark. Record bytes
// are a pattern of the record's index and offset, so a test can tell which bytes it got.
#pragma once

#include "vnservice/CTapeImageWriter.h"
#include "vnservice/CTapeMedium.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

inline std::uint8_t PatternByte(std::size_t record, std::size_t offset)
{
    return static_cast<std::uint8_t>(record * 31 + offset * 7 + offset / 256);
}

// `layout` holds one length per record and 0 for a mark.
inline std::string BuildTape(const std::string& name, const std::vector<std::uint32_t>& layout)
{
    auto path = (std::filesystem::temp_directory_path() /
                 ("reelfs-drive-" + name + "-" + std::to_string(::getpid()) + ".tap"))
                    .string();
    CTapeImageWriter writer;
    EXPECT_TRUE(writer.Begin(path).IsSuccess());
    std::size_t record = 0;
    for (std::uint32_t length : layout)
    {
        if (length == 0)
        {
            EXPECT_TRUE(writer.WriteMark().IsSuccess());
            ++record;
            continue;
        }
        std::vector<std::uint8_t> bytes(length);
        for (std::size_t i = 0; i < length; ++i)
            bytes[i] = PatternByte(record, i);
        EXPECT_TRUE(writer.WriteRecord(bytes.data(), length).IsSuccess());
        ++record;
    }
    EXPECT_TRUE(writer.Finish().IsSuccess());
    return path;
}
