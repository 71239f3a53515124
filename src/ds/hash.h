// Byte-level hashes and encodings.
#pragma once
#include <cstddef>
#include <cstdint>

// The engine's CRC-32: the register starts at 0xFFFFFFFF and is not inverted
// at the end, so it is the complement of the common CRC-32. Maps hash their
// keys with it.
void Crc32_InitTable();
uint32_t Crc32_String(const char* text);
// 0xFFFFFFFF for a length of 0 or less.
uint32_t Crc32_Bytes(const void* bytes, int64_t length);
