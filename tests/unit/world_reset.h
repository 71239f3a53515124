// One reset of the state unit tests share: the switches of every subsystem,
// error reporting, the script tables and the run globals. A test derives
// from WorldTest (or calls World_Reset) and sets up only what is its own.
#pragma once
#include <gtest/gtest.h>

#include "audio/audio.h"
#include "core/builtin_vars.h"
#include "core/run_state.h"
#include "ext/extensions.h"
#include "graphics/display.h"
#include "input/input.h"
#include "runner/entry.h"
#include "runner/runner_flags.h"
#include "script/builtins_math.h"
#include "script/code_run.h"
#include "script/constants.h"
#include "script/errors.h"
#include "script/function_registry.h"
#include "script/scripts.h"
#include "script/variables.h"
#include "script/vm.h"

// Every command-line switch back to its default.
inline void Switches_Reset() {
  g_RunnerFlags.Reset();
  g_AudioSwitches.Reset();
  g_InputSwitches.Reset();
  g_ExtSwitches.Reset();
  g_GraphicsSwitches.Reset();
}

// The state a test starts from: errors are reported, never shown, and never
// end the process; nothing is pumped (a fatal report asks the game to end,
// which a real pump would apply to every later run); fresh globals with the
// built-in constants and variables registered and no functions or scripts.
inline void World_Reset() {
  Switches_Reset();
  VM_SetFatalErrorsEndProcess(false);
  VM_SetMessagePump(nullptr);
  g_ShowErrors = false;
  Error_ResetForTests();
  Code_ClearPendingError();
  Script_DeleteAll();
  GlobalVar_Init();
  Constant_FreeAll();
  Constant_RegisterBuiltins();
  BuiltinVar_RegisterAll();
  FunctionRegistry_Free();
  g_UseVM = true;
  g_MathEpsilon = kDefaultMathEpsilon;
  g_Run = RunGlobals();
}

// What a test leaves behind is freed and the process-ending defaults return.
inline void World_Clear() {
  Script_DeleteAll();
  FunctionRegistry_Free();
  Constant_FreeAll();
  Code_ClearPendingError();
  Error_ResetForTests();
  VM_SetFatalErrorsEndProcess(true);
  VM_SetMessagePump(Main_ProcessMessages);
  g_MathEpsilon = kDefaultMathEpsilon;
  g_Run = RunGlobals();
  Switches_Reset();
}

class WorldTest : public ::testing::Test {
 protected:
  void SetUp() override { World_Reset(); }
  void TearDown() override { World_Clear(); }
};
