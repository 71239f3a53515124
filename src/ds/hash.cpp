#include "ds/hash.h"

#include <zlib.h>

#include <cstring>

namespace {

// Feeds a length that may exceed what one library call takes.
template <typename Feed>
void InRuns(const void* bytes, int64_t length, Feed feed) {
  const auto* p = static_cast<const uint8_t*>(bytes);
  while (length > 0) {
    const int64_t run = length > 0x40000000 ? 0x40000000 : length;
    feed(p, size_t(run));
    p += run;
    length -= run;
  }
}

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// The 6-bit number of a character of the alphabet, or -1.
int Sextet(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

}  // namespace

// zlib's table is built on first use; asking for it here keeps that out of
// the first map operation.
void Crc32_InitTable() { (void)get_crc_table(); }

uint32_t Crc32_String(const char* text) { return Crc32_Bytes(text, text ? int64_t(std::strlen(text)) : 0); }

uint32_t Crc32_Bytes(const void* bytes, int64_t length) {
  if (!bytes || length <= 0) return 0xFFFFFFFFu;
  uLong crc = crc32(0L, Z_NULL, 0);
  InRuns(bytes, length, [&](const uint8_t* p, size_t n) { crc = crc32(crc, p, uInt(n)); });
  return ~uint32_t(crc);
}

void Md5_Init(Md5Context* context) {
  md5_init(&context->state);
  std::memset(context->digest, 0, sizeof context->digest);
}

void Md5_Update(Md5Context* context, const void* bytes, int64_t length) {
  if (!bytes) return;
  InRuns(bytes, length, [&](const uint8_t* p, size_t n) { md5_update(&context->state, n, p); });
}

void Md5_Final(Md5Context* context) { md5_digest(&context->state, sizeof context->digest, context->digest); }

void Sha1_Reset(Sha1Context* context) {
  sha1_init(&context->state);
  std::memset(context->digest, 0, sizeof context->digest);
  context->computed = false;
  context->corrupted = false;
}

void Sha1_Input(Sha1Context* context, const void* bytes, int64_t length) {
  if (length <= 0 || !bytes) return;
  if (context->computed) {
    context->corrupted = true;
    return;
  }
  InRuns(bytes, length, [&](const uint8_t* p, size_t n) { sha1_update(&context->state, n, p); });
}

bool Sha1_Result(Sha1Context* context) {
  if (context->corrupted) return false;
  if (!context->computed) {
    sha1_digest(&context->state, sizeof context->digest, context->digest);
    context->computed = true;
  }
  return true;
}

std::string Hash_Hex(const uint8_t* digest, size_t length) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(length * 2);
  for (size_t i = 0; i < length; ++i) {
    out += kDigits[digest[i] >> 4];
    out += kDigits[digest[i] & 15];
  }
  return out;
}

size_t Base64_EncodedLength(size_t length) { return (length + 2) / 3 * 4; }

void Base64_Encode(const void* bytes, size_t length, char* output) {
  const auto* in = static_cast<const uint8_t*>(bytes);
  char* out = output;
  size_t i = 0;
  for (; i + 3 <= length; i += 3) {
    const uint32_t group = uint32_t(in[i]) << 16 | uint32_t(in[i + 1]) << 8 | in[i + 2];
    for (int shift = 18; shift >= 0; shift -= 6) *out++ = kAlphabet[(group >> shift) & 63];
  }
  if (const size_t left = length - i; left > 0) {
    const uint32_t group = uint32_t(in[i]) << 16 | (left == 2 ? uint32_t(in[i + 1]) << 8 : 0);
    *out++ = kAlphabet[(group >> 18) & 63];
    *out++ = kAlphabet[(group >> 12) & 63];
    *out++ = left == 2 ? kAlphabet[(group >> 6) & 63] : '=';
    *out++ = '=';
  }
  *out = '\0';
}

std::string Base64_EncodeText(const void* bytes, size_t length) {
  std::string text(Base64_EncodedLength(length) + 1, '\0');
  Base64_Encode(bytes, length, text.data());
  text.pop_back();
  return text;
}

int64_t Base64_Decode(const char* text, int64_t outputSize, uint8_t* output, bool terminate) {
  if (!text || !output || outputSize < 1) return 0;
  int64_t written = 0;
  auto put = [&](uint8_t b) {
    if (written < outputSize - 1) output[written++] = b;
  };
  uint32_t group = 0;
  int count = 0;
  for (const char* p = text; *p; ++p) {
    const int v = Sextet(static_cast<unsigned char>(*p));
    if (v < 0) break;  // "=" or any character outside the alphabet ends the text
    group = group << 6 | uint32_t(v);
    if (++count == 4) {
      put(uint8_t(group >> 16));
      put(uint8_t(group >> 8));
      put(uint8_t(group));
      group = 0;
      count = 0;
    }
  }
  if (count >= 2) {
    group <<= 6 * (4 - count);
    put(uint8_t(group >> 16));
    if (count == 3) put(uint8_t(group >> 8));
  }
  if (terminate && written < outputSize - 1) output[written] = 0;
  return written;
}

int64_t Base64_CheckedLength(const char* text) {
  if (!text) return 0;
  int64_t data = 0;
  const char* p = text;
  for (; *p && *p != '='; ++p) {
    if (Sextet(static_cast<unsigned char>(*p)) < 0) return -1;
    ++data;
  }
  const int64_t left = data % 4;
  if (left == 1) return -1;
  if (*p == '=') {
    int64_t pads = 0;
    while (p[pads] == '=') ++pads;
    if (left == 0 || pads != 4 - left) return -1;
  }
  return data / 4 * 3 + (left ? left - 1 : 0);
}
