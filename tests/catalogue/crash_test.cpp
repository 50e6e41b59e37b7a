#include "CatalogueTestSupport.h"

#include "frame/CCatArchive.h"
#include "frame/CCatExtent.h"

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace
{
constexpr int Batch = 400;

WString PathOf(int i)
{
    return W("0/d" + std::to_string(i % 31) + "/s" + std::to_string(i % 7) + "/f" + std::to_string(i));
}

// The child: appends file versions without end, committing after every batch and then telling the
// parent how many versions are committed.
[[noreturn]] void AppendUntilKilled(const std::string& database, int report)
{
    CDatabase db;
    CFileListInternal* list = nullptr;
    if (db.Open(database).Failed() || CCatalogueList::Open(db, "volume", true, list) != 0)
        _exit(2);
    for (int i = 0;; ++i)
    {
        CCatExtent extent(2 * i + 1, PathOf(i), 1, 0, 0, 1);
        CCatArchive archive(2 * i, PathOf(i), 512, 0, 0, 0, 1);
        if (list->Append(extent) != 0 || list->Append(archive) != 0)
            _exit(3);
        if ((i + 1) % Batch == 0)
        {
            if (list->Commit() != 0)
                _exit(4);
            int committed = i + 1;
            if (write(report, &committed, sizeof committed) != sizeof committed)
                _exit(5);
        }
    }
}
} // namespace

TEST(CatalogueCrash, killed_appender_leaves_the_catalogue_of_its_last_commit)
{
    CTempHome home;
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0)
    {
        close(pipeEnds[0]);
        AppendUntilKilled(home.DatabasePath(), pipeEnds[1]);
    }
    close(pipeEnds[1]);
    int reported = 0;
    for (int reports = 0; reports < 5;)
    {
        int committed = 0;
        ASSERT_EQ(read(pipeEnds[0], &committed, sizeof committed), static_cast<ssize_t>(sizeof committed));
        reported = committed;
        ++reports;
    }
    // Let it run into the next batch, then kill it in the middle of its appends.
    usleep(20000);
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the child ended by itself with " << WEXITSTATUS(status);
    for (int committed = 0; read(pipeEnds[0], &committed, sizeof committed) == sizeof committed;)
        reported = committed;
    close(pipeEnds[0]);

    CDatabase db;
    ASSERT_TRUE(db.Open(home.DatabasePath()).IsSuccess());
    CFileListInternal* list = nullptr;
    ASSERT_EQ(CCatalogueList::Open(db, "volume", false, list), 0u);
    ASSERT_TRUE(list->IsOpen());
    std::vector<WString> paths;
    for (const CWalkedRecord& record : Walk(*list, 0))
        paths.push_back(record.Path);
    // Whole batches only: at least the last one reported, at most one more that committed unreported.
    EXPECT_EQ(paths.size() % Batch, 0u);
    EXPECT_GE(paths.size(), static_cast<std::size_t>(reported));
    EXPECT_LE(paths.size(), static_cast<std::size_t>(reported + Batch));
    for (std::size_t i = 0; i < paths.size(); ++i)
        ASSERT_EQ(paths[i], PathOf(static_cast<int>(i)));
    ExpectConsistentCatalogue(*list, paths);
    delete list;
}
