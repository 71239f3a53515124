// The machine's errors and its count of branches for the message pump.
#include <cstdarg>
#include <cstdio>

#include "core/entry.h"
#include "net/debugger.h"
#include "platform/message_box.h"
#include "script/errors.h"
#include "script/runtime_error.h"
#include "script/vm_internal.h"

bool g_TraceVM = false;

namespace vm {

int64_t g_branchesLeft = kPumpEvery;
uint64_t g_pumpRounds = 0;
bool (*g_pump)() = Main_ProcessMessages;

void ShowStackOverflow(const char* name) { MessageBox_Show("Stack overflow...", name ? name : ""); }

void Pump(VMFrame* f) {
  if (!g_pump()) Stop(f);
}

}  // namespace vm

using vm::CountBranches;
using vm::kPumpEvery;

namespace {
bool g_fatalEndsProcess = true;
}  // namespace

void VM_SetFatalErrorsEndProcess(bool end) { g_fatalEndsProcess = end; }
void VM_SetMessagePump(bool (*pump)()) { vm::g_pump = pump; }

bool Code_CountBranch() { return !CountBranches(1) || vm::g_pump(); }
uint64_t VM_BranchCount() {
  return vm::g_pumpRounds * uint64_t(kPumpEvery) + uint64_t(kPumpEvery - vm::g_branchesLeft);
}

namespace {
// Reports a fatal error of running code and ends the program in order; where
// it returns (debugger evaluation, tests), the frame, if any, stops.
void FatalError(VMFrame* frame, const char* format, va_list ap) {
  if (g_DebugEvaluating) {
    if (frame) vm::Stop(frame);
    return;
  }
  char text[1024];
  std::vsnprintf(text, sizeof text, format, ap);
  VMFrame* saved = VM_CurrentFrame;
  if (frame) VM_CurrentFrame = frame;
  Error_ReportRuntime(text, true);
  VM_CurrentFrame = saved;
  if (g_fatalEndsProcess) Error_FatalExit();
  if (frame) vm::Stop(frame);
}
}  // namespace

void VM_FatalError(VMFrame* frame, const char* format, ...) {
  va_list ap;
  va_start(ap, format);
  FatalError(frame, format, ap);
  va_end(ap);
}

void Runtime_FatalError(const char* format, ...) {
  va_list ap;
  va_start(ap, format);
  FatalError(nullptr, format, ap);
  va_end(ap);
}

