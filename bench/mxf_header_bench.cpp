// Reads the header metadata of every MXF file named on the command line, in one process: each file is
// opened past its run-in, its header partition pack and header metadata are read and linked, its footer is
// searched for from the end, and every top-level object is shown as text. Prints the files read, the
// objects found and the seconds taken. The classes come from the test dictionary until a dictionary
// document is loaded.
#include "FileDictionary.h"

#include "mxf/MDObject.h"
#include "mxf/MXFFile.h"
#include "mxf/Partition.h"

#include <chrono>
#include <cstdio>

namespace mxf
{
void DiagnosticNote(const char*, ...) {}
void DiagnosticError(const char*, ...) {}
} // namespace mxf

int main(int argc, char** argv)
{
    const auto start = std::chrono::steady_clock::now();
    mxftest::DefineFileClasses();
    std::size_t objects = 0;
    int files = 0;
    for (int i = 1; i < argc; ++i)
    {
        mxf::MXFFilePtr file(new mxf::MXFFile);
        if (!file->Open(argv[i], true))
        {
            std::fprintf(stderr, "cannot open %s\n", argv[i]);
            return 1;
        }
        const mxf::PartitionPtr header = file->ReadPartition();
        if (!header || header->ReadMetadata() == 0)
        {
            std::fprintf(stderr, "no header metadata in %s\n", argv[i]);
            return 1;
        }
        file->ScanBackForFooter(1 << 20);
        for (const mxf::MDObjectPtr& object : header->Objects)
            for (const auto& [label, child] : *object)
                objects += child->GetString(std::string()).empty() ? 0 : 1;
        ++files;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%d files, %zu values, %.6f s\n", files, objects, seconds);
    return 0;
}
