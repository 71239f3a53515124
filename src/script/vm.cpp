// The machine's dispatch: a run's set-up, the loop that sends each planned
// step to its handler (the common ones inlined, vm_steps.h) and each other
// instruction to the generic handlers, and the release of what a run leaves.
#include "script/vm.h"

#include <cstring>
#include <new>

#include "script/console.h"
#include "script/scripts.h"
#include "script/convert.h"
#include "script/memory_manager.h"
#include "script/scripts.h"
#include "script/vm_internal.h"
#include "script/world.h"
#include "script/vm_plan.h"
#include "script/vm_steps.h"

VMFrame* VM_CurrentFrame = nullptr;

using namespace vm;

namespace {

// The returned item as a value (its block, if any, moves into it).
ScriptValue TakeItem(const uint8_t* at, int type) {
  ScriptValue v;
  switch (type) {
    case kVMDouble: v.real = Load<double>(at); break;
    case kVMFloat: v.real = Load<float>(at); break;
    case kVMInt: v.real = Load<int32_t>(at); break;
    case kVMLong: v.real = double(Load<int64_t>(at)); break;
    case kVMBool: v.real = at[0] ? 1.0 : 0.0; break;
    case kVMVariable: MoveValue(&v, at); break;
    case kVMString:
      v.kind = kKindString;
      v.text = Load<char*>(at);
      break;
    default: break;
  }
  return v;
}

// The slot of a whole read of argument0 ... argument15 of self when it holds
// a real, which can be copied as it is; null for every other read.
inline const ScriptValue* ArgumentRead(uint32_t word, const uint8_t* operand, const VMFrame* f) {
  const VariableRef ref{Load<uint32_t>(operand)};
  if ((ref.bits & VariableRef::kFlagMask) != (VariableRef::kNoIndex | VariableRef::kImmediateInstance) ||
      (VM_Immediate(word) != kInstancePlain && VM_Immediate(word) != kInstanceSelf) || !f->self) {
    return nullptr;
  }
  const ScriptValue* a = BuiltinVar_ArgumentSlot(ref.Id());
  return a && a->IsReal() ? a : nullptr;
}

// push.v: argument reads of reals take the short way, kept apart from the
// generic read so that they need none of its setting up.
inline uint8_t* PushVariable(uint32_t word, const uint8_t* operand, uint8_t* sp, VMFrame* f) {
  if (const ScriptValue* a = ArgumentRead(word, operand, f)) {
    sp -= 16;
    MoveValue(sp, a);
    return sp;
  }
  return PushVariableGeneric(word, operand, sp, f);
}

// Leaves a with: its instance array goes, self and other come back.
uint8_t* EndEnv(uint8_t* sp, VMFrame* f) {
  if (void* array = Load<void*>(sp + 16)) MemoryManager::Release(array);
  f->self = Load<CObjInstance*>(sp);
  f->other = Load<CObjInstance*>(sp + 8);
  return sp + kVMEnvBytes;
}

// popenv: on to the with's next instance, or out of the with.
uint8_t* PopEnv(uint32_t word, uint8_t* sp, VMFrame* f) {
  if (((word >> 16) & 0xFF) == 0xF0) return EndEnv(sp, f);
  // Instances destroyed or deactivated by an earlier pass are passed over.
  CObjInstance* next = nullptr;
  if (Load<CObjInstance**>(sp + 16)) {
    CObjInstance** cursor = Load<CObjInstance**>(sp + 24);
    do {
      next = *--cursor;
    } while (next && !g_ScriptWorld.isLive(next));
    Store<CObjInstance**>(sp + 24, cursor);
  } else if ((next = Load<CObjInstance*>(sp + 24))) {
    Store<CObjInstance*>(sp + 24, nullptr);
    if (!g_ScriptWorld.isLive(next)) next = nullptr;
  }
  if (!next) return EndEnv(sp, f);
  f->self = next;
  f->pc += 4 * VM_BranchOffset(word) - 4;
  return sp;
}

// The fast path of the two-operand instructions: both operands reals, as
// ".d" items or ".v" values holding a real.
inline bool RealPair(uint32_t word, uint8_t* sp, double* left, double* right, uint8_t** below, bool* value) {
  const int t1 = VM_Type1(word), t2 = VM_Type2(word);
  if ((t1 != kVMDouble && t1 != kVMVariable) || (t2 != kVMDouble && t2 != kVMVariable)) return false;
  uint8_t* leftAt = sp + SlotBytes(t1);
  if (t1 == kVMDouble) *right = Load<double>(sp);
  else if (ValueAt(sp)->IsReal()) *right = ValueAt(sp)->real;
  else return false;
  if (t2 == kVMDouble) *left = Load<double>(leftAt);
  else if (ValueAt(leftAt)->IsReal()) *left = ValueAt(leftAt)->real;
  else return false;
  *below = leftAt + SlotBytes(t2);
  *value = t1 == kVMVariable || t2 == kVMVariable;
  return true;
}

}  // namespace

[[gnu::hot]] void VM_Execute(const char* name, CObjInstance* self, CObjInstance* other, const VMBuffer* code,
                ScriptValue* result, const VMBuffer* lineTable, const char* source) {
  if (g_TraceVM) g_DebugConsole->Output("script = %s\n", name ? name : "");
  if (!code || code->Size() <= 0) return;
  const VMCodeInfo* info = CheckedInfo(code, name);
  if (!info) return;
  if (g_nesting >= kVMMaxNestedRuns) {
    ShowStackOverflow(name);
    return;
  }
  const int level = g_nesting++;
  if (int(g_areas.size()) <= level) g_areas.resize(size_t(level) + 1);
  {
    StackArea& area = g_areas[size_t(level)];
    if (!area.bytes) {
      area.bytes.reset(new uint8_t[kVMStackStep]);
      area.size = kVMStackStep;
    }
  }

  VMFrame frame{};
  VMFrame* f = &frame;
  f->level = level;
  f->stackBase = g_areas[size_t(level)].bytes.get();
  f->stackSize = g_areas[size_t(level)].size;
  f->sp = f->stackBase + f->stackSize;
  f->callRecord = f->sp;
  f->self = self;
  f->other = other;
  f->code = code;
  f->codeWords = code->Data();
  f->codeSize = code->Size();
  f->info = info;
  f->steps = info->Plan()->Steps();
  f->lineTable = lineTable;
  f->source = source;
  f->name = name ? name : "";
  f->runName = f->name;
  const int32_t argCount = g_ArgumentCount;
  f->argCount = argCount;
  {
    LocalsEntry* locals = AcquireLocals(info);
    f->locals = &locals->list;
    f->localNodes = locals->nodes.data();
  }
  VM_CurrentFrame = f;

  enum class End { kRanOff, kExit, kRet, kStopped } end = End::kRanOff;
  int32_t retPc = 0;
  if (!EnsureStack(f, g_areas[size_t(level)], info->MaxStack())) {
    ShowStackOverflow(name);
    f->stopped = true;
    f->resumePc = 0;
  }
  uint8_t* sp = f->sp;
  // Each step kind's handler, by kind; kinds without one are generic.
  static void* labels[kVMStepKinds];
  static bool labelled = false;
  if (!labelled) {
    for (void*& l : labels) l = &&generic;
#define TW_ARITH_LABEL(l, r, d, o) labels[kStepArith + VMArithShape(l, r, d, o)] = &&arith_##l##_##r##_##d##_##o;
    TW_ARITH_NEAR(TW_ARITH_LABEL)
    TW_ARITH_FAR(TW_ARITH_LABEL)
#undef TW_ARITH_LABEL
#define TW_LOOP_LABEL(o, local) labels[kStepForLoop + VMForLoopShape(o, local)] = &&loop_##o##_##local;
    TW_LOOP_ALL(TW_LOOP_LABEL)
#undef TW_LOOP_LABEL
    labels[kStepPush] = &&push;
    labels[kStepPop] = &&pop;
    labels[kStepBranch] = &&branch;
    labels[kStepCall] = &&call;
    labels[kStepReturn] = &&ret;
    labels[kStepElementPop] = &&element_pop;
    labels[kStepElementPush] = &&element_push;
    labelled = true;
  }

  // The running code's position and steps stay in registers; f->pc is
  // brought up to date before any generic handler, which may move it.
  int32_t pc = f->pc;
  int32_t codeSize = f->codeSize;
  const VMStep* steps = f->steps;

  // Each handler goes straight on to the next step's handler, so each has
  // its own indirect jump for the processor to predict.
  const VMStep* cur;
#define TW_NEXT_STEP()                  \
  do {                                  \
    cur = &steps[size_t(pc) >> 2];      \
    goto* labels[cur->kind];            \
  } while (0)
  while (true) {
    TW_NEXT_STEP();
#define TW_ARITH_HANDLER(l, r, d, o)                          \
  arith_##l##_##r##_##d##_##o:                                \
    if (RunArith<l, r, d, o>(f, *cur, sp, pc)) TW_NEXT_STEP();      \
    goto generic;
    TW_ARITH_NEAR(TW_ARITH_HANDLER)
#undef TW_ARITH_HANDLER
#define TW_ARITH_FAR_HANDLER(l, r, d, o)                      \
  arith_##l##_##r##_##d##_##o: {                              \
    const FarStep done = FarArith<l, r, d, o>(f, *cur, sp, pc); \
    if (done.sp) {                                            \
      sp = done.sp;                                           \
      pc = int32_t(done.pc);                                  \
      TW_NEXT_STEP();                                         \
    }                                                         \
  }                                                           \
    goto generic;
    TW_ARITH_FAR(TW_ARITH_FAR_HANDLER)
#undef TW_ARITH_FAR_HANDLER
#define TW_LOOP_HANDLER(o, local)                             \
  loop_##o##_##local:                                         \
    if (RunForLoop<o, local>(f, *cur, pc)) TW_NEXT_STEP();          \
    goto generic;
    TW_LOOP_ALL(TW_LOOP_HANDLER)
#undef TW_LOOP_HANDLER
  push:
    if (const ScriptValue* v = PlaceValue(f, cur->left, cur->leftRef); v && v->IsReal()) {
      sp -= 16;
      MoveValue(sp, v);
      pc = cur->next;
      TW_NEXT_STEP();
    }
    goto generic;
  pop: {
    uint8_t* s = sp;
    ScriptValue x;
    if (!StackReal(cur->rightType, s, &x)) goto generic;
    if (cur->dest == kPlaceBuiltin) {
      if (!WriteBuiltin(f, cur->destRef, &x, cur->next)) goto generic;
      sp = s;
      pc = f->stopped ? f->pc : cur->next;
      TW_NEXT_STEP();
    }
    ScriptValue* v = PlaceValue(f, cur->dest, cur->destRef);
    if (!v || !v->IsReal()) goto generic;
    // A value moves as it is, flags and all.
    MoveValue(v, &x);
    sp = s;
    pc = cur->next;
    TW_NEXT_STEP();
  }
  element_pop:
    if (RunElementPop(f, *cur, sp, pc)) TW_NEXT_STEP();
    goto generic;
  element_push:
    if (RunElementPush(f, *cur, sp, pc)) TW_NEXT_STEP();
    goto generic;
  branch:
    pc = cur->target;
    StepBranched(f, pc);
    TW_NEXT_STEP();
  call:
    f->pc = cur->next;
    f->sp = sp;
    sp = CallScript(f, cur->destRef, cur->rightRef, sp);
    pc = f->pc;
    codeSize = f->codeSize;
    steps = f->steps;
    TW_NEXT_STEP();
  ret:
    if (f->callDepth == 0) goto generic;
    {
      ScriptValue returned;
      MoveValue(&returned, sp);
      sp = LeaveScript(f, returned);
    }
    pc = f->pc;
    codeSize = f->codeSize;
    steps = f->steps;
    TW_NEXT_STEP();
  generic:
    if (pc >= codeSize) {
      f->pc = pc;
      if (f->stopped || f->callDepth == 0) break;
      // Running off the end of a called script returns 0.
      sp = Unwind(f, f->info, f->info->StackAt(f->codeSize), sp);
      sp = LeaveScript(f, ScriptValue());
      pc = f->pc;
      codeSize = f->codeSize;
      steps = f->steps;
      continue;
    }
    const uint8_t* words = f->codeWords;
    const uint32_t word = Load<uint32_t>(words + pc);
    const uint8_t* operand = words + pc + 4;
    const uint8_t op = VM_Opcode(word);
    const int t1 = VM_Type1(word);
    int32_t next = pc + 4;
    if (op & kOpClassOperand) {
      f->operandSize = VM_OperandSize(t1);
      next += f->operandSize;
    }
    f->pc = next;
    switch (op) {
      case kOpPush:
        switch (t1) {
          case kVMDouble:
          case kVMLong:
            sp -= 8;
            std::memcpy(sp, operand, 8);
            break;
          case kVMFloat:
          case kVMInt:
          case kVMBool:
            sp -= 8;
            std::memcpy(sp, operand, 4);
            break;
          case kVMImmediate:
            sp -= 8;
            Store<int32_t>(sp, VM_Immediate(word));
            break;
          case kVMString:
            sp -= 8;
            Store<char*>(sp, String_Duplicate(VM_StringOperand(Load<uint32_t>(operand))));
            break;
          case kVMVariable: sp = PushVariable(word, operand, sp, f); break;
        }
        break;
      case kOpPop: sp = PopVariable(word, operand, sp, f); break;
      case kOpPopz:
        vm::FreeItem(sp, t1);
        sp += SlotBytes(t1);
        break;
      case kOpDup: {
        const int count = uint16_t(VM_Immediate(word)) + 1;
        if (t1 == kVMVariable) {
          for (int i = 0; i < count; ++i) {
            ScriptValue* top = ValueAt(sp);
            sp -= 16;
            ScriptValue* copy = new (sp) ScriptValue;
            ScriptValue_Copy(copy, top);
          }
        } else if (t1 == kVMString) {
          for (int i = 0; i < count; ++i) {
            char* top = Load<char*>(sp);
            sp -= 8;
            Store<char*>(sp, String_Duplicate(top));
          }
        } else {
          const int32_t bytes = f->info->MoveAt(pc).bytes;
          std::memcpy(sp - bytes, sp, size_t(bytes));
          sp -= bytes;
        }
        break;
      }
      // The pump may stop the run: the branch is taken first, so the stack
      // matches the layout where the run stops.
      case kOpB:
        f->pc = pc + 4 * VM_BranchOffset(word);
        Branched(f);
        break;
      case kOpBt:
      case kOpBf: {
        const bool taken = (sp[0] != 0) == (op == kOpBt);
        sp += 8;
        if (taken) f->pc = pc + 4 * VM_BranchOffset(word);
        Branched(f);
        break;
      }
      case kOpConv:
        // An index: a real value to an int.
        if (t1 == kVMVariable && VM_Type2(word) == kVMInt && ValueAt(sp)->IsReal()) {
          const int32_t n = Real_ToInt32(ValueAt(sp)->real);
          sp += 16 - kVMSlotBytes;
          Store<uint64_t>(sp, 0);
          Store<int32_t>(sp, n);
          break;
        }
        sp = vm::DoConv(word, sp, f);
        break;
      case kOpAdd:
      case kOpSub:
      case kOpMul: {
        if (t1 == kVMInt && VM_Type2(word) == kVMInt) {
          // Index arithmetic wraps in 32 bits.
          const uint32_t r = Load<uint32_t>(sp), l = Load<uint32_t>(sp + kVMSlotBytes);
          sp += kVMSlotBytes;
          Store<uint64_t>(sp, 0);
          Store<uint32_t>(sp, op == kOpAdd ? l + r : op == kOpSub ? l - r : l * r);
          break;
        }
        double l, r;
        uint8_t* below;
        bool value;
        if (RealPair(word, sp, &l, &r, &below, &value)) {
          const double x = op == kOpAdd ? l + r : op == kOpSub ? l - r : l * r;
          if (value) {
            sp = vm::PushReal(below, x);
          } else {
            sp = below - 8;
            Store<double>(sp, x);
          }
          break;
        }
        sp = vm::DoBinary(word, sp, f);
        break;
      }
      case kOpAnd:
      case kOpOr:
      case kOpXor:
        // && || ^^ of two comparisons: their low bytes, as DoBinary takes them.
        if (t1 == kVMBool && VM_Type2(word) == kVMBool) {
          const uint32_t r = sp[0], l = sp[kVMSlotBytes];
          sp += kVMSlotBytes;
          Store<uint64_t>(sp, op == kOpAnd ? l & r : op == kOpOr ? l | r : l ^ r);
          break;
        }
        sp = vm::DoBinary(word, sp, f);
        break;
      case kOpDiv:
      case kOpRem:
      case kOpMod:
      case kOpShl:
      case kOpShr: sp = vm::DoBinary(word, sp, f); break;
      case kOpNeg: sp = vm::DoNeg(word, sp, f); break;
      case kOpNot: sp = vm::DoNot(word, sp, f); break;
      case kOpSlt:
      case kOpSle:
      case kOpSeq:
      case kOpSne:
      case kOpSge:
      case kOpSgt: {
        double l, r;
        uint8_t* below;
        bool value;
        if (RealPair(word, sp, &l, &r, &below, &value)) {
          const double h = l - r, e = g_MathEpsilon;
          bool x = false;
          switch (op) {
            case kOpSlt: x = h < -e; break;
            case kOpSle: x = h <= e; break;
            case kOpSeq: x = h > -e && h < e; break;
            case kOpSne: x = h < -e || h > e; break;
            case kOpSge: x = h >= -e; break;
            default: x = h > e; break;
          }
          sp = below - 8;
          Store<uint64_t>(sp, x ? 1 : 0);
          break;
        }
        sp = vm::DoSet(word, sp, f);
        break;
      }
      case kOpCall:
        f->sp = sp;
        sp = Call(word, operand, sp, f);
        break;
      case kOpRet:
      case kOpExit: {
        if (f->callDepth == 0) {
          retPc = pc;
          end = op == kOpRet ? End::kRet : End::kExit;
          f->pc = f->codeSize;
          break;
        }
        // Back to the caller; whatever the callee still holds is released.
        uint32_t layout = f->info->StackAt(pc);
        ScriptValue returned;
        if (op == kOpRet && t1 <= kVMString) {
          returned = TakeItem(sp, t1);
          sp += SlotBytes(t1);
          layout = f->info->At(layout).below;
        }
        Unwind(f, f->info, layout, sp);
        sp = LeaveScript(f, returned);
        break;
      }
      case kOpPushEnv: sp = PushEnv(word, sp, f); break;
      case kOpPopEnv: sp = PopEnv(word, sp, f); break;
      case kOpBreak:
        if (VM_Immediate(word) == -1) {
          const int32_t index = Load<int32_t>(sp);
          if (index < 0) VM_FatalError(f, "Array index must be +'ve");
          else if (index > kArrayRowStride - 1) VM_FatalError(f, "Array index must be < %d", kArrayRowStride);
        }
        break;
      default: break;  // 0 to 2: nothing
    }
    pc = f->pc;
    codeSize = f->codeSize;
    steps = f->steps;
  }

  // Whatever is left is released; only a value can become the result.
  uint32_t layout;
  if (f->stopped) {
    end = End::kStopped;
    layout = f->resumePc >= 0 ? f->info->StackAt(f->resumePc) : VMCodeInfo::kEmpty;
    if (f->resumePc == 0 && layout == VMCodeInfo::kNone) layout = VMCodeInfo::kEmpty;
    // Each script still running goes as exit would take it.
    while (f->callDepth > 0) {
      if (layout != VMCodeInfo::kNone) Unwind(f, f->info, layout, sp);
      sp = LeaveScript(f, ScriptValue());
      layout = f->info->StackAt(f->pc);
    }
  } else if (end == End::kRanOff) {
    layout = info->StackAt(f->codeSize);
  } else {
    layout = info->StackAt(retPc);
  }
  if (layout != VMCodeInfo::kNone && layout != VMCodeInfo::kEmpty &&
      (end == End::kRanOff || (end == End::kRet && VM_Type1(Load<uint32_t>(f->codeWords + retPc)) == kVMVariable)) &&
      info->At(layout).item == VMItem::kValue) {
    if (result) {
      ScriptValue_Free(result);
      std::memcpy(static_cast<void*>(result), sp, 16);
    } else {
      ScriptValue_Free(ValueAt(sp));
    }
    sp += 16;
    layout = info->At(layout).below;
  }
  if (layout != VMCodeInfo::kNone) sp = Unwind(f, info, layout, sp);
  f->sp = sp;

  ReleaseLocals();
  g_ArgumentCount = argCount;
  --g_nesting;
  VM_CurrentFrame = nullptr;  // the outer run sets it again at its next instruction
#undef TW_NEXT_STEP
}
