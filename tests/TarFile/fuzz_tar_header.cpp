// Fuzzes header verification and parsing: the input is walked as an archive the way the scans read one,
// and its first block is also asked for everything with the rest of the input held as pax records, the
// sparse maps included; the input is also read as the map that opens a 1.0 sparse member's data.
#include "TarTestSupport.h"

#include "FileSystems/TarFile/CGenericTarFile.h"

#include <algorithm>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    CStatus status;
    tartest::ReadArchive(input, status);

    if (size < CTarFile::BlockBytes)
        return 0;
    const CVolumeID volume;
    CGenericTarFile tar;
    std::memcpy(&tar.Header[0], data, CTarFile::BlockBytes);
    CTarFile::VerifyHeader(tar.Header[0]);
    (void)tar.GetPaxDataLength(volume, 0);
    std::string_view records = input.substr(CTarFile::BlockBytes, 1 << 20);
    if (!records.empty())
    {
        tar.PaxLength = static_cast<std::uint32_t>(records.size());
        if (tar.AllocatePaxData().IsSuccess())
        {
            std::memcpy(tar.PaxData.get(), records.data(), records.size());
            std::memcpy(&tar.Header[1], data, CTarFile::BlockBytes);
        }
    }
    CFileName name;
    std::uint64_t value = 0;
    (void)tar.GetName(1, name);
    (void)tar.GetSize(volume, value);
    (void)tar.GetModificationTime(volume, value);
    std::int64_t time = 0;
    (void)tar.GetTapeModificationTime(volume, time);
    (void)tar.GetCatalogueTime(volume, time);
    (void)tar.GetDeviceNumber(volume, value);
    (void)tar.FindPaxRecord("path");
    (void)tar.GetFileSize(volume, value);
    CSparseMap map;
    if (tar.ReadHeaderMap(map))
        (void)map.Fits(value);
    (void)map.AddGnuEntries(tar.Header[0], true);
    (void)map.ReadDataMap(input);
    (void)tar.AllocateLongName(volume, 0);
    (void)tar.GetName(1, name);
    return 0;
}
