// Test programs find the committed fixtures through REELFS_FIXTURES, which CTest sets; a program run by
// hand from the build tree gets the source tree's fixtures folder, unless the variable names another.
#include <cstdlib>

namespace
{
const bool FixturesFolderSet = ::setenv("REELFS_FIXTURES", REELFS_FIXTURES_DIR, 0) == 0;
} // namespace
