// reelfs mktape: writes a tape image with one tape file for each FILE, in fixed-size records, each tape
// file followed by a mark. Files are read block by block, so any size streams through one block of memory.
#include "Command.h"

#include "vnservice/CTapeImageWriter.h"
#include "vnservice/CTapeMedium.h"
#include "vnservice/ErrorGenerators.h"
#include "vnservice/HostErrors.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>
#include <vector>

namespace reelfs
{
namespace
{
constexpr std::uint64_t DefaultBlockSize = 10240;
// A block is held in memory whole; a tape of larger ones could not be mounted.
constexpr std::uint64_t MaxBlockSize = CTapeMedium::LargestBlock;

CStatus InputFault(int line, const std::string& path, int error)
{
    return CErrorGenMessage(
        "MkTape", line, HostErrorOsError,
        {"reading " + path + ": " + std::error_code(error, std::generic_category()).message()});
}

// How far the files have been read, for the progress line.
struct CReadProgress
{
    ProgressLine Line;
    std::string Image;
    std::uint64_t Done = 0;
    std::uint64_t Total = 0; // the files' sizes, as far as they are known
};

// One tape file: the file's bytes in records of the block's size, the last one zero-padded, then a mark.
CStatus WriteTapeFile(CTapeImageWriter& writer, const std::string& path, std::vector<unsigned char>& block,
                      CReadProgress& progress)
{
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> in(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!in)
        return InputFault(__LINE__, path, errno);
    for (;;)
    {
        std::size_t got = std::fread(block.data(), 1, block.size(), in.get());
        if (got < block.size() && std::ferror(in.get()))
            return InputFault(__LINE__, path, errno);
        if (got == 0)
            break;
        std::fill(block.begin() + static_cast<std::ptrdiff_t>(got), block.end(), 0);
        auto status = writer.WriteRecord(block.data(), static_cast<std::uint32_t>(block.size()));
        if (status.Failed())
            return status;
        progress.Done += got;
        progress.Line.Update(
            [&] { return "writing " + progress.Image + ": " + BytesOf(progress.Done, progress.Total); });
        if (got < block.size())
            break;
    }
    return writer.WriteMark();
}

int RunMkTape(const GlobalOptions&, std::span<const std::string> args)
{
    std::uint64_t blockSize = DefaultBlockSize;
    std::string image;
    std::vector<std::string> files;
    ArgumentReader reader(args);
    std::string problem = reader.TakeAll(files,
                                         [&](const std::string& option) -> std::string
                                         {
                                             if (option != "-b" && option != "-o")
                                                 return "unknown option " + option;
                                             auto value = reader.TakeValue();
                                             if (!value)
                                                 return option + " needs a value";
                                             if (option == "-o")
                                             {
                                                 image = *value;
                                                 return "";
                                             }
                                             auto parsed = ParseNumber(*value, 1, MaxBlockSize);
                                             if (!parsed)
                                                 return "-b takes a block size from 1 to " +
                                                        std::to_string(MaxBlockSize) + " bytes, not " +
                                                        *value;
                                             blockSize = *parsed;
                                             return "";
                                         });
    if (!problem.empty())
        return UsageFailure(MkTapeCommand, problem);
    if (image.empty())
        return UsageFailure(MkTapeCommand, "no image given (-o IMAGE)");
    if (files.empty())
        return UsageFailure(MkTapeCommand, "no FILE given");

    std::vector<unsigned char> block(blockSize);
    CReadProgress progress;
    progress.Image = image;
    for (const std::string& file : files)
    {
        std::error_code error;
        const std::uintmax_t size = std::filesystem::file_size(file, error);
        progress.Total += error ? 0 : size;
    }
    CTapeImageWriter writer;
    auto status = writer.Begin(image);
    for (std::size_t i = 0; status.IsSuccess() && i < files.size(); ++i)
        status = WriteTapeFile(writer, files[i], block, progress);
    if (status.IsSuccess())
        status = writer.Finish();
    ClearStatusLine();
    return status.Failed() ? Failure(status) : ExitSuccess;
}
} // namespace

const Command MkTapeCommand = {
    "mktape", "[-b BYTES] -o IMAGE FILE...", "write files onto a new tape image, one tape file each",
    "Writes the SIMH tape image IMAGE afresh: one tape file for each FILE (a TAR archive, say), in records "
    "of\n"
    "BYTES bytes, the last one padded with zeros, each tape file closed by a file mark. This is how an "
    "archive\n"
    "becomes a tape that reelfs takes in.\n"
    "  -o IMAGE   the image to write; one that exists is replaced\n"
    "  -b BYTES   the record size, from 1 to 16777216 bytes (10240 unless given, as GNU tar writes)\n"
    "On a terminal, a status line shows the bytes written.\n",
    &RunMkTape};

} // namespace reelfs
