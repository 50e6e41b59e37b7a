// Writes an MXF file of a header partition whose header metadata are BYTES (rounded down to whole sets)
// of small sets: packages of 40 bytes that refer to nothing, after a primer. For the benchmarks that read
// much header metadata through a tape.
// Usage: small_sets_mxf BYTES FILE
#include "SetChains.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace mxf
{
void DiagnosticNote(const char*, ...) {}
void DiagnosticError(const char*, ...) {}
} // namespace mxf

int main(int argc, char** argv)
{
    if (argc != 3)
    {
        std::fprintf(stderr, "usage: small_sets_mxf BYTES FILE\n");
        return 2;
    }
    const std::size_t sets = std::strtoull(argv[1], nullptr, 10) / 40;
    const mxftest::ByteString file = mxftest::HeaderPartition(mxftest::FlatSets(sets));
    std::ofstream out(argv[2], std::ios::binary);
    out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    if (!out.flush())
    {
        std::fprintf(stderr, "cannot write %s\n", argv[2]);
        return 1;
    }
    std::printf("%zu sets\n", sets);
    return 0;
}
