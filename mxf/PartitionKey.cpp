#include "mxf/PartitionKey.h"

namespace mxf
{

bool IsPartitionPackKey(const std::uint8_t* k)
{
    return k[0] == 0x06 && k[1] == 0x0e && k[2] == 0x2b && k[3] == 0x34 && k[4] == 0x02 && k[5] == 0x05 &&
           k[8] == 0x0d && k[9] == 0x01 && k[10] == 0x02 && k[11] == 0x01 && k[12] == 0x01 && k[13] != 0x05 &&
           k[13] != 0x11;
}

} // namespace mxf
