#include "vnservice/CFileName.h"

#include "vnservice/ErrorGenerators.h"
#include "win/CodePage.h"

std::uint32_t CFileName::FromMultiByte(unsigned codePage, std::string_view text)
{
    return MultiByteToWide(codePage, text, Text);
}

std::uint32_t CFileName::ToMultiByte(unsigned codePage, std::string& out) const
{
    return WideToMultiByte(codePage, Text, out);
}

std::string CFileName::ToUtf8() const
{
    return WideParameter(Text);
}
