// Conversion between multi-byte text and UTF-16 in the code pages the plug-ins name:
// 0 (the process's ANSI code page, UTF-8 on this platform), 1 (OEM, taken as CP437), 65000 (UTF-7),
// 65001 (UTF-8). Text that does not convert is refused, never replaced.
#pragma once

#include "win/WideString.h"

#include <cstdint>
#include <string>
#include <string_view>

constexpr unsigned CP_ACP = 0;
constexpr unsigned CP_OEMCP = 1;
constexpr unsigned CP_UTF7 = 65000;
constexpr unsigned CP_UTF8 = 65001;

// Each returns ERROR_SUCCESS, ERROR_NO_UNICODE_TRANSLATION for a sequence that does not convert, or
// ERROR_INVALID_PARAMETER for a code page this platform does not know; `out` is empty on failure.
std::uint32_t MultiByteToWide(unsigned codePage, std::string_view text, WString& out);
std::uint32_t WideToMultiByte(unsigned codePage, WStringView text, std::string& out);
