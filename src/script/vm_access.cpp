// Variable access of the generic handlers, and the instances that a
// with-statement visits.
#include <algorithm>
#include <vector>

#include "script/memory_manager.h"
#include "script/variable_names.h"
#include "script/variables.h"
#include "script/vm_internal.h"
#include "script/world.h"
#include "script/vm_steps.h"

namespace vm {

VariableNode* FindLocalNode(VMFrame* f, int32_t slot) {
  return f->localNodes[slot] = f->locals->Find(f->info->Plan()->LocalIds()[size_t(slot)]);
}

namespace {

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
      return g_ScriptWorld.getVar(f->self, id, index, out);
    case kInstanceSelf: return g_ScriptWorld.getVar(f->self, id, index, out);
    case kInstanceGlobal: return GlobalVar_List()->Read(id, index, out);
    case kInstanceOther: return g_ScriptWorld.getVar(f->other, id, index, out);
    default: return g_ScriptWorld.getTargetVar(instance, id, index, out);
  }
}

bool WriteVariable(VMFrame* f, int32_t instance, int32_t id, int32_t index, ScriptValue* value) {
  switch (instance) {
    case kInstanceLocal:
      f->locals->Write(id, index, value);
      return true;
    case kInstancePlain:
      if (GlobalVar_IsDeclared(id)) return GlobalVar_List()->Write(id, index, value);
      return g_ScriptWorld.setVar(f->self, id, index, value);
    case kInstanceGlobal: return GlobalVar_List()->Write(id, index, value);
    case kInstanceNoone: return true;
    case kInstanceOther: return g_ScriptWorld.setVar(f->other, id, index, value);
    case kInstanceSelf: return g_ScriptWorld.setVar(f->self, id, index, value);
    default: return g_ScriptWorld.setTargetVar(instance, id, index, value);
  }
}

}  // namespace

uint8_t* PushVariableGeneric(uint32_t word, const uint8_t* operand, uint8_t* sp, VMFrame* f) {
  const VariableRef ref{Load<uint32_t>(operand)};
  Target t;
  sp = PopTarget(word, ref, sp, &t);
  sp -= 16;
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

namespace {

uint8_t* StackMove(uint32_t word, uint8_t* sp, VMFrame* f) {
  const int size = SlotBytes(VM_Type2(word));
  const VMCodeInfo::Move& m = f->info->MoveAt(f->pc - 4);
  alignas(16) uint8_t saved[16];
  std::memcpy(saved, sp, size_t(size));
  std::memmove(sp, sp + size, size_t(m.bytes));
  std::memcpy(sp + m.bytes, saved, size_t(size));
  return sp + m.drop;
}

}  // namespace

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
  ArrayIndexError.error = 0;
  const bool written = WriteVariable(f, t.instance, ref.Id(), t.index, &value);
  if (!written || ArrayIndexError.error) ReportWriteFailure(f, ref.Id());
  ScriptValue_Free(&value);
  return sp;
}

void ReportWriteFailure(VMFrame* f, int32_t id) {
  const char* name = VariableName_FromID(id);
  if (ArrayIndexError.error) VM_FatalError(f, "Pop :: Execution Error - Variable index out of range %s", name ? name : "");
  else VM_FatalError(f, "Pop :: Execution Error - Variable set failed %s - read only variable?", name ? name : "");
}

void ReportBuiltinWrite(VMFrame* f, int32_t id, int32_t next) {
  f->pc = next;
  ReportWriteFailure(f, id);
}

namespace {

std::vector<CObjInstance*>& g_gathered = *new std::vector<CObjInstance*>;

// An array of the instances but the last: null first, so a backwards walk ends.
CObjInstance** VisitArray(const std::vector<CObjInstance*>& list) {
  const size_t c = list.size();
  auto** array = static_cast<CObjInstance**>(TW_ALLOC(uint32_t(c * sizeof(CObjInstance*)), false));
  array[0] = nullptr;
  for (size_t i = 0; i + 1 < c; ++i) array[i + 1] = list[i];
  return array;
}

}  // namespace

uint8_t* PushEnv(uint32_t word, uint8_t* sp, VMFrame* f) {
  const int32_t target = Load<int32_t>(sp);
  sp += kVMSlotBytes;
  sp -= kVMEnvBytes;
  Store<CObjInstance*>(sp, f->self);
  Store<CObjInstance*>(sp + 8, f->other);
  Store<void*>(sp + 16, nullptr);
  Store<void*>(sp + 24, nullptr);
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
    default:
      if (target == kInstanceAll || (target >= 0 && target < kFirstInstanceId)) {
        g_ScriptWorld.gather(target, PendingTargets::kObjectAndActivationChanges, g_gathered);
        const size_t c = g_gathered.size();
        if (c == 0) break;
        f->other = f->self;
        runs = true;
        if (c == 2) {
          Store<CObjInstance*>(sp + 24, g_gathered[1]);
          f->self = g_gathered[0];
        } else {
          if (c > 2) {
            CObjInstance** array = VisitArray(g_gathered);
            Store<CObjInstance**>(sp + 16, array);
            Store<CObjInstance**>(sp + 24, array + c);
          }
          f->self = g_gathered[c - 1];
        }
        g_gathered.clear();
      } else if (target >= kFirstInstanceId) {
        if (CObjInstance* one = g_ScriptWorld.findLive(target)) {
          f->other = f->self;
          f->self = one;
          runs = true;
        }
      }
      break;
  }
  if (!runs) f->pc += 4 * VM_BranchOffset(word) - 4;
  return sp;
}

}  // namespace vm

using vm::VisitArray;

int WithLoop_Begin(WithLoop* loop, CObjInstance** self, CObjInstance** other, int32_t target) {
  loop->self = *self;
  loop->other = *other;
  loop->array = nullptr;
  loop->cursor = nullptr;
  auto single = [&](CObjInstance* newSelf, CObjInstance* newOther) {
    loop->array = static_cast<CObjInstance**>(TW_ALLOC(sizeof(CObjInstance*), false));
    loop->array[0] = nullptr;
    loop->cursor = loop->array + 1;
    *self = newSelf;
    *other = newOther;
    return 1;
  };
  switch (target) {
    case kInstanceSelf:
    case kInstancePlain: return single(loop->self, loop->self);
    case kInstanceOther: return single(loop->other, loop->self);
    case kInstanceNoone:
    case kInstanceGlobal:
    case kInstanceLocal: return -1;
    default: break;
  }
  if (target < kInstanceLocal) return 0;
  if (target >= kFirstInstanceId) {
    CObjInstance* one = g_ScriptWorld.findLive(target);
    if (!one) return 0;
    return single(one, loop->self);
  }
  std::vector<CObjInstance*> list;
  g_ScriptWorld.gather(target, PendingTargets::kObjectChanges, list);
  if (list.empty()) return 0;
  loop->array = VisitArray(list);
  loop->cursor = loop->array + list.size();
  *self = list.back();
  *other = loop->self;
  return int(list.size());
}

bool WithLoop_Next(WithLoop* loop, CObjInstance** self) {
  if (!loop->array) return false;
  CObjInstance* next;
  do {
    next = *--loop->cursor;
  } while (next && !g_ScriptWorld.isLive(next));
  if (!next) {
    ++loop->cursor;  // stays on the sentinel
    return false;
  }
  *self = next;
  return true;
}

void WithLoop_End(WithLoop* loop, CObjInstance** self, CObjInstance** other) {
  if (loop->array) MemoryManager::Release(loop->array);
  loop->array = nullptr;
  loop->cursor = nullptr;
  *self = loop->self;
  *other = loop->other;
}

