// The first two phases of the run-time compiler: the lexer cuts source text
// into tokens, and name resolution turns identifiers, numbers and strings
// into functions, constants and variables. A phase stops at its first error.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "script/value.h"

class CCode;

// Token kinds. Keywords and symbols that mean the same share one kind.
enum TokenKind : int32_t {
  kTokEnd = -2,
  kTokBad = -1,
  kTokIdentifier = 0,
  kTokNumber = 1,
  kTokString = 2,
  kTokResolvedConstant = 5,
  kTokResolvedFunction = 6,
  kTokResolvedVariable = 7,
  kTokBegin = 11,  // "begin", "{"
  kTokBlockEnd = 12,  // "end", "}"
  kTokIf = 13,
  kTokThen = 14,
  kTokElse = 15,
  kTokWhile = 16,
  kTokDo = 17,
  kTokFor = 18,
  kTokUntil = 19,
  kTokRepeat = 20,
  kTokExit = 21,
  kTokBreak = 22,
  kTokContinue = 23,
  kTokWith = 24,
  kTokReturn = 25,
  kTokSwitch = 26,
  kTokCase = 27,
  kTokDefault = 28,
  kTokVar = 29,
  kTokGlobalVar = 30,
  // 101 "=" ":=" and 201 to 222 are the operators of operators.h.
  kTokPlusAssign = 102,
  kTokMinusAssign = 103,
  kTokTimesAssign = 104,
  kTokDivideAssign = 105,
  kTokOpenParen = 106,
  kTokCloseParen = 107,
  kTokSemicolon = 108,
  kTokComma = 109,
  kTokOpenBracket = 110,
  kTokCloseBracket = 111,
  kTokDot = 112,
  kTokColon = 113,
  kTokOrAssign = 114,
  kTokAndAssign = 115,
  kTokXorAssign = 116,
};

// The first error of one compilation. Each error also goes to the code's
// pending error text (code_run.h), which names its line and position.
struct CompileContext {
  const CCode* code = nullptr;
  bool failed = false;
  int32_t position = 0;
  std::string message;

  void Fail(int32_t at, const std::string& text);
  // An error another routine (the operators) has already reported.
  void FailReported(int32_t at);
};

struct Token {
  int32_t kind = kTokEnd;
  std::string text;
  int32_t position = 0;  // byte offset; a string's is just after its opening quote
};

// Source text longer than this is refused, so every position fits an int32.
constexpr size_t kMaxSourceBytes = size_t(1) << 28;

// Fills `tokens`, ending with one kTokEnd token; false after "Unexpected symbol.".
bool Lexer_Tokenize(CompileContext* context, std::string_view text, std::vector<Token>* tokens);

struct ResolvedToken {
  int32_t kind = kTokEnd;
  int32_t index = 0;  // function number (6) or variable id (7)
  ScriptValue value;  // of a constant (5)
  int32_t position = 0;
};

class ResolvedTokenList {
 public:
  ResolvedTokenList() = default;
  ~ResolvedTokenList();
  ResolvedTokenList(const ResolvedTokenList&) = delete;
  ResolvedTokenList& operator=(const ResolvedTokenList&) = delete;

  std::vector<ResolvedToken> tokens;
};

// The value of a number token: "$" hexadecimal or decimal, correctly rounded.
double Lexer_NumberValue(std::string_view text);

bool Resolver_Run(CompileContext* context, const std::vector<Token>& tokens, ResolvedTokenList* resolved);
