#include "script/vm.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "core/code_chunks.h"
#include "script/console.h"
#include "runner/entry.h"
#include "core/instance_vars.h"
#include "core/instances.h"
#include "core/objects.h"
#include "core/rooms.h"
#include "core/run_state.h"
#include "ext/extensions.h"
#include "platform/message_box.h"
#include "core/builtin_vars.h"
#include "script/errors.h"
#include "script/function_registry.h"
#include "script/code.h"
#include "script/compiler.h"
#include "script/convert.h"
#include "script/memory_manager.h"
#include "script/scripts.h"
#include "script/variable_names.h"
#include "script/variables.h"
#include "script/vm_internal.h"
#include "script/vm_plan.h"

bool g_TraceVM = false;
bool g_UseVM = true;
VMFrame* VM_CurrentFrame = nullptr;

using vm::Load;
using vm::SlotBytes;
using vm::Store;
using vm::ValueAt;

namespace {

bool (*g_pump)() = Main_ProcessMessages;
// Branches are counted down to the next pump of the window messages, every
// kPumpEvery branches; the count so far is worked out from the pumps done.
constexpr int64_t kPumpEvery = 4096;
int64_t g_branchesLeft = kPumpEvery;
uint64_t g_pumpRounds = 0;

// Takes `n` (1 or 2) branches off the count; true when that reaches a pump.
inline bool CountBranches(int64_t n) {
  if ((g_branchesLeft -= n) > 0) [[likely]] return false;
  g_branchesLeft += kPumpEvery;
  ++g_pumpRounds;
  return g_pump != nullptr;
}

// Kept for the whole process (never destroyed, so the lists never outlive
// the node pool they return their nodes to). Each list comes with the cache
// of its nodes by the running code's local slots.
struct LocalsEntry {
  CVariableList list;
  std::vector<VariableNode*> nodes;
};
std::vector<LocalsEntry*>& g_localsPool = *new std::vector<LocalsEntry*>;
int g_localsInUse = 0;

__attribute__((noinline)) void GrowLocalsPool() { g_localsPool.push_back(new LocalsEntry); }

inline LocalsEntry* AcquireLocals(const VMCodeInfo* info) {
  if (g_localsInUse == int(g_localsPool.size())) GrowLocalsPool();
  LocalsEntry* e = g_localsPool[size_t(g_localsInUse)];
  if (e->list.Count() > 0) e->list.Clear();
  // One spare slot, so the cache is never empty and its address is valid.
  const size_t slots = size_t(info ? info->Plan()->LocalCount() : 0) + 1;
  if (e->nodes.size() < slots) e->nodes.resize(slots);
  VariableNode** nodes = e->nodes.data();
  nodes[0] = nullptr;
  if (slots > 1) std::memset(static_cast<void*>(nodes + 1), 0, (slots - 1) * sizeof *nodes);
  ++g_localsInUse;
  return e;
}

inline void ReleaseLocals() {
  if (g_localsInUse == 0) return;
  --g_localsInUse;
  CVariableList& list = g_localsPool[size_t(g_localsInUse)]->list;
  if (list.Count() > 0) list.Clear();
}

// One stack area per nesting level, kept for the next run at that level.
struct StackArea {
  std::unique_ptr<uint8_t[]> bytes;
  int32_t size = 0;
};
std::vector<StackArea> g_areas;
int g_nesting = 0;

std::vector<std::string> g_compiledStrings;

// Grows the area so that `want` bytes are free below the stack pointer;
// false when that would pass the limit.
__attribute__((noinline)) bool GrowStack(VMFrame* f, StackArea& area, int64_t want) {
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

// Makes room for `need` more bytes below the stack pointer (plus headroom);
// false when that would pass the limit.
inline bool EnsureStack(VMFrame* f, StackArea& area, int32_t need) {
  const int64_t want = int64_t(need) + kVMStackHeadroom;
  if (f->sp - f->stackBase >= want) return true;
  return GrowStack(f, area, want);
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

// Copies a value's kind word and payload one by one: values are mostly
// written so just before, and one wide read of them would wait for those
// writes to reach the cache.
inline void MoveValue(void* to, const void* from) {
  uint32_t kind;
  uint64_t payload;
  std::memcpy(&kind, from, 4);
  std::memcpy(&payload, static_cast<const uint8_t*>(from) + 8, 8);
  std::memcpy(to, &kind, 4);
  std::memcpy(static_cast<uint8_t*>(to) + 8, &payload, 8);
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

__attribute__((noinline)) uint8_t* PushVariableGeneric(uint32_t word, const uint8_t* operand, uint8_t* sp, VMFrame* f) {
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

// ---- Calls -------------------------------------------------------------------------

// Checks code not checked yet; null (after a report) when it fails.
__attribute__((noinline)) const VMCodeInfo* CheckNow(const VMBuffer* code, const char* name) {
  std::string why;
  std::shared_ptr<const VMCodeInfo> checked = VM_Verify(*code, &why);
  if (!checked) {
    Error_ReportRuntime(ErrorSeverity::kError,
                        ("Code " + std::string(name ? name : "") + " cannot run: " + why).c_str());
    return nullptr;
  }
  code->SetInfo(checked);
  return checked.get();
}

// Plans code at its first run: loading binds variable and function
// operands after the load-time check, and the plan must see them bound.
__attribute__((noinline)) void PlanNow(const VMBuffer* code, const VMCodeInfo* info) {
  info->SetPlan(VMPlan_Build(*code, *info));
}

// The code's facts from the load-time check, checking it now when it has
// not been, and its plan; null (after a report) when it fails the check.
inline const VMCodeInfo* CheckedInfo(const VMBuffer* code, const char* name) {
  const VMCodeInfo* info = code->Info();
  if (!info) [[unlikely]] {
    if (!(info = CheckNow(code, name))) return nullptr;
  }
  if (!info->Plan()) [[unlikely]] PlanNow(code, info);
  return info;
}

// Replaces the call's arguments by its result.
uint8_t* PutResult(uint8_t* sp, int argc, const ScriptValue& result) {
  ScriptValue* args = ValueAt(sp);
  for (int i = 0; i < argc; ++i) ScriptValue_Free(&args[i]);
  sp += 16 * argc;
  sp -= 16;
  MoveValue(sp, &result);
  return sp;
}

// The run ends here; the items on the stack have the layout after the
// instruction now executing.
void Overflow(VMFrame* f) {
  ShowStackOverflow(f->runName);
  Stop(f);
}

// What a call of a script needs of it, found once while the script table
// stays as it is; a call would otherwise walk script, code, bytecode and
// check in turn, each a load waiting for the one before.
struct CallTarget {
  CScript* script = nullptr;
  CCode* code = nullptr;
  const VMBuffer* bytecode = nullptr;
  const VMCodeInfo* info = nullptr;  // null: not found yet
};
std::vector<CallTarget>& g_callTargets = *new std::vector<CallTarget>;
uint64_t g_callTargetsOf = ~uint64_t(0);  // the script table's generation they belong to

// The target of a call of script `index`; null, after reporting anything
// to report, when the call has nothing to run and yields 0.
__attribute__((noinline)) const CallTarget* FindCallTarget(VMFrame* f, int32_t index) {
  CScript* script = Script_Get(index);
  if (!script) {
    VM_FatalError(f, "call to non-existent script\n");
    return nullptr;
  }
  CCode* code = script->Code();
  const VMBuffer* bytecode = code ? code->Bytecode() : nullptr;
  if (!bytecode || bytecode->Size() <= 0) return nullptr;
  const VMCodeInfo* info = CheckedInfo(bytecode, code->Name().c_str());
  if (!info) return nullptr;
  if (g_callTargets.size() <= size_t(index)) g_callTargets.resize(size_t(index) + 1);
  g_callTargets[size_t(index)] = {script, code, bytecode, info};
  return &g_callTargets[size_t(index)];
}

inline const CallTarget* CallTargetOf(VMFrame* f, int32_t index) {
  if (g_callTargetsOf != g_ScriptTableGeneration) [[unlikely]] {
    g_callTargets.clear();
    g_callTargetsOf = g_ScriptTableGeneration;
  }
  if (size_t(index) < g_callTargets.size()) [[likely]] {
    const CallTarget& t = g_callTargets[size_t(index)];
    if (t.info && t.bytecode->Info() == t.info) [[likely]] return &t;
  }
  return FindCallTarget(f, index);
}

// A script without bytecode: a compiled body runs through the script
// table; anything else yields 0.
__attribute__((noinline)) uint8_t* CallScriptWithoutBytecode(VMFrame* f, int32_t index, int argc, uint8_t* sp) {
  ScriptValue result;
  const CScript* script = Script_Get(index);
  if (script && script->Native()) {
    f->sp = sp;
    Script_Run(index, f->self, f->other, argc, &result, ValueAt(sp));
    VM_CurrentFrame = f;
  }
  return PutResult(sp, argc, result);
}

uint8_t* CallScript(VMFrame* f, int32_t index, int argc, uint8_t* sp) {
  const ScriptValue zero{};
  const CallTarget* target = CallTargetOf(f, index);
  if (!target) return CallScriptWithoutBytecode(f, index, argc, sp);
  CScript* script = target->script;
  CCode* code = target->code;
  const VMBuffer* bytecode = target->bytecode;
  const VMCodeInfo* info = target->info;
  // Only the caller's slots in use are kept; the others hold real 0. The
  // run's own slots may have been written by anyone: they are counted once.
  if (!f->slotsCounted) {
    f->slotsCounted = true;
    g_ArgumentSlotsUsed = Arguments_CountUsed();
  }
  const int32_t saved = g_ArgumentSlotsUsed;
  f->sp = sp;
  if (f->callDepth >= kVMMaxCallDepth ||
      !EnsureStack(f, g_areas[size_t(f->level)], int32_t(sizeof(VMCallRecord)) + 16 * saved + info->MaxStack())) {
    sp = PutResult(f->sp, argc, zero);
    Overflow(f);
    return sp;
  }
  sp = f->sp;
  if (g_TraceVM) g_DebugConsole->Output("script call = %s\n", script->Name().c_str());

  // The caller's slots go right below the arguments, the record below them;
  // the arguments' blocks move into the slots.
  uint8_t* kept = sp - 16 * saved;
  uint8_t* at = kept - sizeof(VMCallRecord);
  for (int i = 0; i < saved; ++i) MoveValue(kept + 16 * i, &g_ArgumentSlots[i]);
  for (int i = 0; i < argc; ++i) MoveValue(&g_ArgumentSlots[i], sp + 16 * i);
  for (int i = argc; i < saved; ++i) new (&g_ArgumentSlots[i]) ScriptValue;
  g_ArgumentSlotsUsed = argc;

  VMCallRecord* rec = new (at) VMCallRecord;
  rec->pc = f->pc;
  rec->argCount = g_ArgumentCount;
  rec->self = f->self;
  rec->other = f->other;
  rec->code = f->code;
  rec->info = f->info;
  rec->lineTable = f->lineTable;
  rec->source = f->source;
  rec->name = f->name;
  rec->callerDistance = (f->stackBase + f->stackSize) - f->callRecord;
  rec->locals = f->locals;
  rec->localNodes = f->localNodes;
  rec->savedSlots = saved;
  rec->codeSize = f->codeSize;
  rec->codeWords = f->codeWords;
  rec->steps = f->steps;

  f->pc = 0;
  f->code = bytecode;
  f->codeWords = bytecode->Data();
  f->codeSize = bytecode->Size();
  f->info = info;
  f->steps = info->Plan()->Steps();
  f->lineTable = code->LineTable();
  f->source = code->GetText();
  f->name = code->Name().c_str();
  f->callRecord = at;
  f->argCount = g_ArgumentCount = argc;
  LocalsEntry* locals = AcquireLocals(info);
  f->locals = &locals->list;
  f->localNodes = locals->nodes.data();
  ++f->callDepth;
  return at;
}

// Leaves the innermost script: the caller resumes with `result` on top.
uint8_t* LeaveScript(VMFrame* f, const ScriptValue& result) {
  VMCallRecord* rec = reinterpret_cast<VMCallRecord*>(f->callRecord);
  ReleaseLocals();
  // The callee's slots are released (reals own nothing), the caller's come back.
  const int32_t saved = rec->savedSlots, used = g_ArgumentSlotsUsed;
  for (int i = 0; i < used; ++i)
    if (!g_ArgumentSlots[i].IsReal()) ScriptValue_Free(&g_ArgumentSlots[i]);
  const uint8_t* kept = reinterpret_cast<const uint8_t*>(rec) + sizeof(VMCallRecord);
  for (int i = 0; i < saved; ++i) MoveValue(&g_ArgumentSlots[i], kept + 16 * i);
  for (int i = saved; i < used; ++i) new (&g_ArgumentSlots[i]) ScriptValue;
  g_ArgumentSlotsUsed = saved;
  // Where the call's arguments ended.
  uint8_t* place = const_cast<uint8_t*>(kept) + 16 * (saved + f->argCount) - 16;
  --f->callDepth;
  f->locals = rec->locals;
  f->localNodes = rec->localNodes;
  f->self = rec->self;
  f->other = rec->other;
  f->pc = rec->pc;
  f->code = rec->code;
  f->codeWords = rec->codeWords;
  f->codeSize = rec->codeSize;
  f->info = rec->info;
  f->steps = rec->steps;
  f->lineTable = rec->lineTable;
  f->source = rec->source;
  f->name = rec->name;
  f->callRecord = f->stackBase + f->stackSize - rec->callerDistance;
  f->argCount = g_ArgumentCount = rec->argCount;
  MoveValue(place, &result);
  return place;
}

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

uint8_t* Call(uint32_t word, const uint8_t* operand, uint8_t* sp, VMFrame* f) {
  const int32_t n = Load<int32_t>(operand);
  const int argc = uint16_t(VM_Immediate(word));
  ScriptValue* args = ValueAt(sp);
  ScriptValue result;
  if (n >= kFirstScriptFunction && n < kFirstExtensionFunction) return CallScript(f, n - kFirstScriptFunction, argc, sp);
  if (n >= 0 && n < kFirstScriptFunction) {
    FunctionEntry* entry = FunctionRegistry_Get(n);
    if (!entry) {
      VM_FatalError(f, "DoCall :: call to non-existent function %d", n);
    } else {
      if (g_TraceVM) g_DebugConsole->Output("func call = %s\n", entry->name);
      if (entry->handler) entry->handler(&result, f->self, f->other, argc, args);
      VM_CurrentFrame = f;
    }
  } else if (n >= kFirstExtensionFunction) {
    // Nothing ran (no such function or no package): the result stays the zero real.
    if (!Extension_CallExternal(n - kFirstExtensionFunction, argc, args, &result)) {
      ScriptValue_Free(&result);
      result = ScriptValue();
    }
    VM_CurrentFrame = f;
  } else {
    VM_FatalError(f, "DoCall :: call to non-existent function %d", n);
  }
  return PutResult(sp, argc, result);
}

// ---- With-statements -----------------------------------------------------------------
//
// A with-environment: saved self, saved other, then either an instance array
// (an engine block: null, then the instances still to visit, read backwards
// through the cursor in the last word) or null and the one instance still to
// visit (null when none).

std::vector<CObjInstance*>& g_gathered = *new std::vector<CObjInstance*>;

// The live instances of `all` or of an object and its descendants, in the
// order a with takes them; instances changing into the object this step
// count too, once.
void Gather(int32_t target, bool activations, std::vector<CObjInstance*>& out) {
  out.clear();
  if (target == kInstanceAll) {
    if (g_Run.room) {
      for (CObjInstance* i : g_Run.room->active)
        if (i->IsLive()) out.push_back(i);
    }
    return;
  }
  CObject* object = Object_Find(target);
  if (!object) return;
  for (CObjInstance* i : object->AllInstances())
    if (i->IsLive()) out.push_back(i);
  auto pending = [&](CObjInstance* i) {
    if (i->IsLive() && i->object_index == target && std::find(out.begin(), out.end(), i) == out.end()) {
      out.push_back(i);
    }
    return true;
  };
  PendingObjectChanges.ForEach(pending);
  if (activations) PendingActivationChanges.ForEach(pending);
}

// An array of the instances but the last: null first, so a backwards walk ends.
CObjInstance** VisitArray(const std::vector<CObjInstance*>& list) {
  const size_t c = list.size();
  auto** array = static_cast<CObjInstance**>(TW_ALLOC(uint32_t(c * sizeof(CObjInstance*)), false));
  array[0] = nullptr;
  for (size_t i = 0; i + 1 < c; ++i) array[i + 1] = list[i];
  return array;
}

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
        Gather(target, true, g_gathered);
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
        CObjInstance* one = Instance_FindByID(target);
        if (one && one->IsLive()) {
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

uint8_t* EndEnv(uint8_t* sp, VMFrame* f) {
  if (void* array = Load<void*>(sp + 16)) MemoryManager::Release(array);
  f->self = Load<CObjInstance*>(sp);
  f->other = Load<CObjInstance*>(sp + 8);
  return sp + kVMEnvBytes;
}

uint8_t* PopEnv(uint32_t word, uint8_t* sp, VMFrame* f) {
  if (((word >> 16) & 0xFF) == 0xF0) return EndEnv(sp, f);
  // Instances destroyed or deactivated by an earlier pass are passed over.
  CObjInstance* next = nullptr;
  if (Load<CObjInstance**>(sp + 16)) {
    CObjInstance** cursor = Load<CObjInstance**>(sp + 24);
    do {
      next = *--cursor;
    } while (next && !next->IsLive());
    Store<CObjInstance**>(sp + 24, cursor);
  } else if ((next = Load<CObjInstance*>(sp + 24))) {
    Store<CObjInstance*>(sp + 24, nullptr);
    if (!next->IsLive()) next = nullptr;
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
#define TW_ARITH_ALL(M)                       \
  TW_ARITH_DESTS(M, kClassStack, kClassStack) \
  TW_ARITH_RIGHTS(M, kClassStack)             \
  TW_ARITH_RIGHTS(M, kClassConst)             \
  TW_ARITH_RIGHTS(M, kClassLocal)             \
  TW_ARITH_RIGHTS(M, kClassVariable)
// Every loop shape, as M(comparison, limit is a local).
#define TW_LOOP_ALL(M) \
  M(4, 0) M(4, 1) M(5, 0) M(5, 1) M(6, 0) M(6, 1) M(7, 0) M(7, 1) M(8, 0) M(8, 1) M(9, 0) M(9, 1)

// Pumps the window messages; a quit request seen there stops the run where
// it stands (f->pc holds where it would go on).
[[gnu::cold, gnu::noinline]] void Pump(VMFrame* f) {
  if (!g_pump()) Stop(f);
}

void Branched(VMFrame* f) {
  if (CountBranches(1)) Pump(f);
}

// ---- Steps (vm_plan.h) ---------------------------------------------------------------

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
#define TW_STEP_INLINE [[gnu::noinline]]
#else
#define TW_STEP_INLINE [[gnu::always_inline]] inline
#endif

[[gnu::noinline, gnu::cold]] VariableNode* FindLocalNode(VMFrame* f, int32_t slot) {
  return f->localNodes[slot] = f->locals->Find(f->info->Plan()->LocalIds()[size_t(slot)]);
}

TW_STEP_INLINE VariableNode* LocalNode(VMFrame* f, int32_t slot) {
  VariableNode* n = f->localNodes[slot];
  if (!n) [[unlikely]] n = FindLocalNode(f, slot);
  return n;
}

// The value of a variable place; null while the variable does not exist.
TW_STEP_INLINE ScriptValue* PlaceValue(VMFrame* f, VMPlace place, int32_t ref) {
  // Tests in a chain rather than a jump table: each step's place is fixed,
  // so the branches are predicted where the table's jump often is not.
  if (place == kPlaceLocal) {
    VariableNode* n = LocalNode(f, ref);
    return n ? &n->value : nullptr;
  }
  if (place == kPlaceArgument) return f->self ? BuiltinVar_ArgumentSlot(ref) : nullptr;
  VariableNode* n;
  if (place == kPlaceGlobal || (place == kPlacePlain && GlobalVar_IsDeclared(ref))) {
    n = GlobalVar_List()->Find(ref);
  } else if (place == kPlaceSelf || place == kPlacePlain) {
    if (!f->self || !f->self->variables) return nullptr;
    n = f->self->variables->Find(ref);
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
TW_STEP_INLINE ScriptValue* ClassValue(VMFrame* f, VMPlace place, int32_t ref) {
  if constexpr (kClass == kClassLocal) {
    VariableNode* n = LocalNode(f, ref);
    return n ? &n->value : nullptr;
  } else {
    return PlaceValue(f, place, ref);
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
    if (!(rv = ClassValue<kRight>(f, st.right, st.rightRef))) return false;
  }
  if constexpr (kLeft == kClassLocal || kLeft == kClassVariable) {
    if (!(lv = ClassValue<kLeft>(f, st.left, st.leftRef))) return false;
  }
  if constexpr (kDest == kDestLocal) {
    // A local left operand is often the destination too.
    if (kLeft == kClassLocal && st.destRef == st.leftRef) dv = const_cast<ScriptValue*>(lv);
    else if (!(dv = ClassValue<kClassLocal>(f, st.dest, st.destRef))) return false;
  } else if constexpr (kDest == kDestVariable) {
    if (!(dv = PlaceValue(f, st.dest, st.destRef))) return false;
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
    if (!dv->IsReal()) return false;
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
      sp = vm::PushReal(s, x);
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
    dv->kind = kKindReal;
    dv->real = x;
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

}  // namespace

// ---- Public ---------------------------------------------------------------------

CVariableList* VM_AcquireLocals() { return &AcquireLocals(nullptr)->list; }

void VM_ReleaseLocals() { ReleaseLocals(); }

int VM_LocalsInUse() { return g_localsInUse; }

void VM_SetFatalErrorsEndProcess(bool end) { Error_SetFatalEndsProcess(end); }
void VM_SetMessagePump(bool (*pump)()) { g_pump = pump; }

bool Code_CountBranch() { return !CountBranches(1) || g_pump(); }
uint64_t VM_BranchCount() { return g_pumpRounds * uint64_t(kPumpEvery) + uint64_t(kPumpEvery - g_branchesLeft); }

// Where the report returns (debugger evaluation, tests), the frame stops.
void VM_FatalError(VMFrame* frame, const char* format, ...) {
  char text[1024];
  va_list ap;
  va_start(ap, format);
  std::vsnprintf(text, sizeof text, format, ap);
  va_end(ap);
  VMFrame* saved = VM_CurrentFrame;
  if (frame) VM_CurrentFrame = frame;
  Error_ReportRuntime(ErrorSeverity::kFatal, text);
  VM_CurrentFrame = saved;
  if (frame) Stop(frame);
}

void VM_Init() { Compiler_Install(); }
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

const VMCallRecord* VM_CallRecord(const VMFrame* frame, int depth) {
  if (!frame || depth < 0 || depth >= frame->callDepth) return nullptr;
  const uint8_t* top = frame->stackBase + frame->stackSize;
  const uint8_t* at = frame->callRecord;
  for (int i = 0; i < depth; ++i) at = top - reinterpret_cast<const VMCallRecord*>(at)->callerDistance;
  return reinterpret_cast<const VMCallRecord*>(at);
}

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
    CObjInstance* one = Instance_FindByID(target);
    if (!one || !one->IsLive()) return 0;
    return single(one, loop->self);
  }
  std::vector<CObjInstance*> list;
  Gather(target, false, list);
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
  } while (next && !next->IsLive());
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

void VM_Execute(const char* name, CObjInstance* self, CObjInstance* other, const VMBuffer* code,
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
    TW_ARITH_ALL(TW_ARITH_LABEL)
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
    TW_ARITH_ALL(TW_ARITH_HANDLER)
#undef TW_ARITH_HANDLER
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
    ScriptValue* v;
    if (!StackReal(cur->rightType, s, &x) || !(v = PlaceValue(f, cur->dest, cur->destRef)) || !v->IsReal()) {
      goto generic;
    }
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

  VM_ReleaseLocals();
  g_ArgumentCount = argCount;
  --g_nesting;
  VM_CurrentFrame = nullptr;  // the outer run sets it again at its next instruction
#undef TW_NEXT_STEP
}
