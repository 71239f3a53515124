#include "script/common_strings.h"

#include <cstring>
#include <string>

#include "script/memory_manager.h"

namespace {
constexpr size_t kMaxBlock = 0x7FFFFFFF;

bool Inside(const char* p, const char* block, size_t size) {
  auto a = reinterpret_cast<uintptr_t>(p), b = reinterpret_cast<uintptr_t>(block);
  return block && a >= b && a < b + size;
}
}  // namespace

char* String_Join(char* block, const char* s1, const char* s2, const char* s3, const char* s4,
                  const char* s5, const char* s6, const char* s7, const char* s8, const char* s9,
                  const char* s10) {
  const char* parts[] = {s1, s2, s3, s4, s5, s6, s7, s8, s9, s10};
  size_t lengths[10];
  size_t total = 0;
  bool aliased = false;
  size_t blockSize = MemoryManager::BlockSize(block);
  for (int i = 0; i < 10; ++i) {
    lengths[i] = parts[i] ? std::strlen(parts[i]) : 0;
    total += lengths[i];
    aliased |= lengths[i] && Inside(parts[i], block, blockSize);
  }
  if (total == 0) return nullptr;
  if (total >= kMaxBlock) MemoryManager::OutOfMemory();

  // A part taken from the block would be released by a moving resize, or
  // overwritten by the parts written before it; join through a copy then.
  std::string joined;
  if (aliased) {
    joined.reserve(total);
    for (int i = 0; i < 10; ++i) joined.append(parts[i] ? parts[i] : "", lengths[i]);
  }
  block = static_cast<char*>(
      MemoryManager::Resize(block, static_cast<uint32_t>(total + 1), __FILE__, __LINE__));
  if (aliased) {
    std::memcpy(block, joined.data(), total);
  } else {
    char* out = block;
    for (int i = 0; i < 10; ++i) {
      if (lengths[i]) std::memcpy(out, parts[i], lengths[i]);
      out += lengths[i];
    }
  }
  block[total] = '\0';
  return block;
}

char16_t* String_ToWide(const char* text) {
  size_t n = text ? std::strlen(text) : 0;
  if (n >= kMaxBlock / 2) MemoryManager::OutOfMemory();
  auto* wide = static_cast<char16_t*>(TW_ALLOC(static_cast<uint32_t>(2 * n + 2), false));
  for (size_t i = 0; i < n; ++i) wide[i] = static_cast<unsigned char>(text[i]);
  wide[n] = 0;
  return wide;
}

char* String_FromWide(const char16_t* text) {
  size_t n = 0;
  if (text)
    while (text[n]) ++n;
  if (n >= kMaxBlock) MemoryManager::OutOfMemory();
  auto* narrow = static_cast<char*>(TW_ALLOC(static_cast<uint32_t>(n + 1), false));
  for (size_t i = 0; i < n; ++i) narrow[i] = static_cast<char>(text[i] & 0xFF);
  narrow[n] = '\0';
  return narrow;
}

int32_t FilePos_ToInt(int64_t pos) {
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(pos)));
}
