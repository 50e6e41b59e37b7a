// The opcodes by which the host asks a file system for work, each named after the handler that serves
// it, and the opcodes and sub-codes of the items a scan hands back in its item operation. Plain
// numbers carried in `CArchiveFileSystemOperation::Opcode`. A handler without a name of its own
// (`HandleOpcode12`, ...) lends its name to its opcode; opcode 3 goes by what the estimates count
// for it.
#pragma once

#include <cstdint>

// No handler: a volume's label as a scan hands it back; the estimates give it no tape.
constexpr std::uint32_t OpcodeLabel = 0;
constexpr std::uint32_t OpcodeAcceptVolume = 1;
constexpr std::uint32_t OpcodeRecogniseVolume = 2;
// `HandleOpcode3`: what opens a volume, a labelled tape's label block and its mark, or a generic TAR
// tape's first catalogued record.
constexpr std::uint32_t OpcodeWriteLabel = 3;
constexpr std::uint32_t OpcodeWriteUserFile = 4;
constexpr std::uint32_t OpcodeReadUserFile = 7;
constexpr std::uint32_t OpcodeReadFragment = 8;
constexpr std::uint32_t OpcodeGetNextItem = 11;
constexpr std::uint32_t OpcodeHandleOpcode12 = 12;
constexpr std::uint32_t OpcodeHandleOpcode13 = 13;
constexpr std::uint32_t OpcodeWriteDirectory = 16;
constexpr std::uint32_t OpcodeHandleOpcode17 = 17;
constexpr std::uint32_t OpcodeHandleOpcode18 = 18;
// Items told apart by their sub-code (below), the end of an archive among them.
constexpr std::uint32_t OpcodeHandleOpcode20 = 20;

// The sub-codes of opcode 20 that `HandleOpcode20` completes at once, with nothing to do; it fails any other.
constexpr std::uint32_t SubCodeCompleted7 = 7;
constexpr std::uint32_t SubCodeCompleted8 = 8;

// What a scan hands back, by the opcode of its item operation: a file or directory carries the opcode
// of writing it, the label the label's, the end of an archive opcode 20 with its sub-code.
constexpr std::uint32_t ItemLabel = OpcodeLabel;
constexpr std::uint32_t ItemFile = OpcodeWriteUserFile;
constexpr std::uint32_t ItemDirectory = OpcodeWriteDirectory;
constexpr std::uint32_t ItemArchiveEnd = OpcodeHandleOpcode20;

constexpr std::uint32_t SubCodeNone = 0;       // the sub-code of an `ItemDirectory` item
constexpr std::uint32_t SubCodeArchiveEnd = 9; // the sub-code of an `ItemArchiveEnd` item
