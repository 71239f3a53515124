#include "script/lexer.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "script/code_run.h"
#include "script/constants.h"
#include "script/function_registry.h"
#include "script/operators.h"
#include "script/variable_names.h"

void CompileContext::Fail(int32_t at, const std::string& text) {
  if (failed) return;
  failed = true;
  position = at;
  message = text;
  Code_ReportError(code, at, text.c_str());
}

void CompileContext::FailReported(int32_t at) {
  if (failed) return;
  failed = true;
  position = at;
  // The operator put its message at the end of the pending text.
  const std::string& pending = Code_PendingErrorText();
  const size_t where = pending.rfind("position ");
  const size_t colon = where == std::string::npos ? std::string::npos : pending.find(": ", where);
  message = colon == std::string::npos ? pending : pending.substr(colon + 2);
}

namespace {

struct Keyword {
  const char* word;
  int32_t kind;
};
constexpr Keyword kKeywords[] = {
    {"begin", kTokBegin},   {"end", kTokBlockEnd},   {"if", kTokIf},         {"then", kTokThen},
    {"else", kTokElse},     {"while", kTokWhile},    {"do", kTokDo},         {"for", kTokFor},
    {"until", kTokUntil},   {"repeat", kTokRepeat},  {"exit", kTokExit},     {"break", kTokBreak},
    {"continue", kTokContinue}, {"with", kTokWith},  {"return", kTokReturn}, {"switch", kTokSwitch},
    {"case", kTokCase},     {"default", kTokDefault}, {"var", kTokVar},      {"globalvar", kTokGlobalVar},
    {"and", kTokAnd},       {"or", kTokOr},          {"not", kTokNot},       {"div", kTokDiv},
    {"mod", kTokMod},       {"xor", kTokXor},
};

struct Symbol {
  const char* text;
  int32_t kind;
};
constexpr Symbol kTwoCharSymbols[] = {
    {"!=", kTokNotEqual}, {"&&", kTokAnd},        {"&=", kTokAndAssign},      {"*=", kTokTimesAssign},
    {"+=", kTokPlusAssign}, {"-=", kTokMinusAssign}, {"/=", kTokDivideAssign}, {":=", kTokAssign},
    {"<=", kTokLessEqual}, {"<>", kTokNotEqual},  {"<<", kTokShiftLeft},      {"==", kTokEqual},
    {">=", kTokGreaterEqual}, {">>", kTokShiftRight}, {"^=", kTokXorAssign}, {"^^", kTokXor},
    {"||", kTokOr},       {"|=", kTokOrAssign},
};

int32_t OneCharSymbol(char c) {
  switch (c) {
    case '{': return kTokBegin;
    case '}': return kTokBlockEnd;
    case '(': return kTokOpenParen;
    case ')': return kTokCloseParen;
    case ';': return kTokSemicolon;
    case ',': return kTokComma;
    case '[': return kTokOpenBracket;
    case ']': return kTokCloseBracket;
    case '.': return kTokDot;
    case ':': return kTokColon;
    case '=': return kTokAssign;
    case '!': return kTokNot;
    case '<': return kTokLess;
    case '>': return kTokGreater;
    case '+': return kTokPlus;
    case '-': return kTokMinus;
    case '*': return kTokTimes;
    case '/': return kTokDivide;
    case '%': return kTokMod;
    case '|': return kTokBitOr;
    case '&': return kTokBitAnd;
    case '^': return kTokBitXor;
    case '~': return kTokBitNot;
    default: return kTokBad;
  }
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
bool IsHexDigit(char c) { return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

class Scanner {
 public:
  explicit Scanner(std::string_view text) : buffer_(text) { buffer_ += "   "; }

  Token Next() {
    const size_t n = buffer_.size();
    for (;;) {
      // Control characters, blanks and every byte from 128 up separate tokens.
      while (pos_ < n && static_cast<signed char>(buffer_[pos_]) <= 32) ++pos_;
      if (pos_ + 1 < n && buffer_[pos_] == '/' && buffer_[pos_ + 1] == '/') {
        while (pos_ < n && buffer_[pos_] != '\r' && buffer_[pos_] != '\n') ++pos_;
        if (pos_ < n) ++pos_;
        continue;
      }
      if (pos_ + 1 < n && buffer_[pos_] == '/' && buffer_[pos_ + 1] == '*') {
        // Searched from the opening slash, so "/*/" is a whole comment.
        const size_t close = buffer_.find("*/", pos_);
        pos_ = close == std::string::npos ? n : close + 2;
        continue;
      }
      break;
    }
    Token t;
    t.position = int32_t(pos_);
    if (pos_ >= n) {
      t.kind = kTokEnd;
      t.position = int32_t(n);
      return t;
    }
    const char c = buffer_[pos_];
    const size_t start = pos_;
    if (c == '$') {
      ++pos_;
      while (pos_ < n && IsHexDigit(buffer_[pos_])) ++pos_;
      t.kind = kTokNumber;
      t.text.assign(buffer_, start, pos_ - start);
      return t;
    }
    if (IsDigit(c) || (c == '.' && pos_ + 1 < n && IsDigit(buffer_[pos_ + 1]))) {
      bool point = false;
      while (pos_ < n && (IsDigit(buffer_[pos_]) || (buffer_[pos_] == '.' && !point))) {
        if (buffer_[pos_] == '.') point = true;
        ++pos_;
      }
      t.kind = kTokNumber;
      t.text.assign(buffer_, start, pos_ - start);
      return t;
    }
    if (IsLetter(c)) {
      while (pos_ < n && (IsLetter(buffer_[pos_]) || IsDigit(buffer_[pos_]))) ++pos_;
      t.text.assign(buffer_, start, pos_ - start);
      t.kind = kTokIdentifier;
      if (t.text.size() >= 2 && t.text.size() <= 9) {
        for (const Keyword& k : kKeywords) {
          if (t.text == k.word) {
            t.kind = k.kind;
            break;
          }
        }
      }
      return t;
    }
    if (c == '"' || c == '\'') {
      ++pos_;
      t.position = int32_t(pos_);
      const size_t close = buffer_.find(c, pos_);
      // Unclosed, the string takes the rest of the scan but for its last blank.
      const size_t end = close == std::string::npos ? n - 1 : close;
      t.kind = kTokString;
      t.text.assign(buffer_, pos_, end - pos_);
      pos_ = close == std::string::npos ? n : close + 1;
      return t;
    }
    if (pos_ + 1 < n) {
      for (const Symbol& s : kTwoCharSymbols) {
        if (c == s.text[0] && buffer_[pos_ + 1] == s.text[1]) {
          pos_ += 2;
          t.kind = s.kind;
          return t;
        }
      }
    }
    ++pos_;
    t.kind = OneCharSymbol(c);
    return t;
  }

 private:
  std::string buffer_;
  size_t pos_ = 0;
};

}  // namespace

bool Lexer_Tokenize(CompileContext* context, std::string_view text, std::vector<Token>* tokens) {
  tokens->clear();
  if (text.size() > kMaxSourceBytes) {
    context->Fail(0, "Code is too large.");
    return false;
  }
  Scanner scanner(text);
  for (;;) {
    tokens->push_back(scanner.Next());
    const Token& t = tokens->back();
    if (t.kind == kTokBad) {
      context->Fail(t.position, "Unexpected symbol.");
      return false;
    }
    if (t.kind == kTokEnd) return true;
  }
}

double Lexer_NumberValue(std::string_view text) {
  double v = 0;
  if (!text.empty() && text[0] == '$') {
    std::string_view digits = text.substr(1);
    while (!digits.empty() && digits[0] == '0') digits.remove_prefix(1);
    if (digits.empty()) return 0;
    const auto r = std::from_chars(digits.data(), digits.data() + digits.size(), v, std::chars_format::hex);
    if (r.ec == std::errc::result_out_of_range) return HUGE_VAL;
    return v;
  }
  // from_chars wants a digit on both sides of the point.
  std::string s(text);
  if (s.empty() || s[0] == '.') s.insert(s.begin(), '0');
  if (s.back() == '.') s.push_back('0');
  const auto r = std::from_chars(s.data(), s.data() + s.size(), v, std::chars_format::fixed);
  if (r.ec == std::errc::result_out_of_range) {
    // Too large: infinity, as the sum of its digits would be; too small: zero.
    const size_t point = s.find('.');
    const std::string_view whole(s.data(), point == std::string::npos ? s.size() : point);
    return whole.find_first_not_of('0') == std::string_view::npos ? 0.0 : HUGE_VAL;
  }
  return v;
}

ResolvedTokenList::~ResolvedTokenList() {
  for (ResolvedToken& t : tokens) ScriptValue_Free(&t.value);
}

bool Resolver_Run(CompileContext* context, const std::vector<Token>& tokens, ResolvedTokenList* resolved) {
  resolved->tokens.clear();
  resolved->tokens.resize(tokens.size());
  for (size_t i = 0; i < tokens.size(); ++i) {
    const Token& t = tokens[i];
    ResolvedToken& r = resolved->tokens[i];
    r.position = t.position;
    switch (t.kind) {
      case kTokIdentifier:
        if (i + 1 < tokens.size() && tokens[i + 1].kind == kTokOpenParen) {
          const int index = FunctionRegistry_Find(t.text);
          if (index < 0) {
            r.kind = kTokBad;
            context->Fail(t.position, "Unknown function or script: " + t.text);
            return false;
          }
          r.kind = kTokResolvedFunction;
          r.index = index;
        } else if (Constant_Resolve(t.text, &r.value)) {
          r.kind = kTokResolvedConstant;
        } else {
          ScriptValue_Free(&r.value);
          r.value = ScriptValue();
          r.kind = kTokResolvedVariable;
          r.index = VariableName_ToID(t.text);
        }
        break;
      case kTokNumber:
        r.kind = kTokResolvedConstant;
        r.value = ScriptValue::FromReal(Lexer_NumberValue(t.text));
        break;
      case kTokString:
        r.kind = kTokResolvedConstant;
        ScriptValue_SetText(&r.value, t.text.c_str());
        break;
      default: r.kind = t.kind; break;
    }
  }
  return true;
}
