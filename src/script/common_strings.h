// Small string routines used across the engine. Results are engine blocks
// (MemoryManager); the caller releases them.
#pragma once
#include <cstdint>

// Joins the non-empty strings among s1..s10, in order, into `block` (an
// engine block or null), grown to fit, and returns the block to use from now
// on. Arguments may point into `block` itself. When every string is null or
// empty the result is null and `block` is left as it was.
char* String_Join(char* block, const char* s1, const char* s2 = nullptr, const char* s3 = nullptr,
                  const char* s4 = nullptr, const char* s5 = nullptr, const char* s6 = nullptr,
                  const char* s7 = nullptr, const char* s8 = nullptr, const char* s9 = nullptr,
                  const char* s10 = nullptr);

// Each byte becomes one 16-bit character, with no code-page conversion; null
// reads as the empty string. Always a new terminated block.
char16_t* String_ToWide(const char* text);
// Each 16-bit character keeps only its low byte; null reads as the empty
// string. Always a new terminated block.
char* String_FromWide(const char16_t* text);

// The low 32 bits of a file position.
int32_t FilePos_ToInt(int64_t pos);
