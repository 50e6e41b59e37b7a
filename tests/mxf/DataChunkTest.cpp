#include "mxf/DataChunk.h"

#include <gtest/gtest.h>

#include <cstring>

namespace
{

TEST(DataChunks, resize_allocates_in_granularity_steps_and_keeps_the_bytes)
{
    struct Step
    {
        std::uint64_t Size;
        std::uint64_t Allocated;
        bool SameBuffer;
    };
    struct Case
    {
        std::uint64_t Granularity;
        std::vector<Step> Steps;
    };
    const Case cases[] = {
        {32, {{1, 32, false}, {33, 64, false}, {2, 64, true}, {64, 64, true}, {65, 96, false}}},
        {0, {{1, 1, false}, {33, 33, false}, {0, 33, true}, {33, 33, true}}},
        {0x10000, {{10, 0x10000, false}, {0x10001, 0x20000, false}}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Granularity);
        mxf::DataChunk chunk;
        chunk.SetGranularity(c.Granularity);
        chunk.Resize(0);
        EXPECT_EQ(chunk.Data(), nullptr);
        bool marked = false;
        for (const Step& step : c.Steps)
        {
            const std::uint8_t* before = chunk.Data();
            chunk.Resize(step.Size);
            EXPECT_EQ(chunk.Size(), step.Size);
            EXPECT_EQ(chunk.Allocated(), step.Allocated);
            if (before)
            {
                EXPECT_EQ(chunk.Data() == before, step.SameBuffer);
            }
            if (marked && step.Size > 0)
            {
                EXPECT_EQ(chunk.Data()[0], 0xa5);
            }
            if (!marked && step.Size > 0)
            {
                chunk.Data()[0] = 0xa5;
                marked = true;
            }
        }
    }
}

TEST(DataChunks, copy_and_hex_text)
{
    mxf::DataChunkPtr original = new mxf::DataChunk(4);
    const std::uint8_t bytes[] = {0x06, 0x0e, 0x2b, 0x34};
    std::memcpy(original->Data(), bytes, 4);
    original->Resize(3);

    const mxf::DataChunk copy(original);
    EXPECT_EQ(copy.Size(), 3u);
    EXPECT_NE(copy.Data(), original->Data());
    EXPECT_EQ(copy.GetString(), "06 0e 2b");
    EXPECT_EQ(mxf::DataChunk().GetString(), "");
    EXPECT_EQ(mxf::DataChunk(mxf::DataChunkPtr()).Size(), 0u);
}

} // namespace
