#include "mxf/UMID.h"

#include "mxf/IdentifierText.h"
#include "mxf/OutputFormat.h"

#include <cstdio>

namespace mxf
{

std::string UMID::FormatString(const std::uint8_t* b, int format)
{
    static OutputFormat formats("UMID");
    formats.Resolve(format);

    char head[48];
    std::snprintf(head, sizeof head,
                  "[%02x%02x%02x%02x.%02x%02x.%02x%02x.%02x%02x%02x%02x],%02x,%02x,%02x,%02x,", b[0], b[1],
                  b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
    const std::uint8_t* material = b + 16;
    if (material[8] & 0x80)
        return head + UUIDText(material);
    return head + LabelText(SwapHalves(material).data());
}

} // namespace mxf
