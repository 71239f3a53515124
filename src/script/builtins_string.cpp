#include "script/builtins_string.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "script/builtin_args.h"
#include "script/convert.h"
#include "script/errors.h"
#include "script/function_registry.h"
#include "script/memory_manager.h"
#include "script/value.h"

int UTF8_Find(const char* needle, const char* text) {
  if (!needle || !text || !*needle || !*text) return -1;
  int length = UTF8_Length(needle);
  int position = 0;
  for (const char* p = text; *p; ++position) {
    if (UTF8_CompareN(p, needle, length) == 0) return position;
    UTF8_DecodeChar(&p);
  }
  return -1;
}

namespace {

// The text `count` characters on from `text`, or its end.
const char* Advance(const char* text, int64_t count) {
  while (count-- > 0 && *text) UTF8_DecodeChar(&text);
  return text;
}

}  // namespace

std::string String_Substring(const char* text, long long start, long long count) {
  if (!text || start < 0 || count <= 0) return {};
  const char* from = Advance(text, start);
  return std::string(from, Advance(from, count));
}

namespace {

// Text the empty-string results have: a string value without a block.
void ReturnEmpty(ScriptValue* result) { ScriptValue_SetText(result, nullptr); }

void ReturnText(ScriptValue* result, const std::string& text) { ScriptValue_SetText(result, text.c_str()); }

void ReturnReal(ScriptValue* result, double x) {
  result->kind = kKindReal;
  result->real = x;
}

bool IsString(int argc, const ScriptValue* args, int i) { return IsStringArg(argc, args, i); }
bool IsReal(int argc, const ScriptValue* args, int i) { return IsRealArg(argc, args, i); }
double RealArg(int argc, const ScriptValue* args, int i) { return Arg(argc, args, i); }

// A script position or count: nearest integer, halves to even. Kept in 64
// bits so that adding or subtracting one never overflows.
int64_t RoundArg(int argc, const ScriptValue* args, int i) { return Real_RoundToInt32(RealArg(argc, args, i)); }


// ---- Conversion ------------------------------------------------------------------

// The longest decimal number at the start of [begin, end); none gives 0.
double LeadingReal(const char* begin, const char* end) {
  const char* p = begin;
  if (p < end && *p == '+') {
    ++p;  // from_chars takes no plus sign; "+-1" is not a number
    if (p < end && (*p == '-' || *p == '+')) return 0.0;
  }
  double value = 0.0;
  auto [stop, error] = std::from_chars(p, end, value, std::chars_format::general);
  if (error == std::errc::invalid_argument) return 0.0;
  if (error == std::errc::result_out_of_range) {
    // Beyond the range of a double: strtod gives the infinity or the zero.
    std::string digits(p, stop);
    value = std::strtod(digits.c_str(), nullptr);
  }
  return value;
}

TW_BUILTIN(F_Real) {
  if (argc < 1) return;
  if (args[0].IsReal()) {
    ReturnReal(result, args[0].real);
    return;
  }
  // Only the characters below 128 take part; anything else (an array, too)
  // has no text and reads as 0.
  std::string ascii;
  for (const char* p = args[0].Text(); *p;) {
    int c = UTF8_DecodeChar(&p);
    if (c > 0 && c < 128) ascii.push_back(char(c));
  }
  size_t first = 0, last = ascii.size();
  while (first < last && static_cast<unsigned char>(ascii[first]) <= 32) ++first;
  while (last > first && static_cast<unsigned char>(ascii[last - 1]) <= 32) --last;
  ReturnReal(result, LeadingReal(ascii.data() + first, ascii.data() + last));
}

TW_BUILTIN(F_String) {
  if (argc < 1) return;
  char* buffer = nullptr;
  char* cursor = nullptr;
  int32_t capacity = 0;
  ScriptValue_AppendText(&cursor, &buffer, &capacity, &args[0]);
  ScriptValue_SetText(result, buffer);
  MemoryManager::Release(buffer);
}

// Formatted results are cut to this many characters.
constexpr size_t kFormatLimit = 255;
// A double's exact decimal expansion ends within this many decimals, so more
// decimals only add zeros.
constexpr int64_t kMaxDecimals = 1100;

// The number in a field of (total - decimals) characters with that many
// decimals, right-aligned (left-aligned for a negative width, as the "%-"
// form of the field would do). Negative decimals give none.
TW_BUILTIN(F_StringFormat) {
  if (argc < 3) return;
  if (args[0].IsString()) {
    ScriptValue_SetText(result, args[0].Text());
    return;
  }
  int64_t total = Real_ToInt32(args[1].Real()), decimals = Real_ToInt32(args[2].Real());
  int64_t width = total - decimals;
  int precision = int(decimals < 0 ? 0 : decimals > kMaxDecimals ? kMaxDecimals : decimals);
  double x = args[0].Real();
  int n = std::snprintf(nullptr, 0, "%.*f", precision, x);
  std::string number(size_t(n > 0 ? n : 0), '\0');
  std::snprintf(number.data(), number.size() + 1, "%.*f", precision, x);
  uint64_t field = width < 0 ? uint64_t(-width) : uint64_t(width);
  size_t pad = field > number.size() ? size_t(std::min<uint64_t>(field - number.size(), kFormatLimit)) : 0;
  std::string text = width < 0 ? number + std::string(pad, ' ') : std::string(pad, ' ') + number;
  if (text.size() > kFormatLimit) text.resize(kFormatLimit);
  ReturnText(result, text);
}

void ReturnBytes(ScriptValue* result, const char* bytes, size_t n) {
  std::string text(bytes, n);
  ScriptValue_SetText(result, text.c_str());  // a NUL byte gives the empty string
}

TW_BUILTIN(F_Chr) {
  int32_t n = Real_ToInt32(RealArg(argc, args, 0));
  char bytes[4];
  char* cursor = bytes;
  if (n < 128)
    *cursor++ = char(n & 0x7F);
  else
    UTF8_EncodeChar(&cursor, n & 0xFFFF);
  ReturnBytes(result, bytes, size_t(cursor - bytes));
}

TW_BUILTIN(F_AnsiChar) {
  char byte = char(Real_RoundToInt32(RealArg(argc, args, 0)) & 0xFF);
  ReturnBytes(result, &byte, 1);
}

TW_BUILTIN(F_Ord) {
  const char* text = TextArg(argc, args, 0);
  if (*text) ReturnReal(result, UTF8_DecodeChar(&text));
}

// ---- Measuring and searching ----------------------------------------------------------

TW_BUILTIN(F_StringLength) { ReturnReal(result, UTF8_Length(TextArg(argc, args, 0))); }

TW_BUILTIN(F_StringByteLength) { ReturnReal(result, double(std::strlen(TextArg(argc, args, 0)))); }

TW_BUILTIN(F_StringPos) { ReturnReal(result, UTF8_Find(TextArg(argc, args, 0), TextArg(argc, args, 1)) + 1); }

// Byte-wise, restarting one byte after each match, so overlaps count.
TW_BUILTIN(F_StringCount) {
  const char* needle = TextArg(argc, args, 0);
  const char* text = TextArg(argc, args, 1);
  if (!*needle || !*text) return;
  int64_t count = 0;
  for (const char* p = std::strstr(text, needle); p; p = std::strstr(p + 1, needle)) ++count;
  ReturnReal(result, double(count));
}

// ---- Character and byte access ----------------------------------------------------------

TW_BUILTIN(F_StringCharAt) {
  if (!IsString(argc, args, 0) || !IsReal(argc, args, 1)) return ReturnEmpty(result);
  int64_t n = RoundArg(argc, args, 1) - 1;
  ReturnText(result, String_Substring(args[0].Text(), n < 0 ? 0 : n, 1));
}

TW_BUILTIN(F_StringByteAt) {
  if (!IsString(argc, args, 0) || !IsReal(argc, args, 1)) return;
  const char* text = args[0].Text();
  auto length = int64_t(std::strlen(text));
  if (length == 0) return;
  int64_t b = RoundArg(argc, args, 1) - 1;
  if (b < 0) b = 0;
  if (b >= length) b = length - 1;
  ReturnReal(result, static_cast<int8_t>(text[b]));
}

TW_BUILTIN(F_StringSetByteAt) {
  if (argc < 1) return;
  ScriptValue_Copy(result, &args[0]);
  if (argc < 3 || !args[0].IsString() || !args[1].IsReal() || !args[2].IsReal()) return;
  char* text = result->text;
  int64_t length = text ? int64_t(std::strlen(text)) : 0;
  int64_t p = RoundArg(argc, args, 1) - 1;
  if (p < 0 || p >= length) {
    Error_ReportRuntime(ErrorSeverity::kError, "string_set_byte_at : index beyond end of string");
    return;
  }
  text[p] = char(Real_ToInt32(args[2].real) & 0xFF);
}

// ---- Slicing and editing -----------------------------------------------------------------

TW_BUILTIN(F_StringCopy) {
  if (!IsString(argc, args, 0) || !IsReal(argc, args, 1) || !IsReal(argc, args, 2)) return ReturnEmpty(result);
  const char* text = args[0].Text();
  int64_t index = RoundArg(argc, args, 1), count = RoundArg(argc, args, 2);
  int64_t start = index < 1 ? 1 : index;
  int64_t n = count < 0 ? 0 : count;
  int64_t length = UTF8_Length(text);
  if (start - 1 + n > length) n = length - (start - 1);
  if (n < 0) {
    std::string message = "string_copy(" + std::string(text) + ", " + std::to_string(index) + ", " +
                          std::to_string(count) + "): Index is out of bounds";
    Error_ReportRuntime(ErrorSeverity::kError, message.c_str());
    return ReturnEmpty(result);
  }
  ReturnText(result, String_Substring(text, start - 1, n));
}

TW_BUILTIN(F_StringDelete) {
  if (!IsString(argc, args, 0)) return ReturnEmpty(result);
  const char* text = args[0].Text();
  int64_t index = RoundArg(argc, args, 1), count = RoundArg(argc, args, 2);
  int64_t length = UTF8_Length(text);
  if (index < 1 || index > length || count <= 0) {
    ScriptValue_SetText(result, text);
    return;
  }
  const char* cut = Advance(text, index - 1);
  std::string out(text, cut);
  out += Advance(cut, count);
  ReturnText(result, out);
}

TW_BUILTIN(F_StringInsert) {
  if (!IsString(argc, args, 0) || !IsString(argc, args, 1)) return ReturnEmpty(result);
  const char* sub = args[0].Text();
  const char* text = args[1].Text();
  int64_t p = RoundArg(argc, args, 2) - 1;
  if (p < 0) p = 0;  // past the end, Advance stops at the end
  const char* at = Advance(text, p);
  std::string out(text, at);
  out += sub;
  out += at;
  ReturnText(result, out);
}

void Replace(ScriptValue* result, int argc, const ScriptValue* args, bool all) {
  if (!IsString(argc, args, 0)) return ReturnEmpty(result);
  const char* rest = args[0].Text();
  const char* old = TextArg(argc, args, 1);
  const char* replacement = TextArg(argc, args, 2);
  if (!IsString(argc, args, 1) || !*old) {
    ScriptValue_SetText(result, rest);
    return;
  }
  int oldLength = UTF8_Length(old);
  std::string out;
  for (int c; (c = UTF8_Find(old, rest)) >= 0;) {
    const char* at = Advance(rest, c);
    out.append(rest, at);
    out += replacement;
    rest = Advance(at, oldLength);
    if (!all) break;
  }
  out += rest;
  ReturnText(result, out);
}

TW_BUILTIN(F_StringReplace) { Replace(result, argc, args, false); }
TW_BUILTIN(F_StringReplaceAll) { Replace(result, argc, args, true); }

// Engine blocks hold at most this many bytes, terminator included.
constexpr uint64_t kMaxTextBytes = 0x7FFFFFFFu;

TW_BUILTIN(F_StringRepeat) {
  if (!IsString(argc, args, 0)) return ReturnEmpty(result);
  std::string_view text = args[0].Text();
  int64_t times = RoundArg(argc, args, 1);
  // A result no block can hold is refused like any unusable argument.
  if (text.empty() || times < 1 || uint64_t(times) * text.size() >= kMaxTextBytes) return ReturnEmpty(result);
  std::string out;
  out.reserve(size_t(times) * text.size());
  for (int64_t i = 0; i < times; ++i) out += text;
  ReturnText(result, out);
}

// ---- Case and character classes ----------------------------------------------------------

bool IsUpper(unsigned char c) { return c >= 'A' && c <= 'Z'; }
bool IsLower(unsigned char c) { return c >= 'a' && c <= 'z'; }
bool IsLetter(unsigned char c) { return IsUpper(c) || IsLower(c); }
bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }
bool IsLetterOrDigit(unsigned char c) { return IsLetter(c) || IsDigit(c); }

// Only ASCII letters change; the bytes of other characters are all above 127.
template <bool Upper>
TW_BUILTIN(F_StringCase) {
  if (!IsString(argc, args, 0)) return ReturnEmpty(result);
  std::string out = args[0].Text();
  for (char& ch : out) {
    auto c = static_cast<unsigned char>(ch);
    if (Upper ? IsLower(c) : IsUpper(c)) ch = char(c ^ 0x20);
  }
  ReturnText(result, out);
}

template <bool (*Keep)(unsigned char)>
TW_BUILTIN(F_StringFilter) {
  if (!IsString(argc, args, 0)) return ReturnEmpty(result);
  std::string out;
  for (const char* p = args[0].Text(); *p; ++p)
    if (Keep(static_cast<unsigned char>(*p))) out.push_back(*p);
  if (out.empty()) return ReturnEmpty(result);
  ReturnText(result, out);
}

#undef TW_BUILTIN

}  // namespace

void InitStringFunctions() {
  struct Entry {
    const char* name;
    BuiltinHandler handler;
    int argCount;
  };
  static const Entry kEntries[] = {
      {"real", F_Real, 1},
      {"string", F_String, 1},
      {"string_format", F_StringFormat, 3},
      {"chr", F_Chr, 1},
      {"ansi_char", F_AnsiChar, 1},
      {"ord", F_Ord, 1},
      {"string_length", F_StringLength, 1},
      {"string_pos", F_StringPos, 2},
      {"string_copy", F_StringCopy, 3},
      {"string_char_at", F_StringCharAt, 2},
      {"string_byte_length", F_StringByteLength, 1},
      {"string_byte_at", F_StringByteAt, 2},
      {"string_set_byte_at", F_StringSetByteAt, 3},
      {"string_delete", F_StringDelete, 3},
      {"string_insert", F_StringInsert, 3},
      {"string_lower", F_StringCase<false>, 1},
      {"string_upper", F_StringCase<true>, 1},
      {"string_repeat", F_StringRepeat, 2},
      {"string_letters", F_StringFilter<IsLetter>, 1},
      {"string_digits", F_StringFilter<IsDigit>, 1},
      {"string_lettersdigits", F_StringFilter<IsLetterOrDigit>, 1},
      {"string_replace", F_StringReplace, 3},
      {"string_replace_all", F_StringReplaceAll, 3},
      {"string_count", F_StringCount, 2},
  };
  for (const Entry& e : kEntries) FunctionRegistry_Add(e.name, e.handler, e.argCount);
}
