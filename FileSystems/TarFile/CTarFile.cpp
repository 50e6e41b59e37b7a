#include "FileSystems/TarFile/CTarFile.h"

#include "FileSystems/TapeFS/FileSystemErrors.h"
#include "vnservice/CEventLog.h"
#include "vnservice/ErrorGenerators.h"
#include "win/Allocation.h"
#include "win/CodePage.h"
#include "win/FileTime.h"
#include "win/WinError.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

namespace
{
constexpr const char* Module = "TarFile";

bool IsSpace(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// One octal number as a width-limited scanf conversion reads it, but never past the field's bytes: white
// space, an optional sign, then at least one octal digit. A minus sign negates modulo 2^64.
bool ScanOctal(const char* field, std::size_t width, std::uint64_t& value)
{
    std::size_t i = 0;
    while (i < width && IsSpace(field[i]))
        ++i;
    bool negative = false;
    if (i < width && (field[i] == '+' || field[i] == '-'))
        negative = field[i++] == '-';
    std::size_t first = i;
    std::uint64_t number = 0;
    for (; i < width && field[i] >= '0' && field[i] <= '7'; ++i)
        number = number * 8 + static_cast<std::uint64_t>(field[i] - '0');
    if (i == first)
        return false;
    value = negative ? 0 - number : number;
    return true;
}

// A pax time read as GNU tar reads it: an optional sign, whole seconds, optionally a '.' and the
// fraction's digits, and whatever follows the number ignored. The whole seconds are taken rounded down,
// so that a time before 1970 keeps the second it falls in. False when no digit leads or the seconds pass
// 64 bits.
bool ScanPaxTime(std::string_view text, std::int64_t& seconds)
{
    std::size_t i = 0;
    const bool negative = i < text.size() && text[i] == '-';
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        ++i;
    const std::size_t first = i;
    std::uint64_t number = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i)
    {
        auto digit = static_cast<std::uint64_t>(text[i] - '0');
        if (number > (static_cast<std::uint64_t>(INT64_MAX) - digit) / 10)
            return false;
        number = number * 10 + digit;
    }
    if (i == first)
        return false;
    bool belowWhole = false;
    if (i < text.size() && text[i] == '.')
        for (++i; i < text.size() && IsDigit(text[i]); ++i)
            belowWhole = belowWhole || text[i] != '0';
    seconds = static_cast<std::int64_t>(number);
    if (negative)
        seconds = -seconds - (belowWhole ? 1 : 0);
    return true;
}

template <std::size_t N> void CopyText(char (&field)[N], std::string_view text)
{
    std::memcpy(field, text.data(), std::min(N, text.size()));
}

// Only POSIX headers carry a name prefix; GNU headers ("ustar  ") keep other fields in its place.
bool IsPosixHeader(const TarHeaderBlock& block)
{
    return std::memcmp(block.Magic, "ustar", 6) == 0;
}

std::size_t DecimalDigits(std::uint64_t value)
{
    std::size_t digits = 1;
    while (value >= 10)
    {
        value /= 10;
        ++digits;
    }
    return digits;
}

CStatus WriteOctal(const CVolumeID& volume, std::uint64_t value, char* field, int digits)
{
    char text[32];
    int length = std::snprintf(text, sizeof text, "%0*llo", digits, static_cast<unsigned long long>(value));
    if (length != digits)
        return CErrorGenFileSystem(Module, __LINE__, ErrorFieldTooSmall, volume,
                                   {text, FormatParameter("%d", static_cast<std::uint64_t>(digits))});
    std::memcpy(field, text, static_cast<std::size_t>(digits) + 1);
    return CStatus::Success();
}

CStatus HeaderError(std::uint32_t code, const CVolumeID& volume, std::uint64_t position)
{
    return CErrorGenFileSystem(Module, __LINE__, code, volume, {FormatParameter("%I64u", position)});
}

// Name bytes in the OEM code page for StoreName. Characters that code page lacks become '?', one byte
// per code unit, so that the length and the '/' positions stay those of the name; such a name always
// gets its "path" record as well.
std::string ToOemText(WStringView name)
{
    std::string text;
    if (WideToMultiByte(CP_OEMCP, name, text) == ERROR_SUCCESS)
        return text;
    text.clear();
    for (char16_t unit : name)
    {
        std::string one;
        bool converted =
            WideToMultiByte(CP_OEMCP, WStringView(&unit, 1), one) == ERROR_SUCCESS && one.size() == 1;
        text += converted ? one[0] : '?';
    }
    return text;
}
} // namespace

// An unsigned decimal number: white space, an optional '+', then digits to the end of the text. A minus
// sign, any other byte after the digits or a number past 64 bits is refused: a record value is the number
// and nothing else, and reading only its leading digits would take a damaged record for a sound one.
bool CTarFile::ScanDecimal(std::string_view text, std::uint64_t& value)
{
    std::size_t i = 0;
    while (i < text.size() && IsSpace(text[i]))
        ++i;
    if (i < text.size() && text[i] == '+')
        ++i;
    std::size_t first = i;
    std::uint64_t number = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i)
    {
        auto digit = static_cast<std::uint64_t>(text[i] - '0');
        if (number > (UINT64_MAX - digit) / 10)
            return false;
        number = number * 10 + digit;
    }
    if (i == first || i != text.size())
        return false;
    value = number;
    return true;
}

bool CTarFile::ScanGnuNumber(const char* field, std::size_t width, std::uint64_t& value)
{
    if (static_cast<unsigned char>(field[0]) != 0x80)
        return ScanOctal(field, width, value);
    std::uint64_t number = 0;
    for (std::size_t i = 1; i < width; ++i)
    {
        if (number >> 55 != 0)
            return false;
        number = number << 8 | static_cast<unsigned char>(field[i]);
    }
    value = number;
    return true;
}

std::uint32_t CTarFile::VerifyHeader(const TarHeaderBlock& block)
{
    if (block.Typeflag != 'M' && std::memcmp(block.Magic, "ustar", 5) != 0)
        return ErrorNotHeader;
    std::uint64_t stored = 0;
    if (!ScanOctal(block.Chksum, sizeof block.Chksum, stored))
        return ErrorChecksum;
    // The sums of the bytes read as unsigned and as signed, the checksum field counting as spaces. Every
    // header of a tape passes through here: the bytes are summed eight at a time, in four 16-bit lanes
    // (at most 64 * 510 each) and, for the bytes of 0x80 and up, in eight byte lanes (at most 64 each).
    const auto* bytes = reinterpret_cast<const unsigned char*>(&block);
    constexpr std::uint64_t LowBytes = 0x00FF00FF00FF00FF;
    std::uint64_t lanes = 0;
    std::uint64_t highLanes = 0;
    for (std::size_t i = 0; i < sizeof block; i += sizeof lanes)
    {
        std::uint64_t word = 0;
        std::memcpy(&word, bytes + i, sizeof word);
        lanes += (word & LowBytes) + (word >> 8 & LowBytes);
        highLanes += word >> 7 & 0x0101010101010101;
    }
    highLanes = (highLanes & LowBytes) + (highLanes >> 8 & LowBytes);
    std::uint32_t unsignedSum = 0;
    std::uint32_t highBytes = 0;
    for (int lane = 0; lane < 4; ++lane)
    {
        unsignedSum += static_cast<std::uint32_t>(lanes >> (16 * lane) & 0xFFFF);
        highBytes += static_cast<std::uint32_t>(highLanes >> (16 * lane) & 0xFFFF);
    }
    for (char c : block.Chksum)
    {
        unsignedSum -= static_cast<unsigned char>(c);
        highBytes -= static_cast<unsigned char>(c) >> 7;
    }
    unsignedSum += sizeof block.Chksum * ' ';
    const std::uint32_t signedSum = unsignedSum - 256 * highBytes;
    auto checksum = static_cast<std::uint32_t>(stored);
    if (checksum != unsignedSum && checksum != signedSum)
        return ErrorChecksum;
    return 0;
}

CStatus CTarFile::GetPaxDataLength(const CVolumeID& volume, std::uint64_t position)
{
    if (std::uint32_t code = VerifyHeader(Header[0]))
        return HeaderError(code, volume, position);
    if (Header[0].Typeflag == 'x')
    {
        std::uint64_t length = 0;
        CStatus status = ParseOctalField(volume, Header[0].Size, sizeof Header[0].Size, length);
        // The length decides an allocation and a read: a corrupt one is refused before either.
        if (status.IsSuccess() && length > MaxExtensionBytes)
            status = HeaderError(ErrorNotHeader, volume, position);
        PaxLength = status.IsSuccess() ? static_cast<std::uint32_t>(length) : 0;
        if (status.Failed())
            return status;
    }
    if (PaxData)
    {
        if (std::uint32_t code = VerifyHeader(Header[1]))
            return HeaderError(code, volume, position);
    }
    return CStatus::Success();
}

CStatus CTarFile::AllocatePaxData()
{
    if (PaxLength == 0)
        return CStatus::Success();
    std::size_t capacity = RoundToBlocks(PaxLength);
    auto buffer = Reallocate(nullptr, 0, capacity);
    if (!buffer)
        return CErrorGenMemory(Module, __LINE__, std::size_t{PaxLength} + BlockBytes - 1);
    PaxData = std::move(buffer);
    PaxCapacity = static_cast<std::uint32_t>(capacity);
    return CStatus::Success();
}

std::string_view CTarFile::FieldText(const char* field, std::size_t width)
{
    return std::string_view(field, width).substr(0, std::string_view(field, width).find('\0'));
}

CStatus CTarFile::GetName(unsigned codePage, CFileName& name) const
{
    return ReadName(codePage, true, name);
}

CStatus CTarFile::GetPlainName(unsigned codePage, CFileName& name) const
{
    return ReadName(codePage, false, name);
}

CStatus CTarFile::ReadName(unsigned codePage, bool sparseName, CFileName& name) const
{
    name.Empty();
    if (PaxData)
    {
        std::string_view path = sparseName ? FindPaxRecord("GNU.sparse.name") : std::string_view();
        if (path.empty())
            path = FindPaxRecord("path");
        if (!path.empty())
        {
            if (CStatus status = CheckNameLength("pax \"path\" record", path.size()); status.Failed())
                return status;
            return DecodeName(CP_UTF8, path, name);
        }
    }
    const TarHeaderBlock& block = UstarBlock();
    std::string_view text = FieldText(block.Name, sizeof block.Name);
    // The prefix and the name joined; most names come without a prefix and are decoded where they lie.
    std::string joined;
    std::string_view prefix = IsPosixHeader(block) ? FieldText(block.Prefix, sizeof block.Prefix) : "";
    if (!prefix.empty())
    {
        joined = prefix;
        if (joined.back() != '/')
            joined += '/';
        joined += text;
        text = joined;
    }
    bool posixVersion = std::memcmp(block.Version, "00", 2) == 0;
    return DecodeName(posixVersion ? codePage : CP_OEMCP, text, name);
}

template <class Value, class Scan>
bool CTarFile::ReadPaxNumber(const CVolumeID& volume, std::string_view key, Scan scan, std::uint32_t code,
                             Value& value, CStatus& status) const
{
    std::string_view text = PaxData ? FindPaxRecord(key) : std::string_view();
    if (text.empty())
        return false;
    status = CStatus::Success();
    if (!scan(text, value))
    {
        value = 0;
        status = CErrorGenFileSystem(Module, __LINE__, code, volume, {ByteList(text)});
    }
    return true;
}

CStatus CTarFile::GetSize(const CVolumeID& volume, std::uint64_t& size) const
{
    size = 0;
    CStatus status;
    if (ReadPaxNumber(volume, "size", CTarFile::ScanDecimal, ErrorPaxSize, size, status))
        return status;
    const TarHeaderBlock& block = UstarBlock();
    return ParseOctalField(volume, block.Size, sizeof block.Size, size);
}

CStatus CTarFile::GetDeviceNumber(const CVolumeID& volume, std::uint64_t& number) const
{
    // Devmajor and devminor as one 16-byte field; the scan in practice stops at devmajor's NUL.
    const char* field = reinterpret_cast<const char*>(&Header[0]) + offsetof(TarHeaderBlock, Devmajor);
    return ParseOctalField(volume, field, sizeof Header[0].Devmajor + sizeof Header[0].Devminor, number);
}

CStatus CTarFile::GetModificationTime(const CVolumeID& volume, std::uint64_t& time) const
{
    std::int64_t seconds = 0;
    CStatus status = ReadTimeField(volume, Header[0], seconds);
    time = static_cast<std::uint64_t>(seconds);
    if (time == 0)
        time = CurrentTime();
    return status;
}

CStatus CTarFile::GetTapeModificationTime(const CVolumeID& volume, std::int64_t& time) const
{
    time = 0;
    const TarHeaderBlock& block = UstarBlock();
    if (block.Mtime[0] == '\0')
        return CStatus::Success();
    return ReadTimeField(volume, block, time);
}

CStatus CTarFile::GetCatalogueTime(const CVolumeID& volume, std::int64_t& time) const
{
    time = 0;
    // A pax "mtime" record is the member's time: writers put stand-ins into the 'x' header's own field
    // (0, or 2^31 - 1 for a time past January 2038). A time is not needed to find any data: a record
    // that holds no time is logged, and the header's own field dates the member instead.
    CStatus status;
    if (ReadPaxNumber(volume, "mtime", ScanPaxTime, ErrorPaxTime, time, status))
    {
        if (status.IsSuccess())
            return status;
        CEventLog::LogStatus(status);
    }
    if (Header[0].Mtime[0] != '\0')
        if (status = ReadTimeField(volume, Header[0], time); status.Failed())
            return status;
    return time != 0 ? CStatus::Success() : GetTapeModificationTime(volume, time);
}

CStatus CTarFile::ReadTimeField(const CVolumeID& volume, const TarHeaderBlock& block,
                                std::int64_t& time) const
{
    // An octal number read with a minus sign wraps; taken back as signed, it is the time before 1970.
    std::uint64_t value = 0;
    CStatus status = ParseOctalField(volume, block.Mtime, sizeof block.Mtime, value);
    time = static_cast<std::int64_t>(value);
    return status;
}

CStatus CTarFile::BuildHeader(const CVolumeID& volume, const CFileName& name)
{
    PaxData.reset();
    PaxCapacity = 0;
    PaxLength = 0;
    Header[0] = {};
    Header[1] = {};

    const WString& text = name.GetText();
    bool beyondAscii = std::any_of(text.begin(), text.end(), [](char16_t unit) { return unit > 0x7F; });
    bool needsPath = StoreName(ToOemText(text));
    if (beyondAscii || needsPath)
    {
        std::string utf8;
        if (std::uint32_t error = name.ToMultiByte(CP_UTF8, utf8))
            return CErrorNumber::OsError(Module, __LINE__, error);
        CStatus status = AddPaxRecord("path", utf8);
        if (status.Failed())
            return status;
    }

    TarHeaderBlock& block = Header[0];
    CopyText(block.Uname, "Administrator");
    CopyText(block.Gname, "None");
    std::memcpy(block.Magic, "ustar", 6);
    std::memcpy(block.Version, "00", 2);
    block.Typeflag = '0';
    CStatus status = WriteOctalField(volume, std::uint32_t{0644}, block.Mode);
    if (status.IsSuccess())
        status = WriteOctalField(volume, std::uint32_t{0}, block.Uid);
    if (status.IsSuccess())
        status = WriteOctalField(volume, std::uint32_t{0}, block.Gid);
    return status;
}

CStatus CTarFile::SetSize(const CVolumeID& volume, std::uint64_t size)
{
    if (size <= MaxOctalSize)
        return WriteOctalField(volume, size, Header[0].Size);
    CStatus status = WriteOctalField(volume, std::uint64_t{0}, Header[0].Size);
    if (status.Failed())
        return status;
    return AddPaxRecord("size", FormatParameter("%I64u", size));
}

std::uint64_t CTarFile::GetHeaderBlockCount() const
{
    return PaxLength == 0 ? 1 : BlocksFor(PaxLength) + 2;
}

CStatus CTarFile::CountHeaderBlocks(const CVolumeID& volume, const CFileName& name, std::uint64_t size,
                                    std::uint64_t& blocks)
{
    blocks = 0;
    CStatus status = BuildHeader(volume, name);
    if (status.IsSuccess())
        status = SetSize(volume, size);
    if (status.IsSuccess())
        blocks = GetHeaderBlockCount();
    return status;
}

CStatus CTarFile::ParseOctalField(const CVolumeID& volume, const char* field, std::size_t width,
                                  std::uint64_t& value)
{
    value = 0;
    if (ScanOctal(field, width, value))
        return CStatus::Success();
    value = 0;
    return CErrorGenFileSystem(Module, __LINE__, ErrorNoNumber, volume,
                               {ByteList(std::string_view(field, width))});
}

CStatus CTarFile::WriteOctalField(const CVolumeID& volume, std::uint64_t value, char (&field)[12])
{
    return WriteOctal(volume, value, field, 11);
}

CStatus CTarFile::WriteOctalField(const CVolumeID& volume, std::uint32_t value, char (&field)[8])
{
    return WriteOctal(volume, value, field, 7);
}

CStatus CTarFile::AddPaxRecord(std::string_view key, std::string_view value)
{
    // The length counts its own digits: grow it by every digit it gains until it gains no more.
    std::uint64_t length = key.size() + value.size() + 3;
    std::size_t digits = 0;
    for (std::size_t now = DecimalDigits(length); now != digits; now = DecimalDigits(length))
    {
        length += now - digits;
        digits = now;
    }

    if (length >= std::uint64_t{PaxCapacity} - PaxLength)
    {
        std::uint64_t wanted = std::uint64_t{PaxCapacity} + length;
        std::unique_ptr<std::uint8_t[]> buffer;
        if (wanted + BlockBytes - 1 <= UINT32_MAX)
            buffer = Reallocate(PaxData.get(), PaxLength, RoundToBlocks(static_cast<std::size_t>(wanted)));
        if (!buffer)
            return CErrorGenMemory(Module, __LINE__, static_cast<std::size_t>(wanted + BlockBytes - 1));
        PaxData = std::move(buffer);
        PaxCapacity = static_cast<std::uint32_t>(RoundToBlocks(static_cast<std::size_t>(wanted)));
    }

    std::string record = std::to_string(length);
    record += ' ';
    record += key;
    record += '=';
    record += value;
    record += '\n';
    std::memcpy(PaxData.get() + PaxLength, record.data(), record.size());
    PaxLength += static_cast<std::uint32_t>(record.size());
    return CStatus::Success();
}

std::string_view CTarFile::FindPaxRecord(std::string_view key) const
{
    std::string_view found;
    ForEachPaxRecord(
        [&](std::string_view recordKey, std::string_view value)
        {
            if (recordKey != key)
                return true;
            found = value;
            return false;
        });
    return found;
}

void CTarFile::ForEachPaxRecord(const std::function<bool(std::string_view, std::string_view)>& visit) const
{
    if (!PaxData)
        return;
    const char* data = reinterpret_cast<const char*>(PaxData.get());
    const std::size_t end = std::min(PaxLength, PaxCapacity);
    std::size_t start = 0;
    while (start < end)
    {
        // "<length> <key>=<value>\n"; a length of eight or more digits is not believed.
        std::size_t i = start;
        std::size_t length = 0;
        for (; i < end && i - start < 8 && IsDigit(data[i]); ++i)
            length = length * 10 + static_cast<std::size_t>(data[i] - '0');
        std::size_t digits = i - start;
        if (digits == 0 || digits >= 8 || length == 0)
            return;
        if (length > end - start || data[start + length - 1] != '\n')
            return;
        const std::size_t lineFeed = start + length - 1;
        while (i < lineFeed && IsSpace(data[i]))
            ++i;
        if (i >= lineFeed)
            return;
        std::string_view body(data + i, lineFeed - i);
        std::size_t equals = body.find('=');
        if (equals == std::string_view::npos)
            return;
        if (!visit(body.substr(0, equals), body.substr(equals + 1)))
            return;
        start += length;
    }
}

CTarFile::SparseForm CTarFile::GetSparseForm() const
{
    if (UstarBlock().Typeflag == 'S')
        return SparseForm::GnuHeader;
    if (!PaxData)
        return SparseForm::None;
    const std::string_view major = FindPaxRecord("GNU.sparse.major");
    const std::string_view minor = FindPaxRecord("GNU.sparse.minor");
    if (!major.empty() || !minor.empty())
        return major == "1" && minor == "0" ? SparseForm::PaxData : SparseForm::Unknown;
    for (const char* key : {"GNU.sparse.size", "GNU.sparse.map", "GNU.sparse.numblocks", "GNU.sparse.offset"})
        if (!FindPaxRecord(key).empty())
            return SparseForm::PaxRecords;
    return SparseForm::None;
}

CStatus CTarFile::GetFileSize(const CVolumeID& volume, std::uint64_t& size) const
{
    CStatus status = GetSize(volume, size);
    if (status.Failed())
        return status;
    std::uint64_t fileSize = 0;
    bool known = false;
    switch (GetSparseForm())
    {
    case SparseForm::GnuHeader:
        known = CSparseMap::ReadGnuRealSize(UstarBlock(), fileSize);
        break;
    case SparseForm::PaxRecords:
        known = ScanDecimal(FindPaxRecord("GNU.sparse.size"), fileSize);
        break;
    case SparseForm::PaxData:
        known = ScanDecimal(FindPaxRecord("GNU.sparse.realsize"), fileSize);
        break;
    case SparseForm::None:
    case SparseForm::Unknown:
        break;
    }
    if (known)
        size = fileSize;
    return status;
}

bool CTarFile::ReadHeaderMap(CSparseMap& map) const
{
    map = CSparseMap();
    switch (GetSparseForm())
    {
    case SparseForm::GnuHeader:
        return CSparseMap::ReadGnuRealSize(UstarBlock(), map.FileSize) &&
               map.AddGnuEntries(UstarBlock(), false);
    case SparseForm::PaxRecords:
    {
        if (!ScanDecimal(FindPaxRecord("GNU.sparse.size"), map.FileSize))
            return false;
        // Form 0.1 holds the map in one record; form 0.0 in an offset and a size record for each region.
        const std::string_view record = FindPaxRecord("GNU.sparse.map");
        if (!record.empty())
            return map.AddPaxMap(record);
        bool sound = true;
        std::uint64_t offset = 0;
        bool offsetRead = false;
        ForEachPaxRecord(
            [&](std::string_view key, std::string_view value)
            {
                if (key == "GNU.sparse.offset")
                {
                    sound = !offsetRead && ScanDecimal(value, offset);
                    offsetRead = true;
                }
                else if (key == "GNU.sparse.numbytes")
                {
                    std::uint64_t bytes = 0;
                    sound = offsetRead && ScanDecimal(value, bytes) && map.Add(offset, bytes);
                    offsetRead = false;
                }
                return sound;
            });
        return sound && !offsetRead;
    }
    case SparseForm::PaxData:
        return ScanDecimal(FindPaxRecord("GNU.sparse.realsize"), map.FileSize);
    case SparseForm::None:
    case SparseForm::Unknown:
        break;
    }
    return false;
}

std::string CTarFile::ByteList(std::string_view bytes)
{
    std::string text = "0x";
    char hex[4];
    for (std::size_t i = 0; i < bytes.size(); ++i)
    {
        if (i != 0)
            text += ", ";
        std::snprintf(hex, sizeof hex, "%2.2X", static_cast<unsigned char>(bytes[i]));
        text += hex;
    }
    return text;
}

std::uint64_t CTarFile::CurrentTime()
{
    return static_cast<std::uint64_t>(FileTimeToUnixSeconds(GetSystemTimeAsFileTime()));
}

std::unique_ptr<std::uint8_t[]> CTarFile::Reallocate(const std::uint8_t* buffer, std::size_t keep,
                                                     std::size_t capacity)
{
    if (AllocationFault::ShouldFail())
        return nullptr;
    std::unique_ptr<std::uint8_t[]> grown(new (std::nothrow)
                                              std::uint8_t[std::max<std::size_t>(capacity, 1)]());
    if (grown && keep != 0)
        std::memcpy(grown.get(), buffer, std::min(keep, capacity));
    return grown;
}

CStatus CTarFile::CheckNameLength(const char* origin, std::size_t bytes)
{
    if (bytes <= MaxNameBytes)
        return CStatus::Success();
    return CErrorGenFileSystem(
        Module, __LINE__, ErrorNameTooLong, CVolumeID(),
        {origin, FormatParameter("%I64u", bytes), FormatParameter("%I64u", MaxNameBytes)});
}

CStatus CTarFile::DecodeName(unsigned codePage, std::string_view text, CFileName& name)
{
    // Writers put names in whatever encoding their system had; bytes that are no text of the expected
    // code page are read in the OEM code page, which maps every byte, so that no member goes unnamed.
    std::uint32_t error = name.FromMultiByte(codePage, text);
    if (error == ERROR_NO_UNICODE_TRANSLATION && codePage != CP_OEMCP)
        error = name.FromMultiByte(CP_OEMCP, text);
    if (error)
        return CErrorNumber::OsError(Module, __LINE__, error);
    return CStatus::Success();
}
