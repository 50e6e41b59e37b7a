#include "FileSystems/TarFile/CGenericTarFragment.h"

#include <gtest/gtest.h>

namespace
{
TEST(GenericTarFragment, names_the_catalogue_path_and_its_one_extent)
{
    CGenericTarFragment fragment;
    EXPECT_EQ(fragment.SegmentIndex, 0u);
    EXPECT_EQ(fragment.OrderKey1, 0xFFFFFFFFu);
    EXPECT_EQ(fragment.OrderKey2, 0xFFFFFFFFu);
    fragment.Name = CFileName(u"dir/file");
    fragment.Size = 1234;
    fragment.StartPosition = 99;
    EXPECT_EQ(fragment.GetFileName().GetText(), u"0/dir/file");
    std::uint64_t offset = 7, size = 0, position = 0, reserved = 7;
    std::uint32_t count = 0;
    EXPECT_TRUE(fragment.GetExtent(5, offset, size, count, position, reserved));
    EXPECT_EQ(offset, 0u);
    EXPECT_EQ(size, 1234u);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(position, 99u);
    EXPECT_EQ(reserved, 0u);
}
} // namespace
