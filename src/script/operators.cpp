#include "script/operators.h"

#include <cmath>
#include <cstring>

#include "script/code_run.h"
#include "script/common_strings.h"
#include "script/convert.h"
#include "script/memory_manager.h"
#include "script/value.h"

namespace {

bool Truth(double d) { return d >= 0.5; }

void SetReal(ScriptValue* v, double d) {
  ScriptValue_Free(v);
  v->kind = kKindReal;
  v->real = d;
}

bool Fail(const CCode* code, int position, const char* message) {
  Code_ReportError(code, position, message);
  return false;
}

// Byte-wise, as unsigned characters; a missing text is the empty one.
int CompareTexts(const ScriptValue* a, const ScriptValue* b) {
  const int c = std::strcmp(a->Text(), b->Text());
  return (c > 0) - (c < 0);
}

}  // namespace

bool Code_OperatorBinary(const CCode* code, int position, int op, ScriptValue* left, const ScriptValue* right) {
  const bool reals = left->IsReal() && right->IsReal();
  const bool strings = left->IsString() && right->IsString();
  switch (op) {
    case kTokAssign:
    case kTokEqual:
    case kTokLess:
    case kTokLessEqual:
    case kTokNotEqual:
    case kTokGreaterEqual:
    case kTokGreater: {
      if (!reals && !strings) return Fail(code, position, "Cannot compare arguments.");
      // Exact: no epsilon. A NaN difference satisfies only "!=".
      const double d = reals ? left->real - right->real : double(CompareTexts(left, right));
      bool r = false;
      switch (op) {
        case kTokAssign:
        case kTokEqual: r = d == 0; break;
        case kTokLess: r = d < 0; break;
        case kTokLessEqual: r = d <= 0; break;
        case kTokNotEqual: r = d != 0; break;
        case kTokGreaterEqual: r = d >= 0; break;
        case kTokGreater: r = d > 0; break;
      }
      SetReal(left, r ? 1 : 0);
      return true;
    }
    case kTokAnd:
      if (!reals) return Fail(code, position, "Wrong type of arguments for &&.");
      SetReal(left, Truth(left->real) && Truth(right->real) ? 1 : 0);
      return true;
    case kTokOr:
      if (!reals) return Fail(code, position, "Wrong type of arguments for ||.");
      SetReal(left, Truth(left->real) || Truth(right->real) ? 1 : 0);
      return true;
    case kTokXor: {
      const bool string = left->IsString() || right->IsString();
      if (string) Code_ReportError(code, position, "Wrong type of arguments for ^^.");
      SetReal(left, Truth(left->Real()) != Truth(right->Real()) ? 1 : 0);
      return true;
    }
    case kTokPlus:
      if (reals) {
        left->real += right->real;
        return true;
      }
      if (strings) {
        char* joined = String_Join(nullptr, left->Text(), right->Text());
        ScriptValue_Free(left);
        left->kind = kKindString;
        left->text = joined;
        return true;
      }
      return Fail(code, position, "Wrong type of arguments to +.");
    case kTokMinus:
      if (!reals) return Fail(code, position, "Wrong type of arguments to -.");
      left->real -= right->real;
      return true;
    case kTokTimes:
      if (reals) {
        left->real *= right->real;
        return true;
      }
      if (left->IsReal() && right->IsString()) {
        const int64_t n = Real_ToInt64(std::nearbyint(left->real));
        const size_t len = std::strlen(right->Text());
        char* block;
        if (n <= 0 || len == 0) {
          block = static_cast<char*>(TW_ALLOC(1, true));
        } else {
          if (uint64_t(n) > (UINT32_MAX - 1) / len) MemoryManager::OutOfMemory();
          block = static_cast<char*>(TW_ALLOC(uint32_t(len * uint64_t(n) + 1), false));
          for (int64_t i = 0; i < n; ++i) std::memcpy(block + size_t(i) * len, right->Text(), len);
          block[len * size_t(n)] = '\0';
        }
        left->kind = kKindString;
        left->text = block;
        return true;
      }
      return Fail(code, position, "Wrong type of arguments to *.");
    case kTokDivide:
      if (!reals) return Fail(code, position, "Wrong type of arguments to /.");
      if (right->real == 0) return Fail(code, position, "Division by 0.");
      left->real /= right->real;
      return true;
    case kTokDiv: {
      if (!reals) return Fail(code, position, "Wrong type of arguments to div.");
      const int32_t a = Real_ToInt32(left->real), b = Real_ToInt32(right->real);
      if (b == 0) return Fail(code, position, "Division by 0.");
      // INT32_MIN div -1 is 2^31, which a real holds.
      left->real = double(int64_t(a) / int64_t(b));
      return true;
    }
    case kTokMod:
      if (!reals) return Fail(code, position, "Wrong type of arguments to mod.");
      if (right->real == 0) return Fail(code, position, "Modulo by 0.");
      left->real = left->real - right->real * std::trunc(left->real / right->real);
      return true;
    case kTokBitOr:
    case kTokBitAnd:
    case kTokBitXor: {
      if (!reals) {
        return Fail(code, position,
                    op == kTokBitOr    ? "Wrong type of arguments for |."
                    : op == kTokBitAnd ? "Wrong type of arguments for &."
                                       : "Wrong type of arguments for ^.");
      }
      const int32_t a = Real_RoundToInt32(left->real), b = Real_RoundToInt32(right->real);
      left->real = op == kTokBitOr ? (a | b) : op == kTokBitAnd ? (a & b) : (a ^ b);
      return true;
    }
    case kTokShiftLeft:
    case kTokShiftRight: {
      if (!reals) {
        return Fail(code, position,
                    op == kTokShiftLeft ? "Wrong type of arguments for <<." : "Wrong type of arguments for >>.");
      }
      const int32_t a = Real_RoundToInt32(left->real);
      const unsigned n = unsigned(Real_RoundToInt32(right->real)) & 31;
      left->real = op == kTokShiftLeft ? int32_t(uint32_t(a) << n) : a >> n;
      return true;
    }
    default: return Fail(code, position, "Internal error: unknown binary operator.");
  }
}

bool Code_OperatorUnary(const CCode* code, int position, int op, ScriptValue* value) {
  if (value->IsString() || value->IsArray()) return Fail(code, position, "Wrong type of arguments to unary operator.");
  switch (op) {
    case kTokNot: value->real = Truth(value->real) ? 0 : 1; return true;
    case kTokPlus: return true;
    case kTokMinus: value->real = -value->real; return true;
    case kTokBitNot: value->real = ~Real_RoundToInt32(value->real); return true;
    default: return Fail(code, position, "Internal error: unknown unary operator.");
  }
}
