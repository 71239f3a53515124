// Script and function calls, their records on the stack, the stack areas
// and the pool of locals.
#include <memory>
#include <vector>

#include "script/console.h"
#include "script/code.h"
#include "script/function_registry.h"
#include "script/scripts.h"
#include "script/vm_internal.h"
#include "script/world.h"
#include "script/vm_plan.h"

namespace vm {

std::vector<LocalsEntry*>& g_localsPool = *new std::vector<LocalsEntry*>;
int g_localsInUse = 0;

void GrowLocalsPool() { g_localsPool.push_back(new LocalsEntry); }

std::vector<StackArea> g_areas;
int g_nesting = 0;

bool GrowStack(VMFrame* f, StackArea& area, int64_t want) {
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

uint8_t* Unwind(VMFrame* f, const VMCodeInfo* info, uint32_t node, uint8_t* sp) {
  while (node != VMCodeInfo::kEmpty && node != VMCodeInfo::kNone) {
    const VMCodeInfo::Node& n = info->At(node);
    switch (n.item) {
      case VMItem::kValue: ScriptValue_Free(ValueAt(sp)); break;
      case VMItem::kString: FreeItem(sp, kVMString); break;
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

namespace {

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

}  // namespace

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
    if (!g_ScriptWorld.callExternal(n - kFirstExtensionFunction, argc, args, &result)) {
      ScriptValue_Free(&result);
      result = ScriptValue();
    }
    VM_CurrentFrame = f;
  } else {
    VM_FatalError(f, "DoCall :: call to non-existent function %d", n);
  }
  return PutResult(sp, argc, result);
}

}  // namespace vm

CVariableList* VM_AcquireLocals() { return &vm::AcquireLocals(nullptr)->list; }

void VM_ReleaseLocals() { vm::ReleaseLocals(); }

int VM_LocalsInUse() { return vm::g_localsInUse; }

const VMCallRecord* VM_CallRecord(const VMFrame* frame, int depth) {
  if (!frame || depth < 0 || depth >= frame->callDepth) return nullptr;
  const uint8_t* top = frame->stackBase + frame->stackSize;
  const uint8_t* at = frame->callRecord;
  for (int i = 0; i < depth; ++i) at = top - reinterpret_cast<const VMCallRecord*>(at)->callerDistance;
  return reinterpret_cast<const VMCallRecord*>(at);
}

