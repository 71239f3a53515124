// The bytecode machine: one frame per run, a typed stack of raw items, and
// the dispatch of instructions to their handlers.
//
// The stack is a heap area per nesting level that grows downwards. Items
// take 8-byte slots (a value 16, a with-environment 32), so strings are
// pointers of the host's width and values stay aligned. Code is checked
// before it first runs (vm_verify.h): the handlers trust what the check
// proved and test nothing per instruction beyond what scripts can change.
#pragma once
#include <cstdint>

#include "script/bytecode.h"
#include "script/value.h"

class CObjInstance;
class CVariableList;
class VMCodeInfo;
class VMPlan;
struct VMStep;
struct VariableNode;

extern bool g_TraceVM;  // "-trace"
extern bool g_UseVM;    // off with "-oldexec": code runs on the tree interpreter
// The epsilon of the equality and ordering tests; math_set_epsilon sets it.
extern double g_MathEpsilon;

// Limits in place of the thread's own stack: going past any of them stops
// the run with the "Stack overflow..." message, and the game goes on.
constexpr int32_t kVMStackStep = 16384;          // bytes the area grows by
constexpr int32_t kVMMaxStackBytes = 8 << 20;    // of one run's area
constexpr int32_t kVMMaxCallDepth = 4096;        // script calls inside one run
constexpr int32_t kVMMaxNestedRuns = 64;         // runs started from inside runs
constexpr int32_t kVMStackHeadroom = 1024;       // kept free beyond a code's own need

struct VMFrame {
  uint8_t* stackBase;     // lowest byte of the stack area
  CVariableList* locals;  // the "local" variables of the code now running
  CObjInstance* self;
  CObjInstance* other;
  const uint8_t* codeWords;
  uint8_t* callRecord;  // of the innermost script call; the starting stack pointer at depth 0
  const VMBuffer* code;
  const char* name;
  const VMBuffer* lineTable;
  const char* source;
  int32_t stackSize;
  int32_t operandSize;  // operand bytes of the last instruction that had any
  int32_t pc;           // byte offset into the code now running
  int32_t callDepth;
  int32_t codeSize;
  uint8_t* sp;  // the top item

  const VMCodeInfo* info;  // of the code now running
  const VMStep* steps;     // of info's plan
  // The locals' nodes by the plan's slots, found on first use (null: not yet).
  VariableNode** localNodes;
  int32_t argCount;        // argument_count of the running script
  int32_t level;           // the nesting level whose stack area this is
  const char* runName;     // of the code the run started with

  // Set when an error or an overflow stops the run; resumePc is the point
  // whose stack layout the items left on the stack have.
  bool stopped;
  int32_t resumePc;

  // Set once the run's first script call has counted the argument slots in use.
  bool slotsCounted;

  // Built-in variables of self read by the running step (its left and right
  // operand); they hold reals only.
  ScriptValue builtinReads[2];
};

// Written into the stack area by a script call, below the caller's argument
// slots in use (g_ArgumentSlotsUsed of them), which are kept right above it
// and below where the call's arguments were; the callee's result is left in
// the last 16 bytes before where the arguments ended. Holds everything
// needed to resume the caller.
struct VMCallRecord {
  int32_t pc;  // the caller's, past the call
  int32_t argCount;
  CObjInstance* self;
  CObjInstance* other;
  const VMBuffer* code;
  const VMCodeInfo* info;
  const VMBuffer* lineTable;
  const char* source;
  const char* name;
  // Of the caller's record from the top end of the stack area, so that it
  // stays valid when the area moves.
  int64_t callerDistance;
  CVariableList* locals;
  VariableNode** localNodes;
  int32_t savedSlots;  // of the caller's argument slots, kept right above the record
  // Derived from code and info, but kept: the caller's next step waits on
  // them, and reading them back is quicker than walking code and plan again.
  int32_t codeSize;
  const uint8_t* codeWords;
  const VMStep* steps;
};

// The record of the call `depth` levels out (0: the innermost); null past
// the frame's call depth.
const VMCallRecord* VM_CallRecord(const VMFrame* frame, int depth);

// The with-statement of compiled game code.
struct WithLoop {
  CObjInstance* self;
  CObjInstance* other;
  CObjInstance** array;  // null, then the instances still to visit; null when none
  CObjInstance** cursor;
};
// Instances of the target to visit: 0 none, -1 a target a with cannot take.
int WithLoop_Begin(WithLoop* loop, CObjInstance** self, CObjInstance** other, int32_t target);
bool WithLoop_Next(WithLoop* loop, CObjInstance** self);
void WithLoop_End(WithLoop* loop, CObjInstance** self, CObjInstance** other);

// The frame executing; null outside VM_Execute (and after a nested run ends
// until the outer one executes its next instruction).
extern VMFrame* VM_CurrentFrame;

// Runs code to its end. A value left on top by running off the end, or
// returned by ret.v, becomes the result; anything else left on the stack is
// released. Code that has not passed the check is checked here first; code
// that fails it is reported and does not run.
void VM_Execute(const char* name, CObjInstance* self, CObjInstance* other, const VMBuffer* code,
                ScriptValue* result, const VMBuffer* lineTable, const char* source);

// An empty list from the locals pool; lists come back in stack order.
CVariableList* VM_AcquireLocals();
void VM_ReleaseLocals();
int VM_LocalsInUse();

// A machine error: reported as fatal, then the program ends in order with -1
// (Error_FatalExit); while the debugger evaluates an expression (or when
// tests ask for it) the frame stops instead and the run unwinds.
void VM_FatalError(VMFrame* frame, const char* format, ...) __attribute__((format(printf, 2, 3)));
// For tests: fatal errors stop the run instead of ending the process.
void VM_SetFatalErrorsEndProcess(bool end);
// The window messages are pumped through this every 4096 branches; when it
// answers false (a quit request) the running code stops there.
void VM_SetMessagePump(bool (*pump)());
// One branch of code run outside the machine (the tree interpreter's loops),
// counted with the machine's own; false when the code must stop.
bool Code_CountBranch();
uint64_t VM_BranchCount();

void VM_Init();
void Compiler_Free();

// The type of the item an arithmetic, logic or comparison instruction leaves
// (type1 the right operand, type2 the left). Pairs without a rule still
// leave this type, holding zero, after their error.
int VM_ResultType(uint8_t op, int type1, int type2);

// Strings of the machine and the compiled code; engine blocks, null for "".
char* String_Duplicate(const char* text);
char* String_Concat(const char* a, const char* b);

// The text of a string operand. Indices below 2^31 name the data file's
// string table; from 2^31 up the pool of code compiled at run time.
const char* VM_StringOperand(uint32_t index);
uint32_t VM_AddCompiledString(const char* text);
constexpr uint32_t kVMCompiledStringBase = 0x80000000u;
// Strings the check may allow: the data file's count.
int64_t VM_DataStringCount();
