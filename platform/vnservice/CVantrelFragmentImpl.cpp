#include "vnservice/CVantrelFragmentImpl.h"

#include "vnservice/ErrorGenerators.h"
#include "vnservice/HostErrors.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

CFileName CVantrelFragmentImpl::GetArchiveFileName() const
{
    const WString& path = FileName.GetText();
    if (path.size() >= 2 && path[0] == u'0' && path[1] == u'/')
        return CFileName(path.substr(2));
    return FileName;
}

CStatus CVantrelFragmentImpl::CDescriptorStream::Write(const std::uint8_t* data, std::size_t size)
{
    if (Delivered + size > Length)
        return CErrorGenMessage("Fragment", __LINE__, HostErrorDrive, {"more bytes than the fragment holds"});
    while (size > 0)
    {
        ssize_t done = ::write(Descriptor, data, size);
        if (done < 0)
        {
            if (errno == EINTR)
                continue;
            return CErrorGenMessage("Fragment", __LINE__, HostErrorOsError,
                                    {std::string("cannot write the fragment: ") + std::strerror(errno)});
        }
        data += done;
        size -= static_cast<std::size_t>(done);
        Delivered += static_cast<std::uint64_t>(done);
    }
    return CStatus::Success();
}
