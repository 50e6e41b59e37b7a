// Win32 error numbers that the plug-ins and the host exchange, and the per-thread last error.
// The numbers are those of the originals, since catalogue code throws them and statuses carry them.
#pragma once

#include <cstdint>

constexpr std::uint32_t ERROR_SUCCESS = 0;
constexpr std::uint32_t ERROR_FILE_NOT_FOUND = 2;
constexpr std::uint32_t ERROR_ACCESS_DENIED = 5;
constexpr std::uint32_t ERROR_INVALID_HANDLE = 6;
constexpr std::uint32_t ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr std::uint32_t ERROR_INVALID_DATA = 13;
constexpr std::uint32_t ERROR_OUTOFMEMORY = 14;
constexpr std::uint32_t ERROR_WRITE_FAULT = 29;
constexpr std::uint32_t ERROR_READ_FAULT = 30;
constexpr std::uint32_t ERROR_HANDLE_EOF = 38;
constexpr std::uint32_t ERROR_NOT_SUPPORTED = 50;
constexpr std::uint32_t ERROR_INVALID_PARAMETER = 87;
constexpr std::uint32_t ERROR_INSUFFICIENT_BUFFER = 122;
constexpr std::uint32_t ERROR_ALREADY_EXISTS = 183;
constexpr std::uint32_t ERROR_MORE_DATA = 234;
constexpr std::uint32_t ERROR_NO_MORE_ITEMS = 259;
constexpr std::uint32_t ERROR_END_OF_MEDIA = 1100;
constexpr std::uint32_t ERROR_FILEMARK_DETECTED = 1101;
constexpr std::uint32_t ERROR_BEGINNING_OF_MEDIA = 1102;
constexpr std::uint32_t ERROR_NO_DATA_DETECTED = 1104;
constexpr std::uint32_t ERROR_INVALID_BLOCK_LENGTH = 1106;
constexpr std::uint32_t ERROR_NO_UNICODE_TRANSLATION = 1113;
constexpr std::uint32_t ERROR_NOT_FOUND = 1168;
constexpr std::uint32_t ERROR_FILE_CORRUPT = 1392;
constexpr std::uint32_t ERROR_DISK_CORRUPT = 1393;

// The C run-time's "result too large", returned by the bounded string copies.
constexpr int ERANGE_COPY = 34;

std::uint32_t GetLastError();
void SetLastError(std::uint32_t error);
