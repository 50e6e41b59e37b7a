// Reads header metadata of N small sets, N from 1,000 to 1,000,000, as chains of strong references in both
// orders and as sets that refer to nothing, and prints for each the time per set to read and link them,
// the time per set to free them, and the heap bytes that each decoded set holds (against the bytes it
// takes in the file). Time and memory per set should stay flat as N grows.
// Usage: mxf_sets_bench [LARGEST_N]   (default 1000000)
#include "FileDictionary.h"
#include "SetChains.h"

#include "mxf/MXFFile.h"
#include "mxf/Partition.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>

#include <malloc.h>

namespace mxf
{
void DiagnosticNote(const char*, ...) {}
void DiagnosticError(const char*, ...) {}
} // namespace mxf

namespace
{

double Seconds(const std::function<void()>& step)
{
    const auto start = std::chrono::steady_clock::now();
    step();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::size_t HeapInUse()
{
    return mallinfo2().uordblks;
}

} // namespace

int main(int argc, char** argv)
{
    const std::size_t largest = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1000000;
    mxftest::DefineFileClasses();
    // A million chained sets are past the limit on header metadata that a scan reads.
    mxf::Partition::MaxHeaderMetadataSize = ~std::uint64_t{0};
    struct Kind
    {
        const char* Name;
        std::function<mxftest::ByteString(std::size_t)> Make;
    };
    const Kind kinds[] = {
        {"flat", [](std::size_t n) { return mxftest::FlatSets(n); }},
        {"chain, owned first",
         [](std::size_t n) { return mxftest::ChainedSets(n, mxftest::ChainOrder::OwnedFirst); }},
        {"chain, owner first",
         [](std::size_t n) { return mxftest::ChainedSets(n, mxftest::ChainOrder::OwnerFirst); }},
    };
    std::printf("%-20s %9s %12s %12s %12s %12s %8s\n", "header", "sets", "bytes/set", "read us/set",
                "free us/set", "heap B/set", "heap/file");
    for (const Kind& kind : kinds)
        for (std::size_t n = 1000; n <= largest; n *= 10)
        {
            const mxftest::ByteString metadata = kind.Make(n);
            mxf::MXFFilePtr file = mxftest::MemoryFile(mxftest::HeaderPartition(metadata));
            mxf::PartitionPtr header = file->ReadPartition();
            const std::size_t before = HeapInUse();
            const double read = Seconds([&] { header->ReadMetadata(); });
            const std::size_t held = HeapInUse() - before;
            if (header->Objects.size() != n)
            {
                std::fprintf(stderr, "%s: %zu sets read of %zu\n", kind.Name, header->Objects.size(), n);
                return 1;
            }
            const double freed = Seconds([&] { header = nullptr; });
            const double perSet = static_cast<double>(held) / static_cast<double>(n);
            const double fileBytes = static_cast<double>(metadata.size()) / static_cast<double>(n);
            std::printf("%-20s %9zu %12.1f %12.3f %12.3f %12.0f %8.1f\n", kind.Name, n, fileBytes,
                        read * 1e6 / static_cast<double>(n), freed * 1e6 / static_cast<double>(n), perSet,
                        perSet / fileBytes);
        }
    return 0;
}
