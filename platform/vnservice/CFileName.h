// A file name inside the archive: wide text, converted to and from multi-byte text in a code page.
// Names compare as the host's file names do: ignoring the case of A-Z, by code units otherwise.
#pragma once

#include "win/WideString.h"

#include <cstdint>
#include <string>
#include <string_view>

class CFileName
{
public:
    CFileName() = default;
    explicit CFileName(WString text) : Text(std::move(text)) {}

    // Returns ERROR_SUCCESS or the conversion's Win32 error; the name is empty after a failure.
    std::uint32_t FromMultiByte(unsigned codePage, std::string_view text);
    std::uint32_t ToMultiByte(unsigned codePage, std::string& out) const;
    // UTF-8, for messages and listings.
    std::string ToUtf8() const;

    const WString& GetText() const { return Text; }
    WString& GetText() { return Text; }
    bool IsEmpty() const { return Text.empty(); }
    void Empty() { Text.clear(); }

    // 0 when equal, <0 or >0 otherwise.
    int Compare(const CFileName& other) const { return CompareNoCase(Text, other.Text); }
    int Compare(WStringView other) const { return CompareNoCase(Text, other); }

private:
    WString Text;
};
