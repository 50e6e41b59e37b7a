// Labels: every fixed label that the library and its plug-ins look for by name, declared here once, with the
// SMPTE prefix that most of them share and the leading bytes of the label families that are made from a
// code. Compile-time constants and pure functions: free to use from any thread.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace mxf
{

// The 16 bytes of a label, as indexes and tables keep them.
using LabelKey = std::array<std::uint8_t, 16>;

// The first four bytes of every label of the SMPTE register.
constexpr std::array<std::uint8_t, 4> SMPTEPrefix = {0x06, 0x0e, 0x2b, 0x34};
// The OID arcs 1.3.52 that the SMPTE prefix stands for in the text and OID forms of a label.
constexpr std::array<std::uint8_t, 3> SMPTEArcs = {0x01, 0x03, 0x34};

inline bool HasSMPTEPrefix(const std::uint8_t* bytes)
{
    return std::memcmp(bytes, SMPTEPrefix.data(), SMPTEPrefix.size()) == 0;
}

// Items.
constexpr LabelKey InstanceUIDKey = {0x06, 0x0e, 0x2b, 0x34, 0x01, 0x01, 0x01, 0x01,
                                     0x01, 0x01, 0x15, 0x02, 0x00, 0x00, 0x00, 0x00};
constexpr LabelKey KLVFillKey = {0x06, 0x0e, 0x2b, 0x34, 0x01, 0x01, 0x01, 0x02,
                                 0x03, 0x01, 0x02, 0x10, 0x01, 0x00, 0x00, 0x00};
// The partition pack's count of header metadata bytes.
constexpr LabelKey HeaderByteCountKey = {0x06, 0x0e, 0x2b, 0x34, 0x01, 0x01, 0x01, 0x04,
                                         0x04, 0x06, 0x09, 0x01, 0x00, 0x00, 0x00, 0x00};
// The partition pack's offset of the footer partition.
constexpr LabelKey FooterPartitionKey = {0x06, 0x0e, 0x2b, 0x34, 0x01, 0x01, 0x01, 0x04,
                                         0x06, 0x10, 0x10, 0x05, 0x01, 0x00, 0x00, 0x00};
// The index table segment's count of slices.
constexpr LabelKey SliceCountKey = {0x06, 0x0e, 0x2b, 0x34, 0x01, 0x01, 0x01, 0x04,
                                    0x04, 0x04, 0x04, 0x01, 0x01, 0x00, 0x00, 0x00};
// The random index pack's array of partitions, which its 4-byte length follows.
constexpr LabelKey PartitionArrayKey = {0x80, 0x62, 0xc1, 0x08, 0xa8, 0x0d, 0xeb, 0xfe,
                                        0x3a, 0x9d, 0xc8, 0xe1, 0x7e, 0x83, 0xb6, 0x4b};

// Packs. Partition pack keys share their first 11 bytes, those of the closed header's.
constexpr std::array<std::uint8_t, 11> PartitionPackKeyPrefix = {0x06, 0x0e, 0x2b, 0x34, 0x02, 0x05,
                                                                 0x01, 0x01, 0x0d, 0x01, 0x02};
constexpr LabelKey FooterPartitionPackKey = {0x06, 0x0e, 0x2b, 0x34, 0x02, 0x05, 0x01, 0x01,
                                             0x0d, 0x01, 0x02, 0x01, 0x01, 0x04, 0x02, 0x00};
constexpr LabelKey CompleteFooterPartitionPackKey = {0x06, 0x0e, 0x2b, 0x34, 0x02, 0x05, 0x01, 0x01,
                                                     0x0d, 0x01, 0x02, 0x01, 0x01, 0x04, 0x04, 0x00};
constexpr LabelKey PrimerPackKey = {0x06, 0x0e, 0x2b, 0x34, 0x02, 0x05, 0x01, 0x01,
                                    0x0d, 0x01, 0x02, 0x01, 0x01, 0x05, 0x01, 0x00};

// Classes.
constexpr LabelKey InterchangeObjectKey = {0x06, 0x0e, 0x2b, 0x34, 0x02, 0x53, 0x01, 0x01,
                                           0x0d, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x00};
// The dictionary's abstract local set.
constexpr LabelKey AbstractObjectKey = {0x06, 0x0e, 0x2b, 0x34, 0x02, 0x53, 0x01, 0x01,
                                        0x0d, 0x01, 0x01, 0x01, 0x01, 0x01, 0x7f, 0x00};
constexpr LabelKey IndexTableSegmentKey = {0x06, 0x0e, 0x2b, 0x34, 0x02, 0x53, 0x01, 0x01,
                                           0x0d, 0x01, 0x02, 0x01, 0x01, 0x10, 0x01, 0x00};
// The built-in dictionary's item of unknown key.
constexpr LabelKey UnknownClassKey = {0xe0, 0x72, 0xd2, 0x17, 0xef, 0x1e, 0xfb, 0x6e,
                                      0x9b, 0x9e, 0xe1, 0xa8, 0x83, 0xb6, 0x4b, 0x3c};

// Families: the fixed leading bytes, which the code bytes of a member follow.
// Meta-dictionary classes: a class code, then 00 00.
constexpr std::array<std::uint8_t, 13> MetaClassPrefix = {0x06, 0x0e, 0x2b, 0x34, 0x02, 0x53, 0x01,
                                                          0x01, 0x0d, 0x01, 0x01, 0x01, 0x02};
// Meta-dictionary properties: eight bytes of the property.
constexpr std::array<std::uint8_t, 8> MetaPropertyPrefix = {0x06, 0x0e, 0x2b, 0x34, 0x01, 0x01, 0x01, 0x02};
// Meta-dictionary reference types: a type code, then zero bytes.
constexpr std::array<std::uint8_t, 9> MetaTypePrefix = {0x06, 0x0e, 0x2b, 0x34, 0x01, 0x04, 0x01, 0x01, 0x05};
// The standard integer and string types: two type bytes, then zero bytes.
constexpr std::array<std::uint8_t, 9> SMPTETypePrefix = {0x06, 0x0e, 0x2b, 0x34, 0x01,
                                                         0x04, 0x01, 0x01, 0x01};

// The member of a family: its fixed leading bytes, the code bytes given, then zero bytes to the end.
template <std::size_t N, std::size_t M>
constexpr LabelKey FamilyLabel(const std::array<std::uint8_t, N>& prefix,
                               const std::array<std::uint8_t, M>& code)
{
    static_assert(N + M <= 16);
    LabelKey label{};
    for (std::size_t i = 0; i < N; ++i)
        label[i] = prefix[i];
    for (std::size_t i = 0; i < M; ++i)
        label[N + i] = code[i];
    return label;
}

} // namespace mxf
