#include "FileSystems/TarFile/CGenericTarFile.h"

#include "vnservice/ErrorGenerators.h"
#include "win/CodePage.h"

#include <algorithm>
#include <cstring>

namespace
{
constexpr const char* Module = "GenericTarFile";
constexpr std::uint32_t ErrorNotHeader = 0xC0002713;
} // namespace

CStatus CGenericTarFile::GetName(unsigned codePage, CFileName& name) const
{
    if (LongName)
    {
        std::string_view text(reinterpret_cast<const char*>(LongName.get()), LongNameLength);
        text = text.substr(0, text.find('\0'));
        // An empty long name names nothing: the member's own header does.
        if (!text.empty())
            return DecodeName(CP_ACP, text, name);
    }
    return CTarFile::GetName(codePage, name);
}

CStatus CGenericTarFile::GetSize(const CVolumeID& volume, std::uint64_t& size) const
{
    if (!(HoldsPaxData() && !FindPaxRecord("size").empty()))
    {
        // GNU base-256: 0x80, then a big-endian number of which the last eight bytes are taken.
        const TarHeaderBlock& block = UstarBlock();
        if (static_cast<unsigned char>(block.Size[0]) == 0x80)
        {
            size = 0;
            for (std::size_t i = sizeof block.Size - 8; i < sizeof block.Size; ++i)
                size = size << 8 | static_cast<unsigned char>(block.Size[i]);
            return CStatus::Success();
        }
    }
    return CTarFile::GetSize(volume, size);
}

CStatus CGenericTarFile::GetModificationTime(const CVolumeID& volume, std::uint64_t& time) const
{
    if (Header[0].Mtime[0] == '\0')
    {
        time = CurrentTime();
        return CStatus::Success();
    }
    return CTarFile::GetModificationTime(volume, time);
}

bool CGenericTarFile::StoreName(std::string name)
{
    TarHeaderBlock& block = Header[0];
    std::memcpy(block.Name, name.data(), std::min(name.size(), sizeof block.Name));
    return name.size() > sizeof block.Name;
}

CStatus CGenericTarFile::AllocateLongName(const CVolumeID& volume, std::uint64_t position)
{
    std::uint64_t length = 0;
    CStatus status = GetSize(volume, length);
    if (status.Failed())
        return status;
    // The length decides an allocation and a read: a corrupt one is refused before either.
    if (length > MaxExtensionBytes)
        return CErrorGenFileSystem(Module, __LINE__, ErrorNotHeader, volume,
                                   {FormatParameter("%I64u", position)});
    std::size_t capacity = RoundToBlocks(static_cast<std::size_t>(length));
    auto buffer = Reallocate(nullptr, 0, capacity);
    if (!buffer)
        return CErrorGenMemory(Module, __LINE__, static_cast<std::size_t>(length) + BlockBytes - 1);
    PaxData.reset();
    PaxLength = 0;
    PaxCapacity = static_cast<std::uint32_t>(capacity);
    LongName = std::move(buffer);
    LongNameLength = static_cast<std::uint32_t>(length);
    return CStatus::Success();
}
