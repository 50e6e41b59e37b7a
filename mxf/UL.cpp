#include "mxf/UL.h"

#include "mxf/IdentifierText.h"
#include "mxf/Label.h"
#include "mxf/OutputFormat.h"

namespace mxf
{

bool UL::Matches(const UL& other) const
{
    const std::uint8_t* a = GetValue();
    const std::uint8_t* b = other.GetValue();
    for (int i = 8; i < 16; ++i)
        if (a[i] != b[i])
            return false;
    if (a[6] != b[6])
        return false;
    const bool groupKey = a[0] == 0x06 && a[4] == 0x02;
    if (!groupKey && a[5] != b[5])
        return false;
    for (int i = 0; i < 5; ++i)
        if (a[i] != b[i])
            return false;
    return true;
}

std::string UL::FormatString(const std::uint8_t* bytes, int format)
{
    if (LabelPtr label = Label::Find(UL(bytes)))
        return label->Describe();

    static OutputFormat formats("UL");
    formats.Resolve(format);
    // A set top bit in byte 1 marks a UUID held as a UL (its variant bits), printed in its own order.
    if (bytes[0] & 0x80)
        return UUIDText(SwapHalves(bytes).data());
    return LabelText(bytes);
}

} // namespace mxf
