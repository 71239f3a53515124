// The handlers of the machine's planned steps (vm_plan.h), shared by the
// dispatch loop, which inlines them, and by the pieces that hold the
// arithmetic shapes run out of line.
//
// The dispatch loop is one function, and with every arithmetic shape inlined
// it took longer to compile than all the rest of the machine. So the shapes
// of the usual code are inlined there and the others are each a function of
// their own (vm_steps_far_*.cpp), called from the loop: a step of those runs
// the same, a call's few instructions slower.
#pragma once
#include <cmath>
#include <cstdint>
#include <cstring>

#include "script/scripts.h"
#include "script/convert.h"
#include "script/variables.h"
#include "script/vm_internal.h"
#include "script/world.h"
#include "script/vm_plan.h"

namespace vm {

// Every arithmetic shape and operation with a handler, as M(left, right, dest, operation).
#define TW_ARITH_TESTS(M, l, r, d) M(l, r, d, 4) M(l, r, d, 5) M(l, r, d, 6) M(l, r, d, 7) M(l, r, d, 8) M(l, r, d, 9)
#define TW_ARITH_VALUES(M, l, r, d) M(l, r, d, 0) M(l, r, d, 1) M(l, r, d, 2) M(l, r, d, 3)
#define TW_ARITH_DESTS(M, l, r)          \
  TW_ARITH_VALUES(M, l, r, kDestStack)   \
  TW_ARITH_TESTS(M, l, r, kDestStack)    \
  TW_ARITH_TESTS(M, l, r, kDestBranch)   \
  TW_ARITH_VALUES(M, l, r, kDestLocal)   \
  TW_ARITH_VALUES(M, l, r, kDestVariable)
#define TW_ARITH_RIGHTS(M, l)       \
  TW_ARITH_DESTS(M, l, kClassConst) \
  TW_ARITH_DESTS(M, l, kClassLocal) \
  TW_ARITH_DESTS(M, l, kClassVariable)
// The pairs of operand classes that have shapes (a right operand from the
// stack comes only with a left one from the stack).
#define TW_ARITH_ALL(M)                       \
  TW_ARITH_DESTS(M, kClassStack, kClassStack) \
  TW_ARITH_RIGHTS(M, kClassStack)             \
  TW_ARITH_RIGHTS(M, kClassConst)             \
  TW_ARITH_RIGHTS(M, kClassLocal)             \
  TW_ARITH_RIGHTS(M, kClassVariable)
// The shapes inlined into the dispatch loop: arithmetic to the stack or to
// its destination, and comparisons deciding a branch, over the stack,
// constants and locals, and over an instance or global variable with a
// constant or another such variable. Comparisons left on the stack, the
// other destinations and the rarer pairs (a constant on the left, a local
// beside a variable) run out of line.
#define TW_ARITH_NEAR_DESTS(M, l, r, d) \
  TW_ARITH_VALUES(M, l, r, kDestStack)   \
  TW_ARITH_TESTS(M, l, r, kDestBranch)   \
  TW_ARITH_VALUES(M, l, r, d)
#define TW_ARITH_NEAR(M)                                               \
  TW_ARITH_NEAR_DESTS(M, kClassStack, kClassStack, kDestLocal)         \
  TW_ARITH_NEAR_DESTS(M, kClassStack, kClassConst, kDestLocal)         \
  TW_ARITH_NEAR_DESTS(M, kClassStack, kClassLocal, kDestLocal)         \
  TW_ARITH_NEAR_DESTS(M, kClassLocal, kClassConst, kDestLocal)         \
  TW_ARITH_NEAR_DESTS(M, kClassLocal, kClassLocal, kDestLocal)         \
  TW_ARITH_NEAR_DESTS(M, kClassVariable, kClassConst, kDestVariable)   \
  TW_ARITH_NEAR_DESTS(M, kClassVariable, kClassVariable, kDestVariable)
// The shapes run out of line, in three pieces (vm_steps_far_*.cpp): the
// rest of the pairs above, then whole pairs.
#define TW_ARITH_FAR_DESTS(M, l, r, d) \
  TW_ARITH_TESTS(M, l, r, kDestStack) \
  TW_ARITH_VALUES(M, l, r, d)
#define TW_ARITH_FAR_1(M)                                            \
  TW_ARITH_FAR_DESTS(M, kClassStack, kClassStack, kDestVariable)     \
  TW_ARITH_FAR_DESTS(M, kClassStack, kClassConst, kDestVariable)     \
  TW_ARITH_FAR_DESTS(M, kClassStack, kClassLocal, kDestVariable)     \
  TW_ARITH_FAR_DESTS(M, kClassLocal, kClassConst, kDestVariable)     \
  TW_ARITH_FAR_DESTS(M, kClassLocal, kClassLocal, kDestVariable)     \
  TW_ARITH_FAR_DESTS(M, kClassVariable, kClassConst, kDestLocal)     \
  TW_ARITH_FAR_DESTS(M, kClassVariable, kClassVariable, kDestLocal)  \
  TW_ARITH_DESTS(M, kClassConst, kClassConst)                        \
  TW_ARITH_DESTS(M, kClassConst, kClassLocal)
#define TW_ARITH_FAR_2(M)                        \
  TW_ARITH_DESTS(M, kClassConst, kClassVariable) \
  TW_ARITH_DESTS(M, kClassStack, kClassVariable) \
  TW_ARITH_DESTS(M, kClassLocal, kClassVariable)
#define TW_ARITH_FAR_3(M) TW_ARITH_DESTS(M, kClassVariable, kClassLocal)
#define TW_ARITH_FAR(M) TW_ARITH_FAR_1(M) TW_ARITH_FAR_2(M) TW_ARITH_FAR_3(M)
// Each shape is in one of them (a shape in both would be two labels).
#define TW_ARITH_COUNT(l, r, d, o) +1
static_assert(0 TW_ARITH_NEAR(TW_ARITH_COUNT) TW_ARITH_FAR(TW_ARITH_COUNT) == 0 TW_ARITH_ALL(TW_ARITH_COUNT));
#undef TW_ARITH_COUNT
// Every loop shape, as M(comparison, limit is a local).
#define TW_LOOP_ALL(M) \
  M(4, 0) M(4, 1) M(5, 0) M(5, 1) M(6, 0) M(6, 1) M(7, 0) M(7, 1) M(8, 0) M(8, 1) M(9, 0) M(9, 1)

// The step handlers are forced inline into the dispatch loop, except under
// the sanitizers, where hundreds of inlined handlers make one function too
// large to instrument in reasonable time and speed does not matter.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TW_SANITIZED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define TW_SANITIZED 1
#endif
#ifdef TW_SANITIZED
#define TW_STEP_INLINE [[gnu::noinline]] inline
#else
#define TW_STEP_INLINE [[gnu::always_inline]] inline
#endif

// Finds a local's node on its first use and keeps it in the frame's cache.
[[gnu::noinline, gnu::cold]] VariableNode* FindLocalNode(VMFrame* f, int32_t slot);

TW_STEP_INLINE VariableNode* LocalNode(VMFrame* f, int32_t slot) {
  VariableNode* n = f->localNodes[slot];
  if (!n) [[unlikely]] n = FindLocalNode(f, slot);
  return n;
}

// Built-in variable `id` of self read through its getter into `into`; null,
// with nothing kept, when there is no self or the getter gives no real (the
// generic handlers then read it again and report what is wrong). Getters
// only read, so reading twice changes nothing.
TW_STEP_INLINE ScriptValue* BuiltinValue(VMFrame* f, int32_t id, ScriptValue* into) {
  if (!f->self) return nullptr;
  *into = ScriptValue{};
  if (g_ScriptWorld.getVar(f->self, id, -1, into) && into->IsReal()) [[likely]] return into;
  ScriptValue_Free(into);
  return nullptr;
}

// An error flagged by a write that went through: reported as the generic
// write reports it, the run stopping after the write (at `next`).
[[gnu::cold, gnu::noinline]] void ReportBuiltinWrite(VMFrame* f, int32_t id, int32_t next);

// Writes `value` into built-in variable `id` of self through its setter;
// false, with nothing changed, when there is no self or the variable cannot
// be written (the generic handlers then report it). `next` is where the run
// goes on.
TW_STEP_INLINE bool WriteBuiltin(VMFrame* f, int32_t id, ScriptValue* value, int32_t next) {
  if (!f->self) return false;
  // Anything reported on the way names the line of the write.
  f->pc = next;
  ArrayIndexError.error = 0;
  if (!g_ScriptWorld.setVar(f->self, id, -1, value)) return false;
  if (ArrayIndexError.error) [[unlikely]] ReportBuiltinWrite(f, id, next);
  return true;
}

// The value of a variable place; null while the variable does not exist.
// A built-in variable is read into the frame's read slot `which` (0 or 1).
TW_STEP_INLINE ScriptValue* PlaceValue(VMFrame* f, VMPlace place, int32_t ref, int which = 0) {
  // Tests in a chain rather than a jump table: each step's place is fixed,
  // so the branches are predicted where the table's jump often is not.
  if (place == kPlaceLocal) {
    VariableNode* n = LocalNode(f, ref);
    return n ? &n->value : nullptr;
  }
  if (place == kPlaceBuiltin) return BuiltinValue(f, ref, &f->builtinReads[which]);
  if (place == kPlaceArgument) return f->self ? BuiltinVar_ArgumentSlot(ref) : nullptr;
  VariableNode* n;
  if (place == kPlaceGlobal || (place == kPlacePlain && GlobalVar_IsDeclared(ref))) {
    n = GlobalVar_List()->Find(ref);
  } else if (place == kPlaceSelf || place == kPlacePlain) {
    ScriptInstance* self = Script_Instance(f->self);
    if (!self || !self->variables) return nullptr;
    n = self->variables->Find(ref);
  } else {
    return nullptr;
  }
  return n ? &n->value : nullptr;
}

// A stack item of type .v, .d or .i as a real (a value keeps its flags);
// false for a value holding anything else. `s` moves past the item.
TW_STEP_INLINE bool StackReal(uint8_t type, uint8_t*& s, ScriptValue* out) {
  if (type == kVMVariable) {
    if (!ValueAt(s)->IsReal()) return false;
    MoveValue(out, s);
    s += 16;
    return true;
  }
  *out = ScriptValue::FromReal(type == kVMDouble ? Load<double>(s) : double(Load<int32_t>(s)));
  s += kVMSlotBytes;
  return true;
}

// Counts a branch already taken to `pc`; the message pump may stop the run.
TW_STEP_INLINE void StepBranched(VMFrame* f, int32_t& pc) {
  if (CountBranches(1)) [[unlikely]] {
    f->pc = pc;
    Pump(f);
    pc = f->pc;
  }
}

// A real conditional jump rather than a select: the processor then predicts
// the next step instead of waiting for the test's operands.
TW_STEP_INLINE int32_t Choose(bool taken, int32_t yes, int32_t no) {
  if (taken) {
    asm volatile("");
    return yes;
  }
  return no;
}

// The value of a local or variable operand; null while it does not exist.
template <int kClass>
TW_STEP_INLINE ScriptValue* ClassValue(VMFrame* f, VMPlace place, int32_t ref, int which) {
  if constexpr (kClass == kClassLocal) {
    VariableNode* n = LocalNode(f, ref);
    return n ? &n->value : nullptr;
  } else {
    return PlaceValue(f, place, ref, which);
  }
}

template <int kOpIndex>
TW_STEP_INLINE bool Test(double l, double r) {
  const double h = l - r, e = g_MathEpsilon;
  switch (kOpIndex) {
    case 4: return h < -e;
    case 5: return h <= e;
    case 6: return h > -e && h < e;
    case 7: return h < -e || h > e;
    case 8: return h >= -e;
    default: return h > e;
  }
}

// The fast way of an arithmetic step of one shape and operation; false,
// with nothing changed, when an operand or the destination is not a real or
// the division would fail.
template <int kLeft, int kRight, int kDest, int kOpIndex>
TW_STEP_INLINE bool RunArith(VMFrame* f, const VMStep& st, uint8_t*& sp, int32_t& pc) {
  // Variables are found first: finding one may call out of line, and no
  // operand is then held across the call.
  const ScriptValue* rv = nullptr;
  const ScriptValue* lv = nullptr;
  ScriptValue* dv = nullptr;
  if constexpr (kRight == kClassLocal || kRight == kClassVariable) {
    if (!(rv = ClassValue<kRight>(f, st.right, st.rightRef, 1))) return false;
  }
  if constexpr (kLeft == kClassLocal || kLeft == kClassVariable) {
    if (!(lv = ClassValue<kLeft>(f, st.left, st.leftRef, 0))) return false;
  }
  if constexpr (kDest == kDestLocal) {
    // A local left operand is often the destination too.
    if (kLeft == kClassLocal && st.destRef == st.leftRef) dv = const_cast<ScriptValue*>(lv);
    else if (!(dv = ClassValue<kClassLocal>(f, st.dest, st.destRef, 0))) return false;
  } else if constexpr (kDest == kDestVariable) {
    // A built-in destination is written through its setter once the result is known.
    if (st.dest != kPlaceBuiltin && !(dv = PlaceValue(f, st.dest, st.destRef))) return false;
  }
  uint8_t* s = sp;
  double l, r;
  if constexpr (kRight == kClassConst) {
    r = st.rightConst;
  } else if constexpr (kRight == kClassStack) {
    ScriptValue item;
    if (!StackReal(st.rightType, s, &item)) return false;
    r = item.real;
  } else {
    if (!rv->IsReal()) return false;
    r = rv->real;
  }
  if constexpr (kLeft == kClassConst) {
    l = st.leftConst;
  } else if constexpr (kLeft == kClassStack) {
    ScriptValue item;
    if (!StackReal(st.leftType, s, &item)) return false;
    l = item.real;
  } else {
    if (!lv->IsReal()) return false;
    l = lv->real;
  }
  if constexpr (kDest == kDestLocal || kDest == kDestVariable) {
    if (dv && !dv->IsReal()) return false;
  }
  double x = 0;
  bool test = false;
  if constexpr (kOpIndex == 0) x = l + r;
  else if constexpr (kOpIndex == 1) x = l - r;
  else if constexpr (kOpIndex == 2) x = l * r;
  else if constexpr (kOpIndex == 3) {
    if (std::fabs(r) < 1e-10) return false;
    x = l / r;
  } else {
    test = Test<kOpIndex>(l, r);
  }
  if constexpr (kDest == kDestStack) {
    if (st.resultType == kVMVariable) {
      sp = PushReal(s, x);
    } else {
      sp = s - kVMSlotBytes;
      if (st.resultType == kVMDouble) Store<double>(sp, x);
      else Store<uint64_t>(sp, test ? 1 : 0);
    }
    pc = st.next;
  } else if constexpr (kDest == kDestBranch) {
    sp = s;
    pc = Choose(test == st.branchIf, st.target, st.next);
    StepBranched(f, pc);
  } else {
    if (!dv) {
      ScriptValue result = ScriptValue::FromReal(x);
      if (!WriteBuiltin(f, st.destRef, &result, st.next)) return false;
      sp = s;
      // An error in the write has stopped the run.
      if (f->stopped) [[unlikely]] {
        pc = f->pc;
        return true;
      }
    } else {
      dv->kind = kKindReal;
      dv->real = x;
    }
    sp = s;
    if (st.thenBranch) {
      pc = st.target;
      StepBranched(f, pc);
    } else {
      pc = st.next;
    }
  }
  return true;
}

// A loop's step and test in one (kStepForLoop).
template <int kOpIndex, bool kLimitLocal>
TW_STEP_INLINE bool RunForLoop(VMFrame* f, const VMStep& st, int32_t& pc) {
  VariableNode* n = LocalNode(f, st.destRef);
  if (!n) return false;
  const VariableNode* m = nullptr;
  if constexpr (kLimitLocal) m = LocalNode(f, st.rightRef);  // found before any value is held
  if (!n->value.IsReal()) return false;
  const double x = n->value.real + st.rightConst;
  n->value.kind = kKindReal;
  n->value.real = x;
  double limit = st.leftConst;
  if constexpr (kLimitLocal) {
    if (!m || !m->value.IsReal()) {
      pc = st.target;  // the test's own step goes on from there
      StepBranched(f, pc);
      return true;
    }
    limit = m->value.real;
  }
  pc = Choose(Test<kOpIndex>(x, limit) == st.branchIf, st.target2, st.next);
  // Both branches counted at once: the test leaves the stack as the jump
  // found it, so a stop at either point unwinds the same items.
  if (CountBranches(2)) [[unlikely]] {
    f->pc = pc;
    Pump(f);
    pc = f->pc;
  }
  return true;
}

// ---- Element steps ----------------------------------------------------------------

// A part of an element index as conv.v.i gives it; false when the variable
// does not exist or holds no real.
TW_STEP_INLINE bool IndexPart(VMFrame* f, VMPlace place, int32_t ref, int32_t* out) {
  if (place == kPlaceConst) {
    *out = ref;
    return true;
  }
  const ScriptValue* v = PlaceValue(f, place, ref);
  if (!v || !v->IsReal()) return false;
  *out = Real_ToInt32(v->real);
  return true;
}

// The array a step's variable owns (or may write in place) and the row and
// column of the step's index, as the int arithmetic of the code computes
// them; null when the variable holds no array or the index is negative.
TW_STEP_INLINE ScriptArray* ElementArray(VMFrame* f, const VMStep& st, ScriptValue** value, int32_t* row, int32_t* column) {
  int32_t r, c;
  if (!IndexPart(f, st.left, st.leftRef, &r) || !IndexPart(f, st.right, st.rightRef, &c)) return nullptr;
  const int32_t index = int32_t(uint32_t(r) * uint32_t(kArrayRowStride) + uint32_t(c));
  if (index < 0) return nullptr;
  ScriptValue* v = PlaceValue(f, st.dest, st.destRef);
  if (!v || !v->IsArray() || !v->array) return nullptr;
  *value = v;
  *row = index / kArrayRowStride;
  *column = index % kArrayRowStride;
  return v->array;
}

// Writes a real into an element of an array the variable may write in
// place, inside its rows and the row's allocation, over an element that
// holds nothing to release; otherwise false with nothing changed.
TW_STEP_INLINE bool RunElementPop(VMFrame* f, const VMStep& st, uint8_t*& sp, int32_t& pc) {
  ScriptValue x;
  uint8_t* s = sp;
  switch (st.source) {
    case kPlaceStack:
      if (!StackReal(st.rightType, s, &x)) return false;
      break;
    case kPlaceConst: x.real = st.leftConst; break;
    default: {
      const ScriptValue* from = PlaceValue(f, st.source, st.sourceRef);
      if (!from || !from->IsReal()) return false;
      MoveValue(&x, from);
      break;
    }
  }
  ScriptValue* v;
  int32_t row, column;
  ScriptArray* array = ElementArray(f, st, &v, &row, &column);
  if (!array || (array->owner != v && array->refCount != 1) || row >= array->rowCount) return false;
  ScriptArrayRow& r = array->rows[row];
  if (column >= r.capacity) return false;
  ScriptValue& e = r.elements[column];
  // Slots past the length are real 0: nothing there to release.
  if (column < r.length && (e.IsString() || e.IsArray())) return false;
  if (!array->owner) array->owner = v;
  if (column >= r.length) r.length = column + 1;
  e = x;
  ArrayIndexError.error = 0;
  sp = s;
  pc = st.next;
  return true;
}

// Pushes a real element that exists; otherwise false with nothing changed.
TW_STEP_INLINE bool RunElementPush(VMFrame* f, const VMStep& st, uint8_t*& sp, int32_t& pc) {
  ScriptValue* v;
  int32_t row, column;
  ScriptArray* array = ElementArray(f, st, &v, &row, &column);
  if (!array || row >= array->rowCount || column >= array->rows[row].length) return false;
  const ScriptValue& e = array->rows[row].elements[column];
  if (!e.IsReal()) return false;
  if (!array->owner) array->owner = v;
  ArrayIndexError.error = 0;
  sp -= 16;
  MoveValue(sp, &e);
  pc = st.next;
  return true;
}


// The out-of-line run of one arithmetic shape: the stack pointer and the
// position after the step, or a null stack pointer, with nothing changed,
// where the generic handlers must run the step.
struct FarStep {
  uint8_t* sp;
  int64_t pc;
};
template <int kLeft, int kRight, int kDest, int kOpIndex>
[[gnu::noinline]] FarStep FarArith(VMFrame* f, const VMStep& st, uint8_t* sp, int32_t pc) {
  if (RunArith<kLeft, kRight, kDest, kOpIndex>(f, st, sp, pc)) return {sp, pc};
  return {nullptr, 0};
}
// Each out-of-line shape is made in its piece alone.
#define TW_FAR_DECLARE(l, r, d, o) extern template FarStep FarArith<l, r, d, o>(VMFrame*, const VMStep&, uint8_t*, int32_t);
TW_ARITH_FAR(TW_FAR_DECLARE)
#undef TW_FAR_DECLARE
#define TW_FAR_DEFINE(l, r, d, o) template FarStep FarArith<l, r, d, o>(VMFrame*, const VMStep&, uint8_t*, int32_t);

}  // namespace vm
