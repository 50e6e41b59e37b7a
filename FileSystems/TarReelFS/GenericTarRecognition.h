// The tape signature of generic TAR tapes, shared by recognition and the scan.
#pragma once

#include "vnservice/CStatus.h"
#include "win/WideString.h"

#include <cstddef>
#include <cstdint>

class CGenericTarFileSystemOperation;
class CTarFile;

// Fills the operation's SignatureNumber and LabelId from the first header of the tape.
CStatus MakeTapeSignature(CGenericTarFileSystemOperation& operation, const CTarFile& header);
// Seconds since 1970 (negative before) as UTC "YYYY-MM-DD HH:MM:SS"; empty outside the years 1 to 3000.
WString FormatGmt(std::int64_t seconds);
// 64-bit FNV-1a over the name's UTF-16 code units, low byte first.
std::uint64_t HashName(WStringView name);
// Continues a 64-bit FNV-1a hash over the bytes.
std::uint64_t HashBytes(std::uint64_t hash, const std::uint8_t* bytes, std::size_t size);
