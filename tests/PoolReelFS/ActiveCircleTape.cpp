#include "ActiveCircleTape.h"

#include "vnservice/CTapeImageWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>

namespace actest
{
std::string Label(std::string_view line1, std::string_view line2, std::string_view line3)
{
    return std::string(line1) + "\r\n" + std::string(line2) + "\r\n" + std::string(line3);
}

Bytes LabelBlock(std::string_view text, std::uint32_t block)
{
    Bytes bytes(std::max<std::size_t>(block, text.size()), 0);
    std::memcpy(bytes.data(), text.data(), text.size());
    return bytes;
}

Bytes ReadFixture(const std::string& relative)
{
    std::ifstream in(std::string(std::getenv("REELFS_FIXTURES")) + "/" + relative, std::ios::binary);
    EXPECT_TRUE(in) << relative;
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteTape(const std::string& path, std::uint32_t block, const std::vector<Bytes>& files)
{
    CTapeImageWriter writer;
    ASSERT_TRUE(writer.Begin(path).IsSuccess());
    for (const Bytes& file : files)
    {
        for (std::size_t at = 0; at < file.size(); at += block)
        {
            Bytes record(block, 0);
            std::memcpy(record.data(), file.data() + at, std::min<std::size_t>(block, file.size() - at));
            ASSERT_TRUE(writer.WriteRecord(record.data(), block).IsSuccess());
        }
        ASSERT_TRUE(writer.WriteMark().IsSuccess());
    }
    ASSERT_TRUE(writer.Finish().IsSuccess());
}

void WriteActiveCircleTape(const std::string& path, std::uint32_t block, std::string_view label)
{
    WriteTape(path, block, {LabelBlock(label, block), ReadFixture("gnutar/ustar.tar")});
}

void PinTimeZone()
{
    ::setenv("TZ", "EST5", 1);
    ::tzset();
}
} // namespace actest
