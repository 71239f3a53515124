// Byte-level hashes and encodings.
#pragma once
#include <nettle/md5.h>
#include <nettle/sha1.h>

#include <cstddef>
#include <cstdint>
#include <string>

// The engine's CRC-32: the register starts at 0xFFFFFFFF and is not inverted
// at the end, so it is the complement of the common CRC-32. Maps hash their
// keys with it.
void Crc32_InitTable();
uint32_t Crc32_String(const char* text);
// 0xFFFFFFFF for a length of 0 or less.
uint32_t Crc32_Bytes(const void* bytes, int64_t length);

// MD5 fed in runs: Init, any number of Updates, then Final fills `digest`.
struct Md5Context {
  md5_ctx state;
  uint8_t digest[MD5_DIGEST_SIZE];
};
void Md5_Init(Md5Context* context);
void Md5_Update(Md5Context* context, const void* bytes, int64_t length);
void Md5_Final(Md5Context* context);

// SHA-1 fed in runs. Input after the result is ignored and marks the context
// corrupted; Result fails on a corrupted context and computes the digest
// once however often it is asked.
struct Sha1Context {
  sha1_ctx state;
  uint8_t digest[SHA1_DIGEST_SIZE];
  bool computed;
  bool corrupted;
};
void Sha1_Reset(Sha1Context* context);
void Sha1_Input(Sha1Context* context, const void* bytes, int64_t length);
bool Sha1_Result(Sha1Context* context);

// Lower-case hex digits of a digest, two per byte.
std::string Hash_Hex(const uint8_t* digest, size_t length);

// Standard base64 with "=" padding: 4 characters for every 3 bytes begun.
size_t Base64_EncodedLength(size_t length);
// Writes the text and a NUL into `output`, which holds
// Base64_EncodedLength(length) + 1 bytes.
void Base64_Encode(const void* bytes, size_t length, char* output);
std::string Base64_EncodeText(const void* bytes, size_t length);
// Decodes up to the first "=" or character outside the alphabet, keeping at
// most outputSize - 1 bytes (and a NUL after them when `terminate` is set and
// there is room). A leftover single character gives nothing. Returns the
// number of bytes written, the NUL not counted.
int64_t Base64_Decode(const char* text, int64_t outputSize, uint8_t* output, bool terminate);
// The number of bytes a well-formed text decodes to, or -1 when it is not:
// every character before the first "=" must be of the alphabet, their count
// must not leave a single character over, and any "=" run must be exactly the
// padding that completes the last group of four. What follows the padding is
// not read (decoding stops at the first "="). Unpadded texts are accepted.
int64_t Base64_CheckedLength(const char* text);
