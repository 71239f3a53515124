// The machine's errors and its count of branches for the message pump.
#include <cstdarg>
#include <cstdio>

#include "platform/message_box.h"
#include "script/errors.h"
#include "script/vm_internal.h"

bool g_TraceVM = false;

namespace vm {

int64_t g_branchesLeft = kPumpEvery;
uint64_t g_pumpRounds = 0;
// None until the runner installs the window messages' pump.
bool (*g_pump)() = nullptr;

void ShowStackOverflow(const char* name) { MessageBox_Show("Stack overflow...", name ? name : ""); }

void Pump(VMFrame* f) {
  if (!g_pump()) Stop(f);
}

}  // namespace vm

using vm::CountBranches;
using vm::kPumpEvery;

void VM_SetFatalErrorsEndProcess(bool end) { Error_SetFatalEndsProcess(end); }
void VM_SetMessagePump(bool (*pump)()) { vm::g_pump = pump; }

bool Code_CountBranch() { return !CountBranches(1) || vm::g_pump(); }
uint64_t VM_BranchCount() {
  return vm::g_pumpRounds * uint64_t(kPumpEvery) + uint64_t(kPumpEvery - vm::g_branchesLeft);
}

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
  if (frame) vm::Stop(frame);
}

