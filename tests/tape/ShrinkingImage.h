// A tape image that shrinks and grows back while it lives: tens of megabytes of small records, which a
// thread cuts to a third and writes back over and over from construction to destruction. Readers of the
// file meet it whole, cut, or half written back.
#pragma once

#include <atomic>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <thread>
#include <unistd.h>

class CShrinkingImage
{
public:
    explicit CShrinkingImage(std::string path) : Path(std::move(path))
    {
        const std::string length("\0\x02\0\0", 4);
        const std::string record = length + std::string(512, 'r') + length;
        for (int i = 0; i < (48 << 10); ++i)
            Bytes += record;
        Bytes += std::string(4, '\0');
        std::ofstream(Path, std::ios::binary) << Bytes;
        Shrinker = std::thread(
            [this]
            {
                const int fd = ::open(Path.c_str(), O_WRONLY);
                const std::size_t cut = Bytes.size() / 3;
                while (!Done && ::ftruncate(fd, static_cast<off_t>(cut)) == 0 &&
                       ::pwrite(fd, Bytes.data() + cut, Bytes.size() - cut, static_cast<off_t>(cut)) > 0)
                {
                }
                ::close(fd);
            });
    }
    CShrinkingImage(const CShrinkingImage&) = delete;
    CShrinkingImage& operator=(const CShrinkingImage&) = delete;
    ~CShrinkingImage()
    {
        Done = true;
        Shrinker.join();
    }

private:
    const std::string Path;
    std::string Bytes;
    std::atomic<bool> Done{false};
    std::thread Shrinker;
};
