#include "CatalogueTestSupport.h"

#include "frame/CCatArchive.h"
#include "frame/CCatExtent.h"

#include <cstdlib>
#include <fstream>

namespace
{
std::vector<WString> ListedPaths()
{
    const char* fixtures = std::getenv("REELFS_FIXTURES");
    std::ifstream listing(std::string(fixtures ? fixtures : "") + "/gnutar/usr_share_doc_listing.txt");
    std::vector<WString> paths;
    for (std::string line; std::getline(listing, line);)
        if (!line.empty())
            paths.push_back(W("0/" + line));
    return paths;
}
} // namespace

TEST_F(CatalogueTest, listing_of_a_real_tree_gets_exactly_its_directories_and_survives_reopen)
{
    std::vector<WString> paths = ListedPaths();
    ASSERT_GT(paths.size(), 1000u);
    std::uint64_t position = 0;
    for (const WString& path : paths)
    {
        // As a scan enters a member: its extent first, then the file version.
        CCatExtent extent(position + 1, path, 2, 0, 0, 1);
        ASSERT_EQ(List->Append(extent), 0u);
        CCatArchive archive(position, path, 1024, 0, 0, 0, 1);
        ASSERT_EQ(List->Append(archive), 0u);
        position += 3;
    }
    ExpectConsistentCatalogue(*List, paths);
    std::vector<CWalkedRecord> before = Walk(*List, 1);
    Reopen();
    ExpectConsistentCatalogue(*List, paths);
    std::vector<CWalkedRecord> after = Walk(*List, 1);
    ASSERT_EQ(after.size(), before.size());
    for (std::size_t i = 0; i < after.size(); ++i)
        ASSERT_EQ(after[i].Offset, before[i].Offset) << i;
}
