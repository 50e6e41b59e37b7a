#include "vnservice/CFragmentFile.h"

#include "vnservice/ErrorGenerators.h"
#include "vnservice/HostErrors.h"
#include "win/FileTime.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

CStatus CFragmentFile::SetSize(std::uint64_t size)
{
    PreparedSize = size;
    return CStatus::Success();
}

CStatus CFragmentFile::SetTime(std::uint64_t fileTime)
{
    PreparedTime = fileTime;
    return CStatus::Success();
}

CStatus CFragmentFile::SetStatus(std::uint32_t osError, std::uint32_t, void*, std::uint32_t, bool)
{
    RecordedOSError = osError;
    StatusRecorded = true;
    return osError == 0 ? CStatus::Success() : CErrorNumber::OsError("FragmentFile", __LINE__, osError);
}

namespace
{
CStatus SystemFailure(int line, const std::string& what)
{
    return CErrorGenMessage("FragmentFile", line, HostErrorOsError, {what + ": " + std::strerror(errno)});
}
} // namespace

CLocalFragmentFile::~CLocalFragmentFile()
{
    if (OwnsDescriptor)
        Close();
}

CStatus CLocalFragmentFile::Prepare(bool truncate, std::uint32_t, std::uint32_t)
{
    if (Descriptor >= 0)
        return CStatus::Success();
    if (Path.empty())
        return CErrorGenMessage("FragmentFile", __LINE__, HostErrorNotOffered,
                                {"a restore without a destination"});
    Descriptor = ::open(Path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | (truncate ? O_TRUNC : 0), 0644);
    if (Descriptor < 0)
        return SystemFailure(__LINE__, "cannot open " + Path);
    OwnsDescriptor = true;
    return CStatus::Success();
}

CStatus CLocalFragmentFile::Write(std::uint64_t offset, const std::uint8_t* data, std::size_t size)
{
    if (Descriptor < 0)
        return CErrorGenMessage("FragmentFile", __LINE__, HostErrorNotOffered, {"writing before Prepare"});
    if (offset + size > PreparedSize)
        return CErrorGenMessage("FragmentFile", __LINE__, HostErrorDrive, {"write past the end of the file"});
    // A descriptor the host hands over (standard output, a pipe) takes the bytes in order from where it
    // stands, as the drive writes them; only a file of our own is written at the bytes' offsets.
    bool seekable = OwnsDescriptor && ::lseek(Descriptor, 0, SEEK_CUR) >= 0;
    if (!seekable && offset != Written)
        return CErrorGenMessage("FragmentFile", __LINE__, HostErrorDrive, {"out-of-order write to a stream"});
    while (size > 0)
    {
        ssize_t done = seekable ? ::pwrite(Descriptor, data, size, static_cast<off_t>(offset))
                                : ::write(Descriptor, data, size);
        if (done < 0)
        {
            if (errno == EINTR)
                continue;
            return SystemFailure(__LINE__,
                                 "cannot write " + (Path.empty() ? std::string("the output") : Path));
        }
        data += done;
        size -= static_cast<std::size_t>(done);
        offset += static_cast<std::uint64_t>(done);
        Written = std::max(Written, offset);
    }
    return CStatus::Success();
}

CStatus CLocalFragmentFile::Close()
{
    if (!OwnsDescriptor || Descriptor < 0)
        return CStatus::Success();
    CStatus status;
    // The file takes the catalogued time; a device or pipe written to keeps its own.
    struct stat info;
    if (PreparedTime != 0 && ::fstat(Descriptor, &info) == 0 && S_ISREG(info.st_mode))
    {
        std::int64_t seconds = FileTimeToUnixSeconds(PreparedTime);
        std::uint64_t rest = (PreparedTime - FileTimeUnixEpoch) % FileTimeTicksPerSecond;
        timespec times[2] = {{static_cast<time_t>(seconds), static_cast<long>(rest * 100)},
                             {static_cast<time_t>(seconds), static_cast<long>(rest * 100)}};
        if (PreparedTime < FileTimeUnixEpoch)
            times[0].tv_nsec = times[1].tv_nsec = 0;
        ::futimens(Descriptor, times);
    }
    if (::close(Descriptor) != 0)
        status = SystemFailure(__LINE__, "cannot close " + Path);
    Descriptor = -1;
    OwnsDescriptor = false;
    return status;
}

CStatus CEmptyFragmentFile::Write(std::uint64_t, const std::uint8_t*, std::size_t size)
{
    if (size == 0)
        return CStatus::Success();
    return CErrorGenMessage("FragmentFile", __LINE__, HostErrorDrive, {"data for a file of no bytes"});
}
