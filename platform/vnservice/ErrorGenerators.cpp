#include "vnservice/ErrorGenerators.h"

#include "vnservice/HostErrors.h"
#include "win/CodePage.h"

#include <cinttypes>
#include <cstdio>

std::string FormatParameter(const char* format, std::uint64_t value)
{
    std::string_view f(format);
    char text[32];
    if (f == "%I64u")
        std::snprintf(text, sizeof text, "%" PRIu64, value);
    else if (f == "%I64d")
        std::snprintf(text, sizeof text, "%" PRId64, static_cast<std::int64_t>(value));
    else if (f == "%d")
        std::snprintf(text, sizeof text, "%d", static_cast<int>(value));
    else if (f == "%u")
        std::snprintf(text, sizeof text, "%u", static_cast<unsigned>(value));
    else if (f == "0x%X")
        std::snprintf(text, sizeof text, "0x%X", static_cast<unsigned>(value));
    else if (f == "0x%I64X")
        std::snprintf(text, sizeof text, "0x%" PRIX64, value);
    else
        std::snprintf(text, sizeof text, "%" PRIu64, value);
    return text;
}

std::string WideParameter(WStringView text)
{
    std::string out;
    if (WideToMultiByte(CP_UTF8, text, out) != 0)
    {
        // Unpaired surrogates: keep what can be shown rather than lose the whole parameter.
        out.clear();
        for (char16_t unit : text)
            out += unit < 0x80 ? static_cast<char>(unit) : '?';
    }
    return out;
}

namespace
{
// The volume goes last, so that %1 and %2 stay the generator's own parameters.
std::vector<std::string> WithVolume(std::initializer_list<std::string> params, const CVolumeID& volume)
{
    std::vector<std::string> all(params);
    all.push_back(volume.ToString());
    return all;
}
} // namespace

CStatus MakeFailure(const char* file, int line, std::uint32_t code, std::uint32_t osError,
                    std::vector<std::string> params)
{
    auto record = std::make_shared<CErrorRecord>();
    record->Code = code;
    record->OSError = osError;
    record->SourceFile = file ? file : "";
    record->Line = line;
    record->Parameters = std::move(params);
    return CStatus(std::move(record));
}

CErrorGenMessage::CErrorGenMessage(const char* file, int line, std::uint32_t code,
                                   std::initializer_list<std::string> params)
    : CStatus(MakeFailure(file, line, code, 0, params))
{
}

CErrorGenFileSystem::CErrorGenFileSystem(const char* file, int line, std::uint32_t code, const CVolumeID& volume,
                                         std::initializer_list<std::string> params)
    : CStatus(MakeFailure(file, line, code, 0, WithVolume(params, volume)))
{
}

CErrorGenMemory::CErrorGenMemory(const char* file, int line, std::size_t size)
    : CStatus(MakeFailure(file, line, HostErrorOutOfMemory, 8, {FormatParameter("%I64u", size)}))
{
}

CErrorNumber::CErrorNumber(const char* file, int line, std::uint32_t code, std::uint32_t osError,
                           std::string_view text)
    : CStatus(MakeFailure(file, line, code, osError, {FormatParameter("%u", osError), std::string(text)}))
{
}

CStatus CErrorNumber::OsError(const char* file, int line, std::uint32_t osError)
{
    return MakeFailure(file, line, HostErrorOsError, osError, {FormatParameter("%u", osError)});
}

CErrorHRESULT::CErrorHRESULT(const char* file, int line, std::int32_t hresult)
    : CStatus(MakeFailure(file, line, HostErrorHResult, 0,
                          {FormatParameter("0x%X", static_cast<std::uint32_t>(hresult))}))
{
}
