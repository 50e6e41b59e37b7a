// The host's error generators. Each builds a failed CStatus that records the host error number, the
// source file and line that raised it and its text parameters. Numbers are formatted into parameters
// with FormatParameter, which takes the formats the plug-ins use ("%d", "%I64u", "%I64d", "0x%X").
#pragma once

#include "vnservice/CStatus.h"
#include "vnservice/Identities.h"
#include "win/WideString.h"

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

// Formats one number with a printf format of the Windows run-time ("%I64u" is a 64-bit unsigned).
std::string FormatParameter(const char* format, std::uint64_t value);
// Wide text as a parameter (UTF-8).
std::string WideParameter(WStringView text);

class CErrorGenMessage : public CStatus
{
public:
    CErrorGenMessage(const char* file, int line, std::uint32_t code, std::initializer_list<std::string> params = {});
};

// A file-system error: the volume's identity text comes first among the parameters' context.
class CErrorGenFileSystem : public CStatus
{
public:
    CErrorGenFileSystem(const char* file, int line, std::uint32_t code, const CVolumeID& volume,
                        std::initializer_list<std::string> params = {});
};

class CErrorGenMemory : public CStatus
{
public:
    CErrorGenMemory(const char* file, int line, std::size_t size);
};

// A host error number with the Win32 error behind it and a text.
class CErrorNumber : public CStatus
{
public:
    CErrorNumber(const char* file, int line, std::uint32_t code, std::uint32_t osError, std::string_view text);
    // A Win32 error as a host failure.
    static CStatus OsError(const char* file, int line, std::uint32_t osError);
};

class CErrorHRESULT : public CStatus
{
public:
    CErrorHRESULT(const char* file, int line, std::int32_t hresult);
};

// Builds a failure record; the generators above are this with their own numbers and parameters.
CStatus MakeFailure(const char* file, int line, std::uint32_t code, std::uint32_t osError,
                    std::vector<std::string> params);
