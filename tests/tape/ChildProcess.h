// Runs a piece of a test in a child process, so that a signal or an abort ends the child and is seen by
// the test instead of ending it, optionally with the child's address space limited.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#define REELFS_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define REELFS_UNDER_ASAN 1
#endif
#endif

// The address sanitizer reserves more address space than any limit a test would set.
#ifdef REELFS_UNDER_ASAN
constexpr bool AddressSpaceLimitsHold = false;
#else
constexpr bool AddressSpaceLimitsHold = true;
#endif

// The wait status of a child that runs `work` and exits with what it returns; with `addressLimit`, its
// address space is limited to that many bytes first. -1 when no child could be started.
inline int RunInChild(const std::function<int()>& work, std::uint64_t addressLimit = 0)
{
    const pid_t child = ::fork();
    if (child < 0)
        return -1;
    if (child == 0)
    {
        const rlimit limit{addressLimit, addressLimit};
        if (addressLimit != 0 && ::setrlimit(RLIMIT_AS, &limit) != 0)
            ::_exit(126);
        ::_exit(work());
    }
    int status = 0;
    return ::waitpid(child, &status, 0) == child ? status : -1;
}

// The bytes of address space the process takes now.
inline std::uint64_t AddressSpaceInUse()
{
    long pages = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r"))
    {
        if (std::fscanf(statm, "%ld", &pages) != 1)
            pages = 0;
        std::fclose(statm);
    }
    return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
}
