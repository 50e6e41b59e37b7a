// Host configuration values, read from "reelfs.ini" in the host's home folder: "[Section]" lines and
// "Key=Value" lines; blanks around keys and values are dropped; ";" and "#" start comment lines.
// Section and key names compare ignoring letter case. Read once at start; const after that.
#pragma once

#include "win/WideString.h"

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

private:
    // Keys are "section\nkey", folded to lower case.
    std::map<WString, WString> Values;
};
