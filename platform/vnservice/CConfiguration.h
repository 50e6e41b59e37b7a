// Host configuration values, read from "reelfs.ini" in the host's home folder: "[Section]" lines and
// "Key=Value" lines; blanks around keys and values are dropped; ";" and "#" start comment lines.
// Section and key names compare ignoring letter case. Read once at start; const after that.
#pragma once

#include "vnservice/CStatus.h"
#include "win/WideString.h"

#include <cstdint>

#include <map>
#include <string>

class CConfiguration
{
public:
    // A missing file is an empty configuration.
    void LoadFile(const std::string& path);
    void LoadText(const std::string& text);

    // True and the value when section and key exist.
    bool GetValue(WStringView section, WStringView key, WString& value) const;
    // The value as a 32-bit decimal number. A missing key gives `defaultValue` and success; a value that
    // is no such number gives `defaultValue` and fails with HostErrorBadSetting.
    CStatus GetValue(WStringView section, WStringView key, std::uint32_t& value,
                     std::uint32_t defaultValue) const;

private:
    // Keys are "section\nkey", folded to lower case.
    std::map<WString, WString> Values;
};
