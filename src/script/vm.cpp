#include "script/vm.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "core/code_chunks.h"
#include "core/console.h"
#include "core/entry.h"
#include "core/instance_vars.h"
#include "core/instances.h"
#include "net/debugger.h"
#include "platform/message_box.h"
#include "script/errors.h"
#include "script/function_registry.h"
#include "script/memory_manager.h"
#include "script/variable_names.h"
#include "script/variables.h"
#include "script/vm_internal.h"

bool g_TraceVM = false;
bool g_UseVM = true;
VMFrame* VM_CurrentFrame = nullptr;

using vm::Load;
using vm::SlotBytes;
using vm::Store;
using vm::ValueAt;

namespace {

bool g_fatalEndsProcess = true;
void (*g_pump)() = Main_ProcessMessages;
uint64_t g_branches = 0;

// Kept for the whole process (never destroyed, so the lists never outlive
// the node pool they return their nodes to).
std::vector<CVariableList*>& g_localsPool = *new std::vector<CVariableList*>;
int g_localsInUse = 0;

// One stack area per nesting level, kept for the next run at that level.
struct StackArea {
  std::unique_ptr<uint8_t[]> bytes;
  int32_t size = 0;
};
std::vector<StackArea> g_areas;
int g_nesting = 0;

std::vector<std::string> g_compiledStrings;

// Makes room for `need` more bytes below the stack pointer (plus headroom);
// false when that would pass the limit.
bool EnsureStack(VMFrame* f, StackArea& area, int32_t need) {
  const int64_t free = f->sp - f->stackBase;
  const int64_t want = int64_t(need) + kVMStackHeadroom;
  if (free >= want) return true;
  int64_t size = f->stackSize;
  while (size - (f->stackBase + f->stackSize - f->sp) < want) size += kVMStackStep;
  if (size > kVMMaxStackBytes) return false;
  std::unique_ptr<uint8_t[]> grown(new uint8_t[size_t(size)]);
  // The old contents end at the new top end, so distances from the top stay.
  const ptrdiff_t delta = (grown.get() + size) - (f->stackBase + f->stackSize);
  const size_t used = size_t(f->stackBase + f->stackSize - f->sp);
  if (used) std::memcpy(f->sp + delta, f->sp, used);
  f->sp += delta;
  f->callRecord += delta;
  area.bytes = std::move(grown);
  area.size = int32_t(size);
  f->stackBase = area.bytes.get();
  f->stackSize = area.size;
  return true;
}

void ShowStackOverflow(const char* name) { MessageBox_Show("Stack overflow...", name ? name : ""); }

void Stop(VMFrame* f) {
  if (f->stopped) return;
  f->stopped = true;
  f->resumePc = f->pc;
  f->pc = f->codeSize;
}

// Releases the items of the layout `node` from the stack pointer up.
uint8_t* Unwind(VMFrame* f, const VMCodeInfo* info, uint32_t node, uint8_t* sp) {
  while (node != VMCodeInfo::kEmpty && node != VMCodeInfo::kNone) {
    const VMCodeInfo::Node& n = info->At(node);
    switch (n.item) {
      case VMItem::kValue: ScriptValue_Free(ValueAt(sp)); break;
      case VMItem::kString: vm::FreeItem(sp, kVMString); break;
      case VMItem::kEnv:
        if (void* array = Load<void*>(sp + 16)) MemoryManager::Release(array);
        break;
      default: break;
    }
    sp += VM_ItemBytes(n.item);
    node = n.below;
  }
  return sp;
}

// ---- Variables -------------------------------------------------------------------

struct Target {
  int32_t instance;
  int32_t index;
};

uint8_t* PopTarget(uint32_t word, VariableRef ref, uint8_t* sp, Target* t) {
  t->index = -1;
  if (ref.Indexed()) {
    t->index = Load<int32_t>(sp);
    sp += kVMSlotBytes;
  }
  if (ref.InstanceFromImmediate()) {
    t->instance = VM_Immediate(word);
  } else {
    t->instance = Load<int32_t>(sp);
    sp += kVMSlotBytes;
  }
  if (ref.InstanceIsId()) t->instance += kFirstInstanceId;
  return sp;
}

bool ReadVariable(VMFrame* f, int32_t instance, int32_t id, int32_t index, ScriptValue* out) {
  switch (instance) {
    case kInstanceLocal: return f->locals && f->locals->Read(id, index, out);
    case kInstanceNoone: return true;
    case kInstancePlain:
      if (GlobalVar_IsDeclared(id)) return GlobalVar_List()->Read(id, index, out);
      return Instance_GetVar(f->self, id, index, out);
    case kInstanceSelf: return Instance_GetVar(f->self, id, index, out);
    case kInstanceGlobal: return GlobalVar_List()->Read(id, index, out);
    case kInstanceOther: return Instance_GetVar(f->other, id, index, out);
    default: return Target_GetVar(instance, id, index, out);
  }
}

bool WriteVariable(VMFrame* f, int32_t instance, int32_t id, int32_t index, ScriptValue* value) {
  switch (instance) {
    case kInstanceLocal:
      f->locals->Write(id, index, value);
      return true;
    case kInstancePlain:
      if (GlobalVar_IsDeclared(id)) return GlobalVar_List()->Write(id, index, value);
      return Instance_SetVar(f->self, id, index, value);
    case kInstanceGlobal: return GlobalVar_List()->Write(id, index, value);
    case kInstanceNoone: return true;
    case kInstanceOther: return Instance_SetVar(f->other, id, index, value);
    case kInstanceSelf: return Instance_SetVar(f->self, id, index, value);
    default: return Target_SetVar(instance, id, index, value);
  }
}

uint8_t* PushVariable(uint32_t word, const uint8_t* operand, uint8_t* sp, VMFrame* f) {
  const VariableRef ref{Load<uint32_t>(operand)};
  Target t;
  sp = PopTarget(word, ref, sp, &t);
  sp -= 16;
  if (t.instance == kInstanceLocal && t.index < 0) {
    // A plain real local is copied as it is: nothing to share or duplicate.
    if (const VariableNode* n = f->locals->Find(ref.Id()); n && n->value.IsReal()) {
      std::memcpy(sp, static_cast<const void*>(&n->value), 16);
      return sp;
    }
  }
  ScriptValue* v = new (sp) ScriptValue;
  ArrayIndexError.error = 0;
  if (!ReadVariable(f, t.instance, ref.Id(), t.index, v)) {
    const char* name = VariableName_FromID(ref.Id());
    if (ArrayIndexError.error) {
      VM_FatalError(f, "Push :: Execution Error - Variable Index [%d,%d] out of range [%d,%d] - %d.%s(%d,%d)",
                    ArrayIndexError.row, ArrayIndexError.column, ArrayIndexError.rowCount, ArrayIndexError.rowLength,
                    t.instance, name ? name : "", ref.Id(), t.index);
    } else {
      VM_FatalError(f, "Push :: Execution Error - Variable Get %d.%s(%d, %d)", t.instance, name ? name : "", ref.Id(),
                    t.index);
    }
  }
  return sp;
}

uint8_t* StackMove(uint32_t word, uint8_t* sp, VMFrame* f) {
  const int size = SlotBytes(VM_Type2(word));
  const VMCodeInfo::Move& m = f->info->MoveAt(f->pc - 4);
  alignas(16) uint8_t saved[16];
  std::memcpy(saved, sp, size_t(size));
  std::memmove(sp, sp + size, size_t(m.bytes));
  std::memcpy(sp + m.bytes, saved, size_t(size));
  return sp + m.drop;
}

uint8_t* PopVariable(uint32_t word, const uint8_t* operand, uint8_t* sp, VMFrame* f) {
  const int form = VM_Type1(word), type = VM_Type2(word);
  if (form == kVMImmediate) return StackMove(word, sp, f);
  const VariableRef ref{Load<uint32_t>(operand)};
  ScriptValue value;
  bool ok = true;
  auto take = [&](uint8_t* at) {
    switch (type) {
      case kVMDouble: value.real = Load<double>(at); break;
      case kVMInt: value.real = Load<int32_t>(at); break;
      case kVMLong: value.real = double(Load<int64_t>(at)); break;
      case kVMBool: value.real = at[0] ? 1.0 : 0.0; break;
      case kVMVariable: std::memcpy(static_cast<void*>(&value), at, sizeof value); break;
      case kVMString:
        value.kind = kKindString;
        value.text = Load<char*>(at);
        break;
      default: ok = false; break;
    }
    return at + SlotBytes(type);
  };
  Target t;
  if (form == kVMInt) sp = take(sp);
  sp = PopTarget(word, ref, sp, &t);
  if (form == kVMVariable) sp = take(sp);
  if (!ok) {
    VM_FatalError(f, "Pop :: Execution Engine");
    return sp;
  }
  if (t.instance == kInstanceLocal && t.index < 0 && value.IsReal()) {
    if (VariableNode* n = f->locals->Find(ref.Id()); n && n->value.IsReal()) {
      n->value = value;
      return sp;
    }
  }
  ArrayIndexError.error = 0;
  const bool written = WriteVariable(f, t.instance, ref.Id(), t.index, &value);
  if (!written || ArrayIndexError.error) {
    const char* name = VariableName_FromID(ref.Id());
    if (ArrayIndexError.error) VM_FatalError(f, "Pop :: Execution Error - Variable index out of range %s", name ? name : "");
    else VM_FatalError(f, "Pop :: Execution Error - Variable set failed %s - read only variable?", name ? name : "");
  }
  ScriptValue_Free(&value);
  return sp;
}

// ---- Calls and with-statements ----------------------------------------------------

uint8_t* Call(uint32_t word, const uint8_t* operand, uint8_t* sp, VMFrame* f) {
  const int32_t n = Load<int32_t>(operand);
  const int argc = uint16_t(VM_Immediate(word));
  ScriptValue* args = ValueAt(sp);
  ScriptValue result;
  if (n >= 0 && n < kFirstScriptFunction) {
    FunctionEntry* entry = FunctionRegistry_Get(n);
    if (!entry) {
      VM_FatalError(f, "DoCall :: call to non-existent function %d", n);
    } else {
      if (g_TraceVM) g_DebugConsole->Output("func call = %s\n", entry->name);
      if (entry->handler) entry->handler(&result, f->self, f->other, argc, args);
      VM_CurrentFrame = f;
    }
  } else if (n >= kFirstScriptFunction && n < kFirstExtensionFunction) {
    // Script bodies run here once the script table gives the machine their code.
    VM_FatalError(f, "call to non-existent script\n");
  }
  // Extension functions yield the zero real until extensions are loaded.
  for (int i = 0; i < argc; ++i) ScriptValue_Free(&args[i]);
  sp += 16 * argc;
  sp -= 16;
  std::memcpy(sp, static_cast<void*>(&result), 16);
  return sp;
}

// With-environment: saved self, saved other, the instance array (an engine
// block, or null) and the number of its slots still to visit.
uint8_t* PushEnv(uint32_t word, uint8_t* sp, VMFrame* f) {
  const int32_t target = Load<int32_t>(sp);
  sp += kVMSlotBytes;
  sp -= kVMEnvBytes;
  Store<CObjInstance*>(sp, f->self);
  Store<CObjInstance*>(sp + 8, f->other);
  Store<void*>(sp + 16, nullptr);
  Store<int64_t>(sp + 24, 0);
  bool runs = false;
  switch (target) {
    case kInstanceLocal: VM_FatalError(f, "Cannot use local in with statement"); return sp;
    case kInstanceGlobal: VM_FatalError(f, "Cannot use global in with statement"); return sp;
    case kInstanceSelf:
    case kInstancePlain:
      f->other = f->self;
      runs = true;
      break;
    case kInstanceOther: std::swap(f->self, f->other); runs = true; break;
    default: {
      CObjInstance* one = target >= kFirstInstanceId ? Instance_FindByID(target) : nullptr;
      if (one && one->IsLive()) {
        f->other = f->self;
        f->self = one;
        runs = true;
      }
      break;
    }
  }
  if (!runs) f->pc += 4 * VM_BranchOffset(word) - 4;
  return sp;
}

uint8_t* PopEnv(uint32_t word, uint8_t* sp, VMFrame* f) {
  const bool exitForm = ((word >> 16) & 0xFF) == 0xF0;
  int64_t left = Load<int64_t>(sp + 24);
  CObjInstance** array = Load<CObjInstance**>(sp + 16);
  if (!exitForm && array && left > 0) {
    --left;
    Store<int64_t>(sp + 24, left);
    f->self = array[left];
    f->pc += 4 * VM_BranchOffset(word) - 4;
    return sp;
  }
  if (array) MemoryManager::Release(array);
  f->self = Load<CObjInstance*>(sp);
  f->other = Load<CObjInstance*>(sp + 8);
  return sp + kVMEnvBytes;
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

void Branched() {
  if ((++g_branches & 4095) == 0 && g_pump) g_pump();
}

}  // namespace

// ---- Public ---------------------------------------------------------------------

CVariableList* VM_AcquireLocals() {
  if (g_localsInUse == int(g_localsPool.size())) g_localsPool.push_back(nullptr);
  CVariableList*& slot = g_localsPool[size_t(g_localsInUse)];
  if (!slot) slot = new CVariableList;
  if (slot->Count() > 0) slot->Clear();
  ++g_localsInUse;
  return slot;
}

void VM_ReleaseLocals() {
  if (g_localsInUse == 0) return;
  --g_localsInUse;
  g_localsPool[size_t(g_localsInUse)]->Clear();
}

int VM_LocalsInUse() { return g_localsInUse; }

void VM_SetFatalErrorsEndProcess(bool end) { g_fatalEndsProcess = end; }
void VM_SetMessagePump(void (*pump)()) { g_pump = pump; }
uint64_t VM_BranchCount() { return g_branches; }

void VM_FatalError(VMFrame* frame, const char* format, ...) {
  if (g_DebugEvaluating) {
    if (frame) Stop(frame);
    return;
  }
  char text[1024];
  va_list ap;
  va_start(ap, format);
  std::vsnprintf(text, sizeof text, format, ap);
  va_end(ap);
  VMFrame* saved = VM_CurrentFrame;
  if (frame) VM_CurrentFrame = frame;
  Error_ReportRuntime(text, true);
  VM_CurrentFrame = saved;
  if (g_fatalEndsProcess) std::exit(-1);
  if (frame) Stop(frame);
}

void VM_Init() {}
void Compiler_Free() {}

const char* VM_StringOperand(uint32_t index) {
  if (index >= kVMCompiledStringBase) {
    const size_t n = index - kVMCompiledStringBase;
    return n < g_compiledStrings.size() ? g_compiledStrings[n].c_str() : "";
  }
  if (index >= Strings_Count()) return "";
  // The table's records are terminated in the container.
  return Strings_Get(index).data();
}

uint32_t VM_AddCompiledString(const char* text) {
  g_compiledStrings.emplace_back(text ? text : "");
  return kVMCompiledStringBase + uint32_t(g_compiledStrings.size() - 1);
}

int64_t VM_DataStringCount() { return int64_t(Strings_Count()); }

void VM_Execute(const char* name, CObjInstance* self, CObjInstance* other, const VMBuffer* code,
                ScriptValue* result, const VMBuffer* lineTable, const char* source) {
  if (g_TraceVM) g_DebugConsole->Output("script = %s\n", name ? name : "");
  if (!code || code->Size() <= 0) return;
  const VMCodeInfo* info = code->Info();
  if (!info) {
    std::string why;
    std::shared_ptr<const VMCodeInfo> checked = VM_Verify(*code, &why);
    if (!checked) {
      Error_ReportRuntime(("Code " + std::string(name ? name : "") + " cannot run: " + why).c_str(), false);
      return;
    }
    code->SetInfo(checked);
    info = checked.get();
  }
  if (g_nesting >= kVMMaxNestedRuns) {
    ShowStackOverflow(name);
    return;
  }
  const int level = g_nesting++;
  if (int(g_areas.size()) <= level) g_areas.resize(size_t(level) + 1);
  StackArea& area = g_areas[size_t(level)];
  if (!area.bytes) {
    area.bytes.reset(new uint8_t[kVMStackStep]);
    area.size = kVMStackStep;
  }

  VMFrame frame{};
  VMFrame* f = &frame;
  f->stackBase = area.bytes.get();
  f->stackSize = area.size;
  f->sp = f->stackBase + f->stackSize;
  f->callRecord = f->sp;
  f->self = self;
  f->other = other;
  f->code = code;
  f->codeWords = code->Data();
  f->codeSize = code->Size();
  f->info = info;
  f->lineTable = lineTable;
  f->source = source;
  f->name = name ? name : "";
  f->locals = VM_AcquireLocals();
  VMFrame* outer = VM_CurrentFrame;
  VM_CurrentFrame = f;

  enum class End { kRanOff, kExit, kRet, kStopped } end = End::kRanOff;
  uint8_t* sp = f->sp;
  int32_t retPc = 0;
  if (!EnsureStack(f, area, info->MaxStack())) {
    ShowStackOverflow(name);
    f->stopped = true;
    f->resumePc = 0;
  }
  sp = f->sp;
  const uint8_t* words = f->codeWords;

  while (!f->stopped) {
    const int32_t pc = f->pc;
    if (pc >= f->codeSize) break;
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
          const int32_t bytes = info->MoveAt(pc).bytes;
          std::memcpy(sp - bytes, sp, size_t(bytes));
          sp -= bytes;
        }
        break;
      }
      // The pump may stop the run: the branch is taken first, so the stack
      // matches the layout where the run stops.
      case kOpB:
        f->pc = pc + 4 * VM_BranchOffset(word);
        Branched();
        break;
      case kOpBt:
      case kOpBf: {
        const bool taken = (sp[0] != 0) == (op == kOpBt);
        sp += 8;
        if (taken) f->pc = pc + 4 * VM_BranchOffset(word);
        Branched();
        break;
      }
      case kOpConv: sp = vm::DoConv(word, sp, f); break;
      case kOpAdd:
      case kOpSub:
      case kOpMul: {
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
      case kOpDiv:
      case kOpRem:
      case kOpMod:
      case kOpAnd:
      case kOpOr:
      case kOpXor:
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
        retPc = pc;
        end = End::kRet;
        f->pc = f->codeSize;
        break;
      case kOpExit:
        retPc = pc;
        end = End::kExit;
        f->pc = f->codeSize;
        break;
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
  }

  // Whatever is left is released; only a value can become the result.
  uint32_t layout;
  if (f->stopped) {
    end = End::kStopped;
    layout = f->resumePc >= 0 ? info->StackAt(f->resumePc) : VMCodeInfo::kEmpty;
    if (f->resumePc == 0 && layout == VMCodeInfo::kNone) layout = VMCodeInfo::kEmpty;
  } else if (end == End::kRanOff) {
    layout = info->StackAt(f->codeSize);
  } else {
    layout = info->StackAt(retPc);
  }
  if (layout != VMCodeInfo::kNone && layout != VMCodeInfo::kEmpty &&
      (end == End::kRanOff || (end == End::kRet && VM_Type1(Load<uint32_t>(words + retPc)) == kVMVariable)) &&
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
  sp = Unwind(f, info, layout, sp);
  f->sp = sp;

  VM_ReleaseLocals();
  --g_nesting;
  VM_CurrentFrame = nullptr;  // the outer run sets it again at its next instruction
  (void)outer;
}
