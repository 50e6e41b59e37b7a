#include "SetChains.h"

namespace mxftest
{

namespace
{

const ByteString& Primer()
{
    static const ByteString primer = PrimerPack(
        {{0x3c0a, "060e2b34 01010101 01011502 00000000"}, {0x1901, "060e2b34 01010102 06010104 05010000"}});
    return primer;
}

void AppendId(ByteString& out, std::size_t n)
{
    const ByteString id = Bytes("a0a0a0a0 a0a0a0a0 a0a0a0a0") + BigEndian(n, 4);
    out.insert(out.end(), id.begin(), id.end());
}

void AppendBytes(ByteString& out, const ByteString& bytes)
{
    out.insert(out.end(), bytes.begin(), bytes.end());
}

// Key, a 4-byte length, and the InstanceUID item; the caller appends the rest of the value.
void AppendSetStart(ByteString& out, const ByteString& key, std::size_t valueSize, std::size_t id)
{
    AppendBytes(out, key);
    AppendBytes(out, ByteString{0x83});
    AppendBytes(out, BigEndian(valueSize, 3));
    AppendBytes(out, Bytes("3c0a 0010"));
    AppendId(out, id);
}

} // namespace

ByteString ChainedSets(std::size_t n, ChainOrder order)
{
    static const ByteString key = Bytes("060e2b34 02530101 0d010101 01011800");
    constexpr std::size_t Value = 20 + 4 + 8 + 16;
    ByteString out = Primer();
    out.reserve(out.size() + n * (20 + Value));
    for (std::size_t k = 0; k < n; ++k)
    {
        const std::size_t i = order == ChainOrder::OwnedFirst ? k : n - 1 - k;
        const bool owns = i > 0;
        AppendSetStart(out, key, owns ? Value : Value - 16, i + 1);
        AppendBytes(out, Bytes("1901"));
        AppendBytes(out, BigEndian(owns ? 24 : 8, 2));
        AppendBytes(out, BigEndian(owns ? 1 : 0, 4));
        AppendBytes(out, BigEndian(16, 4));
        if (owns)
            AppendId(out, i);
    }
    return out;
}

ByteString FlatSets(std::size_t n)
{
    static const ByteString key = Bytes("060e2b34 02530101 0d010101 01013600");
    ByteString out = Primer();
    out.reserve(out.size() + n * 40);
    for (std::size_t i = 0; i < n; ++i)
        AppendSetStart(out, key, 20, i + 1);
    return out;
}

ByteString HeaderPartition(const ByteString& metadata)
{
    ByteString out = PartitionPack("0204", metadata.size());
    AppendBytes(out, metadata);
    return out;
}

} // namespace mxftest
