// Feeds arbitrary words to the load-time check of bytecode and runs whatever
// it accepts. The check must never let the machine read or write outside its
// stack or its code, and a run must give back every block it took.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "script/bytecode.h"
#include "script/errors.h"
#include "script/memory_manager.h"
#include "script/value.h"
#include "script/variables.h"
#include "script/vm.h"
#include "script/vm_verify.h"
#include "runner/startup.h"

namespace {

int g_pumps = 0;

// Loops that never end are stopped after a few thousand branches.
bool StopLongRuns() { return ++g_pumps <= 4; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool kWorld = (Runner_InstallWorld(), VM_Init(), true);
  (void)kWorld;
  static const bool ready = [] {
    VM_SetFatalErrorsEndProcess(false);
    VM_SetMessagePump(StopLongRuns);
    g_ShowErrors = false;
    GlobalVar_Init();
    return true;
  }();
  (void)ready;
  if (size > 1 << 16) return 0;
  VMBuffer code(std::span<const uint8_t>(data, size & ~size_t(3)));
  auto info = VM_Verify(code, nullptr);
  if (!info) return 0;
  code.SetInfo(info);
  Error_ResetForTests();
  g_pumps = 0;
  const uint32_t blocks = MemoryManager::LiveBlocks();
  ScriptValue result;
  VM_Execute("fuzz", nullptr, nullptr, &code, &result, nullptr, nullptr);
  ScriptValue_Free(&result);
  GlobalVar_Init();
  if (MemoryManager::LiveBlocks() != blocks) std::abort();
  if (VM_LocalsInUse() != 0) std::abort();
  return 0;
}
