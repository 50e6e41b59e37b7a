// The opcodes by which the host asks a file system for work, each named after the handler that serves
// it, and the opcodes and sub-codes of the items a scan hands back in its item operation. Plain
// numbers carried in `CArchiveFileSystemOperation::Opcode`; the handlers without a name of their own
// (`HandleOpcode3`, ...) go by their number.
#pragma once

#include <cstdint>

constexpr std::uint32_t OpcodeAcceptVolume = 1;
constexpr std::uint32_t OpcodeRecogniseVolume = 2;
constexpr std::uint32_t OpcodeWriteUserFile = 4;
constexpr std::uint32_t OpcodeReadUserFile = 7;
constexpr std::uint32_t OpcodeReadFragment = 8;
constexpr std::uint32_t OpcodeGetNextItem = 11;
constexpr std::uint32_t OpcodeWriteDirectory = 16;

// What a scan hands back, by the opcode of its item operation: a file or directory carries the opcode
// of writing it, the end of an archive opcode 20 with its sub-code.
constexpr std::uint32_t ItemLabel = 0;
constexpr std::uint32_t ItemFile = OpcodeWriteUserFile;
constexpr std::uint32_t ItemDirectory = OpcodeWriteDirectory;
constexpr std::uint32_t ItemArchiveEnd = 20;

constexpr std::uint32_t SubCodeArchiveEnd = 9; // the sub-code of an `ItemArchiveEnd` item
