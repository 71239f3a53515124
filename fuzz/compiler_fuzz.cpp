// Source text to the run-time compiler: every input ends in one compile
// error or in code that passes the machine's load-time check. The first
// byte picks a program or an expression.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "script/code.h"
#include "script/code_run.h"
#include "script/constants.h"
#include "script/function_registry.h"
#include "script/variables.h"
#include "script/vm_verify.h"
#include "runner/startup.h"
#include "script/vm.h"

namespace {
void Nothing(ScriptValue*, CObjInstance*, CObjInstance*, int, ScriptValue*) {}

bool Init() {
  GlobalVar_Init();
  Constant_RegisterBuiltins();
  FunctionRegistry_Add("f", Nothing, kAnyArgCount);
  FunctionRegistry_Add("g", Nothing, 2);
  return true;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool kWorld = (Runner_InstallWorld(), VM_Init(), true);
  (void)kWorld;
  static const bool ready = Init();
  (void)ready;
  if (size == 0) return 0;
  CCode code(std::string(reinterpret_cast<const char*>(data) + 1, size - 1), data[0] & 1);
  const bool ok = code.Compile("fuzz");
  if (!ok && !Code_HasPendingError()) {
    std::fprintf(stderr, "a failed compilation reported no error\n");
    std::abort();
  }
  if (ok && code.Bytecode()) {
    std::string why;
    if (!VM_Verify(*code.Bytecode(), &why)) {
      std::fprintf(stderr, "generated code fails the check: %s\n", why.c_str());
      std::abort();
    }
  }
  Code_ClearPendingError();
  return 0;
}
