#include "win/CodePage.h"
#include "win/WinError.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace
{
TEST(CodePages, threads_convert_at_once_each_getting_its_own_text)
{
    // Each thread converts its own names in every code page and direction, over and over.
    const std::vector<WString> names = {u"caf\u00E9", u"\u00E9t\u00E9/\u00A2", u"\u00FC\u00F1\u00EE"};
    std::vector<std::thread> threads;
    std::vector<int> faults(names.size(), 0);
    for (std::size_t t = 0; t < names.size(); ++t)
        threads.emplace_back(
            [&, t]
            {
                for (int round = 0; round < 500; ++round)
                    for (unsigned codePage : {CP_UTF8, CP_OEMCP, CP_UTF7})
                    {
                        std::string bytes;
                        WString back;
                        if (WideToMultiByte(codePage, names[t], bytes) != ERROR_SUCCESS ||
                            MultiByteToWide(codePage, bytes, back) != ERROR_SUCCESS || back != names[t])
                            ++faults[t];
                    }
            });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(faults, std::vector<int>(names.size(), 0));
}
} // namespace
