#include "vnservice/CTapeImageWriter.h"

#include "vnservice/ErrorGenerators.h"
#include "vnservice/HostErrors.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <system_error>
#include <unistd.h>

namespace
{
constexpr std::uint32_t MaxRecordLength = 0x7FFFFFFF;

void PutLittleEndian32(unsigned char* bytes, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<unsigned char>(value >> (8 * i));
}

std::string ErrnoText(int error)
{
    return std::error_code(error, std::generic_category()).message();
}
} // namespace

CTapeImageWriter::~CTapeImageWriter()
{
    if (Fd >= 0)
        ::close(Fd);
    if (!Temporary.empty())
        ::unlink(Temporary.c_str());
}

CStatus CTapeImageWriter::Fault(int line, const std::string& what) const
{
    return CErrorGenMessage("TapeImage", line, HostErrorTapeImage, {Path, what});
}

CStatus CTapeImageWriter::Begin(const std::string& path)
{
    if (Fd >= 0)
        return Fault(__LINE__, "is still being written; " + path + " cannot be begun");
    Path = path;
    Size = 0;
    Temporary.clear();
    // A device or pipe takes the image as it comes; a file is written under a temporary name beside it,
    // so that a failed write leaves whatever was there before.
    struct stat info;
    if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode))
    {
        Fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
        if (Fd < 0)
            return Fault(__LINE__, "cannot be opened: " + ErrnoText(errno));
        return CStatus::Success();
    }
    std::string pattern = path + ".reelfs-XXXXXX";
    Fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (Fd < 0)
        return Fault(__LINE__, "cannot be created: " + ErrnoText(errno));
    Temporary = pattern;
    // The image gets the permissions of any file made here, not those of a temporary one.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(Fd, 0666 & ~mask);
    return CStatus::Success();
}

// Writes all the parts, in order, however the system splits the write.
CStatus CTapeImageWriter::Write(const iovec* parts, int count)
{
    if (Fd < 0)
        return Fault(__LINE__, "is not being written");
    iovec pending[4];
    std::copy(parts, parts + count, pending);
    iovec* next = pending;
    while (count > 0)
    {
        ssize_t done = ::writev(Fd, next, count);
        if (done < 0 && errno == EINTR)
            continue;
        if (done < 0)
            return Fault(__LINE__,
                         "cannot be written at byte " + std::to_string(Size) + ": " + ErrnoText(errno));
        Size += static_cast<std::uint64_t>(done);
        auto left = static_cast<std::size_t>(done);
        while (count > 0 && left >= next->iov_len)
        {
            left -= next->iov_len;
            ++next;
            --count;
        }
        if (count > 0)
        {
            next->iov_base = static_cast<char*>(next->iov_base) + left;
            next->iov_len -= left;
        }
    }
    return CStatus::Success();
}

CStatus CTapeImageWriter::WriteRecord(const void* data, std::uint32_t size)
{
    if (size == 0 || size > MaxRecordLength)
        return Fault(__LINE__, "cannot hold a record of " + std::to_string(size) + " bytes, at byte " +
                                   std::to_string(Size));
    unsigned char length[4];
    PutLittleEndian32(length, size);
    unsigned char pad = 0;
    iovec parts[4] = {
        {length, sizeof length},
        {const_cast<void*>(data), size},
        {&pad, size & 1u},
        {length, sizeof length},
    };
    return Write(parts, 4);
}

CStatus CTapeImageWriter::WriteMark()
{
    unsigned char mark[4] = {0, 0, 0, 0};
    iovec part = {mark, sizeof mark};
    return Write(&part, 1);
}

CStatus CTapeImageWriter::Finish()
{
    if (Fd < 0)
        return Fault(__LINE__, "is not being written");
    int fd = Fd;
    Fd = -1;
    if (::close(fd) != 0)
        return Fault(__LINE__, "cannot be closed: " + ErrnoText(errno));
    if (!Temporary.empty() && ::rename(Temporary.c_str(), Path.c_str()) != 0)
        return Fault(__LINE__, "cannot be given its name: " + ErrnoText(errno));
    Temporary.clear();
    return CStatus::Success();
}
