// Wide text as the plug-ins know it: UTF-16 code units in char16_t, never the platform's 32-bit wchar_t.
// Comparisons work on code units, as the originals did; case folding is that of the "C" locale (A-Z only).
#pragma once

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

using WString = std::u16string;
using WStringView = std::u16string_view;

// ASCII text widened unit by unit; for literals and texts known to be plain ASCII.
WString WidenAscii(std::string_view text);

// Whether the texts hold the same code units; compares them in bulk, as == does not.
inline bool SameUnits(WStringView a, WStringView b)
{
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(char16_t)) == 0;
}

char16_t FoldCase(char16_t unit);

// <0, 0 or >0, ordering by code units after folding A-Z to a-z.
int CompareNoCase(WStringView a, WStringView b);
bool EqualsNoCase(WStringView a, WStringView b);

// Copies text and its terminating zero into a field of `units` code units. Returns 0, or ERANGE_COPY
// (leaving the field empty) when the text with its terminator does not fit.
int BoundedCopy(char16_t* field, std::size_t units, WStringView text);

// Length of a zero-terminated text inside a field of at most `units` code units.
std::size_t BoundedLength(const char16_t* field, std::size_t units);
