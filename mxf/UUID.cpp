#include "mxf/UUID.h"

#include "mxf/IdentifierText.h"
#include "mxf/Label.h"
#include "mxf/Labels.h"
#include "mxf/OutputFormat.h"

#include <mutex>
#include <random>

namespace mxf
{

namespace
{

struct RandomSource
{
    std::mutex Lock;
    std::mt19937_64 Engine;

    RandomSource()
    {
        std::random_device device;
        std::seed_seq seed{device(), device(), device(), device(), device(), device(), device(), device()};
        Engine.seed(seed);
    }
};

RandomSource& Random()
{
    static auto* source = new RandomSource;
    return *source;
}

} // namespace

UUID::UUID()
{
    std::uint64_t words[2];
    {
        RandomSource& random = Random();
        std::lock_guard guard(random.Lock);
        words[0] = random.Engine();
        words[1] = random.Engine();
    }
    std::uint8_t* bytes = GetValue();
    for (int i = 0; i < 16; ++i)
        bytes[i] = static_cast<std::uint8_t>(words[i / 8] >> (8 * (i % 8)));
    bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0f) | 0x40); // version 4: random
    bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3f) | 0x80); // variant 10x
}

std::string UUID::FormatString(const std::uint8_t* bytes, int format)
{
    // A set top bit of byte 9 is the variant of a true UUID; without it, a SMPTE prefix marks a label.
    const bool variant = bytes[8] & 0x80;
    if (!variant && HasSMPTEPrefix(bytes))
        if (LabelPtr label = Label::Find(UL(bytes)))
            return label->Describe();

    static OutputFormat formats("UUID");
    formats.Resolve(format);
    if (variant || HasSMPTEPrefix(bytes))
        return UUIDText(bytes);
    return LabelText(SwapHalves(bytes).data()); // a label held as a UUID, halves swapped
}

ULPtr ULFromNewUUID()
{
    const UUID fresh;
    return new UL(SwapHalves(fresh.GetValue()).data());
}

} // namespace mxf
