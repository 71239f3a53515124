#include "ds/hash.h"

#include <zlib.h>

#include <cstring>

// zlib's table is built on first use; asking for it here keeps that out of
// the first map operation.
void Crc32_InitTable() { (void)get_crc_table(); }

uint32_t Crc32_String(const char* text) { return Crc32_Bytes(text, text ? int64_t(std::strlen(text)) : 0); }

uint32_t Crc32_Bytes(const void* bytes, int64_t length) {
  if (!bytes || length <= 0) return 0xFFFFFFFFu;
  uLong crc = crc32(0L, Z_NULL, 0);
  const auto* p = static_cast<const Bytef*>(bytes);
  while (length > 0) {
    uInt chunk = length > 0x40000000 ? 0x40000000u : uInt(length);
    crc = crc32(crc, p, chunk);
    p += chunk;
    length -= chunk;
  }
  return ~uint32_t(crc);
}
