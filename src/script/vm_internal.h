// Shared between the pieces of the machine: its dispatch, value handlers,
// calls and stack, variable access and with-statements, errors and set-up.
#pragma once
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "script/bytecode.h"
#include "script/memory_manager.h"
#include "script/value.h"
#include "script/variables.h"
#include "script/vm.h"
#include "script/vm_plan.h"
#include "script/vm_verify.h"

namespace vm {

template <typename T>
inline T Load(const uint8_t* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
template <typename T>
inline void Store(uint8_t* p, T v) {
  std::memcpy(p, &v, sizeof v);
}

// Slot bytes of an item of a type code on the machine's stack.
constexpr int SlotBytes(int type) {
  if (type == kVMVariable) return 16;
  return type > kVMString ? 0 : kVMSlotBytes;
}

inline ScriptValue* ValueAt(uint8_t* p) { return reinterpret_cast<ScriptValue*>(p); }

// Pushes a real value / string value (the block moves into it).
inline uint8_t* PushReal(uint8_t* sp, double d) {
  sp -= 16;
  ScriptValue* v = new (sp) ScriptValue;
  v->real = d;
  return sp;
}
inline uint8_t* PushStringValue(uint8_t* sp, char* text) {
  sp -= 16;
  ScriptValue* v = new (sp) ScriptValue;
  v->kind = kKindString;
  v->text = text;
  return sp;
}

// Releases whatever an item of this type owns.
void FreeItem(uint8_t* at, int type);

// Handlers of the value instructions; each returns the new stack pointer.
uint8_t* DoConv(uint32_t word, uint8_t* sp, VMFrame* frame);
uint8_t* DoBinary(uint32_t word, uint8_t* sp, VMFrame* frame);
uint8_t* DoNeg(uint32_t word, uint8_t* sp, VMFrame* frame);
uint8_t* DoNot(uint32_t word, uint8_t* sp, VMFrame* frame);
uint8_t* DoSet(uint32_t word, uint8_t* sp, VMFrame* frame);

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

// ---- Branch counting and errors (vm_errors.cpp) ------------------------------------

// Branches are counted down to the next pump of the window messages, every
// kPumpEvery branches; the count so far is worked out from the pumps done.
constexpr int64_t kPumpEvery = 4096;
extern int64_t g_branchesLeft;
extern uint64_t g_pumpRounds;
extern bool (*g_pump)();

// Takes `n` (1 or 2) branches off the count; true when that reaches a pump.
inline bool CountBranches(int64_t n) {
  if ((g_branchesLeft -= n) > 0) [[likely]] return false;
  g_branchesLeft += kPumpEvery;
  ++g_pumpRounds;
  return g_pump != nullptr;
}

void ShowStackOverflow(const char* name);

inline void Stop(VMFrame* f) {
  if (f->stopped) return;
  f->stopped = true;
  f->resumePc = f->pc;
  f->pc = f->codeSize;
}

// Pumps the window messages; a quit request seen there stops the run where
// it stands (f->pc holds where it would go on).
[[gnu::cold, gnu::noinline]] void Pump(VMFrame* f);

inline void Branched(VMFrame* f) {
  if (CountBranches(1)) Pump(f);
}

// ---- Code set-up (vm_setup.cpp) -----------------------------------------------------

// Checks code not checked yet; null (after a report) when it fails.
__attribute__((noinline)) const VMCodeInfo* CheckNow(const VMBuffer* code, const char* name);
// Plans code at its first run: loading binds variable and function
// operands after the load-time check, and the plan must see them bound.
__attribute__((noinline)) void PlanNow(const VMBuffer* code, const VMCodeInfo* info);

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

// ---- Locals, stack areas and calls (vm_calls.cpp) -----------------------------------

// Kept for the whole process (never destroyed, so the lists never outlive
// the node pool they return their nodes to). Each list comes with the cache
// of its nodes by the running code's local slots.
struct LocalsEntry {
  CVariableList list;
  std::vector<VariableNode*> nodes;
};
extern std::vector<LocalsEntry*>& g_localsPool;
extern int g_localsInUse;

__attribute__((noinline)) void GrowLocalsPool();

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
extern std::vector<StackArea> g_areas;
extern int g_nesting;

// Grows the area so that `want` bytes are free below the stack pointer;
// false when that would pass the limit.
__attribute__((noinline)) bool GrowStack(VMFrame* f, StackArea& area, int64_t want);

// Makes room for `need` more bytes below the stack pointer (plus headroom);
// false when that would pass the limit.
inline bool EnsureStack(VMFrame* f, StackArea& area, int32_t need) {
  const int64_t want = int64_t(need) + kVMStackHeadroom;
  if (f->sp - f->stackBase >= want) return true;
  return GrowStack(f, area, want);
}

// Releases the items of the layout `node` from the stack pointer up.
uint8_t* Unwind(VMFrame* f, const VMCodeInfo* info, uint32_t node, uint8_t* sp);

// A call of script `index` with `argc` arguments on the stack: the callee
// becomes the code running. Scripts without bytecode run here and leave
// their result.
uint8_t* CallScript(VMFrame* f, int32_t index, int argc, uint8_t* sp);
// Leaves the innermost script: the caller resumes with `result` on top.
uint8_t* LeaveScript(VMFrame* f, const ScriptValue& result);
// call: of a built-in, an extension function or a script.
uint8_t* Call(uint32_t word, const uint8_t* operand, uint8_t* sp, VMFrame* f);

// ---- Variables and with-statements (vm_access.cpp) ----------------------------------

// push.v, the generic way.
__attribute__((noinline)) uint8_t* PushVariableGeneric(uint32_t word, const uint8_t* operand, uint8_t* sp, VMFrame* f);

uint8_t* PopVariable(uint32_t word, const uint8_t* operand, uint8_t* sp, VMFrame* f);
// A write of variable `id` that failed or flagged a bad index, reported as
// a pop reports it.
[[gnu::cold]] void ReportWriteFailure(VMFrame* f, int32_t id);

// A with-environment: saved self, saved other, then either an instance array
// (an engine block: null, then the instances still to visit, read backwards
// through the cursor in the last word) or null and the one instance still to
// visit (null when none). A with's own loop (popenv) runs in the dispatch.
uint8_t* PushEnv(uint32_t word, uint8_t* sp, VMFrame* f);

}  // namespace vm
