// Conversions, arithmetic, logic, shifts and comparisons of the machine.
#include <cinttypes>
#include <cstdarg>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "script/convert.h"
#include "script/memory_manager.h"
#include "script/vm_internal.h"

// The math built-ins own the epsilon once they are linked in; until then the
// machine keeps its starting value here.
[[gnu::weak]] double g_MathEpsilon = 1e-16;

using vm::Load;
using vm::Store;

char* String_Duplicate(const char* text) {
  if (!text) return nullptr;
  const size_t n = std::strlen(text) + 1;
  char* block = static_cast<char*>(TW_ALLOC(uint32_t(n), false));
  std::memcpy(block, text, n);
  return block;
}

char* String_Concat(const char* a, const char* b) {
  if (!a) return String_Duplicate(b);
  if (!b) return String_Duplicate(a);
  const size_t na = std::strlen(a), nb = std::strlen(b);
  if (na + nb + 1 > UINT32_MAX) MemoryManager::OutOfMemory();
  char* block = static_cast<char*>(TW_ALLOC(uint32_t(na + nb + 1), false));
  std::memcpy(block, a, na);
  std::memcpy(block + na, b, nb + 1);
  return block;
}

int VM_ResultType(uint8_t op, int t1, int t2) {
  if (op >= kOpSlt && op <= kOpSgt) return kVMBool;
  if (t1 == kVMVariable || t2 == kVMVariable) return kVMVariable;
  if (op == kOpMul && t1 == kVMString) return kVMString;
  if (t1 == kVMDouble || t2 == kVMDouble) return kVMDouble;
  if (t1 == kVMLong || t2 == kVMLong) return kVMLong;
  if (t1 == kVMString && t2 == kVMString) return kVMString;
  if (t1 == kVMBool && t2 == kVMBool) return kVMBool;
  return kVMInt;
}

namespace vm {

void FreeItem(uint8_t* at, int type) {
  if (type == kVMVariable) {
    ScriptValue_Free(ValueAt(at));
  } else if (type == kVMString) {
    if (char* s = Load<char*>(at)) MemoryManager::Release(s);
  }
}

namespace {

// An operand as the handlers see it: a ".v" shows as the ".d" or ".s" it holds.
struct Operand {
  int type;  // kVMDouble ... kVMString; -1 an array, -2 a malformed value
  double d = 0;
  int64_t l = 0;  // ".i", ".l" and ".b" (the low byte)
  float f = 0;
  char* s = nullptr;  // owned by the operand once it is fetched
};

Operand Fetch(const uint8_t* at, int type) {
  Operand o{type};
  switch (type) {
    case kVMDouble: o.d = Load<double>(at); break;
    case kVMFloat: o.f = Load<float>(at); break;
    case kVMInt: o.l = Load<int32_t>(at); break;
    case kVMLong: o.l = Load<int64_t>(at); break;
    case kVMBool: o.l = at[0]; break;
    case kVMString: o.s = Load<char*>(at); break;
    case kVMVariable: {
      const ScriptValue* v = reinterpret_cast<const ScriptValue*>(at);
      if (v->IsReal()) {
        o.type = kVMDouble;
        o.d = v->real;
      } else if (v->IsString()) {
        o.type = kVMString;
        o.s = v->text;
      } else if (v->IsArray()) {
        o.type = -1;  // the array stays with the value, released with it
      } else {
        o.type = -2;
      }
      break;
    }
  }
  return o;
}

void Release(Operand& o) {
  if (o.type == kVMString && o.s) MemoryManager::Release(o.s);
  o.s = nullptr;
}

// A fetched ".v" that was not a real or a string still owns what it holds.
void ReleaseRaw(const uint8_t* at, int type, Operand& o) {
  if (type == kVMVariable && o.type < 0) ScriptValue_Free(const_cast<ScriptValue*>(reinterpret_cast<const ScriptValue*>(at)));
  Release(o);
}

bool IsInteger(int t) { return t == kVMInt || t == kVMLong; }
bool IsNumber(int t) { return t == kVMDouble || IsInteger(t); }
double AsDouble(const Operand& o) { return o.type == kVMDouble ? o.d : double(o.l); }

// The result of a handler before it is stored as its instruction's type.
struct Result {
  int type = kVMDouble;  // kVMDouble, kVMInt, kVMLong, kVMBool or kVMString
  double d = 0;
  int64_t l = 0;
  char* s = nullptr;
};

uint8_t* PushResult(uint8_t* sp, int resultType, Result r) {
  if (resultType == kVMVariable) {
    if (r.type == kVMString) return PushStringValue(sp, r.s);
    return PushReal(sp, r.type == kVMDouble ? r.d : double(r.l));
  }
  sp -= kVMSlotBytes;
  Store<uint64_t>(sp, 0);
  switch (resultType) {
    case kVMDouble: Store<double>(sp, r.type == kVMDouble ? r.d : double(r.l)); break;
    case kVMLong: Store<int64_t>(sp, r.type == kVMDouble ? Real_ToInt64(r.d) : r.l); break;
    case kVMString:
      Store<char*>(sp, r.type == kVMString ? r.s : nullptr);
      r.s = nullptr;
      break;
    default: Store<int32_t>(sp, r.type == kVMDouble ? Real_ToInt32(r.d) : int32_t(uint32_t(uint64_t(r.l)))); break;
  }
  if (resultType != kVMString && r.s) MemoryManager::Release(r.s);
  return sp;
}

const char* OpName(uint8_t op) {
  static const char* const kNames[] = {"DoConv", "DoMul", "DoDiv", "DoRem", "DoMod", "DoAdd", "DoSub", "DoAnd",
                                       "DoOr",   "DoXor", "DoNeg", "DoNot", "DoShl", "DoShr"};
  return op >= kOpConv && op <= kOpShr ? kNames[op - kOpConv] : "DoSet";
}

const char* PairError(uint8_t op) {
  return op == kOpSub ? "DoSub:: Execution Error" : nullptr;
}

int64_t Wrap(uint64_t v) { return int64_t(v); }

// Shift of a 64-bit value by the low 8 bits of a count; 64 or more gives 0
// (or -1 for shr of a negative value).
int64_t Shift64(int64_t value, int64_t count, bool left) {
  const unsigned n = unsigned(uint64_t(count) & 0xFF);
  if (n >= 64) return left ? 0 : (value < 0 ? -1 : 0);
  return left ? Wrap(uint64_t(value) << n) : value >> n;
}

// Computes a two-operand instruction; false after reporting an error.
bool Compute(VMFrame* frame, uint8_t op, int t1, int t2, Operand& l, Operand& r, Result& out) {
  auto fail = [&](const char* text) {
    VM_FatalError(frame, "%s", text);
    return false;
  };
  char name[64];
  if (l.type == -1 || r.type == -1) return fail("illegal array use");
  if (l.type == -2 || r.type == -2) return fail(op == kOpMul ? "Variable is malformed" : "Malformed variable");
  const bool refusesStrings = op != kOpAdd && op != kOpMul;
  if (refusesStrings && (l.type == kVMString || r.type == kVMString)) {
    std::snprintf(name, sizeof name, "%s :: Execution Engine - Cannot operate on string type", OpName(op));
    return fail(name);
  }
  auto noRow = [&]() {
    if (const char* special = PairError(op)) return fail(special);
    std::snprintf(name, sizeof name, "%s :: Execution Error", OpName(op));
    return fail(name);
  };

  if (op == kOpAdd && l.type == kVMString && r.type == kVMString) {
    out.type = kVMString;
    out.s = String_Concat(l.s, r.s);
    return true;
  }
  if (op == kOpMul && r.type == kVMString && (l.type == kVMDouble || l.type == kVMInt)) {
    const int64_t n = l.type == kVMDouble ? Real_ToInt64(l.d) : l.l;
    out.type = kVMString;
    const size_t len = r.s ? std::strlen(r.s) : 0;
    if (n <= 0 || len == 0) {
      out.s = static_cast<char*>(TW_ALLOC(1, true));
      return true;
    }
    if (uint64_t(n) > (UINT32_MAX - 1) / len) MemoryManager::OutOfMemory();
    char* block = static_cast<char*>(TW_ALLOC(uint32_t(len * uint64_t(n) + 1), false));
    for (int64_t i = 0; i < n; ++i) std::memcpy(block + size_t(i) * len, r.s, len);
    block[len * size_t(n)] = '\0';
    out.s = block;
    return true;
  }
  if ((op == kOpAnd || op == kOpOr || op == kOpXor) && l.type == kVMBool && r.type == kVMBool) {
    const bool a = l.l & 0xFF, b = r.l & 0xFF;
    out.type = kVMBool;
    out.l = op == kOpAnd ? (a && b) : op == kOpOr ? (a || b) : (a != b);
    return true;
  }
  if (!IsNumber(l.type) || !IsNumber(r.type)) return noRow();
  if ((op == kOpShl || op == kOpShr) &&
      ((t1 == kVMVariable && t2 == kVMLong) || (t1 == kVMLong && t2 == kVMVariable))) {
    return noRow();
  }

  const bool real = l.type == kVMDouble || r.type == kVMDouble;
  const bool wide = l.type == kVMLong || r.type == kVMLong;
  out.type = real ? kVMDouble : wide ? kVMLong : kVMInt;
  // Integer results are kept in 64 bits here; an ".i" result keeps the low 32.
  auto narrow = [&](int64_t v) { return wide ? v : int64_t(int32_t(uint32_t(uint64_t(v)))); };

  switch (op) {
    case kOpAdd:
    case kOpSub:
    case kOpMul:
      if (real) {
        const double a = AsDouble(l), b = AsDouble(r);
        out.d = op == kOpAdd ? a + b : op == kOpSub ? a - b : a * b;
      } else {
        const uint64_t a = uint64_t(l.l), b = uint64_t(r.l);
        out.l = narrow(Wrap(op == kOpAdd ? a + b : op == kOpSub ? a - b : a * b));
      }
      return true;
    case kOpDiv:
      if (real) {
        const double b = AsDouble(r);
        if (std::fabs(b) < 1e-10) return fail("DoDiv :: Divide by zero");
        out.d = AsDouble(l) / b;
      } else {
        if (r.l == 0) return fail("DoDiv :: Divide by zero");
        // The most negative value divided by -1 wraps to itself.
        out.l = r.l == -1 ? narrow(Wrap(0 - uint64_t(l.l))) : narrow(l.l / r.l);
      }
      return true;
    case kOpRem: {
      const int64_t a = l.type == kVMDouble ? Real_ToInt64(l.d) : l.l;
      const int64_t b = r.type == kVMDouble ? Real_ToInt64(r.d) : r.l;
      if (b == 0) return fail("DoRem :: Divide by zero");
      const int64_t q = b == -1 ? Wrap(0 - uint64_t(a)) : a / b;
      if (real) out.d = double(q);
      else out.l = narrow(q);
      return true;
    }
    case kOpMod:
      if (real) {
        const double b = AsDouble(r);
        if (std::fabs(b) < 1e-10) return fail("DoMod :: Divide by zero");
        out.d = std::fmod(AsDouble(l), b);
      } else {
        if (r.l == 0) return fail("DoMod :: Divide by zero");
        out.l = r.l == -1 ? 0 : narrow(l.l % r.l);
      }
      return true;
    case kOpAnd:
    case kOpOr:
    case kOpXor: {
      const int64_t a = l.type == kVMDouble ? Real_ToInt64(l.d) : l.l;
      const int64_t b = r.type == kVMDouble ? Real_ToInt64(r.d) : r.l;
      const int64_t v = op == kOpAnd ? (a & b) : op == kOpOr ? (a | b) : (a ^ b);
      if (real) out.d = double(v);
      else out.l = narrow(v);
      return true;
    }
    case kOpShl:
    case kOpShr: {
      const bool left = op == kOpShl;
      if (l.type == kVMInt && r.type != kVMLong) {
        // A 32-bit left: the count keeps its low 5 bits.
        const int32_t a = int32_t(l.l);
        const int64_t count = r.type == kVMDouble ? Real_ToInt64(r.d) : r.l;
        const unsigned n = unsigned(uint64_t(count) & 31);
        const int32_t v = left ? int32_t(uint32_t(a) << n) : a >> n;
        if (real) out.d = v;
        else out.l = v;
        return true;
      }
      const int64_t a = l.type == kVMDouble ? Real_ToInt64(l.d) : l.l;
      int64_t count;
      if (r.type == kVMDouble) count = l.type == kVMDouble || l.type == kVMLong ? Real_ToInt64(r.d) : 0;
      else count = int64_t(uint32_t(uint64_t(r.l)));  // the right's low 32 bits
      const int64_t v = Shift64(a, count, left);
      if (real) out.d = double(v);
      else {
        out.type = kVMLong;
        out.l = v;
      }
      return true;
    }
  }
  return noRow();
}

}  // namespace

uint8_t* DoBinary(uint32_t word, uint8_t* sp, VMFrame* frame) {
  const uint8_t op = VM_Opcode(word);
  const int t1 = VM_Type1(word), t2 = VM_Type2(word);
  uint8_t* rightAt = sp;
  uint8_t* leftAt = sp + SlotBytes(t1);
  Operand r = Fetch(rightAt, t1), l = Fetch(leftAt, t2);
  sp = leftAt + SlotBytes(t2);
  Result out;
  Compute(frame, op, t1, t2, l, r, out);
  ReleaseRaw(rightAt, t1, r);
  ReleaseRaw(leftAt, t2, l);
  return PushResult(sp, VM_ResultType(op, t1, t2), out);
}

uint8_t* DoNeg(uint32_t word, uint8_t* sp, VMFrame* frame) {
  switch (VM_Type1(word)) {
    case kVMDouble: Store<double>(sp, -Load<double>(sp)); break;
    case kVMFloat: Store<float>(sp, -Load<float>(sp)); break;
    case kVMInt:
    case kVMBool: Store<uint32_t>(sp, 0u - Load<uint32_t>(sp)); break;
    case kVMLong: Store<uint64_t>(sp, 0u - Load<uint64_t>(sp)); break;
    case kVMString: VM_FatalError(frame, "DoNeg :: Execution Engine - Cannot operate on string type"); break;
    case kVMVariable: {
      ScriptValue* v = ValueAt(sp);
      if (v->IsReal()) v->real = -v->real;
      else if (v->IsString()) VM_FatalError(frame, "DoNeg :: Execution Engine - Cannot operate on string type");
      else if (v->IsArray()) VM_FatalError(frame, "illegal array use");
      else VM_FatalError(frame, "Malformed variable");
      break;
    }
  }
  return sp;
}

uint8_t* DoNot(uint32_t word, uint8_t* sp, VMFrame* frame) {
  switch (VM_Type1(word)) {
    case kVMDouble: Store<double>(sp, double(~Real_ToInt64(Load<double>(sp)))); break;
    case kVMFloat: Store<float>(sp, float(~Real_ToInt32(Load<float>(sp)))); break;
    case kVMInt: Store<uint32_t>(sp, ~Load<uint32_t>(sp)); break;
    case kVMLong: Store<uint64_t>(sp, ~Load<uint64_t>(sp)); break;
    case kVMBool: Store<int32_t>(sp, sp[0] ? 0 : 1); break;
    case kVMString: VM_FatalError(frame, "DoNot :: Execution Engine - Cannot operate on string type"); break;
    case kVMVariable: {
      ScriptValue* v = ValueAt(sp);
      if (v->IsReal()) v->real = double(~Real_ToInt64(v->real));
      else if (v->IsString()) VM_FatalError(frame, "DoNot :: Execution Engine - Cannot operate on string type");
      else if (v->IsArray()) VM_FatalError(frame, "illegal array use");
      else VM_FatalError(frame, "Malformed variable");
      break;
    }
  }
  return sp;
}

namespace {

// atoi and atol without their undefined overflow: the value saturates.
int32_t TextToInt32(const char* s) {
  const long long v = std::strtoll(s, nullptr, 10);
  return v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : int32_t(v);
}

char* FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));
char* FormatText(const char* format, ...) {
  char buf[64];
  va_list ap;
  va_start(ap, format);
  std::vsnprintf(buf, sizeof buf, format, ap);
  va_end(ap);
  return String_Duplicate(buf);
}

}  // namespace

uint8_t* DoConv(uint32_t word, uint8_t* sp, VMFrame* frame) {
  const int from = VM_Type1(word), to = VM_Type2(word);
  uint8_t* at = sp;
  Operand o = Fetch(at, from);
  sp += SlotBytes(from);
  Result out;  // placeholder zero of the destination after an error
  out.type = kVMInt;
  bool sameCell = o.type == to && from != kVMVariable;
  if (from == kVMVariable && ((o.type == kVMDouble && to == kVMDouble) || (o.type == kVMString && to == kVMString))) {
    sameCell = true;
  }
  if (o.type < 0) {
    VM_FatalError(frame, "Malformed variable");
  } else if (sameCell) {
    VM_FatalError(frame, "DoConv :: Execution Error");
  } else if (to == kVMVariable) {
    // Into a value: a string block moves into it.
    if (o.type == kVMString) {
      out.type = kVMString;
      out.s = o.s;
      o.s = nullptr;
    } else {
      out.type = kVMDouble;
      switch (o.type) {
        case kVMDouble: out.d = o.d; break;
        case kVMFloat: out.d = o.f; break;
        case kVMBool: out.d = (o.l & 0xFF) ? 1 : 0; break;
        default: out.d = double(o.l); break;
      }
    }
    ReleaseRaw(at, from, o);
    return PushResult(sp, kVMVariable, out);
  } else {
    sp -= kVMSlotBytes;
    Store<uint64_t>(sp, 0);
    const char* text = o.s ? o.s : "";
    switch (o.type) {
      case kVMDouble:
        switch (to) {
          case kVMFloat: Store<float>(sp, float(o.d)); break;
          case kVMInt: Store<int32_t>(sp, Real_ToInt32(o.d)); break;
          case kVMLong: Store<int64_t>(sp, Real_ToInt64(o.d)); break;
          case kVMBool: Store<int32_t>(sp, o.d > 0.5); break;
          case kVMString: Store<char*>(sp, FormatText("%g", o.d)); break;
        }
        break;
      case kVMFloat:
        switch (to) {
          case kVMDouble: Store<double>(sp, double(Real_ToInt64(o.f))); break;
          case kVMInt: Store<int32_t>(sp, Real_ToInt32(o.f)); break;
          case kVMLong: Store<int64_t>(sp, Real_ToInt64(o.f)); break;
          case kVMBool: Store<int32_t>(sp, o.f > 0.5f); break;
          case kVMString: Store<char*>(sp, FormatText("%g", double(o.f))); break;
        }
        break;
      case kVMInt:
      case kVMLong:
        switch (to) {
          case kVMDouble: Store<double>(sp, double(o.l)); break;
          case kVMFloat: Store<float>(sp, float(o.l)); break;
          case kVMInt: Store<int32_t>(sp, int32_t(uint32_t(uint64_t(o.l)))); break;
          case kVMLong: Store<int64_t>(sp, o.l); break;
          case kVMBool: Store<int32_t>(sp, o.l != 0); break;
          case kVMString:
            Store<char*>(sp, o.type == kVMInt ? FormatText("%d", int32_t(o.l))
                                              : FormatText("%" PRId64, o.l));
            break;
        }
        break;
      case kVMBool: {
        const bool b = o.l & 0xFF;
        switch (to) {
          case kVMDouble: Store<double>(sp, b ? 1.0 : 0.0); break;
          case kVMFloat: Store<float>(sp, b ? 1.0f : 0.0f); break;
          case kVMInt: Store<int32_t>(sp, b); break;
          case kVMLong: Store<int64_t>(sp, b); break;
          case kVMString: Store<char*>(sp, String_Duplicate(b ? "true" : "false")); break;
        }
        break;
      }
      case kVMString:
        switch (to) {
          case kVMDouble: Store<double>(sp, std::strtod(text, nullptr)); break;
          case kVMFloat: Store<float>(sp, float(std::strtod(text, nullptr))); break;
          case kVMInt: Store<int32_t>(sp, TextToInt32(text)); break;
          case kVMLong: Store<int64_t>(sp, TextToInt32(text)); break;
          case kVMBool: Store<int32_t>(sp, std::strcmp(text, "true") == 0); break;
        }
        break;
    }
    ReleaseRaw(at, from, o);
    return sp;
  }
  ReleaseRaw(at, from, o);
  return PushResult(sp, to, out);
}

uint8_t* DoSet(uint32_t word, uint8_t* sp, VMFrame* frame) {
  const uint8_t op = VM_Opcode(word);
  const int t1 = VM_Type1(word), t2 = VM_Type2(word);
  uint8_t* rightAt = sp;
  uint8_t* leftAt = sp + SlotBytes(t1);
  Operand r = Fetch(rightAt, t1), l = Fetch(leftAt, t2);
  sp = leftAt + SlotBytes(t2);
  bool result = false;
  const int a = l.type, b = r.type;
  auto is = [&](int x, int y) { return a == x && b == y; };
  bool numeric = true;
  double h = 0;
  if (is(kVMDouble, kVMDouble) || is(kVMDouble, kVMInt) || is(kVMDouble, kVMLong) || is(kVMInt, kVMDouble) ||
      is(kVMLong, kVMDouble)) {
    h = AsDouble(l) - AsDouble(r);
  } else if (is(kVMInt, kVMLong) || is(kVMLong, kVMInt)) {
    h = double(Wrap(uint64_t(l.l) - uint64_t(r.l)));
  } else if (is(kVMInt, kVMInt) || is(kVMInt, kVMBool) || is(kVMBool, kVMInt) || is(kVMBool, kVMBool)) {
    const int32_t x = a == kVMBool ? int32_t(l.l & 0xFF) : int32_t(l.l);
    const int32_t y = b == kVMBool ? int32_t(r.l & 0xFF) : int32_t(r.l);
    h = double(int32_t(uint32_t(x) - uint32_t(y)));
  } else if (is(kVMDouble, kVMBool) || is(kVMBool, kVMDouble)) {
    const double x = a == kVMBool ? double(l.l & 0xFF) : l.d;
    const double y = b == kVMBool ? double(r.l & 0xFF) : r.d;
    h = double(Real_ToInt64(x - y));
  } else {
    numeric = false;
  }
  if (numeric) {
    const double e = g_MathEpsilon;
    switch (op) {
      case kOpSlt: result = h < -e; break;
      case kOpSle: result = h <= e; break;
      case kOpSeq: result = h > -e && h < e; break;
      case kOpSne: result = h < -e || h > e; break;
      case kOpSge: result = h >= -e; break;
      case kOpSgt: result = h > e; break;
    }
  } else if (is(kVMString, kVMString)) {
    const int c = std::strcmp(l.s ? l.s : "", r.s ? r.s : "");
    switch (op) {
      case kOpSlt: result = c < 0; break;
      case kOpSle: result = c <= 0; break;
      case kOpSeq: result = c == 0; break;
      case kOpSne: result = c != 0; break;
      case kOpSge: result = c >= 0; break;
      case kOpSgt: result = c > 0; break;
    }
  } else if (a == -1 || b == -1) {
    VM_FatalError(frame, "illegal array use");
  } else if (a == -2 || b == -2) {
    VM_FatalError(frame, "Malformed variable");
  } else {
    VM_FatalError(frame, "DoSet :: Invalid comparison type");
  }
  if (l.type == kVMString && r.type == kVMString && l.s == r.s) r.s = nullptr;  // one block, released once
  ReleaseRaw(rightAt, t1, r);
  ReleaseRaw(leftAt, t2, l);
  sp -= kVMSlotBytes;
  Store<uint64_t>(sp, 0);
  Store<int32_t>(sp, result ? 1 : 0);
  return sp;
}

}  // namespace vm
